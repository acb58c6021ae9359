#include "data/record_update.h"

#include <string>

#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/message_table.h"
#include "data/record_file.h"
#include "data/record_file_internal.h"
#include "platform/text_encoding.h"

namespace qrole::data {

namespace es = engine_status;

namespace {

// Sends the insert of the slot's current values, the record being `bytes`.
int16_t SendAppend(int slot, const std::string& bytes) {
  DataGlobals& g = Globals();
  Slot& s = GetSlot(slot);
  g.engine_command = "I\\" + std::to_string(slot);
  AppendAllKeys(s, &g.engine_command);
  AppendHooks hooks;
  hooks.records_in_file = [&s] { return internal::RecordsHeld(s); };
  hooks.write_record = [&s, &bytes](int32_t record) {
    return internal::WriteBytes(s, internal::RecordOffset(s, record), bytes);
  };
  hooks.abandon_record = [&s](int32_t record) {
    const Slot::Values kept = s.values();
    const std::string cancelled = internal::CancelledRecordBytes(s);
    s.RestoreValues(kept);
    internal::WriteBytes(s, internal::RecordOffset(s, record), cancelled).IgnoreError();
  };
  Engine().ExecuteAppend(g.engine_command, g.engine_record, g.engine_status, hooks);
  return g.engine_status;
}

}  // namespace

platform::Status AppendRecord(int slot) {
  platform::Status status;
  Slot* s = internal::OpenSlot(slot, &status);
  if (s == nullptr) return status;
  std::string bytes;
  status = internal::EncodeRecord(*s, &bytes);
  if (!status.ok()) return status;
  DataGlobals& g = Globals();
  int16_t engine = SendAppend(slot, bytes);
  if (engine == es::kFileNotOpen && g.index_maintenance) {
    // Every file closed ("K" included), the catalogue reopened, once more.
    const Slot::Values kept = s->values();
    CloseAllFiles();
    const platform::Status reopened = ReopenCatalogue();
    s = internal::OpenSlot(slot, &status);
    if (!reopened.ok() || s == nullptr) {
      internal::ShowError(Message(169) + " " + std::to_string(engine) + " " +
                          platform::Cp1252ToUtf8(g.engine_command));
      return platform::Status::IOError("table of slot " + std::to_string(slot) + " not reopened: " +
                                       (reopened.ok() ? status : reopened).ToString());
    }
    s->RestoreValues(kept);
    status = internal::EncodeRecord(*s, &bytes);
    if (!status.ok()) return status;
    engine = SendAppend(slot, bytes);
  }
  if (engine != es::kOk) {
    internal::ShowError(Message(169) + " " + std::to_string(engine) + " " +
                        platform::Cp1252ToUtf8(g.engine_command));
    return platform::Status::IOError("record not appended to " + s->table_name() + " (status " +
                                     std::to_string(engine) + ")");
  }
  return platform::Status::Ok();
}

platform::Status CancelRecord(int slot, int32_t record) {
  platform::Status status;
  Slot* s = internal::OpenSlot(slot, &status);
  if (s == nullptr) return status;
  if (record < 1) return platform::Status::Ok();
  MaintenanceRecordLock lock(slot, record);
  if (!lock.status().ok()) return lock.status();
  status = ReadRecord(slot, record);
  if (!status.ok()) return status;
  if (s->IsCancelled()) return platform::Status::Ok();
  std::string command = "D\\" + std::to_string(record) + "\\Y\\" + Str(slot);
  AppendAllKeys(*s, &command);
  if (SendEngineCommand(std::move(command)) != es::kOk) {
    internal::ShowError(s->table_name() + " " + Message(170));
  }
  return internal::WriteBytes(*s, internal::RecordOffset(*s, record),
                              internal::CancelledRecordBytes(*s));
}

}  // namespace qrole::data
