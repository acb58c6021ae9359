// Message boxes of the Windows server.
//
// By default a box is shown on the user's desktop with MessageBoxW (task
// modal, in front) and its answer returned. A server without a desktop, and a
// test, sets the registry value
//
//   HKEY_CURRENT_USER\SOFTWARE\QRN\Valdrix\QROLE75  MessageBoxes = "log"
//
// and then every box is answered at once with its default button and written
// as one line to the log file: the value "LogFile" of the same key, else
// <LocalAppData>/qrole/QROLE75.log. A process whose window station has no
// visible desktop (a service) logs as well, whatever the setting. The log file
// is UTF-16 with a byte-order mark, one CR LF ended line per box:
//
//   2024-05-31 17:04:05 qrole: message box: [title] text
//
// The setting is read at every box, so it can be changed while the server runs.
//
// Thread-safe.

#ifndef QROLE_PLATFORM_MESSAGE_BOX_WIN_H_
#define QROLE_PLATFORM_MESSAGE_BOX_WIN_H_

#include <mutex>
#include <string>

#include "platform/message_box.h"

namespace qrole::platform {

// Key of the server's own settings under HKEY_CURRENT_USER.
inline constexpr const char* kServerSettingsKey = "SOFTWARE\\QRN\\Valdrix\\QROLE75";

class DesktopMessageBoxes final : public MessageBoxes {
 public:
  DesktopMessageBoxes();

  int Show(const std::string& text, const std::string& title, MsgIcon icon,
           MsgButtons buttons) override;

  // True when boxes are logged rather than shown (the setting, or no desktop).
  bool LogsInsteadOfShowing();
  // The log file in force ("/" separators).
  std::string LogFilePath();

 private:
  void AppendToLog(const std::string& line);

  std::mutex log_mu_;
  RecordingMessageBoxes recorder_;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_MESSAGE_BOX_WIN_H_
