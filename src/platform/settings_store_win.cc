#include "platform/settings_store_win.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/windows_internal_win.h"

namespace qrole::platform {
namespace {

using internal::Narrow;
using internal::Widen;

std::wstring KeyPath(const std::string& key_path) {
  std::wstring out = Widen(key_path);
  for (wchar_t& c : out)
    if (c == L'/') c = L'\\';
  while (!out.empty() && out.back() == L'\\') out.pop_back();
  while (!out.empty() && out.front() == L'\\') out.erase(0, 1);
  return out;
}

class ScopedKey {
 public:
  ScopedKey() = default;
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ~ScopedKey() {
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::optional<std::string> RegistrySettingsStore::Read(const std::string& key_path,
                                                       const std::string& name) {
  const std::wstring path = KeyPath(key_path);
  if (path.empty()) return std::nullopt;
  ScopedKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const std::wstring wname = Widen(name);
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<BYTE> data(size + sizeof(wchar_t));
  // The value may grow between the two calls: ask again until it fits.
  LONG rc;
  while ((rc = ::RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, data.data(), &size)) ==
         ERROR_MORE_DATA) {
    data.resize(size + sizeof(wchar_t));
  }
  if (rc != ERROR_SUCCESS) return std::nullopt;
  if (type == REG_DWORD && size >= sizeof(DWORD)) {
    DWORD v;
    std::memcpy(&v, data.data(), sizeof(v));
    return std::to_string(v);
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
  // A stored value need not carry its terminating NUL; cut at the first one.
  if (size_t nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
  return Narrow(text);
}

bool RegistrySettingsStore::EnsureKey(const std::string& key_path) {
  const std::wstring path = KeyPath(key_path);
  if (path.empty()) return false;
  ScopedKey key;
  return ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_QUERY_VALUE, nullptr, key.out(), nullptr) == ERROR_SUCCESS;
}

bool RegistrySettingsStore::Write(const std::string& key_path, const std::string& name,
                                  const std::string& value) {
  const std::wstring path = KeyPath(key_path);
  if (path.empty() || value.find('\0') != std::string::npos) return false;
  ScopedKey key;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring wvalue = Widen(value);
  const std::wstring wname = Widen(name);
  return ::RegSetValueExW(
             key.get(), wname.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wvalue.c_str()),
             static_cast<DWORD>((wvalue.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistrySettingsStore::DeleteTree(const std::string& key_path) {
  const std::wstring path = KeyPath(key_path);
  if (path.empty()) return false;
  const LONG rc = ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
    // RegDeleteTree leaves the key itself on some systems.
    const LONG gone = ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    return gone == ERROR_SUCCESS || gone == ERROR_FILE_NOT_FOUND;
  }
  return false;
}

}  // namespace qrole::platform
