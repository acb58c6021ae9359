// The company log: a redo log beside a company's files ("QRLOG" + number +
// ".QRJ" in the company directory) that makes every change of an operation
// reach the company's files whole, or not at all.
//
// An operation that writes (posting an entry, a cancellation, a cash-basis
// collection) collects its changes in memory, appends them to the log as one
// record, then writes them into the record files and the index files. A
// process that dies on the way leaves the record in the log; whoever next
// touches the company finds it and writes what is missing (recovery). The
// record files themselves never hold anything of ours that the log does not
// describe. See docs/formats.md for the bytes and docs/architecture.md for the
// protocol.
//
// The log file also carries the company's locks: a byte-range lock (past the
// end of the file, so that no data is covered) serialises the operations of
// every process on the company, another serialises flushes.
#ifndef QROLE_DATA_COMPANY_LOG_H_
#define QROLE_DATA_COMPANY_LOG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace qrole::data::internal {

inline constexpr uint64_t kLogHeaderSize = 4096;
inline constexpr std::string_view kLogMagic = "QROLEJ01";
inline constexpr uint32_t kRecordMagic = 0x4A524351;  // "QCRJ" little-endian
inline constexpr uint64_t kRecordHeaderSize = 32;
// Where the company lock and the flush lock lie.
inline constexpr uint64_t kCompanyLockOffset = uint64_t{1} << 40;
inline constexpr uint64_t kFlushLockOffset = kCompanyLockOffset + 1;

// A change of bytes of one file: `after` goes at `offset`; `before` is what
// the file held there before (shorter, or empty, where the file ended).
struct FileChange {
  std::string file;  // name in the company directory, or an absolute path
  uint64_t offset = 0;
  std::string before;
  std::string after;
};

// A change of one index file (one LMDB environment).
struct IndexChange {
  enum Kind : uint8_t { kPut = 'P', kDelete = 'D', kDrop = 'X' };
  std::string file;  // as FileChange::file
  Kind kind = kPut;
  uint8_t db = 0;  // 0 the meta database, 1.. the indexes
  uint32_t flags = 0;
  std::string key;
  std::string data;
};

// What one operation changed.
struct LogRecord {
  uint64_t seq = 0;
  std::vector<FileChange> files;
  std::vector<IndexChange> indexes;
  bool empty() const { return files.empty() && indexes.empty(); }
};

std::string EncodeRecordBody(const LogRecord& record);
// False when the body does not decode whole.
bool DecodeRecordBody(std::string_view body, LogRecord* out);

struct LogHeader {
  uint64_t epoch = 1;                     // grows at every checkpoint; records carry it
  uint64_t applied_end = kLogHeaderSize;  // records before it are in the files
  uint64_t flushed_end = kLogHeaderSize;  // records before it are on disk
  uint64_t next_seq = 1;
  std::string boot_id;  // the boot the records since the checkpoint belong to
};

// A record found in the log, with where it ends.
struct FoundRecord {
  uint64_t offset = 0;
  uint64_t end = 0;
  LogRecord record;
};

class CompanyLog {
 public:
  // Opens the log at `path`, creating it (with an empty header for this boot)
  // when it is missing or empty.
  static platform::Result<std::unique_ptr<CompanyLog>> Open(const std::string& path);

  const std::string& path() const { return path_; }

  // The company lock: waits up to `timeout_ms` (sleeping a little more each
  // time), then Busy.
  platform::Status Lock(int timeout_ms);
  void Unlock();
  bool locked() const { return locked_; }

  platform::Status ReadHeader(LogHeader* out);
  platform::Status WriteHeader(const LogHeader& header);
  platform::Status WriteAppliedEnd(uint64_t end);

  // The records of `header.epoch` from `from` on, up to the first that is
  // missing, torn or of another epoch; *end is where the last one ends
  // (`from` when none).
  platform::Status Scan(const LogHeader& header, uint64_t from, std::vector<FoundRecord>* out,
                        uint64_t* end);

  // Writes `record` at `at` as a record of `header.epoch`; *end is where it
  // ends. The file is grown ahead in large steps of zeros, so that a flush
  // need not write the file's size.
  platform::Status Append(const LogHeader& header, const LogRecord& record, uint64_t at,
                          uint64_t* end);

  // Returns once every record of `epoch` before `end` is on disk, sharing the
  // flush with other writers: a flush made meanwhile by anyone that reached
  // `end` (or a checkpoint that ended the epoch) is enough.
  platform::Status FlushTo(uint64_t epoch, uint64_t end);
  // Flushes the whole log now.
  platform::Status Sync();

 private:
  CompanyLog(std::string path, std::unique_ptr<platform::File> file);
  platform::Status Grow(uint64_t needed);

  std::string path_;
  std::unique_ptr<platform::File> file_;
  uint64_t allocated_ = 0;  // bytes of the file known to be written (zeros or records)
  bool locked_ = false;
};

}  // namespace qrole::data::internal

#endif  // QROLE_DATA_COMPANY_LOG_H_
