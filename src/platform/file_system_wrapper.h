// Forwarding wrappers for File and FileSystem.
//
// A test that needs one call to behave differently (fail the third write,
// report a lock as taken) derives from a wrapper and overrides that call; every
// other call goes to the wrapped object unchanged.

#ifndef QROLE_PLATFORM_FILE_SYSTEM_WRAPPER_H_
#define QROLE_PLATFORM_FILE_SYSTEM_WRAPPER_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace qrole::platform {

// Forwards every call to a File it owns.
class FileWrapper : public File {
 public:
  // Takes ownership of `target`, which must not be null.
  explicit FileWrapper(std::unique_ptr<File> target)
      : owned_(std::move(target)), target_(owned_.get()) {}

  File* target() const { return target_; }

  Status ReadAt(uint64_t offset, size_t n, std::string* out) override {
    return target_->ReadAt(offset, n, out);
  }
  Status WriteAt(uint64_t offset, std::string_view data) override {
    return target_->WriteAt(offset, data);
  }
  Result<uint64_t> Size() override { return target_->Size(); }
  Status Truncate(uint64_t size) override { return target_->Truncate(size); }
  Status Sync() override { return target_->Sync(); }
  Status LockRange(uint64_t offset, uint64_t length, bool exclusive) override {
    return target_->LockRange(offset, length, exclusive);
  }
  Status UnlockRange(uint64_t offset, uint64_t length) override {
    return target_->UnlockRange(offset, length);
  }
  Status LockWhole() override { return target_->LockWhole(); }
  Status UnlockWhole() override { return target_->UnlockWhole(); }
  const std::string& path() const override { return target_->path(); }

 protected:
  // Forwards to `target` without owning it.
  explicit FileWrapper(File* target) : target_(target) {}

 private:
  std::unique_ptr<File> owned_;
  File* target_;
};

// Forwards every call to a File it does not own, which must outlive it: one
// open file used through a second owner (its locks are the first one's: on
// one open file, a range unlocked through either is unlocked for both).
class BorrowedFile final : public FileWrapper {
 public:
  explicit BorrowedFile(File* target) : FileWrapper(target) {}
};

// Forwards every call to another FileSystem, which it does not own and which
// must outlive it. Open returns the target's File unwrapped: override Open to
// wrap files.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem* target) : target_(target) {}

  FileSystem* target() const { return target_; }

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    return target_->Open(path, mode);
  }
  bool Exists(const std::string& path) override { return target_->Exists(path); }
  bool IsDirectory(const std::string& path) override { return target_->IsDirectory(path); }
  Status CreateDirectory(const std::string& path) override {
    return target_->CreateDirectory(path);
  }
  Status CreateDirectories(const std::string& path) override {
    return target_->CreateDirectories(path);
  }
  Status CreatePrivateDirectories(const std::string& path) override {
    return target_->CreatePrivateDirectories(path);
  }
  Status Remove(const std::string& path) override { return target_->Remove(path); }
  Status Rename(const std::string& from, const std::string& to) override {
    return target_->Rename(from, to);
  }
  Result<std::string> ReadAll(const std::string& path) override { return target_->ReadAll(path); }
  Status WriteAllAtomic(const std::string& path, std::string_view data) override {
    return target_->WriteAllAtomic(path, data);
  }
  Result<std::vector<std::string>> List(const std::string& dir,
                                        const std::string& pattern) override {
    return target_->List(dir, pattern);
  }
  std::string Resolve(const std::string& path) override { return target_->Resolve(path); }
  Result<std::string> CurrentDirectory() override { return target_->CurrentDirectory(); }
  Status SetCurrentDirectory(const std::string& path) override {
    return target_->SetCurrentDirectory(path);
  }

 private:
  FileSystem* const target_;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_FILE_SYSTEM_WRAPPER_H_
