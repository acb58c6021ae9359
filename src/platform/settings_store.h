// Persistent settings, organised as a registry: keys named by paths such as
// "SOFTWARE\QRN\Valdrix\Settings", each holding named string values.
//
// Key paths and value names are matched ignoring case (ASCII and Latin-1
// letters, see FoldCase); values are returned exactly as stored.

#ifndef QROLE_PLATFORM_SETTINGS_STORE_H_
#define QROLE_PLATFORM_SETTINGS_STORE_H_

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/file_system.h"

namespace qrole::platform {

class SettingsStore {
 public:
  SettingsStore() = default;
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;
  virtual ~SettingsStore() = default;

  // The value `name` of key `key_path`; nullopt when the key or the value is
  // missing, or the store cannot be read.
  virtual std::optional<std::string> Read(const std::string& key_path, const std::string& name) = 0;

  // Makes sure key `key_path` exists, creating it empty when missing. False
  // when it cannot be created (the store cannot be written, or the path cannot
  // be stored).
  virtual bool EnsureKey(const std::string& key_path) = 0;

  // Sets value `name` of key `key_path` to `value`, creating the key when
  // missing. False when nothing was stored (the store cannot be written, or
  // the path, name or value cannot be stored); the store is then unchanged.
  virtual bool Write(const std::string& key_path, const std::string& name,
                     const std::string& value) = 0;
};

// Settings kept in an INI file (UTF-8), one section per key path:
//
//   [SOFTWARE\QRN\Valdrix\Settings]
//   DATOS_DIR=/srv/conta/datos/
//
// Design: the file is the only state. A Read parses the file again whenever
// it changed (its FileVersion: a rename over it, a new size or time), so a
// value written by another process is seen at once, and one that did not
// change costs one look at the file. Every change rewrites the
// whole file through FileSystem::WriteAllAtomic (temporary file, flush,
// rename), so a reader never sees a half-written file, and writers are
// serialised by an exclusive lock on the side file "<file>.lock", held from
// before the file is read until after it is replaced: two processes (or two
// threads) writing at once never lose each other's values. The lock file is
// never removed (removing it would let two writers lock different files). A
// writer waits for the lock up to kLockTimeoutMs, then gives up (Write returns
// false). Missing directories of the file are created accessible to the owner
// only.
//
// The file keeps comments (";" or "#"), blank lines, unknown lines and the
// order of sections and values across writes. A value is everything after the
// first "=" up to the end of the line, blanks included (a value of one blank
// is stored and read back as one blank). What a line cannot hold is refused
// rather than stored damaged: Write returns false for a value with a line break
// or NUL, a name with "=" or a line break, a name starting with "[", ";" or
// "#", a key path with "]" or a line break, and empty names or key paths.
//
// Thread-safe.
namespace internal {
class IniDocument;
}

class IniSettingsStore final : public SettingsStore {
 public:
  static constexpr int kLockTimeoutMs = 10000;

  // Uses the file at `file_path` through `file_system` (not owned; must
  // outlive this object; null means NativeFileSystem()). The file need not
  // exist.
  explicit IniSettingsStore(std::string file_path, FileSystem* file_system = nullptr);

  std::optional<std::string> Read(const std::string& key_path, const std::string& name) override;
  bool EnsureKey(const std::string& key_path) override;
  bool Write(const std::string& key_path, const std::string& name,
             const std::string& value) override;

  const std::string& file_path() const { return file_path_; }

 private:
  // The file parsed, or the document kept from the last parse while the
  // file has not changed; null when it cannot be read.
  std::shared_ptr<const internal::IniDocument> Document();

  const std::string file_path_;
  FileSystem* const file_system_;
  // The document last parsed and the version of the file it came from.
  std::mutex mu_;
  std::string parsed_version_;
  std::shared_ptr<const internal::IniDocument> parsed_;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_SETTINGS_STORE_H_
