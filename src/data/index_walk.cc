#include "data/index_walk.h"

#include <algorithm>
#include <string>
#include <vector>

#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/record_batch.h"
#include "data/slot.h"

namespace qrole::data {

namespace {

constexpr size_t kFirstWindow = 32;
constexpr size_t kLargestWindow = 1024;

}  // namespace

platform::Status WalkIndex(int slot, int index, std::string_view start, std::string_view prefix,
                           const WalkVisitor& visit) {
  if (!IsSlotNumber(slot) || !GetSlot(slot).is_open()) {
    return platform::Status::InvalidArgument("slot " + std::to_string(slot) + " is not open");
  }
  const Slot& s = GetSlot(slot);
  const auto length = static_cast<size_t>(s.record_length());
  std::string key(start);  // the last entry taken: (key, after)
  uint32_t after = 0;
  std::vector<int32_t> records;
  std::string bytes;
  for (size_t window = kFirstWindow;; window = std::min(window * 2, kLargestWindow)) {
    records.clear();
    const int16_t status =
        Engine().ScanFrom(slot, index, key, after, [&](std::string_view entry, uint32_t record) {
          if (!records.empty() && !entry.starts_with(prefix)) return false;
          key.assign(entry);
          after = record;
          records.push_back(static_cast<int32_t>(record));
          return records.size() < window;
        });
    if (records.empty()) return platform::Status::Ok();
    size_t whole = 0;
    const platform::Status read = ReadRecords(slot, records, &bytes, &whole);
    for (size_t i = 0; i < whole; ++i) {
      if (!visit(records[i], RecordView(s, std::string_view(bytes).substr(i * length, length))))
        return platform::Status::Ok();
    }
    if (!read.ok()) return read;
    // An index the engine could not go on reading ends the walk, as a
    // failing "N\" ends a reader's loop.
    if (status != engine_status::kOk) return platform::Status::Ok();
  }
}

}  // namespace qrole::data
