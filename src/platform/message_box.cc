#include "platform/message_box.h"

#include <cstdio>
#include <utility>

#include "platform/text_encoding.h"

namespace qrole::platform {
namespace {

constexpr MsgIcon kIcons[] = {MsgIcon::None, MsgIcon::Error, MsgIcon::Warning, MsgIcon::Information,
                              MsgIcon::Question};
constexpr MsgButtons kButtons[] = {
    MsgButtons::Ok,          MsgButtons::OkCancel, MsgButtons::AbortRetryIgnore,
    MsgButtons::YesNoCancel, MsgButtons::YesNo,    MsgButtons::RetryCancel};

void AppendForLog(std::string_view s, std::string* out) {
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\r') {
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
      *out += "\\n";
    } else if (c == '\n') {
      *out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      *out += '?';
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
}

}  // namespace

const char* MsgIconName(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::None:
      return "none";
    case MsgIcon::Error:
      return "error";
    case MsgIcon::Warning:
      return "warning";
    case MsgIcon::Information:
      return "information";
    case MsgIcon::Question:
      return "question";
  }
  return "none";
}

const char* MsgButtonsName(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return "ok";
    case MsgButtons::OkCancel:
      return "okcancel";
    case MsgButtons::AbortRetryIgnore:
      return "abortretryignore";
    case MsgButtons::YesNoCancel:
      return "yesnocancel";
    case MsgButtons::YesNo:
      return "yesno";
    case MsgButtons::RetryCancel:
      return "retrycancel";
  }
  return "ok";
}

std::optional<MsgIcon> ParseMsgIcon(std::string_view name) {
  for (MsgIcon icon : kIcons) {
    if (EqualsIgnoreCase(name, MsgIconName(icon))) return icon;
  }
  return std::nullopt;
}

std::optional<MsgButtons> ParseMsgButtons(std::string_view name) {
  for (MsgButtons buttons : kButtons) {
    if (EqualsIgnoreCase(name, MsgButtonsName(buttons))) return buttons;
  }
  return std::nullopt;
}

int DefaultButton(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel:
      return kIdOk;
    case MsgButtons::AbortRetryIgnore:
      return kIdAbort;
    case MsgButtons::YesNoCancel:
    case MsgButtons::YesNo:
      return kIdYes;
    case MsgButtons::RetryCancel:
      return kIdRetry;
  }
  return kIdOk;
}

bool IsButtonOf(MsgButtons buttons, int answer) {
  switch (buttons) {
    case MsgButtons::Ok:
      return answer == kIdOk;
    case MsgButtons::OkCancel:
      return answer == kIdOk || answer == kIdCancel;
    case MsgButtons::AbortRetryIgnore:
      return answer == kIdAbort || answer == kIdRetry || answer == kIdIgnore;
    case MsgButtons::YesNoCancel:
      return answer == kIdYes || answer == kIdNo || answer == kIdCancel;
    case MsgButtons::YesNo:
      return answer == kIdYes || answer == kIdNo;
    case MsgButtons::RetryCancel:
      return answer == kIdRetry || answer == kIdCancel;
  }
  return false;
}

RecordingMessageBoxes::RecordingMessageBoxes()
    : RecordingMessageBoxes([](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
      }) {}

RecordingMessageBoxes::RecordingMessageBoxes(LogSink sink) : sink_(std::move(sink)) {}

std::string RecordingMessageBoxes::LogLine(const std::string& text, const std::string& title) {
  std::string line = "qrole: message box: [";
  AppendForLog(title, &line);
  line += "] ";
  AppendForLog(text, &line);
  return line;
}

int RecordingMessageBoxes::Show(const std::string& text, const std::string& title, MsgIcon icon,
                                MsgButtons buttons) {
  int answer = DefaultButton(buttons);
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!queued_answers_.empty()) {
      if (IsButtonOf(buttons, queued_answers_.front())) answer = queued_answers_.front();
      queued_answers_.pop_front();
    }
    records_.push_back(MessageBoxRecord{text, title, icon, buttons, answer});
  }
  if (sink_) sink_(LogLine(text, title));
  return answer;
}

std::vector<MessageBoxRecord> RecordingMessageBoxes::TakeRecorded() {
  std::lock_guard<std::mutex> lock(mu_);
  return std::exchange(records_, {});
}

void RecordingMessageBoxes::QueueAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mu_);
  queued_answers_.push_back(answer);
}

}  // namespace qrole::platform
