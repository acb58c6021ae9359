// Sequential scan of a record file: the records, in record order, whose
// field holds what a search looks for. The journal searches by description
// and by amount use it, since no index answers them.
//
// The scan reads the table open in a record slot, one record at a time, and
// skips cancelled records ("ANULADO") and records never written (all zero
// bytes). A field is tested on its raw bytes: the Windows-1252 text of a
// text field, blank padded to its width, or the record bytes of a number.
#ifndef QROLE_QUERY_RECORD_SCAN_H_
#define QROLE_QUERY_RECORD_SCAN_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qrole::query {

// Tells whether a field's raw bytes are what the search looks for.
using FieldTest = std::function<bool(std::string_view bytes)>;

// The first record after `after` and not after `last`, in record order, of
// the table open in `slot` whose field `code` (a field code) passes `test`;
// 0 when there is none. The record's raw bytes are then in the slot (its
// field values are not decoded: read the record to use them). A record that
// cannot be read raises 75 "Path/File access error".
int32_t NextMatchingRecord(int slot, int code, int32_t after, int32_t last, const FieldTest& test);

// The records of the table open in `slot` (0 for a slot that holds none).
int32_t RecordsInSlot(int slot);

// Matching rules of the searches.
//
// A text field holds `utf8` when the text appears anywhere in it, blanks
// included, as the file stores it; the empty text is in every field. With
// `match_case` false letters match whatever their case (the letters of
// Windows-1252, accented ones included).
FieldTest HoldsText(std::string_view utf8, bool match_case);
// An 8-byte number field holds `amount` when its bytes are the encoding of
// `amount` or of its negative, so that a line matches whatever its sign.
FieldTest HoldsAmount(double amount);

}  // namespace qrole::query

#endif  // QROLE_QUERY_RECORD_SCAN_H_
