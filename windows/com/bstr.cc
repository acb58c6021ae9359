#include "com/bstr.h"

#include "platform/windows_internal_win.h"

namespace qrole::com {

BSTR ToBstr(std::string_view utf8) {
  const std::wstring wide = platform::internal::Widen(utf8);
  return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string FromBstr(const BSTR b) {
  if (b == nullptr) return "";
  return platform::internal::Narrow(std::wstring_view(b, ::SysStringLen(b)));
}

}  // namespace qrole::com
