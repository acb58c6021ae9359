#include "data/transaction.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

#include "automation/convert.h"
#include "data/company_log.h"
#include "data/data_errors.h"
#include "data/index_store_internal.h"
#include "data/record_file.h"
#include "data/transaction_internal.h"
#include "platform/env.h"
#include "platform/file_identity.h"
#include "platform/file_system_wrapper.h"

namespace qrole::data {

namespace internal {

// Bytes a transaction changed at one place of a file.
struct Extent {
  std::string before;  // what the file held (shorter where it ended)
  std::string after;
};

// The changes held back for one file.
struct FileOverlay {
  std::string path;                    // resolved, to open when writing out
  uint64_t base_size = 0;              // the file's size when the transaction first touched it
  uint64_t size = 0;                   // its size with the changes
  std::map<uint64_t, Extent> extents;  // by offset; never overlapping
};

// A company as the transactions of this process know it: its log, kept open.
struct CompanyEntry {
  std::string directory;  // resolved, ending with "/"
  std::string log_path;
  std::unique_ptr<CompanyLog> log;
  int64_t last_flush_ms = 0;
};

struct TxState {
  CompanyEntry* company = nullptr;
  int depth = 1;
  bool keep_on_error = false;
  bool flush_with_next = false;
  std::unordered_map<std::string, FileOverlay> files;  // by file identity
  std::vector<std::shared_ptr<IndexEnv>> envs;
};

namespace {

TxState* g_active = nullptr;

std::map<std::string, std::unique_ptr<CompanyEntry>>& Companies() {
  static auto* companies = new std::map<std::string, std::unique_ptr<CompanyEntry>>();
  return *companies;
}

// The company of `directory` + `number`, with its log open.
CompanyEntry& Company(const std::string& directory, const std::string& number) {
  const std::string key = directory + '|' + number;
  auto& slot = Companies()[key];
  if (slot == nullptr || slot->log == nullptr) {
    auto entry = std::make_unique<CompanyEntry>();
    entry->log_path = CompanyFilePath(directory, "QRLOG", number, ".QRJ");
    std::string dir = platform::CurrentEnv()->Files().Resolve(directory);
    if (dir.empty() || dir.back() != '/') dir += '/';
    entry->directory = std::move(dir);
    auto log = CompanyLog::Open(entry->log_path);
    if (!log.ok()) RaiseFileInUse(entry->log_path + " (" + log.status().message() + ")");
    entry->log = std::move(*log);
    slot = std::move(entry);
  }
  return *slot;
}

// Where files are closed when a call ends (Windows: an open handle would
// refuse the desktop program, or a folder's removal), the company's log is
// closed when an operation or a recovery is over.
void LetGo(CompanyEntry* company) {
  if (platform::KeepFilesOpenBetweenCalls()) return;
  for (auto it = Companies().begin(); it != Companies().end(); ++it) {
    if (it->second.get() == company) {
      Companies().erase(it);
      return;
    }
  }
}

void Raise(const CompanyEntry& company, const platform::Status& status) {
  RaiseFileInUse(company.log_path + " (" + status.message() + ")");
}

// Holds the company lock for as long as it lives.
class CompanyLock {
 public:
  explicit CompanyLock(CompanyEntry& company) : company_(company) {
    platform::Status status = company.log->Lock(CurrentTransactionSettings().lock_timeout_ms);
    if (!status.ok()) Raise(company, status);
  }
  ~CompanyLock() { company_.log->Unlock(); }
  CompanyLock(const CompanyLock&) = delete;
  CompanyLock& operator=(const CompanyLock&) = delete;

 private:
  CompanyEntry& company_;
};

// --- Checkpoints and recovery (the company lock held) -----------------------

constexpr uint64_t kCheckpointBytes = uint64_t{4} << 20;

// Flushes every file the log names, then empties the log.
platform::Status Checkpoint(CompanyEntry& company, LogHeader& header) {
  CompanyLog& log = *company.log;
  std::vector<FoundRecord> records;
  uint64_t end = 0;
  platform::Status status = log.Scan(header, kLogHeaderSize, &records, &end);
  if (!status.ok()) return status;
  status = log.Sync();
  if (!status.ok()) return status;
  std::vector<std::string> files, indexes;
  for (const FoundRecord& r : records) {
    for (const FileChange& c : r.record.files) files.push_back(c.file);
    for (const IndexChange& c : r.record.indexes) indexes.push_back(c.file);
  }
  for (auto* names : {&files, &indexes}) {
    std::sort(names->begin(), names->end());
    names->erase(std::unique(names->begin(), names->end()), names->end());
  }
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  for (const std::string& name : files) {
    auto f = fs.Open(LoggedPath(company.directory, name), platform::OpenMode::ReadWrite);
    if (!f.ok()) {
      if (f.status().IsNotFound()) continue;  // removed since: nothing to keep
      return f.status();
    }
    status = (*f)->Sync();
    if (!status.ok()) return status;
  }
  for (const std::string& name : indexes) {
    std::shared_ptr<IndexEnv> env;
    if (IndexEnv::Open(LoggedPath(company.directory, name), &env) != 0) continue;
    if (env->Sync() != MDB_SUCCESS) return platform::Status::IOError(name + ": flush failed");
  }
  header.epoch += 1;
  header.applied_end = kLogHeaderSize;
  header.flushed_end = kLogHeaderSize;
  header.boot_id = platform::CurrentEnv()->BootId();
  status = log.WriteHeader(header);
  if (status.ok()) status = log.Sync();
  return status;
}

// Completes what a process that died left half done. After a restart of the
// machine every record since the last checkpoint is gone through again (the
// files may have lost writes that were not flushed), then a checkpoint makes
// all of it safe.
platform::Status Recover(CompanyEntry& company, LogHeader& header) {
  CompanyLog& log = *company.log;
  const bool same_boot = header.boot_id == platform::CurrentEnv()->BootId();
  const uint64_t from = same_boot ? header.applied_end : kLogHeaderSize;
  std::vector<FoundRecord> records;
  uint64_t end = from;
  platform::Status status = log.Scan(header, from, &records, &end);
  if (!status.ok()) return status;
  if (same_boot && records.empty()) return status;
  RedoReport report;
  status = RedoRecords(company.directory, records, &report);
  if (!status.ok()) return status;
  if (report.conflicts > 0 || !report.notes.empty()) {
    // A note for whoever looks at the books: another program changed what
    // the log would have written.
    auto notes = platform::CurrentEnv()->Files().Open(company.log_path + ".txt",
                                                      platform::OpenMode::ReadWriteCreate);
    if (notes.ok()) {
      auto size = (*notes)->Size();
      std::string text;
      for (const std::string& n : report.notes) text += n + "\n";
      if (size.ok()) (*notes)->WriteAt(*size, text).IgnoreError();
    }
  }
  if (!records.empty()) header.next_seq = std::max(header.next_seq, records.back().record.seq + 1);
  if (!same_boot) return Checkpoint(company, header);
  header.applied_end = end;
  return log.WriteHeader(header);
}

// Reads the header and recovers when needed; the lock must be held.
LogHeader RecoverLocked(CompanyEntry& company) {
  LogHeader header;
  platform::Status status = company.log->ReadHeader(&header);
  if (status.ok()) status = Recover(company, header);
  if (!status.ok()) Raise(company, status);
  return header;
}

// True when the log holds work to complete (a record past the applied end,
// or a header from another boot).
bool NeedsRecovery(CompanyEntry& company) {
  LogHeader header;
  if (!company.log->ReadHeader(&header).ok()) return true;
  if (header.boot_id != platform::CurrentEnv()->BootId()) return true;
  std::vector<FoundRecord> records;
  uint64_t end = 0;
  // Only the record at the applied end matters: a torn or missing one reads
  // as none.
  if (!company.log->Scan(header, header.applied_end, &records, &end).ok()) return true;
  return !records.empty();
}

// --- Files seen through the transaction ------------------------------------

class TxFile final : public platform::FileWrapper {
 public:
  explicit TxFile(std::unique_ptr<platform::File> target) : FileWrapper(std::move(target)) {}

  platform::Status ReadAt(uint64_t offset, size_t n, std::string* out) override {
    FileOverlay* ov = Overlay(false);
    if (ov == nullptr) return target()->ReadAt(offset, n, out);
    out->clear();
    if (offset >= ov->size || n == 0) return platform::Status::Ok();
    const size_t len = static_cast<size_t>(std::min<uint64_t>(n, ov->size - offset));
    platform::Status status = target()->ReadAt(offset, len, out);
    if (!status.ok()) return status;
    out->resize(len, '\0');
    auto it = ov->extents.upper_bound(offset);
    if (it != ov->extents.begin()) --it;
    const uint64_t end = offset + len;
    for (; it != ov->extents.end() && it->first < end; ++it) {
      const uint64_t lo = std::max(offset, it->first);
      const uint64_t hi = std::min<uint64_t>(end, it->first + it->second.after.size());
      if (lo >= hi) continue;
      std::memcpy(out->data() + (lo - offset), it->second.after.data() + (lo - it->first),
                  static_cast<size_t>(hi - lo));
    }
    return platform::Status::Ok();
  }

  platform::Status WriteAt(uint64_t offset, std::string_view data) override {
    if (g_active == nullptr) return target()->WriteAt(offset, data);
    FileOverlay* ov = Overlay(true);
    if (ov == nullptr) return platform::Status::IOError(path() + ": size unknown");
    if (data.empty()) return platform::Status::Ok();
    const uint64_t end = offset + data.size();
    auto first = ov->extents.upper_bound(offset);
    if (first != ov->extents.begin()) {
      auto prev = std::prev(first);
      if (prev->first + prev->second.after.size() > offset) first = prev;
    }
    auto last = first;
    uint64_t lo = offset, hi = end;
    int count = 0;
    while (last != ov->extents.end() && last->first < end) {
      lo = std::min(lo, last->first);
      hi = std::max<uint64_t>(hi, last->first + last->second.after.size());
      ++last;
      ++count;
    }
    if (count == 1 && lo == first->first && hi == first->first + first->second.after.size()) {
      std::memcpy(first->second.after.data() + (offset - lo), data.data(), data.size());
    } else {
      Extent merged;
      if (lo < ov->base_size) {
        platform::Status status = target()->ReadAt(
            lo, static_cast<size_t>(std::min(hi, ov->base_size) - lo), &merged.before);
        if (!status.ok()) return status;
      }
      merged.after = merged.before;
      merged.after.resize(static_cast<size_t>(hi - lo), '\0');
      for (auto it = first; it != last; ++it) {
        std::memcpy(merged.after.data() + (it->first - lo), it->second.after.data(),
                    it->second.after.size());
      }
      std::memcpy(merged.after.data() + (offset - lo), data.data(), data.size());
      ov->extents.erase(first, last);
      ov->extents.emplace(lo, std::move(merged));
    }
    ov->size = std::max(ov->size, end);
    return platform::Status::Ok();
  }

  platform::Result<uint64_t> Size() override {
    // Inside a transaction the file cannot change under it (the company
    // lock is held): its size is asked of the system once.
    FileOverlay* ov = Overlay(g_active != nullptr);
    if (ov == nullptr) return target()->Size();
    return ov->size;
  }

  platform::Status Truncate(uint64_t size) override {
    if (g_active == nullptr) return target()->Truncate(size);
    return platform::Status::InvalidArgument(path() + ": no truncation inside an operation");
  }

  platform::Status Sync() override {
    if (g_active != nullptr) return platform::Status::Ok();  // the commit flushes
    return target()->Sync();
  }

 private:
  // The transaction's overlay of this file; created on request.
  FileOverlay* Overlay(bool create) {
    if (g_active == nullptr) return nullptr;
    if (identity_.empty()) identity_ = CachedFileIdentity(path());
    auto it = g_active->files.find(identity_);
    if (it != g_active->files.end()) return &it->second;
    if (!create) return nullptr;
    platform::Result<uint64_t> size = target()->Size();
    if (!size.ok()) return nullptr;
    FileOverlay& ov = g_active->files[identity_];
    ov.path = path();
    ov.base_size = *size;
    ov.size = *size;
    return &ov;
  }

  std::string identity_;
};

// The files commits write into, kept open between operations where open
// files stop no other program: a commit writes the same few files every time.
// A file is opened afresh when another took its place.
class CommitFiles {
 public:
  // The file at `path`, open for writing; null with `status` set on failure.
  // Where files are not kept, `owned` receives the file, closed with it.
  platform::File* Get(const std::string& path, platform::Status* status,
                      std::unique_ptr<platform::File>* owned) {
    platform::FileSystem& fs = platform::CurrentEnv()->Files();
    // File identities are the operating system's: only its own files are kept.
    const bool keep = platform::KeepFilesOpenBetweenCalls() && &fs == platform::NativeFileSystem();
    if (keep) {
      auto it = files_.find(path);
      if (it != files_.end()) {
        if (platform::FileStamp(it->second.file->path()) == it->second.stamp)
          return it->second.file.get();
        files_.erase(it);
      }
    }
    auto f = fs.Open(path, platform::OpenMode::ReadWriteCreate);
    if (!f.ok()) {
      *status = f.status();
      return nullptr;
    }
    if (!keep) {
      *owned = std::move(*f);
      return owned->get();
    }
    if (files_.size() >= kMostKept) files_.clear();
    Kept& kept = files_[path];
    kept.stamp = platform::FileStamp((*f)->path());
    kept.file = std::move(*f);
    return kept.file.get();
  }

  void Release() { files_.clear(); }

 private:
  static constexpr size_t kMostKept = 32;
  struct Kept {
    std::string stamp;
    std::unique_ptr<platform::File> file;
  };
  std::map<std::string, Kept> files_;
};

CommitFiles& KeptCommitFiles() {
  static auto* files = new CommitFiles();
  return *files;
}

// Writes a record's file changes into the files.
platform::Status ApplyFiles(const CompanyEntry& company, const LogRecord& record) {
  std::unique_ptr<platform::File> owned;
  platform::File* file = nullptr;
  const std::string* open_name = nullptr;
  for (const FileChange& c : record.files) {
    if (file == nullptr || *open_name != c.file) {
      platform::Status status;
      file = KeptCommitFiles().Get(LoggedPath(company.directory, c.file), &status, &owned);
      if (file == nullptr) return status;
      open_name = &c.file;
    }
    platform::Status status = file->WriteAt(c.offset, c.after);
    if (!status.ok()) return status;
  }
  return platform::Status::Ok();
}

}  // namespace

bool TransactionInForce() { return g_active != nullptr; }

void ReleaseCommitFiles() { KeptCommitFiles().Release(); }

void ForgetCompaniesForTesting() {
  Companies().clear();
  ReleaseCommitFiles();
  ReleaseKeptIndexEnvs();
}

int JoinTransaction(const std::shared_ptr<IndexEnv>& env) {
  if (g_active == nullptr || env->in_transaction()) return MDB_SUCCESS;
  const int rc = env->BeginTransaction();
  if (rc == MDB_SUCCESS) g_active->envs.push_back(env);
  return rc;
}

std::string LoggedPath(const std::string& directory, const std::string& file) {
  if (!file.empty() && (file[0] == '/' || (file.size() > 1 && file[1] == ':'))) return file;
  return directory + file;
}

std::string LoggedName(const std::string& directory, const std::string& path) {
  if (path.size() > directory.size() && path.compare(0, directory.size(), directory) == 0 &&
      path.find('/', directory.size()) == std::string::npos)
    return path.substr(directory.size());
  return path;
}

}  // namespace internal

using internal::CompanyEntry;
using internal::g_active;
using internal::LogHeader;
using internal::TxState;

namespace {
bool g_settings_loaded = false;
TransactionSettings g_settings;
}  // namespace

TransactionSettings& CurrentTransactionSettings() {
  if (!g_settings_loaded) ReloadTransactionSettings();
  return g_settings;
}

void ReloadTransactionSettings() {
  platform::SettingsStore& store = platform::CurrentEnv()->Settings();
  const std::string key = "SOFTWARE\\QRN\\Valdrix\\Settings";
  TransactionSettings s;
  if (auto v = store.Read(key, "FlushIntervalMs"))
    s.flush_interval_ms = std::max(0, std::atoi(v->c_str()));
  if (auto v = store.Read(key, "LockTimeoutMs")) {
    const int ms = std::atoi(v->c_str());
    if (ms > 0) s.lock_timeout_ms = ms;
  }
  g_settings = s;
  g_settings_loaded = true;
}

bool InTransaction() { return g_active != nullptr; }

void KeepChangesWhenRaising(bool keep) {
  if (g_active != nullptr) g_active->keep_on_error = keep;
}

bool KeepingChangesWhenRaising() { return g_active != nullptr && g_active->keep_on_error; }

void FlushWithNextOperation() {
  if (g_active != nullptr) g_active->flush_with_next = true;
}

platform::Result<std::unique_ptr<platform::File>> OpenDataFile(const std::string& path,
                                                               platform::OpenMode mode) {
  auto opened = platform::CurrentEnv()->Files().Open(path, mode);
  if (!opened.ok()) return opened.status();
  return std::unique_ptr<platform::File>(new internal::TxFile(std::move(*opened)));
}

CompanyTransaction::CompanyTransaction(const std::string& company_directory,
                                       const std::string& company_number) {
  if (g_active != nullptr) {
    // Joins the one in force (only one company is written at a time).
    ++g_active->depth;
    return;
  }
  CompanyEntry& company = internal::Company(company_directory, company_number);
  platform::Status status = company.log->Lock(CurrentTransactionSettings().lock_timeout_ms);
  if (!status.ok()) {
    const std::string path = company.log_path;
    internal::LetGo(&company);
    RaiseFileInUse(path + " (" + status.message() + ")");
  }
  try {
    internal::RecoverLocked(company);
  } catch (...) {
    company.log->Unlock();
    internal::LetGo(&company);
    throw;
  }
  state_ = std::make_shared<TxState>();
  state_->company = &company;
  g_active = state_.get();
}

CompanyTransaction::~CompanyTransaction() {
  if (state_ == nullptr) {
    if (g_active != nullptr) --g_active->depth;
    return;
  }
  if (g_active == state_.get() && state_->keep_on_error) {
    // Complete, with a problem to report: the problem is the error the
    // client gets, whether or not the commit succeeds.
    try {
      Commit();
    } catch (...) {
    }
  }
  if (g_active == state_.get()) {
    // Not committed: nothing of it reaches the files.
    g_active = nullptr;
    for (auto& env : state_->envs) env->AbortTransaction();
    state_->company->log->Unlock();
  }
  internal::LetGo(state_->company);
}

void CompanyTransaction::Commit() {
  if (state_ == nullptr || g_active != state_.get()) return;
  TxState& tx = *state_;
  CompanyEntry& company = *tx.company;
  internal::CompanyLog& log = *company.log;
  g_active = nullptr;  // from here on, files are written for real

  // Whatever happens next, the lock goes and the index transactions end.
  struct Finish {
    TxState& tx;
    ~Finish() {
      for (auto& env : tx.envs) env->AbortTransaction();
      tx.company->log->Unlock();
    }
  } finish{tx};

  internal::LogRecord record;
  std::vector<const internal::FileOverlay*> overlays;
  for (const auto& [identity, ov] : tx.files) overlays.push_back(&ov);
  std::sort(overlays.begin(), overlays.end(),
            [](const auto* a, const auto* b) { return a->path < b->path; });
  for (const internal::FileOverlay* ov : overlays) {
    const std::string name = internal::LoggedName(company.directory, ov->path);
    for (const auto& [offset, extent] : ov->extents) {
      if (extent.after == extent.before) continue;
      record.files.push_back({name, offset, extent.before, extent.after});
    }
  }
  for (auto& env : tx.envs) {
    for (internal::IndexChange& c : env->TakeChanges()) {
      c.file = internal::LoggedName(company.directory, c.file);
      record.indexes.push_back(std::move(c));
    }
  }
  if (record.empty()) {
    for (auto& env : tx.envs) env->CommitTransaction();
    return;
  }

  LogHeader header;
  platform::Status status = log.ReadHeader(&header);
  record.seq = header.next_seq;
  uint64_t end = 0;
  if (status.ok()) status = log.Append(header, record, header.applied_end, &end);
  // The record is on disk before any file changes: a power cut then finds
  // either nothing of the operation or all of it in the log.
  const TransactionSettings& settings = CurrentTransactionSettings();
  platform::Clock& clock = platform::CurrentEnv()->GetClock();
  const int64_t now = clock.SteadyMs();
  if (status.ok() && !tx.flush_with_next &&
      (settings.flush_interval_ms == 0 ||
       now - company.last_flush_ms >= settings.flush_interval_ms)) {
    status = log.FlushTo(header.epoch, end);
    company.last_flush_ms = now;
  }
  if (!status.ok()) internal::Raise(company, status);  // nothing written yet

  status = internal::ApplyFiles(company, record);
  for (auto& env : tx.envs) {
    if (!status.ok()) break;
    const int rc = env->CommitTransaction();
    if (rc != MDB_SUCCESS)
      status = platform::Status::IOError("index: " + std::string(mdb_strerror(rc)));
  }
  if (!status.ok()) {
    // The record is in the log: going through it again completes the
    // operation; failing that, whoever next touches the company does.
    for (auto& env : tx.envs) env->AbortTransaction();
    std::vector<internal::FoundRecord> again{{header.applied_end, end, record}};
    internal::RedoReport report;
    status = internal::RedoRecords(company.directory, again, &report);
    if (!status.ok()) internal::Raise(company, status);
  }
  header.applied_end = end;
  header.next_seq = record.seq + 1;
  // The operation is in the files. A header that fails to say so only makes
  // the next recovery go through this record again, which changes nothing;
  // a checkpoint that fails is tried again after the next operation.
  if (log.WriteHeader(header).ok() && end >= internal::kCheckpointBytes)
    internal::Checkpoint(company, header).IgnoreError();
}

void RecoverCompany(const std::string& company_directory, const std::string& company_number) {
  if (g_active != nullptr) return;  // the transaction in force recovered
  CompanyEntry& company = internal::Company(company_directory, company_number);
  if (internal::NeedsRecovery(company)) {
    internal::CompanyLock lock(company);
    internal::RecoverLocked(company);
  }
  internal::LetGo(&company);
}

void CheckpointCompany(const std::string& company_directory, const std::string& company_number) {
  if (g_active != nullptr) return;
  CompanyEntry& company = internal::Company(company_directory, company_number);
  {
    internal::CompanyLock lock(company);
    LogHeader header = internal::RecoverLocked(company);
    platform::Status status = internal::Checkpoint(company, header);
    if (!status.ok()) internal::Raise(company, status);
  }
  internal::LetGo(&company);
}

}  // namespace qrole::data
