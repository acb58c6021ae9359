// Settings in the Windows registry of the current user.

#ifndef QROLE_PLATFORM_SETTINGS_STORE_WIN_H_
#define QROLE_PLATFORM_SETTINGS_STORE_WIN_H_

#include <optional>
#include <string>

#include "platform/settings_store.h"

namespace qrole::platform {

// Keys are paths under HKEY_CURRENT_USER ("SOFTWARE\QRN\Valdrix\Settings",
// "\" or "/" as separator), values are REG_SZ texts. The registry itself
// matches key paths and value names ignoring case, serialises writers and makes
// every write visible at once to every process of the user.
//
// Read returns REG_SZ and REG_EXPAND_SZ values as stored (not expanded) and
// REG_DWORD values as decimal text; other value types read as missing. Write
// refuses (returns false) a value holding a NUL character, an empty key path,
// and a key the user may not create; the registry is then unchanged.
//
// Thread-safe.
class RegistrySettingsStore final : public SettingsStore {
 public:
  RegistrySettingsStore() = default;

  std::optional<std::string> Read(const std::string& key_path, const std::string& name) override;
  bool EnsureKey(const std::string& key_path) override;
  bool Write(const std::string& key_path, const std::string& name,
             const std::string& value) override;

  // Removes key `key_path` of HKEY_CURRENT_USER with everything under it.
  // True when the key is gone afterwards (also when it never existed).
  static bool DeleteTree(const std::string& key_path);
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_SETTINGS_STORE_WIN_H_
