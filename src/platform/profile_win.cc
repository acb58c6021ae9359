#include "platform/profile_win.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "platform/text_encoding.h"
#include "platform/windows_internal_win.h"

namespace qrole::platform {
namespace {

using internal::Narrow;
using internal::Widen;

// Default given to GetProfileString to tell a missing key from an empty one.
constexpr wchar_t kMissing[] = L"\x1\x2qrole-missing\x2\x1";

std::optional<std::string> ProfileValue(const std::string& section, const std::string& key) {
  const std::wstring wsection = Widen(section);
  const std::wstring wkey = Widen(key);
  std::vector<wchar_t> buf(256);
  while (true) {
    const DWORD n = ::GetProfileStringW(wsection.c_str(), wkey.c_str(), kMissing, buf.data(),
                                        static_cast<DWORD>(buf.size()));
    if (n + 2 < buf.size()) {
      std::wstring value(buf.data(), n);
      if (value == kMissing) return std::nullopt;
      return Narrow(value);
    }
    buf.resize(buf.size() * 4);
  }
}

std::optional<std::string> LocaleValue(LCTYPE type) {
  wchar_t buf[64];
  const int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 64);
  if (n <= 0) return std::nullopt;
  return Narrow(std::wstring_view(buf, static_cast<size_t>(n - 1)));
}

// The locale setting behind an [intl] key, or 0.
LCTYPE IntlLocaleType(const std::string& section, const std::string& key) {
  if (!EqualsIgnoreCase(section, "intl")) return 0;
  if (EqualsIgnoreCase(key, "icurrdigits")) return LOCALE_ICURRDIGITS;
  if (EqualsIgnoreCase(key, "sDecimal")) return LOCALE_SDECIMAL;
  if (EqualsIgnoreCase(key, "sThousand")) return LOCALE_STHOUSAND;
  return 0;
}

}  // namespace

std::string WindowsProfile::GetString(const std::string& section, const std::string& key,
                                      const std::string& default_value) {
  if (std::optional<std::string> value = ProfileValue(section, key)) return std::move(*value);
  if (LCTYPE type = IntlLocaleType(section, key); type != 0) {
    if (std::optional<std::string> value = LocaleValue(type)) return std::move(*value);
  }
  return default_value;
}

}  // namespace qrole::platform
