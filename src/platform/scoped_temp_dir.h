// A fresh directory removed with all its content when the object dies. Meant
// for tests.

#ifndef QROLE_PLATFORM_SCOPED_TEMP_DIR_H_
#define QROLE_PLATFORM_SCOPED_TEMP_DIR_H_

#include <string>

namespace qrole::platform {

class ScopedTempDir {
 public:
  // Creates a new, empty, owner-only directory inside `parent` (the Temp known
  // folder when empty). Aborts the process when it cannot, since a test
  // without its directory cannot run meaningfully.
  explicit ScopedTempDir(const std::string& parent = "");
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  // Removes the directory and everything in it (best effort).
  ~ScopedTempDir();

  // Path of the directory (absolute when `parent` is), without trailing "/".
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string Child(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_SCOPED_TEMP_DIR_H_
