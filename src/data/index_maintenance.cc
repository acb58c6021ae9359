#include "data/index_maintenance.h"

#include <string>
#include <vector>

#include "data/catalogue.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/message_table.h"
#include "data/record_file.h"
#include "data/record_file_internal.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"

namespace qrole::data {

namespace es = engine_status;

namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\QRN\\Valdrix\\Settings";

// Reports a "/C/" failure as the record code always did, with one change:
// "invalid file name" (and clearing the data directory setting) is for a
// directory that does not exist, not for any name with a lower-case letter.
void ReportCreateFailure(int16_t status, const std::string& command, const std::string& path) {
  platform::Env* env = platform::CurrentEnv();
  if (status == es::kCannotCreate) {
    if (!env->Files().IsDirectory(platform::DirName(path))) {
      internal::ShowError(Message(333) + " " + path);
      env->Settings().Write(kSettingsKey, "DATOS_DIR", "");
    } else {
      env->Messages().Show(Message(153), "", platform::MsgIcon::Warning, platform::MsgButtons::Ok);
    }
    return;
  }
  internal::ShowError(Message(516) + "\n" + Message(169) + " " + std::to_string(status) + "\n" +
                      command);
}

// Creates the index file (the build lock is held) and fills it from the
// record file.
platform::Status CreateIndex(int slot, const std::string& path) {
  const IndexShape shape = GetIndexShape(slot);
  const int16_t status = SendEngineCommand("/C/" + path + "/" + Str(slot) + "/" + shape.count_text +
                                           "/A/" + Str(shape.longest_key));
  if (status != es::kOk) {
    ReportCreateFailure(status, Globals().engine_command, path);
    return platform::Status::IOError("cannot create the index file " + path + " (status " +
                                     std::to_string(status) + ")");
  }
  Engine().DeclareKeyWidths(slot, KeyWidths(GetSlot(slot)));
  platform::Result<int64_t> records = RecordCount(slot);
  if (!records.ok()) return records.status();
  if (*records > 0) return internal::RebuildIndexUnlocked(slot);
  return platform::Status::Ok();
}

}  // namespace

platform::Status OpenOrCreateIndex(int slot, std::string_view table,
                                   std::string_view company_directory,
                                   std::string_view company_number) {
  platform::Status status;
  Slot* s = internal::OpenSlot(slot, &status);
  if (s == nullptr) return status;
  s->set_has_index(false);
  status = LoadIndexDefinitions(slot, table);
  if (!status.ok()) return status;
  const std::string path = CompanyFilePath(company_directory, table, company_number, ".QRC");
  const std::string open_command = "/O/" + ShortPath(path) + "/" + std::to_string(slot);
  int16_t engine = SendEngineCommand(open_command);
  if (engine == es::kProtection) {
    internal::ShowError(Message(180));
    return platform::Status::IOError("index file " + path + " may not be opened");
  }
  bool create = engine != es::kOk;
  if (!create && Globals().index_maintenance) {
    platform::Result<int64_t> records = RecordCount(slot);
    if (!records.ok()) return records.status();
    if (*records == 0) create = SendEngineCommand("M\\" + std::to_string(slot)) != es::kOk;
  }
  if (create) {
    status = internal::LockIndexBuild(*s);
    if (!status.ok()) return status;
    // Another process may have made the file while this one waited.
    const bool made_meanwhile = engine != es::kOk && SendEngineCommand(open_command) == es::kOk;
    if (!made_meanwhile) status = CreateIndex(slot, path);
    internal::UnlockIndexBuild(*s);
    if (!status.ok()) return status;
  }
  Engine().DeclareKeyWidths(slot, KeyWidths(*s));
  s->set_has_index(true);
  return platform::Status::Ok();
}

platform::Status UpdateFieldKeys(int slot, int field, std::string_view new_value, int32_t record) {
  platform::Status status;
  Slot* s = internal::OpenSlot(slot, &status);
  if (s == nullptr) return status;
  status = ReadRecord(slot, record);
  if (!status.ok()) return status;
  const int count = s->layout().index_count;
  std::vector<std::string> old_keys;
  for (int k = 1; k <= count; ++k) old_keys.push_back(ComposeKey(*s, k));
  s->SetRaw(field, new_value);
  bool failed = false;
  for (int k = 1; k <= count; ++k) {
    const std::string new_key = ComposeKey(*s, k);
    const std::string& old_key = old_keys[static_cast<size_t>(k - 1)];
    if (new_key == old_key) continue;
    const int16_t engine = SendEngineCommand("R\\" + Str(k) + "\\" + std::to_string(record) + "\\" +
                                             Str(slot) + "\\" + new_key + "\\" + old_key);
    if (engine != es::kOk) {
      failed = true;
      internal::ShowError(Message(169) + " " + platform::Cp1252ToUtf8(Globals().engine_command) +
                          " " + std::to_string(engine));
      internal::ShowError(Message(170) + " " + s->table_name());
    }
  }
  if (failed) {
    return platform::Status::IOError("keys of record " + std::to_string(record) + " of " +
                                     s->table_name() + " not all replaced");
  }
  return platform::Status::Ok();
}

platform::Status UpdateField(int slot, int32_t record, int field, std::string_view new_value) {
  platform::Status status;
  Slot* s = internal::OpenSlot(slot, &status);
  if (s == nullptr) return status;
  if (record < 1 || !s->IsField(field)) {
    return platform::Status::InvalidArgument("no field " + std::to_string(field) + " in record " +
                                             std::to_string(record));
  }
  MaintenanceRecordLock lock(slot, record);
  if (!lock.status().ok()) return lock.status();
  platform::Status keys = platform::Status::Ok();
  if (FieldInKey(slot, field)) {
    keys = UpdateFieldKeys(slot, field, new_value, record);
    if (keys.IsInvalidArgument()) return keys;
  } else {
    s->SetRaw(field, new_value);
  }
  status = WriteField(slot, record, field);
  return status.ok() ? keys : status;
}

}  // namespace qrole::data
