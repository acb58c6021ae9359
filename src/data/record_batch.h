// Reading many records of one table at once: the records an index range
// names (the lines of one account, say), read with as few file reads as
// their places in the record file allow, their bytes left undecoded.
//
// A reader that walks an index one entry at a time reads and decodes every
// record it passes (ReadRecord); one that knows the record numbers first
// (KeyedEngine::ScanFrom) reads them here in windows and picks out only the
// fields it needs (data/record_view.h).

#ifndef QROLE_DATA_RECORD_BATCH_H_
#define QROLE_DATA_RECORD_BATCH_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/status.h"

namespace qrole::data {

// Records lying at most this many bytes apart are read with one read.
inline constexpr size_t kBatchReadGap = 16384;
// The longest single read.
inline constexpr size_t kBatchReadSpan = 1 << 20;

// Reads the records numbered `records` (in any order, repeats allowed) of the
// table open in `slot` into `out`: record_length bytes for each, one after
// another in the order given (a number below 1 gives zero bytes). Records
// close together in the file are read with one read, every read under the
// retry rule of the record code.
//
// On success `*whole` is records.size(). When some record lies (wholly or
// partly) past the end of the file, as a record being appended does, the
// result is NotFound and `*whole` the position in `records` of the first
// such record: the records before it are in `out`. Another failure gives
// its status and `*whole` 0. InvalidArgument for a slot that is not open.
platform::Status ReadRecords(int slot, std::span<const int32_t> records, std::string* out,
                             size_t* whole);

}  // namespace qrole::data

#endif  // QROLE_DATA_RECORD_BATCH_H_
