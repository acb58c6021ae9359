#include "data/kept_answers.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

#include "data/crc32c.h"
#include "data/record_file.h"
#include "data/transaction.h"
#include "platform/clock.h"
#include "platform/env.h"

namespace qrole::data {

namespace {

// The file's bytes (docs/formats.md, "Kept answers").
constexpr std::string_view kFileMagic = "QROLEK01";
constexpr uint64_t kFileHeaderSize = 16;
constexpr uint32_t kRecordMagic = 0x314B5251;  // "QRK1" little-endian
constexpr uint64_t kRecordHeaderSize = 12;     // magic, body length, CRC-32C of the body
constexpr uint64_t kBodyFixedSize = 8 + 32 + 2;
constexpr uint32_t kMaxBody = uint32_t{16} << 20;
// How much is read at a time when going through the file.
constexpr size_t kReadChunk = size_t{1} << 20;

void PutU16(std::string* out, uint16_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>(v >> 8));
}
void PutU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutU64(std::string* out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
uint64_t GetLE(std::string_view bytes, size_t at, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

std::string EncodeRecord(const KeptAnswer& a) {
  std::string body;
  body.reserve(kBodyFixedSize + a.key.size() + a.answer.size());
  PutU64(&body, static_cast<uint64_t>(a.time_ms));
  body += a.digest;
  PutU16(&body, static_cast<uint16_t>(a.key.size()));
  body += a.key;
  body += a.answer;
  std::string record;
  record.reserve(kRecordHeaderSize + body.size());
  PutU32(&record, kRecordMagic);
  PutU32(&record, static_cast<uint32_t>(body.size()));
  PutU32(&record, Crc32c(0, body));
  record += body;
  return record;
}

// False when `body` is not a whole record body.
bool DecodeBody(std::string_view body, KeptAnswer* out) {
  if (body.size() < kBodyFixedSize) return false;
  const size_t key_size = static_cast<size_t>(GetLE(body, 40, 2));
  if (key_size == 0 || kBodyFixedSize + key_size > body.size()) return false;
  out->time_ms = static_cast<int64_t>(GetLE(body, 0, 8));
  out->digest.assign(body.substr(8, 32));
  out->key.assign(body.substr(kBodyFixedSize, key_size));
  out->answer.assign(body.substr(kBodyFixedSize + key_size));
  return true;
}

// What this process knows of one file.
struct Index {
  std::string file_id;                                // bytes 8-15 of the file read
  uint64_t read_to = 0;                               // the records before it are indexed
  std::unordered_multimap<size_t, uint64_t> offsets;  // hash of the key -> record offset
};

std::map<std::string, Index>& Indexes() {
  static auto* indexes = new std::map<std::string, Index>();
  return *indexes;
}

size_t HashOf(std::string_view key) { return std::hash<std::string_view>()(key); }

// Reads the whole record at `offset` (when it checks); false otherwise.
// *end is where it ends.
platform::Status ReadRecord(platform::File& f, uint64_t offset, uint64_t size, KeptAnswer* out,
                            bool* ok, uint64_t* end) {
  *ok = false;
  if (offset + kRecordHeaderSize > size) return platform::Status::Ok();
  std::string header;
  platform::Status status = f.ReadAt(offset, kRecordHeaderSize, &header);
  if (!status.ok()) return status;
  if (header.size() < kRecordHeaderSize || GetLE(header, 0, 4) != kRecordMagic)
    return platform::Status::Ok();
  const uint64_t length = GetLE(header, 4, 4);
  if (length > kMaxBody || offset + kRecordHeaderSize + length > size)
    return platform::Status::Ok();
  std::string body;
  status = f.ReadAt(offset + kRecordHeaderSize, static_cast<size_t>(length), &body);
  if (!status.ok()) return status;
  if (body.size() != length || Crc32c(0, body) != static_cast<uint32_t>(GetLE(header, 8, 4)))
    return platform::Status::Ok();
  if (!DecodeBody(body, out)) return platform::Status::Ok();
  *ok = true;
  *end = offset + kRecordHeaderSize + length;
  return platform::Status::Ok();
}

// Where the next record magic lies at or after `from`; `size` when none.
platform::Status NextMagic(platform::File& f, uint64_t from, uint64_t size, uint64_t* at) {
  std::string magic;
  PutU32(&magic, kRecordMagic);
  for (uint64_t pos = from; pos < size;) {
    std::string chunk;
    platform::Status status =
        f.ReadAt(pos, static_cast<size_t>(std::min<uint64_t>(kReadChunk, size - pos)), &chunk);
    if (!status.ok()) return status;
    const size_t found = chunk.find(magic);
    if (found != std::string::npos) {
      *at = pos + found;
      return platform::Status::Ok();
    }
    if (chunk.size() < kReadChunk) break;      // the end of the file
    pos += chunk.size() - (magic.size() - 1);  // a magic may straddle two chunks
  }
  *at = size;
  return platform::Status::Ok();
}

// Brings `index` up to the end of the file. A record that does not check
// (damaged by something other than this server) is passed over: reading goes
// on at the next place where a record checks.
platform::Status CatchUp(platform::File& f, Index& index) {
  auto size = f.Size();
  if (!size.ok()) return size.status();
  if (*size < kFileHeaderSize) {
    index = Index();
    return platform::Status::Ok();
  }
  std::string header;
  platform::Status status = f.ReadAt(0, kFileHeaderSize, &header);
  if (!status.ok()) return status;
  if (header.size() < kFileHeaderSize || header.compare(0, kFileMagic.size(), kFileMagic) != 0)
    return platform::Status::Corruption(f.path() + ": not a file of kept answers");
  const std::string file_id = header.substr(kFileMagic.size());
  if (*size < index.read_to || file_id != index.file_id) {
    // Not the file that was read: a new one.
    index = Index();
    index.file_id = file_id;
    index.read_to = kFileHeaderSize;
  }
  uint64_t pos = index.read_to;
  while (pos < *size) {
    KeptAnswer record;
    bool ok = false;
    uint64_t end = pos;
    status = ReadRecord(f, pos, *size, &record, &ok, &end);
    if (!status.ok()) return status;
    if (ok) {
      index.offsets.emplace(HashOf(record.key), pos);
      pos = end;
      continue;
    }
    status = NextMagic(f, pos + 1, *size, &pos);
    if (!status.ok()) return status;
  }
  index.read_to = pos;
  return platform::Status::Ok();
}

}  // namespace

std::string KeptAnswersPath(const std::string& company_directory,
                            const std::string& company_number) {
  return CompanyFilePath(company_directory, "QRKEY", company_number, ".QRK");
}

platform::Status FindKeptAnswer(const std::string& company_directory,
                                const std::string& company_number, const std::string& key,
                                int64_t now_ms, int64_t max_age_ms,
                                std::optional<KeptAnswer>* out) {
  const std::string path = KeptAnswersPath(company_directory, company_number);
  auto opened = OpenDataFile(path, platform::OpenMode::ReadOnly);
  if (!opened.ok()) {
    if (opened.status().IsNotFound()) {
      Indexes().erase(path);
      out->reset();
      return platform::Status::Ok();
    }
    return opened.status();
  }
  platform::File& f = **opened;
  Index& index = Indexes()[path];
  platform::Status status = CatchUp(f, index);
  if (!status.ok()) return status;
  auto size = f.Size();
  if (!size.ok()) return size.status();
  std::optional<KeptAnswer> newest;
  uint64_t newest_offset = 0;
  auto [first, last] = index.offsets.equal_range(HashOf(key));
  for (auto it = first; it != last; ++it) {
    KeptAnswer record;
    bool ok = false;
    uint64_t end = 0;
    status = ReadRecord(f, it->second, *size, &record, &ok, &end);
    if (!status.ok()) return status;
    if (!ok || record.key != key) continue;
    if (record.time_ms < now_ms - max_age_ms) continue;
    if (!newest || it->second > newest_offset) {
      newest = std::move(record);
      newest_offset = it->second;
    }
  }
  *out = std::move(newest);
  return platform::Status::Ok();
}

platform::Status KeepAnswer(const std::string& company_directory, const std::string& company_number,
                            const KeptAnswer& answer) {
  if (answer.key.empty() || answer.key.size() > 0xFFFF || answer.digest.size() != 32)
    return platform::Status::InvalidArgument("a kept answer needs a key and a 32-byte digest");
  std::string record = EncodeRecord(answer);
  if (record.size() - kRecordHeaderSize > kMaxBody)
    return platform::Status::InvalidArgument("answer too long to keep");
  const std::string path = KeptAnswersPath(company_directory, company_number);
  auto opened = OpenDataFile(path, platform::OpenMode::ReadWriteCreate);
  if (!opened.ok()) return opened.status();
  platform::File& f = **opened;
  auto size = f.Size();
  if (!size.ok()) return size.status();
  uint64_t at = *size;
  if (at < kFileHeaderSize) {
    // A new file (or one left empty by an operation that did not commit),
    // with an identifier that tells it from any file it replaces.
    platform::Clock& clock = platform::CurrentEnv()->GetClock();
    const uint64_t id = static_cast<uint64_t>(platform::MillisecondsSince1970(clock.Now())) ^
                        (static_cast<uint64_t>(clock.SteadyMs()) << 40) ^
                        std::hash<std::string>()(path);
    std::string header(kFileMagic);
    PutU64(&header, id);
    record = header + record;
    at = 0;
  }
  return f.WriteAt(at, record);
}

void ForgetKeptAnswersForTesting() { Indexes().clear(); }

}  // namespace qrole::data
