// Walking a range of an index with its records read in windows: the lines
// of one account in the account-and-date index, say, without one engine
// command, one file read and one full decoding per line.
//
// The walk visits what "G\" + key followed by "N\" after "N\" would reach,
// in the same order, each record read as ReadRecord would read it; the
// visitor decides where the range ends. Entries are taken from the index a
// window at a time (each window in one read snapshot, the next going on
// after the last entry taken), and each window's records are read together
// (ReadRecords). Windows start small and grow, so that a short range costs
// little; a window also ends before the first entry whose key leaves
// `prefix` (a hint: the visitor still decides, and the walk goes on when it
// asks for more). The slot's field values and the engine's current entry
// are left alone.

#ifndef QROLE_DATA_INDEX_WALK_H_
#define QROLE_DATA_INDEX_WALK_H_

#include <cstdint>
#include <functional>
#include <string_view>

#include "data/record_view.h"
#include "platform/status.h"

namespace qrole::data {

// Called for each record reached: its number and its fields. Returns false
// to end the walk.
using WalkVisitor = std::function<bool(int32_t record, const RecordView& fields)>;

// Walks index `index` of the table open in `slot` (with its index) from the
// first entry whose key is not below `start`, compared as given. Returns Ok
// when the visitor ended the walk or the index ended (an index the engine
// cannot read ends it too, as "N\" would). When a record cannot be read the
// records before it have been visited and the read's status is returned
// (NotFound for a record past the end of the file).
platform::Status WalkIndex(int slot, int index, std::string_view start, std::string_view prefix,
                           const WalkVisitor& visit);

}  // namespace qrole::data

#endif  // QROLE_DATA_INDEX_WALK_H_
