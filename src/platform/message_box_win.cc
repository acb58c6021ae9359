#include "platform/message_box_win.h"

#include <windows.h>

#include <cstdio>

#include "platform/clock.h"
#include "platform/path.h"
#include "platform/settings_store_win.h"
#include "platform/system_info.h"
#include "platform/text_encoding.h"
#include "platform/windows_internal_win.h"

namespace qrole::platform {
namespace {

using internal::Widen;
using internal::WindowsPath;

UINT IconFlags(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::None:
      return 0;
    case MsgIcon::Error:
      return MB_ICONERROR;
    case MsgIcon::Warning:
      return MB_ICONWARNING;
    case MsgIcon::Information:
      return MB_ICONINFORMATION;
    case MsgIcon::Question:
      return MB_ICONQUESTION;
  }
  return 0;
}

UINT ButtonFlags(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return MB_OK;
    case MsgButtons::OkCancel:
      return MB_OKCANCEL;
    case MsgButtons::AbortRetryIgnore:
      return MB_ABORTRETRYIGNORE;
    case MsgButtons::YesNoCancel:
      return MB_YESNOCANCEL;
    case MsgButtons::YesNo:
      return MB_YESNO;
    case MsgButtons::RetryCancel:
      return MB_RETRYCANCEL;
  }
  return MB_OK;
}

bool HasVisibleDesktop() {
  HWINSTA station = ::GetProcessWindowStation();
  if (station == nullptr) return false;
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed))
    return true;  // Unknown: assume a desktop, as an ordinary program would.
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

std::string TimeStamp() {
  const LocalDateTime t = NativeClock()->Now();
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

}  // namespace

DesktopMessageBoxes::DesktopMessageBoxes()
    : recorder_([this](const std::string& line) { AppendToLog(line); }) {}

bool DesktopMessageBoxes::LogsInsteadOfShowing() {
  RegistrySettingsStore settings;
  std::optional<std::string> mode = settings.Read(kServerSettingsKey, "MessageBoxes");
  if (mode && EqualsIgnoreCase(*mode, "log")) return true;
  return !HasVisibleDesktop();
}

std::string DesktopMessageBoxes::LogFilePath() {
  RegistrySettingsStore settings;
  std::optional<std::string> file = settings.Read(kServerSettingsKey, "LogFile");
  if (file && !file->empty()) return NormalizeSeparators(*file);
  return JoinPath(KnownFolderPath(KnownFolder::LocalAppData), "qrole/QROLE75.log");
}

void DesktopMessageBoxes::AppendToLog(const std::string& line) {
  const std::string path = LogFilePath();
  std::wstring text = Widen(TimeStamp() + " " + line + "\r\n");
  std::lock_guard<std::mutex> lock(log_mu_);
  ::CreateDirectoryW(WindowsPath(DirName(path)).c_str(), nullptr);
  HANDLE h = ::CreateFileW(WindowsPath(path).c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(h, &size) && size.QuadPart == 0) text.insert(text.begin(), L'\xFEFF');
  DWORD written = 0;
  ::WriteFile(h, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  ::CloseHandle(h);
}

int DesktopMessageBoxes::Show(const std::string& text, const std::string& title, MsgIcon icon,
                              MsgButtons buttons) {
  if (LogsInsteadOfShowing()) {
    const int answer = recorder_.Show(text, title, icon, buttons);
    // Nobody collects the records here: the log is the record.
    recorder_.TakeRecorded().clear();
    return answer;
  }
  // The runtime's message box titles an untitled box with the program's name.
  const std::wstring wtitle = Widen(title.empty() ? "QROLE75" : title);
  const int answer = ::MessageBoxW(
      nullptr, Widen(text).c_str(), wtitle.c_str(),
      IconFlags(icon) | ButtonFlags(buttons) | MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST);
  return answer == 0 ? DefaultButton(buttons) : answer;
}

}  // namespace qrole::platform
