// Pieces of the record code shared by its files (record_file.cc,
// record_update.cc, index_maintenance.cc, reindex.cc).

#ifndef QROLE_DATA_RECORD_FILE_INTERNAL_H_
#define QROLE_DATA_RECORD_FILE_INTERNAL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "data/slot.h"
#include "platform/status.h"

namespace qrole::data::internal {

// The open slot numbered `slot`, or nullptr (and *status InvalidArgument).
Slot* OpenSlot(int slot, platform::Status* status);

// Byte offset of record `record` (>= 1).
inline uint64_t RecordOffset(const Slot& slot, int32_t record) {
  return static_cast<uint64_t>(record - 1) * static_cast<uint64_t>(slot.record_length());
}

// Decodes `bytes` (a whole record) into the slot's field values.
void DecodeRecord(Slot& slot, std::string_view bytes);
// Encodes every field value into `out` (record_length bytes).
platform::Status EncodeRecord(const Slot& slot, std::string* out);
// The bytes of a cancelled record: every field blank (numbers zero), then
// "ANULADO" over the first bytes.
std::string CancelledRecordBytes(Slot& slot);

// Writes `bytes` at `offset` of the slot's record file under the retry rule.
platform::Status WriteBytes(Slot& slot, uint64_t offset, std::string_view bytes);
// Records (whole or partial) in the record file, under the retry rule.
platform::Result<int64_t> RecordsHeld(Slot& slot);

// Shows a message box of the data layer (no title of its own).
void ShowError(const std::string& text);

// The lock that serialises index-file creation and rebuilds of one table
// between processes: one byte of the record file, far past any record.
// Waited for (pausing kIndexBuildPauseMs between tries) up to
// kIndexBuildWaitMs, then the AutomationError kFileInUseError is thrown.
inline constexpr int kIndexBuildPauseMs = 20;
inline constexpr int kIndexBuildWaitMs = 120000;
platform::Status LockIndexBuild(Slot& slot);
void UnlockIndexBuild(Slot& slot);

// Rebuilds the index of the open slot from its record file; the caller holds
// the build lock (reindex.cc).
platform::Status RebuildIndexUnlocked(int slot);

}  // namespace qrole::data::internal

#endif  // QROLE_DATA_RECORD_FILE_INTERNAL_H_
