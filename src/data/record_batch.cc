#include "data/record_batch.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <vector>

#include "data/file_retry_internal.h"
#include "data/globals.h"
#include "data/record_file_internal.h"
#include "data/slot.h"

namespace qrole::data {

platform::Status ReadRecords(int slot, std::span<const int32_t> records, std::string* out,
                             size_t* whole) {
  *whole = 0;
  out->clear();
  platform::Status status;
  Slot* s = internal::OpenSlot(slot, &status);
  if (s == nullptr) return status;
  const size_t length = static_cast<size_t>(s->record_length());
  const size_t n = records.size();
  out->assign(length * n, '\0');
  if (length == 0) {
    *whole = n;
    return platform::Status::Ok();
  }

  // Positions in `records`, by record number.
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return records[a] < records[b]; });

  internal::FileRetry retry(s->data_path());
  std::string chunk;
  // The lowest record number found past the end of the file.
  int32_t past_end = std::numeric_limits<int32_t>::max();
  size_t i = 0;
  while (i < n && records[order[i]] < 1) ++i;  // left as zero bytes
  while (i < n) {
    const int32_t first = records[order[i]];
    int32_t last = first;
    size_t j = i + 1;
    for (; j < n; ++j) {
      const int32_t next = records[order[j]];
      const auto gap = static_cast<uint64_t>(next - last) * length;
      const auto span = static_cast<uint64_t>(next - first + 1) * length;
      if (gap > kBatchReadGap + length || span > kBatchReadSpan) break;
      last = next;
    }
    const size_t bytes = static_cast<size_t>(last - first + 1) * length;
    status = retry.Run(
        [&] { return s->file()->ReadAt(internal::RecordOffset(*s, first), bytes, &chunk); });
    if (!status.ok()) return status;
    for (size_t k = i; k < j; ++k) {
      const int32_t record = records[order[k]];
      const size_t at = static_cast<size_t>(record - first) * length;
      if (at + length > chunk.size()) {
        past_end = std::min(past_end, record);
        continue;
      }
      out->replace(static_cast<size_t>(order[k]) * length, length, chunk, at, length);
    }
    i = j;
  }
  if (past_end == std::numeric_limits<int32_t>::max()) {
    *whole = n;
    return platform::Status::Ok();
  }
  while (*whole < n && records[*whole] < past_end) ++*whole;
  return platform::Status::NotFound("record " + std::to_string(past_end) +
                                    " lies past the end of " + s->data_path());
}

}  // namespace qrole::data
