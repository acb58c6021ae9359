#include "platform/power_cut.h"

#include <map>
#include <mutex>
#include <vector>

namespace qrole::platform {

struct PowerCutFileSystem::State {
  struct Undo {
    uint64_t offset = 0;
    std::string before;  // the bytes the write covered (shorter where the file ended)
    uint64_t size = 0;   // the file's size before the write
  };
  struct Pending {
    FileSystem* target = nullptr;
    std::vector<Undo> undo;  // oldest first
  };

  // Counts one operation; false when the power is (now) off.
  bool Step() {
    if (off) return false;
    ++operations;
    if (left == 0) {
      off = true;
      return false;
    }
    if (left > 0) --left;
    return true;
  }

  std::mutex mu;
  int left = -1;
  bool off = false;
  int operations = 0;
  std::map<std::string, Pending> files;  // by path
};

namespace {

Status PowerOff(const std::string& path) { return Status::IOError(path + ": power cut"); }

class PowerCutFile final : public FileWrapper {
 public:
  PowerCutFile(std::unique_ptr<File> target, FileSystem* fs,
               std::shared_ptr<PowerCutFileSystem::State> state)
      : FileWrapper(std::move(target)), fs_(fs), state_(std::move(state)) {}

  Status ReadAt(uint64_t offset, size_t n, std::string* out) override {
    if (Off()) return PowerOff(path());
    return FileWrapper::ReadAt(offset, n, out);
  }
  Status WriteAt(uint64_t offset, std::string_view data) override {
    std::lock_guard<std::mutex> lock(state_->mu);
    if (!state_->Step()) return PowerOff(path());
    PowerCutFileSystem::State::Undo undo;
    undo.offset = offset;
    Result<uint64_t> size = target()->Size();
    if (!size.ok()) return size.status();
    undo.size = *size;
    Status status = target()->ReadAt(offset, data.size(), &undo.before);
    if (!status.ok()) return status;
    status = FileWrapper::WriteAt(offset, data);
    auto& pending = state_->files[path()];
    pending.target = fs_;
    pending.undo.push_back(std::move(undo));
    return status;
  }
  Result<uint64_t> Size() override {
    if (Off()) return PowerOff(path());
    return FileWrapper::Size();
  }
  Status Truncate(uint64_t size) override {
    std::lock_guard<std::mutex> lock(state_->mu);
    if (!state_->Step()) return PowerOff(path());
    PowerCutFileSystem::State::Undo undo;
    Result<uint64_t> old = target()->Size();
    if (!old.ok()) return old.status();
    undo.size = *old;
    undo.offset = size;
    if (size < *old) {
      Status status = target()->ReadAt(size, static_cast<size_t>(*old - size), &undo.before);
      if (!status.ok()) return status;
    }
    auto& pending = state_->files[path()];
    pending.target = fs_;
    pending.undo.push_back(std::move(undo));
    return FileWrapper::Truncate(size);
  }
  Status Sync() override {
    std::lock_guard<std::mutex> lock(state_->mu);
    if (!state_->Step()) return PowerOff(path());
    Status status = FileWrapper::Sync();
    if (status.ok()) state_->files.erase(path());
    return status;
  }
  Status LockRange(uint64_t offset, uint64_t length, bool exclusive) override {
    if (Off()) return PowerOff(path());
    return FileWrapper::LockRange(offset, length, exclusive);
  }
  Status LockWhole() override {
    if (Off()) return PowerOff(path());
    return FileWrapper::LockWhole();
  }

 private:
  bool Off() {
    std::lock_guard<std::mutex> lock(state_->mu);
    return state_->off;
  }

  FileSystem* fs_;
  std::shared_ptr<PowerCutFileSystem::State> state_;
};

}  // namespace

PowerCutFileSystem::PowerCutFileSystem(FileSystem* target)
    : FileSystemWrapper(target), state_(std::make_shared<State>()) {}

PowerCutFileSystem::~PowerCutFileSystem() = default;

void PowerCutFileSystem::CutAfter(int operations) {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->left = operations;
}

bool PowerCutFileSystem::cut() const {
  std::lock_guard<std::mutex> lock(state_->mu);
  return state_->off;
}

int PowerCutFileSystem::operations() const {
  std::lock_guard<std::mutex> lock(state_->mu);
  return state_->operations;
}

void PowerCutFileSystem::Restore() {
  std::lock_guard<std::mutex> lock(state_->mu);
  for (auto& [path, pending] : state_->files) {
    auto opened = target()->Open(path, OpenMode::ReadWrite);
    if (!opened.ok()) continue;
    File& f = **opened;
    for (auto it = pending.undo.rbegin(); it != pending.undo.rend(); ++it) {
      if (!it->before.empty()) f.WriteAt(it->offset, it->before).IgnoreError();
      f.Truncate(it->size).IgnoreError();
    }
  }
  state_->files.clear();
  state_->off = false;
  state_->left = -1;
}

Result<std::unique_ptr<File>> PowerCutFileSystem::Open(const std::string& path, OpenMode mode) {
  {
    std::lock_guard<std::mutex> lock(state_->mu);
    if (state_->off) return PowerOff(path);
  }
  auto opened = target()->Open(path, mode);
  if (!opened.ok()) return opened.status();
  return std::unique_ptr<File>(new PowerCutFile(std::move(*opened), target(), state_));
}

Status PowerCutFileSystem::WriteAllAtomic(const std::string& path, std::string_view data) {
  {
    std::lock_guard<std::mutex> lock(state_->mu);
    if (!state_->Step()) return PowerOff(path);
  }
  return target()->WriteAllAtomic(path, data);
}

}  // namespace qrole::platform
