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

}  // namespace qrole::platform
