// Appending and cancelling records, with their keys.

#ifndef QROLE_DATA_RECORD_UPDATE_H_
#define QROLE_DATA_RECORD_UPDATE_H_

#include <cstdint>

#include "platform/status.h"

namespace qrole::data {

// Appends the slot's field values as a new record: composes every key,
// sends "I\" + slot + all keys, and writes the record under the number the
// engine gives, inside the engine's transaction (no other process ever finds
// a key whose record is not written, and a failed write leaves no key).
// EngineCommand, EngineRecord (the new record number) and EngineStatus are
// set. Record numbers are never reused, and never given to a record the file
// already holds.
//
// Status 29 (no index file open) with the index maintenance flag on: the
// values are kept, every file is closed, "K" is sent, the catalogue hook
// reopens the company's tables (SetReopenCatalogueHook), the values are put
// back and the insert is sent once more. Any other failure shows message 169
// + " " + status + " " + command (error icon) and writes nothing (IOError).
// A value its field cannot hold gives InvalidArgument before anything is
// sent. The retry rule applies to the write.
platform::Status AppendRecord(int slot);

// Cancels record `record` (numbers below 1 are ignored): with the index
// maintenance flag on the whole record is locked from before the read until
// after the write; the record is read, its keys removed ("D\" + record +
// "\Y\" + Str(slot) + all keys; a failure shows the table name + " " +
// message 170 (error icon) and the cancellation goes on), then it is written
// back in one write with every field blank (numbers zero) and "ANULADO" in
// its first bytes. The record number is never reused. A record that is
// already cancelled is left as it is. Afterwards the slot's values are
// blank.
platform::Status CancelRecord(int slot, int32_t record);

}  // namespace qrole::data

#endif  // QROLE_DATA_RECORD_UPDATE_H_
