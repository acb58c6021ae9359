#include <windows.h>

#include <vector>

#include "platform/env.h"
#include "platform/file_identity.h"
#include "platform/text_encoding.h"
#include "platform/windows_internal_win.h"

namespace qrole::platform {

std::string FileIdentity(const std::string& path) {
  const std::string resolved = CurrentEnv()->Files().Resolve(path);
  // The long form, short names expanded.
  const std::wstring wide = internal::WindowsPath(resolved);
  std::vector<wchar_t> buf(wide.size() + MAX_PATH);
  const DWORD n = ::GetLongPathNameW(wide.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
  if (n > 0 && n < buf.size())
    return ToUpperCase(internal::ServerPath(std::wstring_view(buf.data(), n)));
  // A file not created yet: its folder's long form and its own name.
  const size_t slash = resolved.rfind('/');
  if (slash != std::string::npos && slash > 0 && slash + 1 < resolved.size())
    return FileIdentity(resolved.substr(0, slash)) + "/" + ToUpperCase(resolved.substr(slash + 1));
  return ToUpperCase(resolved);
}

std::string FileStamp(const std::string& path) {
  const std::wstring wide = internal::WindowsPath(CurrentEnv()->Files().Resolve(path));
  HANDLE h = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  BY_HANDLE_FILE_INFORMATION info;
  std::string stamp;
  if (::GetFileInformationByHandle(h, &info)) {
    stamp = std::to_string(info.dwVolumeSerialNumber) + ":" +
            std::to_string((uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
  }
  ::CloseHandle(h);
  return stamp;
}

std::string FileVersion(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  const std::wstring wide = internal::WindowsPath(CurrentEnv()->Files().Resolve(path));
  if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return "";
  return FileStamp(path) + ":" + std::to_string(data.nFileSizeLow) + ":" +
         std::to_string(data.nFileSizeHigh) + ":" +
         std::to_string(data.ftLastWriteTime.dwLowDateTime) + "." +
         std::to_string(data.ftLastWriteTime.dwHighDateTime);
}

// Files are not kept open here: nothing relies on a directory's stamp.
std::string DirectoryStamp(const std::string&) { return ""; }

bool IsSymbolicLink(const std::string& path) {
  const DWORD attributes =
      ::GetFileAttributesW(internal::WindowsPath(CurrentEnv()->Files().Resolve(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool KeepFilesOpenBetweenCalls() { return false; }

}  // namespace qrole::platform
