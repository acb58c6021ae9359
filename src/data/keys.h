// Index definitions of a slot and the key texts composed from its field
// values.
//
// The key of index k of the current record is the concatenation, over its
// segments in order, of the characters SegmentStart to SegmentStart +
// SegmentLength - 1 of the segment field's value, each segment
// blank padded to its length when the value is shorter (numbers, whose text
// is not their field's width): every key of an index has the same length.
// A numeric field counts with the text its value reads back as once stored
// (a blank or "17.0" value counts as "0" or "17"), so that the keys of a
// record are the same whether composed before it is written or after it is
// read. Keys are Windows-1252 bytes, as the field values.

#ifndef QROLE_DATA_KEYS_H_
#define QROLE_DATA_KEYS_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qrole::data {

class Slot;

// Reads the index entries of `table`'s definition file into the slot's index
// tables. A definition file whose field count is below 1 (missing or empty,
// for instance) shows message 438 + " " + table + " " + message 189 (error
// icon) and leaves the slot without indexes (NotFound or Corruption). The
// file is never deleted nor created.
platform::Status LoadIndexDefinitions(int slot, std::string_view table);

// The key of index `index` (1..index count) of the slot's current values;
// the empty text for an index without segments or out of range.
std::string ComposeKey(const Slot& slot, int index);
// ComposeKey for one index, or with index 0 the all-keys text: for each
// index from 1 to the index count, "\" and its key.
std::string ComposeKeys(int slot, int index);
// Appends the all-keys text of `slot` to `out`.
void AppendAllKeys(const Slot& slot, std::string* out);

// The index count as Str text (" 4") and the longest key length, as the
// create command wants them.
struct IndexShape {
  std::string count_text;
  int longest_key = 0;
};
IndexShape GetIndexShape(int slot);

// Key width of each index 1..count (widths[k - 1]; 0 for an index without
// segments).
std::vector<int> KeyWidths(const Slot& slot);

// True when `field` is a segment of some index of the slot.
bool FieldInKey(int slot, int field);

}  // namespace qrole::data

#endif  // QROLE_DATA_KEYS_H_
