// User, machine and folder facts from the Windows API.
//
// Known folders are the shell's: AppData is the roaming application data,
// LocalAppData the local one, CommonAppData ProgramData, Documents and Desktop
// the user's, ProgramFiles the program files folder of this 32-bit process,
// Temp the user's temporary folder. Paths use "/" as separator and carry no
// trailing "/".

#include <windows.h>
// The other Windows headers need windows.h first.
#include <lmcons.h>
#include <shlobj.h>

#include <vector>

#include "platform/path.h"
#include "platform/system_info.h"
#include "platform/windows_internal_win.h"

namespace qrole::platform {
namespace {

using internal::Narrow;
using internal::ServerPath;
using internal::WindowsPath;

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/' && path[path.size() - 2] != ':') path.pop_back();
  return path;
}

std::string ShellFolder(REFKNOWNFOLDERID id) {
  wchar_t* path = nullptr;
  std::string out;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path != nullptr)
    out = WithoutTrailingSeparator(ServerPath(path));
  ::CoTaskMemFree(path);
  return out;
}

std::string TempFolder() {
  wchar_t buf[MAX_PATH + 2];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
  if (n == 0 || n > MAX_PATH + 1) return "C:/Windows/Temp";
  return WithoutTrailingSeparator(ServerPath(std::wstring_view(buf, n)));
}

}  // namespace

std::string HomeDirectory() {
  std::string home = ShellFolder(FOLDERID_Profile);
  return home.empty() ? "C:/" : home;
}

std::string UserName() {
  wchar_t buf[UNLEN + 1];
  DWORD n = UNLEN + 1;
  if (::GetUserNameW(buf, &n) && n > 1) return Narrow(std::wstring_view(buf, n - 1));
  return "user";
}

std::string ComputerName() {
  wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  if (::GetComputerNameW(buf, &n) && n > 0) return Narrow(std::wstring_view(buf, n));
  return "localhost";
}

// The moment the machine started, to the minute: the clock now less the time
// since boot. Computed once: two computations a moment apart may fall either
// side of a minute, and a process lives within one boot.
std::string BootId() {
  static const std::string id = [] {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    const ULONGLONG now = (ULONGLONG{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
    const ULONGLONG since_boot = ::GetTickCount64() * 10000ULL;
    return "boot-" + std::to_string((now - since_boot) / (600000000ULL));
  }();
  return id;
}

std::string KnownFolderPath(KnownFolder folder) {
  std::string path;
  switch (folder) {
    case KnownFolder::AppData:
      path = ShellFolder(FOLDERID_RoamingAppData);
      break;
    case KnownFolder::LocalAppData:
      path = ShellFolder(FOLDERID_LocalAppData);
      break;
    case KnownFolder::CommonAppData:
      path = ShellFolder(FOLDERID_ProgramData);
      break;
    case KnownFolder::Documents:
      path = ShellFolder(FOLDERID_Documents);
      break;
    case KnownFolder::Desktop:
      path = ShellFolder(FOLDERID_Desktop);
      break;
    case KnownFolder::ProgramFiles:
      path = ShellFolder(FOLDERID_ProgramFiles);
      break;
    case KnownFolder::Temp:
      return TempFolder();
  }
  return path.empty() ? JoinPath(HomeDirectory(), "AppData") : path;
}

std::string ShortPathName(std::string_view path) {
  const std::wstring wide = WindowsPath(path);
  std::vector<wchar_t> buf(MAX_PATH);
  while (true) {
    const DWORD n = ::GetShortPathNameW(wide.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    // A path that does not exist has no short form: it is returned as given.
    if (n == 0) return NormalizeSeparators(path);
    if (n < buf.size()) return ServerPath(std::wstring_view(buf.data(), n));
    buf.resize(n + 1);
  }
}

}  // namespace qrole::platform
