// Keyed navigation for the readers: the engine's positioning commands sent
// through the globals, with the record read into the slot when one is found.
//
// Every function sends its command with SendEngineCommand (so EngineCommand,
// EngineRecord and EngineStatus tell what happened) and answers true when a
// record is current, which it has then read into the slot's field values
// (ReadRecord), or false when there is none (not found, end of the index).
// A failed read is an error. Keys are Windows-1252 bytes: compose them from
// field values (Slot::SetText / SetRaw, then ComposeKey) rather than by hand.
//
// Typical uses:
//   exact lookup:   slot.SetText(1, account); SeekEqual(1, 1, ComposeKey(slot, 1))
//   range scan:     for (auto r = SeekAtLeast(2, 1, prefix); r.ok() && *r;
//                        r = MoveNext(2)) { if (!matches) break; ... }
//   whole table:    for (auto r = MoveFirst(s, k); r.ok() && *r; r = MoveNext(s)) ...
//   backwards:      MoveLast(s, k), then MovePrevious(s)
//   neighbours:     MoveAfter(1, 1, key) / MoveBefore(1, 1, key)

#ifndef QROLE_DATA_NAVIGATION_H_
#define QROLE_DATA_NAVIGATION_H_

#include <string>
#include <string_view>

#include "platform/status.h"

namespace qrole::data {

// "S\" + index + "\" + slot + "\" + key: the first record whose key equals
// `key` (a shorter key is compared blank padded). When there is none,
// EngineRecord still names the entry just below the key (0 when none), which
// is not read, and the answer is false.
platform::Result<bool> SeekEqual(int slot, int index, std::string_view key);

// "G\" + index + "\" + slot + "\" + key: the first record whose key is not
// below `key` compared as given (so a prefix finds the first key starting
// with it). Status 13 counts as found; status 12 is followed by "N\" + slot.
platform::Result<bool> SeekAtLeast(int slot, int index, std::string_view key);

// "F\" / "L\" + index + "\" + slot: the first / last record in index order.
platform::Result<bool> MoveFirst(int slot, int index);
platform::Result<bool> MoveLast(int slot, int index);

// "N\" / "P\" + slot: the next / previous record in the index last used on
// the slot.
platform::Result<bool> MoveNext(int slot);
platform::Result<bool> MovePrevious(int slot);

// "A\1\999999\" form / "E\1\0\" form: the first record after every entry of
// `key` / the last record before every entry of `key`, in index `index`.
platform::Result<bool> MoveAfter(int slot, int index, std::string_view key);
platform::Result<bool> MoveBefore(int slot, int index, std::string_view key);

// The next sequence number under `prefix`: sends "S\" + index + "\" + slot +
// "\" + prefix (blank padded to its field) + "9999999999"; when EngineRecord
// names an entry, reads it and, when its field with code `prefix_code` holds
// the prefix, answers the value of its field with code `number_code` plus 1,
// else 1. The answer is right-aligned in 10 digits with leading zeros
// ("0000000001" for a prefix with no entries). The defaults are the VAT
// book's: slot 4, index 3, codes 10 and 12.
platform::Result<std::string> NextNumberUnderPrefix(std::string_view prefix, int slot = 4,
                                                    int index = 3, int prefix_code = 10,
                                                    int number_code = 12);

}  // namespace qrole::data

#endif  // QROLE_DATA_NAVIGATION_H_
