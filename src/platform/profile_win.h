// The Windows profile (WIN.INI) of the current user.

#ifndef QROLE_PLATFORM_PROFILE_WIN_H_
#define QROLE_PLATFORM_PROFILE_WIN_H_

#include <string>

#include "platform/profile.h"

namespace qrole::platform {

// Reads values with GetProfileString, which Windows maps onto the user's
// registry (the [intl] section onto the regional settings).
//
// Three keys of section [intl] never fall back to the caller's default: when
// the profile has no value for them they take the user's locale, as the
// regional settings would give them: icurrdigits (LOCALE_ICURRDIGITS), sDecimal
// (LOCALE_SDECIMAL) and sThousand (LOCALE_STHOUSAND).
//
// Thread-safe.
class WindowsProfile final : public Profile {
 public:
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& default_value) override;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_PROFILE_WIN_H_
