#include "data/record_file.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "data/catalogue.h"
#include "data/data_errors.h"
#include "data/definition_file.h"
#include "data/file_retry_internal.h"
#include "data/globals.h"
#include "data/index_maintenance.h"
#include "data/keyed_engine.h"
#include "data/message_table.h"
#include "data/number_codec.h"
#include "data/record_file_internal.h"
#include "data/table_component_internal.h"
#include "data/transaction.h"
#include "data/transaction_internal.h"
#include "platform/env.h"
#include "platform/file_identity.h"

namespace qrole::data {

namespace internal {

Slot* OpenSlot(int slot, platform::Status* status) {
  if (!IsSlotNumber(slot)) {
    *status = platform::Status::InvalidArgument("no slot " + std::to_string(slot));
    return nullptr;
  }
  Slot& s = GetSlot(slot);
  if (!s.is_open()) {
    *status = platform::Status::InvalidArgument("slot " + std::to_string(slot) + " is not open");
    return nullptr;
  }
  return &s;
}

void DecodeRecord(Slot& slot, std::string_view bytes) {
  for (int f = 1; f <= slot.num_fields(); ++f) {
    const FieldLayout& field = slot.field(f);
    DecodeElement(field.type,
                  bytes.substr(static_cast<size_t>(field.start), static_cast<size_t>(field.width)),
                  &slot.MutableValue(f));
  }
}

platform::Status EncodeRecord(const Slot& slot, std::string* out) {
  out->assign(static_cast<size_t>(slot.record_length()), ' ');
  for (int f = 1; f <= slot.num_fields(); ++f) {
    const FieldLayout& field = slot.field(f);
    platform::Status s = EncodeElement(field.type, field.width, slot.Value(f),
                                       out->data() + static_cast<size_t>(field.start));
    if (!s.ok()) {
      return platform::Status::InvalidArgument("field " + std::to_string(f) + " of " +
                                               slot.table_name() + ": " + s.message());
    }
  }
  return platform::Status::Ok();
}

std::string CancelledRecordBytes(Slot& slot) {
  slot.ClearValues();
  std::string bytes;
  EncodeRecord(slot, &bytes).IgnoreError();  // blanks always encode
  bytes.replace(0, std::min(bytes.size(), kCancelledMark.size()),
                kCancelledMark.substr(0, std::min(bytes.size(), kCancelledMark.size())));
  return bytes;
}

platform::Status WriteBytes(Slot& slot, uint64_t offset, std::string_view bytes) {
  FileRetry retry(slot.data_path());
  return retry.Run([&] { return slot.file()->WriteAt(offset, bytes); });
}

platform::Result<int64_t> RecordsHeld(Slot& slot) {
  FileRetry retry(slot.data_path());
  uint64_t size = 0;
  platform::Status status = retry.Run([&]() -> platform::Status {
    platform::Result<uint64_t> s = slot.file()->Size();
    if (!s.ok()) return s.status();
    size = *s;
    return platform::Status::Ok();
  });
  if (!status.ok()) return status;
  const uint64_t length = static_cast<uint64_t>(std::max(slot.record_length(), 1));
  return static_cast<int64_t>((size + length - 1) / length);
}

void ShowError(const std::string& text) {
  platform::CurrentEnv()->Messages().Show(text, "", platform::MsgIcon::Error,
                                          platform::MsgButtons::Ok);
}

platform::Status LockIndexBuild(Slot& slot) {
  // Another process may hold it for a whole rebuild: wait longer than the
  // retry rule does, without message boxes, and still not for ever.
  platform::Clock& clock = platform::CurrentEnv()->GetClock();
  for (int waited = 0;; waited += kIndexBuildPauseMs) {
    platform::Status status = slot.file()->LockRange(platform::kMaxLockEnd - 1, 1, true);
    if (status.ok() || status.IsInvalidArgument()) return status;
    if (waited >= kIndexBuildWaitMs) RaiseFileInUse(slot.data_path());
    clock.SleepMs(kIndexBuildPauseMs);
  }
}

void UnlockIndexBuild(Slot& slot) {
  slot.file()->UnlockRange(platform::kMaxLockEnd - 1, 1).IgnoreError();
}

}  // namespace internal

namespace {

using internal::OpenSlot;
using internal::RecordOffset;

// Reads a whole record into the slot's record bytes (zero bytes past the
// end); NotFound when the record lies past the end.
platform::Status ReadRecordBytes(Slot& slot, int32_t record) {
  std::string& bytes = slot.mutable_record_bytes();
  internal::FileRetry retry(slot.data_path());
  platform::Status status = retry.Run([&] {
    return slot.file()->ReadAt(RecordOffset(slot, record),
                               static_cast<size_t>(slot.record_length()), &bytes);
  });
  if (!status.ok()) return status;
  if (bytes.size() < static_cast<size_t>(slot.record_length())) {
    bytes.resize(static_cast<size_t>(slot.record_length()), '\0');
    return platform::Status::NotFound("record " + std::to_string(record) +
                                      " lies past the end of " + slot.data_path());
  }
  return platform::Status::Ok();
}

// The byte range of fields first..last of a record.
platform::Status FieldRange(const Slot& slot, int32_t record, int first, int last, uint64_t* offset,
                            uint64_t* length) {
  if (last == 0) last = slot.num_fields();
  if (record < 1 || first < 1 || last < first || last > slot.num_fields()) {
    return platform::Status::InvalidArgument("no fields " + std::to_string(first) + " to " +
                                             std::to_string(last) + " in record " +
                                             std::to_string(record));
  }
  *offset = RecordOffset(slot, record) + static_cast<uint64_t>(slot.field_start(first));
  *length = static_cast<uint64_t>(slot.field_start(last + 1) - slot.field_start(first));
  return platform::Status::Ok();
}

}  // namespace

std::string CompanyFilePath(std::string_view directory, std::string_view table,
                            std::string_view number, std::string_view extension) {
  return platform::CurrentEnv()->Files().Resolve(CompanyFileName(
      std::string(directory), std::string(table), std::string(number), std::string(extension)));
}

std::string DefinitionFilePath(std::string_view table) {
  return CompanyFilePath(Globals().program_directory, table, "", ".QRA");
}

platform::Result<std::string> ReadDefinitionFile(const std::string& path) {
  // Definitions are read at every opening of a table.
  return ReadKeptFile(path);
}

platform::Result<std::string> ReadKeptFile(const std::string& path) {
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  // Only when the file system is the operating system's own, whose versions
  // those are.
  struct Kept {
    std::string version;
    std::string bytes;
  };
  static auto* kept = new std::map<std::string, Kept>();
  const bool native = &files == platform::NativeFileSystem();
  const std::string version = native ? platform::FileVersion(path) : std::string();
  if (!version.empty()) {
    auto it = kept->find(path);
    if (it != kept->end() && it->second.version == version) return it->second.bytes;
  }
  platform::Result<std::string> bytes = files.ReadAll(path);
  if (bytes.ok() && !version.empty()) {
    if (kept->size() > 256) kept->clear();
    (*kept)[path] = Kept{version, *bytes};
  }
  return bytes;
}

platform::Status OpenTableFile(int slot, std::string_view table, int index_mode,
                               std::string_view company_directory,
                               std::string_view company_number) {
  if (!IsSlotNumber(slot)) {
    return platform::Status::InvalidArgument("no slot " + std::to_string(slot));
  }
  CloseTableFile(slot);
  const std::string definition_path = DefinitionFilePath(table);
  platform::Result<std::string> definition = ReadDefinitionFile(definition_path);
  platform::Result<TableLayout> layout = definition.ok()
                                             ? ParseFieldEntries(*definition)
                                             : platform::Result<TableLayout>(definition.status());
  platform::Status index_status;
  if (layout.ok()) index_status = ParseIndexEntries(*definition, &*layout);
  if (!layout.ok() || !index_status.ok()) {
    internal::ShowError(Message(438) + " " + std::string(table) + " " + Message(189));
    const platform::Status& why = layout.ok() ? index_status : layout.status();
    return platform::Status::FromCode(why.code(), definition_path + ": " + why.message());
  }
  const std::string data_path = CompanyFilePath(company_directory, table, company_number, ".QRD");
  platform::Result<std::unique_ptr<platform::File>> file =
      OpenDataFile(data_path, platform::OpenMode::ReadWriteCreate);
  if (!file.ok()) return file.status();
  GetSlot(slot).Open(std::move(*layout), std::string(table), std::move(*file), data_path,
                     CompanyFilePath(company_directory, table, company_number, ".QRC"));
  if (index_mode == 1) {
    return OpenOrCreateIndex(slot, table, company_directory, company_number);
  }
  return platform::Status::Ok();
}

void CloseTableFile(int slot) {
  if (!IsSlotNumber(slot)) return;
  Engine().CloseFile(slot);
  GetSlot(slot).Close();
}

void CloseAllFiles() {
  internal::ReleaseKeptHandles();
  internal::ReleaseCommitFiles();
  for (int i = 0; i < kSlotCount; ++i) GetSlot(i).Close();
  std::string command = "K";
  int32_t record = 0;
  int16_t status = 0;
  Engine().Execute(command, record, status);
}

platform::Status ReadRecord(int slot, int32_t record) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  if (record < 1) return platform::Status::Ok();
  status = ReadRecordBytes(*s, record);
  if (!status.ok() && !status.IsNotFound()) return status;
  internal::DecodeRecord(*s, s->record_bytes());
  return status;
}

platform::Status ReadFirstFields(int slot, int32_t record) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  if (record < 1) return platform::Status::Ok();
  status = ReadRecordBytes(*s, record);
  if (!status.ok() && !status.IsNotFound()) return status;
  const std::string_view bytes = s->record_bytes();
  for (int f = 1; f <= std::min(15, s->num_fields()); ++f) {
    const FieldLayout& field = s->field(f);
    s->MutableValue(f).assign(
        bytes.substr(static_cast<size_t>(field.start), static_cast<size_t>(field.width)));
  }
  return status;
}

platform::Result<std::string> ReadFieldText(int slot, int32_t record, int field) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  if (record < 1) {
    internal::ShowError("Registro Inválido");
    return std::string();
  }
  if (!s->IsField(field)) {
    return platform::Status::InvalidArgument("no field " + std::to_string(field));
  }
  std::string bytes;
  internal::FileRetry retry(s->data_path());
  status = retry.Run([&] {
    return s->file()->ReadAt(
        RecordOffset(*s, record) + static_cast<uint64_t>(s->field(field).start),
        static_cast<size_t>(s->field(field).width), &bytes);
  });
  if (!status.ok()) return status;
  return bytes;
}

platform::Result<double> ReadDoubleField(int slot, int32_t record, int field) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  const FieldLayout& f = s->field(field);
  if (record < 1 || f.width < 8) {
    return platform::Status::InvalidArgument("no double at field " + std::to_string(field) +
                                             " of record " + std::to_string(record));
  }
  std::string bytes;
  internal::FileRetry retry(s->data_path());
  status = retry.Run([&] {
    return s->file()->ReadAt(RecordOffset(*s, record) + static_cast<uint64_t>(f.start), 8, &bytes);
  });
  if (!status.ok()) return status;
  if (bytes.size() < 8) return platform::Status::NotFound("record past the end");
  return LoadDouble(bytes.data());
}

platform::Status WriteDoubleField(int slot, int32_t record, int field, double value) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  const FieldLayout& f = s->field(field);
  if (record < 1 || f.width < 8) {
    return platform::Status::InvalidArgument("no double at field " + std::to_string(field) +
                                             " of record " + std::to_string(record));
  }
  char bytes[8];
  StoreDouble(value, bytes);
  return internal::WriteBytes(*s, RecordOffset(*s, record) + static_cast<uint64_t>(f.start),
                              std::string_view(bytes, 8));
}

platform::Status WriteRecord(int slot, int32_t record) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  if (record < 1) return platform::Status::InvalidArgument("record number below 1");
  std::string bytes;
  status = internal::EncodeRecord(*s, &bytes);
  if (!status.ok()) return status;
  return internal::WriteBytes(*s, RecordOffset(*s, record), bytes);
}

platform::Status WriteField(int slot, int32_t record, int field) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  if (record < 1 || !s->IsField(field)) {
    return platform::Status::InvalidArgument("no field " + std::to_string(field) + " in record " +
                                             std::to_string(record));
  }
  const FieldLayout& f = s->field(field);
  std::string bytes(static_cast<size_t>(f.width), ' ');
  status = EncodeElement(f.type, f.width, s->Value(field), bytes.data());
  if (!status.ok()) return status;
  return internal::WriteBytes(*s, RecordOffset(*s, record) + static_cast<uint64_t>(f.start), bytes);
}

platform::Status LockRecord(int slot, int32_t record, int first, int last) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  uint64_t offset = 0, length = 0;
  status = FieldRange(*s, record, first, last, &offset, &length);
  if (!status.ok()) return status;
  internal::FileRetry retry(s->data_path());
  return retry.Run([&] { return s->file()->LockRange(offset, length, /*exclusive=*/true); });
}

platform::Status UnlockRecord(int slot, int32_t record, int first, int last) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  uint64_t offset = 0, length = 0;
  status = FieldRange(*s, record, first, last, &offset, &length);
  if (!status.ok()) return status;
  internal::FileRetry retry(s->data_path());
  return retry.Run([&] { return s->file()->UnlockRange(offset, length); });
}

MaintenanceRecordLock::MaintenanceRecordLock(int slot, int32_t record)
    : slot_(slot), record_(record) {
  if (!Globals().index_maintenance) return;
  status_ = LockRecord(slot, record);
  held_ = status_.ok();
}

MaintenanceRecordLock::~MaintenanceRecordLock() {
  if (held_) UnlockRecord(slot_, record_).IgnoreError();
}

platform::Result<int64_t> RecordCount(int slot) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  internal::FileRetry retry(s->data_path());
  uint64_t size = 0;
  status = retry.Run([&]() -> platform::Status {
    platform::Result<uint64_t> r = s->file()->Size();
    if (!r.ok()) return r.status();
    size = *r;
    return platform::Status::Ok();
  });
  if (!status.ok()) return status;
  return static_cast<int64_t>(size / static_cast<uint64_t>(std::max(s->record_length(), 1)));
}

}  // namespace qrole::data
