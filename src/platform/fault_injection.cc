#include "platform/fault_injection.h"

#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/text_encoding.h"

namespace qrole::platform {

struct FaultInjectingFileSystem::State {
  // Returns the injected failure for one more write, or Ok.
  Status NextWrite() {
    std::lock_guard<std::mutex> lock(mu);
    ++writes;
    if (!write_error) return Status::Ok();
    if (writes_before_failure > 0) {
      --writes_before_failure;
      return Status::Ok();
    }
    if (failures_left == 0) return Status::Ok();
    if (failures_left > 0) --failures_left;
    ++failed_writes;
    return *write_error;
  }

  // Returns Busy when this lock attempt must fail, else Ok.
  Status NextLock(const std::string& path) {
    std::lock_guard<std::mutex> lock(mu);
    ++locks;
    if (busy_locks <= 0) return Status::Ok();
    --busy_locks;
    return Status::Busy("lock " + path + ": locked by another process (injected)");
  }

  std::mutex mu;
  std::optional<Status> write_error;
  int writes_before_failure = 0;
  int failures_left = 0;
  int busy_locks = 0;
  std::vector<std::pair<std::string, Status>> open_faults;
  int writes = 0;
  int failed_writes = 0;
  int locks = 0;
};

namespace {

Status NotOk(Status status) {
  if (status.ok()) return Status::IOError("injected failure");
  return status;
}

class FaultInjectingFile final : public FileWrapper {
 public:
  FaultInjectingFile(std::unique_ptr<File> target,
                     std::shared_ptr<FaultInjectingFileSystem::State> state)
      : FileWrapper(std::move(target)), state_(std::move(state)) {}

  Status WriteAt(uint64_t offset, std::string_view data) override {
    if (Status s = state_->NextWrite(); !s.ok()) return s;
    return FileWrapper::WriteAt(offset, data);
  }
  Status LockRange(uint64_t offset, uint64_t length, bool exclusive) override {
    if (Status s = state_->NextLock(path()); !s.ok()) return s;
    return FileWrapper::LockRange(offset, length, exclusive);
  }
  Status LockWhole() override {
    if (Status s = state_->NextLock(path()); !s.ok()) return s;
    return FileWrapper::LockWhole();
  }

 private:
  std::shared_ptr<FaultInjectingFileSystem::State> state_;
};

}  // namespace

FaultInjectingFileSystem::FaultInjectingFileSystem(FileSystem* target)
    : FileSystemWrapper(target), state_(std::make_shared<State>()) {}

FaultInjectingFileSystem::~FaultInjectingFileSystem() = default;

void FaultInjectingFileSystem::FailWritesAfter(int successful, Status error, int failures) {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->write_error = NotOk(std::move(error));
  state_->writes_before_failure = successful < 0 ? 0 : successful;
  state_->failures_left = failures < 0 ? -1 : failures;
}

void FaultInjectingFileSystem::StopFailingWrites() {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->write_error.reset();
}

void FaultInjectingFileSystem::FailLocks(int attempts) {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->busy_locks = attempts;
}

void FaultInjectingFileSystem::FailOpen(const std::string& path, Status error) {
  std::string resolved = Resolve(path);
  std::lock_guard<std::mutex> lock(state_->mu);
  for (auto& fault : state_->open_faults) {
    if (EqualsIgnoreCase(fault.first, resolved)) {
      fault.second = NotOk(std::move(error));
      return;
    }
  }
  state_->open_faults.emplace_back(std::move(resolved), NotOk(std::move(error)));
}

void FaultInjectingFileSystem::ClearOpenFailure(const std::string& path) {
  const std::string resolved = Resolve(path);
  std::lock_guard<std::mutex> lock(state_->mu);
  std::erase_if(state_->open_faults,
                [&](const auto& fault) { return EqualsIgnoreCase(fault.first, resolved); });
}

void FaultInjectingFileSystem::Reset() {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->write_error.reset();
  state_->busy_locks = 0;
  state_->open_faults.clear();
}

int FaultInjectingFileSystem::write_count() const {
  std::lock_guard<std::mutex> lock(state_->mu);
  return state_->writes;
}

int FaultInjectingFileSystem::failed_write_count() const {
  std::lock_guard<std::mutex> lock(state_->mu);
  return state_->failed_writes;
}

int FaultInjectingFileSystem::lock_count() const {
  std::lock_guard<std::mutex> lock(state_->mu);
  return state_->locks;
}

Status FaultInjectingFileSystem::OpenFault(const std::string& path) {
  const std::string resolved = Resolve(path);
  std::lock_guard<std::mutex> lock(state_->mu);
  for (const auto& fault : state_->open_faults) {
    if (EqualsIgnoreCase(fault.first, resolved)) return fault.second;
  }
  return Status::Ok();
}

Result<std::unique_ptr<File>> FaultInjectingFileSystem::Open(const std::string& path,
                                                             OpenMode mode) {
  if (Status s = OpenFault(path); !s.ok()) return s;
  Result<std::unique_ptr<File>> file = FileSystemWrapper::Open(path, mode);
  if (!file.ok()) return file.status();
  return std::unique_ptr<File>(new FaultInjectingFile(std::move(*file), state_));
}

Result<std::string> FaultInjectingFileSystem::ReadAll(const std::string& path) {
  if (Status s = OpenFault(path); !s.ok()) return s;
  return FileSystemWrapper::ReadAll(path);
}

Status FaultInjectingFileSystem::WriteAllAtomic(const std::string& path, std::string_view data) {
  if (Status s = OpenFault(path); !s.ok()) return s;
  if (Status s = state_->NextWrite(); !s.ok()) return s;
  return FileSystemWrapper::WriteAllAtomic(path, data);
}

}  // namespace qrole::platform
