#include <algorithm>
#include <cstdio>

#include "check/check_internal.h"
#include "data/date_codec.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "platform/env.h"
#include "platform/text_encoding.h"

namespace qrole::check::internal {

namespace {

// Bytes read from a record file at a time.
constexpr size_t kChunkBytes = size_t{1} << 20;

bool IsPad(char c) { return c == ' ' || c == '\0'; }

}  // namespace

RecordState StateOf(std::string_view record) {
  if (record.starts_with(data::kCancelledMark)) return RecordState::kCancelled;
  if (std::all_of(record.begin(), record.end(), [](char c) { return c == '\0'; }))
    return RecordState::kBlank;
  return RecordState::kLive;
}

platform::Result<std::unique_ptr<TableFile>> OpenTable(const std::string& directory,
                                                       const std::string& number,
                                                       const std::string& table) {
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  const std::string data_path = data::CompanyFilePath(directory, table, number, ".QRD");
  if (!files.Exists(data_path)) return platform::Status::NotFound(data_path);
  const std::string definition_path = data::DefinitionFilePath(table);
  platform::Result<std::string> definition = files.ReadAll(definition_path);
  if (!definition.ok()) {
    return platform::Status::Corruption("definition of " + table +
                                        " unreadable: " + definition.status().ToString());
  }
  platform::Result<data::TableLayout> layout = data::ParseFieldEntries(*definition);
  if (!layout.ok()) {
    return platform::Status::Corruption("definition of " + table + ": " +
                                        layout.status().ToString());
  }
  platform::Status indexes = data::ParseIndexEntries(*definition, &*layout);
  if (!indexes.ok()) {
    return platform::Status::Corruption("index definitions of " + table + ": " +
                                        indexes.ToString());
  }
  auto file = files.Open(data_path, platform::OpenMode::ReadOnly);
  if (!file.ok()) return file.status();
  auto size = (*file)->Size();
  if (!size.ok()) return size.status();
  auto t = std::make_unique<TableFile>();
  t->table = table;
  t->data_path = data_path;
  t->index_path = data::CompanyFilePath(directory, table, number, ".QRC");
  t->size = *size;
  t->slot.Open(std::move(*layout), table, std::move(file).value(), data_path, t->index_path);
  const auto length = static_cast<uint64_t>(t->length());
  if (length == 0) return platform::Status::Corruption("table " + table + " has empty records");
  t->records = static_cast<int64_t>(t->size / length);
  t->partial = t->size % length != 0;
  return t;
}

platform::Status ForEachRecord(TableFile& t,
                               const std::function<void(int64_t, std::string_view)>& fn) {
  const auto length = static_cast<size_t>(t.length());
  const size_t per_chunk = std::max<size_t>(1, kChunkBytes / length);
  std::string chunk;
  int64_t record = 0;
  for (uint64_t offset = 0; record < t.records; offset += per_chunk * length) {
    platform::Status status = t.slot.file()->ReadAt(offset, per_chunk * length, &chunk);
    if (!status.ok()) return status;
    for (size_t at = 0; at + length <= chunk.size() && record < t.records; at += length) {
      ++record;
      fn(record, std::string_view(chunk).substr(at, length));
    }
    if (chunk.size() < per_chunk * length) break;
  }
  return platform::Status::Ok();
}

std::string_view RawField(const TableFile& t, std::string_view record, int field) {
  if (!t.slot.IsField(field)) return {};
  const data::FieldLayout& f = t.slot.field(field);
  const auto start = static_cast<size_t>(f.start);
  if (start >= record.size()) return {};
  return record.substr(start, static_cast<size_t>(f.width));
}

std::string TrimmedField(const TableFile& t, std::string_view record, int field) {
  std::string_view v = RawField(t, record, field);
  while (!v.empty() && IsPad(v.front())) v.remove_prefix(1);
  while (!v.empty() && IsPad(v.back())) v.remove_suffix(1);
  return std::string(v);
}

std::string RightTrimmedField(const TableFile& t, std::string_view record, int field) {
  std::string_view v = RawField(t, record, field);
  while (!v.empty() && IsPad(v.back())) v.remove_suffix(1);
  return std::string(v);
}

double NumberField(const TableFile& t, std::string_view record, int field) {
  const std::string_view bytes = RawField(t, record, field);
  if (bytes.empty()) return 0;
  const data::FieldLayout& f = t.slot.field(field);
  if (data::IsDoubleType(f.type) && bytes.size() == 8) return data::LoadDouble(bytes.data());
  std::string text;
  data::DecodeElement(f.type, bytes, &text);
  return data::ParsePlainDecimal(text);
}

std::string DateForPeople(std::string_view stored) {
  if (stored.size() != 6) return ForPeople(stored);
  const std::string date = data::ConvertirFechaCodec(stored, data::DateCodecContext{});
  return date == "ERROR" ? ForPeople(stored) : date;
}

std::string ForPeople(std::string_view cp1252) {
  while (!cp1252.empty() && IsPad(cp1252.back())) cp1252.remove_suffix(1);
  return platform::Cp1252ToUtf8(cp1252);
}

std::string Amount(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  return buf;
}

void Findings::AddFault(std::string kind, std::string table, int64_t record, std::string subject,
                        std::string text) {
  Add(true, Fault{std::move(kind), std::move(table), record, std::move(subject), std::move(text)});
}

void Findings::AddNote(std::string kind, std::string table, int64_t record, std::string subject,
                       std::string text) {
  Add(false, Fault{std::move(kind), std::move(table), record, std::move(subject), std::move(text)});
}

void Findings::Add(bool fault, Fault f) {
  ++(fault ? report_.fault_kinds : report_.note_kinds)[f.kind];
  (fault ? report_.fault_count : report_.note_count) += 1;
  size_t& listed = listed_[{f.kind, f.table}];
  if (listed >= options_.max_listed_per_kind) return;
  ++listed;
  (fault ? report_.faults : report_.notes).push_back(std::move(f));
}

}  // namespace qrole::check::internal
