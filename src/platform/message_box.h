// Message boxes.
//
// The server runs without a desktop, yet the code it hosts may "show" a message
// box and act on the answer. `MessageBoxes` is the seam: the default
// implementation answers at once with the box's default button, keeps a record
// of what would have been shown (so the current call can pass it on to its
// client) and logs it.

#ifndef QROLE_PLATFORM_MESSAGE_BOX_H_
#define QROLE_PLATFORM_MESSAGE_BOX_H_

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrole::platform {

enum class MsgIcon { None, Error, Warning, Information, Question };
enum class MsgButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };

// Button ids, with the values Windows uses.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

struct MessageBoxRecord {
  std::string text;
  std::string title;
  MsgIcon icon = MsgIcon::None;
  MsgButtons buttons = MsgButtons::Ok;
  int answer = kIdOk;  // The button id Show returned.

  bool operator==(const MessageBoxRecord&) const = default;
};

// "none", "error", "warning", "information", "question".
const char* MsgIconName(MsgIcon icon);
// "ok", "okcancel", "abortretryignore", "yesnocancel", "yesno", "retrycancel".
const char* MsgButtonsName(MsgButtons buttons);
// The icon or buttons with that name (ignoring case), or nullopt.
std::optional<MsgIcon> ParseMsgIcon(std::string_view name);
std::optional<MsgButtons> ParseMsgButtons(std::string_view name);

// The id of the first (default) button: Ok for Ok and OkCancel, Abort, Yes for
// YesNoCancel and YesNo, Retry for RetryCancel.
int DefaultButton(MsgButtons buttons);
// True when `answer` is the id of one of the buttons of `buttons`.
bool IsButtonOf(MsgButtons buttons, int answer);

class MessageBoxes {
 public:
  MessageBoxes() = default;
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;
  virtual ~MessageBoxes() = default;

  // Shows a message box and returns the id of the button answered (kIdOk ...).
  virtual int Show(const std::string& text, const std::string& title, MsgIcon icon,
                   MsgButtons buttons) = 0;
};

// Answers every box at once and records it.
//
// Design: one list of records, guarded by a mutex. The dispatcher of automation
// calls takes the list (TakeRecorded) when a call ends, so the list holds the
// boxes of the call in progress. The log sink receives one line per box:
// "qrole: message box: [title] text", where line breaks of title and text are
// written as "\n" and other control characters as "?", so that a box cannot
// forge log lines.
//
// Thread-safe.
class RecordingMessageBoxes final : public MessageBoxes {
 public:
  using LogSink = std::function<void(const std::string& line)>;

  // Logs to stderr.
  RecordingMessageBoxes();
  // Logs to `sink`; an empty sink logs nothing.
  explicit RecordingMessageBoxes(LogSink sink);

  // Returns the answer queued by QueueAnswer when there is one that is a
  // button of `buttons`, else DefaultButton(buttons); records and logs the box.
  int Show(const std::string& text, const std::string& title, MsgIcon icon,
           MsgButtons buttons) override;

  // Returns the boxes shown since the last call, oldest first, and clears the
  // list.
  std::vector<MessageBoxRecord> TakeRecorded();

  // Makes a later Show answer `answer` instead of the default button (answers
  // are used in the order queued; one that is not a button of the box shown
  // is dropped and the default button answers). For tests.
  void QueueAnswer(int answer);

  // The log line for a box, as sent to the sink.
  static std::string LogLine(const std::string& text, const std::string& title);

 private:
  LogSink sink_;
  std::mutex mu_;
  std::vector<MessageBoxRecord> records_;
  std::deque<int> queued_answers_;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_MESSAGE_BOX_H_
