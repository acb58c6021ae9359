// The desktop's profile of user preferences (sections of "key=value" lines),
// where the server finds the number formats the desktop programs use.

#ifndef QROLE_PLATFORM_PROFILE_H_
#define QROLE_PLATFORM_PROFILE_H_

#include <string>

#include "platform/file_system.h"

namespace qrole::platform {

class Profile {
 public:
  Profile() = default;
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;
  virtual ~Profile() = default;

  // The value of `key` in `section` (both matched ignoring case), or
  // `default_value` when it is missing or the profile cannot be read. Never
  // fails.
  virtual std::string GetString(const std::string& section, const std::string& key,
                                const std::string& default_value) = 0;
};

// A profile kept in an INI file (UTF-8), read afresh on every call so that
// edits show at once.
//
// Three keys of section [intl] never fall back to the caller's default: when
// the file or the key is missing they take the conventions of a Spanish
// desktop, which the data files assume: icurrdigits "2" (currency decimals),
// sDecimal "," and sThousand ".". A key present with an empty value returns
// the empty value. Values are returned with their blanks (a thousands
// separator may be a blank).
//
// Thread-safe.
class IniProfile final : public Profile {
 public:
  // Reads the file at `file_path` through `file_system` (not owned; must
  // outlive this object; null means NativeFileSystem()). The file need not
  // exist.
  explicit IniProfile(std::string file_path, FileSystem* file_system = nullptr);

  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& default_value) override;

  const std::string& file_path() const { return file_path_; }

 private:
  const std::string file_path_;
  FileSystem* const file_system_;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_PROFILE_H_
