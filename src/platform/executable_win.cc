#include <windows.h>

#include <vector>

#include "platform/executable.h"
#include "platform/path.h"
#include "platform/windows_internal_win.h"

namespace qrole::platform {

using internal::Narrow;
using internal::ServerPath;
using internal::Widen;

std::string ExecutablePath() {
  std::vector<wchar_t> buf(MAX_PATH);
  while (true) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return "";
    if (n < buf.size()) return ServerPath(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

std::vector<std::string> ShippedFileFolders() {
  const std::string exe = ExecutablePath();
  if (exe.empty()) return {};
  const std::string folder = DirName(exe);
  return {folder, JoinPath(folder, "../share/qrole")};
}

std::string EnvironmentVariable(const std::string& name) {
  const std::wstring wname = Widen(name);
  std::vector<wchar_t> buf(256);
  while (true) {
    const DWORD n =
        ::GetEnvironmentVariableW(wname.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return "";
    if (n < buf.size()) return Narrow(std::wstring_view(buf.data(), n));
    buf.resize(n + 1);
  }
}

}  // namespace qrole::platform
