// Statuses of the keyed engine (EngineStatus). 0 means success (found);
// callers treat a few others specially (12 and 13 after "G\", 26 after "/O/",
// 23 after "/C/", 29 after "I\"). The full table is in docs/formats.md.

#ifndef QROLE_DATA_ENGINE_STATUS_H_
#define QROLE_DATA_ENGINE_STATUS_H_

#include <cstdint>

namespace qrole::data::engine_status {

inline constexpr int16_t kOk = 0;
// The command text is not understood (unknown command, bad number, a key
// text that does not split into the file's keys).
inline constexpr int16_t kInvalidCommand = 1;
// The index file could not be read or written (an error of the store).
inline constexpr int16_t kIoError = 2;
// "S\": no entry has the key (EngineRecord names the entry just below it, or
// is 0); "D\" and "R\": a key of that record was not in its index.
inline constexpr int16_t kKeyNotFound = 4;
// The index number is outside 1..the file's index count.
inline constexpr int16_t kInvalidIndex = 6;
// Nothing (more) to position on: empty index, end or start reached, no
// current entry for "N\" or "P\".
inline constexpr int16_t kEndOfIndex = 9;
// "/O/": the index file does not exist.
inline constexpr int16_t kFileMissing = 11;
// "G\": no key at or above the one given; the current entry is the last of
// the index (just below the key), which EngineRecord names.
inline constexpr int16_t kBelowKey = 12;
// "G\": no equal key; the current entry is the first above it (found).
inline constexpr int16_t kAboveKey = 13;
// The index file is full and its map cannot grow.
inline constexpr int16_t kIndexFull = 18;
// A key longer than the index files accept.
inline constexpr int16_t kKeyTooLong = 21;
// "/C/": the index file cannot be created.
inline constexpr int16_t kCannotCreate = 23;
// "/O/": the index file (or its lock file) may not be opened: access denied.
inline constexpr int16_t kProtection = 26;
// The file number has no open index file.
inline constexpr int16_t kFileNotOpen = 29;
// "/O/": the file is not an index file of this engine (another format,
// another word size, damaged): it must be created again and rebuilt.
inline constexpr int16_t kNotOurs = 30;
// "M\": the index holds entries (or has numbered records) although its record
// file is empty.
inline constexpr int16_t kIndexNotEmpty = 31;

}  // namespace qrole::data::engine_status

#endif  // QROLE_DATA_ENGINE_STATUS_H_
