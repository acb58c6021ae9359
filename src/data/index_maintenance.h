// Keeping a table's index file in step with its record file: opening or
// creating the index file, and changing one field of a record with its keys.
// Appends and cancellations, which also keep the keys, are in
// record_update.h; rebuilding the whole index is in reindex.h.

#ifndef QROLE_DATA_INDEX_MAINTENANCE_H_
#define QROLE_DATA_INDEX_MAINTENANCE_H_

#include <cstdint>
#include <string_view>

#include "platform/status.h"

namespace qrole::data {

// Opens the index file of the table open in `slot` (OpenTableFile has opened
// its record file), or creates it:
//  1. loads the index definitions;
//  2. sends "/O/" + index path + "/" + slot;
//  3. status 26 shows message 180 (error icon) and fails; status 0 is done,
//     unless the index maintenance flag is on and the record file is empty,
//     when "M\" + slot is sent and a nonzero status goes on to step 4; any
//     other status goes on to step 4;
//  4. under a lock that serialises creations between processes, tries "/O/"
//     once more (another process may just have created it), else sends
//     "/C/" + path + "/" + Str(slot) + "/" + Str(count) + "/A/" +
//     Str(longest key);
//  5. after a successful "/C/", when the record file holds records, rebuilds
//     the index from them (an index file that is missing, damaged or of
//     another word size never loses the table's keys). A "/C/" status 23
//     shows message 333 + " " + path (error icon) and clears the "DATOS_DIR"
//     setting when the file's directory does not exist, else message 153;
//     other statuses show messages 516 and 169 with the status and the
//     command (error icon).
// On success the slot has its index (Slot::has_index).
platform::Status OpenOrCreateIndex(int slot, std::string_view table,
                                   std::string_view company_directory,
                                   std::string_view company_number);

// Changes field `field` of record `record` to `new_value` (raw bytes, left
// justified and blank padded to the field) in the keys: reads the record,
// and for each index whose key changes sends "R\" + Str(index) + "\" +
// record + "\" + Str(slot) + "\" + new key + "\" + old key. A failing "R\"
// shows message 169 with the command and status, then message 170 with the
// table name, and the others are still sent; the result is then IOError.
// Afterwards the slot's values are the record's with the new value.
platform::Status UpdateFieldKeys(int slot, int field, std::string_view new_value, int32_t record);

// Changes one field of an existing record: its keys (UpdateFieldKeys, when
// the field is a segment of some index), then the field alone at its place
// in the record. With the index maintenance flag on, the whole record is
// locked from before the read until after the write (callers must not hold
// that record's lock themselves: locks do not nest).
platform::Status UpdateField(int slot, int32_t record, int field, std::string_view new_value);

}  // namespace qrole::data

#endif  // QROLE_DATA_INDEX_MAINTENANCE_H_
