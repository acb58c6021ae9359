#include "platform/settings_store.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/file_identity.h"
#include "platform/ini_document_internal.h"
#include "platform/path.h"

namespace qrole::platform {
namespace {

using internal::IniDocument;

// Holds the exclusive lock on a store's lock file while alive.
class WriterLock {
 public:
  // Opens (creating) `lock_path` and takes its whole-file lock, waiting up to
  // `timeout_ms`. Check ok() afterwards.
  WriterLock(FileSystem* file_system, const std::string& lock_path, int timeout_ms) {
    Result<std::unique_ptr<File>> file = file_system->Open(lock_path, OpenMode::ReadWriteCreate);
    if (!file.ok()) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    auto pause = std::chrono::microseconds(200);
    while (true) {
      const Status status = (*file)->LockWhole();
      if (status.ok()) {
        file_ = std::move(*file);
        return;
      }
      if (!status.IsBusy() || std::chrono::steady_clock::now() >= deadline) return;
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
  }
  // Closing the file releases the lock.
  ~WriterLock() = default;

  bool ok() const { return file_ != nullptr; }

 private:
  std::unique_ptr<File> file_;
};

}  // namespace

IniSettingsStore::IniSettingsStore(std::string file_path, FileSystem* file_system)
    : file_path_(std::move(file_path)),
      file_system_(file_system != nullptr ? file_system : NativeFileSystem()) {}

std::shared_ptr<const IniDocument> IniSettingsStore::Document() {
  // The version is the operating system's view of the file: trusted only
  // when the file system is the operating system's own (a test's wrapper
  // may fail what the file would give).
  const std::string version =
      file_system_ == NativeFileSystem() ? FileVersion(file_path_) : std::string();
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!version.empty() && version == parsed_version_) return parsed_;
  }
  Result<std::string> text = file_system_->ReadAll(file_path_);
  if (!text.ok()) return nullptr;
  auto doc = std::make_shared<const IniDocument>(IniDocument::Parse(*text));
  std::lock_guard<std::mutex> lock(mu_);
  parsed_version_ = version;
  parsed_ = doc;
  return doc;
}

std::optional<std::string> IniSettingsStore::Read(const std::string& key_path,
                                                  const std::string& name) {
  std::shared_ptr<const IniDocument> doc = Document();
  if (doc == nullptr) return std::nullopt;
  return doc->Get(key_path, name);
}

namespace {

// Locks the store, applies `edit` to its document and writes the result when
// `edit` changed anything. `edit` returns false to refuse, true otherwise.
bool Modify(FileSystem* file_system, const std::string& file_path,
            const std::function<bool(IniDocument*)>& edit) {
  const std::string dir = DirName(file_path);
  if (!dir.empty() && !file_system->CreatePrivateDirectories(dir).ok()) return false;
  WriterLock lock(file_system, file_path + ".lock", IniSettingsStore::kLockTimeoutMs);
  if (!lock.ok()) return false;

  std::string before;
  if (Result<std::string> text = file_system->ReadAll(file_path); text.ok()) {
    before = std::move(*text);
  } else if (!text.status().IsNotFound()) {
    return false;  // Unreadable: rewriting it would drop whatever it holds.
  }
  IniDocument doc = IniDocument::Parse(before);
  if (!edit(&doc)) return false;
  const std::string after = doc.Serialize();
  if (after == before) return true;
  return file_system->WriteAllAtomic(file_path, after).ok();
}

}  // namespace

bool IniSettingsStore::EnsureKey(const std::string& key_path) {
  if (!IniDocument::IsStorableSection(key_path)) return false;
  // Nothing to lock or write when the key is there already.
  if (std::shared_ptr<const IniDocument> doc = Document(); doc && doc->HasSection(key_path)) {
    return true;
  }
  return Modify(file_system_, file_path_,
                [&](IniDocument* doc) { return doc->AddSection(key_path); });
}

bool IniSettingsStore::Write(const std::string& key_path, const std::string& name,
                             const std::string& value) {
  if (!IniDocument::IsStorableSection(key_path) || !IniDocument::IsStorableName(name) ||
      !IniDocument::IsStorableValue(value)) {
    return false;
  }
  return Modify(file_system_, file_path_,
                [&](IniDocument* doc) { return doc->Set(key_path, name, value); });
}

}  // namespace qrole::platform
