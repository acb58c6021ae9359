#include "data/company_log.h"

#include <algorithm>
#include <cstring>

#include "data/crc32c.h"
#include "platform/env.h"
#include "platform/file_looks.h"

namespace qrole::data::internal {

namespace {

constexpr uint64_t kGrowStep = uint64_t{1} << 20;
// Header fields.
constexpr size_t kEpochAt = 16;
constexpr size_t kAppliedAt = 24;
constexpr size_t kFlushedAt = 32;
constexpr size_t kNextSeqAt = 40;
constexpr size_t kBootAt = 48;
constexpr size_t kBootSize = 64;
constexpr size_t kHeaderUsed = kBootAt + kBootSize;

void Put32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}
void Put64(std::string* out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}
uint64_t Get(std::string_view in, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(in[at + static_cast<size_t>(i)]);
  return v;
}
void PutBytes(std::string* out, std::string_view bytes) {
  Put32(out, static_cast<uint32_t>(bytes.size()));
  out->append(bytes);
}

// Reads the body of a record field by field; every read checks the room left.
class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}
  bool U8(uint8_t* v) { return Int(1, v); }
  bool U16(uint16_t* v) { return Int(2, v); }
  bool U32(uint32_t* v) { return Int(4, v); }
  bool U64(uint64_t* v) { return Int(8, v); }
  bool Bytes(std::string* v) {
    uint32_t n = 0;
    if (!U32(&n) || in_.size() - at_ < n) return false;
    v->assign(in_.substr(at_, n));
    at_ += n;
    return true;
  }
  bool done() const { return at_ == in_.size(); }

 private:
  template <class T>
  bool Int(int bytes, T* v) {
    if (in_.size() - at_ < static_cast<size_t>(bytes)) return false;
    *v = static_cast<T>(Get(in_, at_, bytes));
    at_ += static_cast<size_t>(bytes);
    return true;
  }
  std::string_view in_;
  size_t at_ = 0;
};

std::string EncodeHeader(const LogHeader& h) {
  std::string out(kLogMagic);
  Put32(&out, 1);  // version
  Put32(&out, static_cast<uint32_t>(kLogHeaderSize));
  Put64(&out, h.epoch);
  Put64(&out, h.applied_end);
  Put64(&out, h.flushed_end);
  Put64(&out, h.next_seq);
  std::string boot = h.boot_id.substr(0, kBootSize);
  boot.resize(kBootSize, '\0');
  out += boot;
  return out;
}

std::string U64Bytes(uint64_t v) {
  std::string out;
  Put64(&out, v);
  return out;
}

}  // namespace

std::string EncodeRecordBody(const LogRecord& record) {
  std::string out;
  Put32(&out, static_cast<uint32_t>(record.files.size()));
  for (const FileChange& c : record.files) {
    PutBytes(&out, c.file);
    Put64(&out, c.offset);
    PutBytes(&out, c.before);
    PutBytes(&out, c.after);
  }
  Put32(&out, static_cast<uint32_t>(record.indexes.size()));
  for (const IndexChange& c : record.indexes) {
    PutBytes(&out, c.file);
    out.push_back(static_cast<char>(c.kind));
    out.push_back(static_cast<char>(c.db));
    Put32(&out, c.flags);
    PutBytes(&out, c.key);
    PutBytes(&out, c.data);
  }
  return out;
}

bool DecodeRecordBody(std::string_view body, LogRecord* out) {
  Reader r(body);
  uint32_t n = 0;
  if (!r.U32(&n)) return false;
  out->files.clear();
  out->indexes.clear();
  for (uint32_t i = 0; i < n; ++i) {
    FileChange c;
    if (!r.Bytes(&c.file) || !r.U64(&c.offset) || !r.Bytes(&c.before) || !r.Bytes(&c.after))
      return false;
    out->files.push_back(std::move(c));
  }
  if (!r.U32(&n)) return false;
  for (uint32_t i = 0; i < n; ++i) {
    IndexChange c;
    uint8_t kind = 0;
    if (!r.Bytes(&c.file) || !r.U8(&kind) || !r.U8(&c.db) || !r.U32(&c.flags) || !r.Bytes(&c.key) ||
        !r.Bytes(&c.data))
      return false;
    if (kind != IndexChange::kPut && kind != IndexChange::kDelete && kind != IndexChange::kDrop)
      return false;
    c.kind = static_cast<IndexChange::Kind>(kind);
    out->indexes.push_back(std::move(c));
  }
  return r.done();
}

CompanyLog::CompanyLog(std::string path, std::unique_ptr<platform::File> file)
    : path_(std::move(path)), file_(std::move(file)) {}

platform::Result<std::unique_ptr<CompanyLog>> CompanyLog::Open(const std::string& path) {
  auto opened = platform::CurrentEnv()->Files().Open(path, platform::OpenMode::ReadWriteCreate);
  if (!opened.ok()) return opened.status();
  std::unique_ptr<CompanyLog> log(new CompanyLog(path, std::move(*opened)));
  platform::Result<uint64_t> size = log->file_->Size();
  if (!size.ok()) return size.status();
  log->allocated_ = *size;
  if (*size < kLogHeaderSize) {
    // A new log. Two processes may get here at once: the header is written
    // under the company lock, by the first that takes it.
    platform::Status locked = log->Lock(30000);
    if (!locked.ok()) return locked;
    size = log->file_->Size();
    platform::Status status = size.status();
    if (status.ok() && *size < kLogHeaderSize) {
      LogHeader header;
      header.boot_id = platform::CurrentEnv()->BootId();
      std::string bytes = EncodeHeader(header);
      bytes.resize(kLogHeaderSize, '\0');
      status = log->file_->WriteAt(0, bytes);
      if (status.ok()) status = log->file_->Sync();
      log->allocated_ = kLogHeaderSize;
    }
    log->Unlock();
    if (!status.ok()) return status;
  }
  return log;
}

platform::Status CompanyLog::Lock(int timeout_ms) {
  platform::Clock& clock = platform::CurrentEnv()->GetClock();
  const int64_t start = clock.SteadyMs();
  int pause_us = 20;
  for (;;) {
    platform::Status status = file_->LockRange(kCompanyLockOffset, 1, true);
    if (status.ok()) {
      locked_ = true;
      // Whatever was looked at before is looked at again: others wrote while
      // this process waited.
      platform::ForgetFileLooks();
      return status;
    }
    if (!status.IsBusy()) return status;
    if (clock.SteadyMs() - start >= timeout_ms) return status;
    // An operation holds the lock for a millisecond or two: a waiter that
    // slept longer would leave it free while others wait.
    clock.SleepUs(pause_us);
    pause_us = std::min(pause_us * 2, 500);
  }
}

void CompanyLog::Unlock() {
  if (!locked_) return;
  file_->UnlockRange(kCompanyLockOffset, 1).IgnoreError();
  locked_ = false;
}

platform::Status CompanyLog::ReadHeader(LogHeader* out) {
  std::string bytes;
  platform::Status status = file_->ReadAt(0, kHeaderUsed, &bytes);
  if (!status.ok()) return status;
  if (bytes.size() < kHeaderUsed || bytes.compare(0, kLogMagic.size(), kLogMagic) != 0)
    return platform::Status::Corruption(path_ + ": not a company log");
  out->epoch = Get(bytes, kEpochAt, 8);
  out->applied_end = Get(bytes, kAppliedAt, 8);
  out->flushed_end = Get(bytes, kFlushedAt, 8);
  out->next_seq = Get(bytes, kNextSeqAt, 8);
  std::string boot = bytes.substr(kBootAt, kBootSize);
  boot.resize(std::strlen(boot.c_str()));
  out->boot_id = std::move(boot);
  if (out->applied_end < kLogHeaderSize) out->applied_end = kLogHeaderSize;
  return platform::Status::Ok();
}

platform::Status CompanyLog::WriteHeader(const LogHeader& header) {
  return file_->WriteAt(0, EncodeHeader(header));
}

platform::Status CompanyLog::WriteAppliedEnd(uint64_t end) {
  return file_->WriteAt(kAppliedAt, U64Bytes(end));
}

platform::Status CompanyLog::Scan(const LogHeader& header, uint64_t from,
                                  std::vector<FoundRecord>* out, uint64_t* end) {
  *end = from;
  platform::Result<uint64_t> size = file_->Size();
  if (!size.ok()) return size.status();
  uint64_t at = from;
  std::string head, body;
  while (at + kRecordHeaderSize <= *size) {
    platform::Status status = file_->ReadAt(at, kRecordHeaderSize, &head);
    if (!status.ok()) return status;
    if (head.size() < kRecordHeaderSize || Get(head, 0, 4) != kRecordMagic) break;
    const uint64_t length = Get(head, 4, 4);
    const uint64_t epoch = Get(head, 8, 8);
    if (epoch != header.epoch || at + kRecordHeaderSize + length > *size) break;
    status = file_->ReadAt(at + kRecordHeaderSize, length, &body);
    if (!status.ok()) return status;
    if (body.size() != length) break;
    const uint32_t crc = Crc32c(Crc32c(0, std::string_view(head).substr(8, 16)), body);
    if (crc != Get(head, 24, 4)) break;
    FoundRecord found;
    found.offset = at;
    found.record.seq = Get(head, 16, 8);
    if (!DecodeRecordBody(body, &found.record)) break;
    at += kRecordHeaderSize + ((length + 7) & ~uint64_t{7});
    found.end = at;
    out->push_back(std::move(found));
    *end = at;
  }
  return platform::Status::Ok();
}

platform::Status CompanyLog::Grow(uint64_t needed) {
  if (needed <= allocated_) return platform::Status::Ok();
  platform::Result<uint64_t> size = file_->Size();
  if (!size.ok()) return size.status();
  allocated_ = std::max(allocated_, *size);
  if (needed <= allocated_) return platform::Status::Ok();
  const uint64_t target = (needed + kGrowStep - 1) / kGrowStep * kGrowStep;
  const std::string zeros(static_cast<size_t>(target - allocated_), '\0');
  platform::Status status = file_->WriteAt(allocated_, zeros);
  if (status.ok()) allocated_ = target;
  return status;
}

platform::Status CompanyLog::Append(const LogHeader& header, const LogRecord& record, uint64_t at,
                                    uint64_t* end) {
  const std::string body = EncodeRecordBody(record);
  std::string bytes;
  bytes.reserve(kRecordHeaderSize + body.size() + 8);
  Put32(&bytes, kRecordMagic);
  Put32(&bytes, static_cast<uint32_t>(body.size()));
  Put64(&bytes, header.epoch);
  Put64(&bytes, record.seq);
  Put32(&bytes, Crc32c(Crc32c(0, std::string_view(bytes).substr(8, 16)), body));
  Put32(&bytes, 0);
  bytes += body;
  bytes.resize((bytes.size() + 7) & ~size_t{7}, '\0');
  // The next record's place reads as no record until one is written there.
  const uint64_t stop = at + bytes.size();
  platform::Status status = Grow(stop + kRecordHeaderSize);
  if (!status.ok()) return status;
  std::string with_stop = bytes + std::string(4, '\0');
  status = file_->WriteAt(at, with_stop);
  if (status.ok()) *end = stop;
  return status;
}

platform::Status CompanyLog::FlushTo(uint64_t epoch, uint64_t end) {
  LogHeader header;
  platform::Status status = ReadHeader(&header);
  if (!status.ok()) return status;
  if (header.epoch != epoch || header.flushed_end >= end) return status;
  // One flusher at a time: the others wait, then usually find their record
  // flushed by it.
  platform::Clock& clock = platform::CurrentEnv()->GetClock();
  int pause_us = 20;
  const int64_t start = clock.SteadyMs();
  for (;;) {
    status = file_->LockRange(kFlushLockOffset, 1, true);
    if (status.ok()) break;
    if (!status.IsBusy() || clock.SteadyMs() - start > 60000) return status;
    // An operation holds the lock for a millisecond or two: a waiter that
    // slept longer would leave it free while others wait.
    clock.SleepUs(pause_us);
    pause_us = std::min(pause_us * 2, 500);
  }
  status = ReadHeader(&header);
  if (status.ok() && header.epoch == epoch && header.flushed_end < end) {
    // Every record appended before the flush starts is flushed by it.
    const uint64_t reach = std::max(end, header.applied_end);
    status = file_->Sync();
    // A hint for the other writers: losing it costs one more flush.
    if (status.ok()) file_->WriteAt(kFlushedAt, U64Bytes(reach)).IgnoreError();
  }
  file_->UnlockRange(kFlushLockOffset, 1).IgnoreError();
  return status;
}

platform::Status CompanyLog::Sync() { return file_->Sync(); }

}  // namespace qrole::data::internal
