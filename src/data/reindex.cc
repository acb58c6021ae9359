#include "data/reindex.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <set>

#include "data/file_retry_internal.h"
#include "data/globals.h"
#include "data/index_store_internal.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/message_table.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "data/record_file_internal.h"

namespace qrole::data {

namespace es = engine_status;

namespace {

// Bytes read from the record file at a time.
constexpr size_t kChunkBytes = size_t{1} << 20;

struct Scan {
  int64_t records = 0;  // whole records
  int64_t held = 0;     // whole or partial records
  int64_t cancelled = 0;
};

// Sorts the fixed-size entries of `e` by their bytes (key, then record).
void SortEntries(PackedEntries* e) {
  const size_t step = static_cast<size_t>(e->key_length) + 4;
  const size_t n = e->packed.size() / step;
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  const char* base = e->packed.data();
  std::sort(order.begin(), order.end(), [base, step](uint32_t a, uint32_t b) {
    return std::memcmp(base + a * step, base + b * step, step) < 0;
  });
  std::string sorted;
  sorted.resize(e->packed.size());
  for (size_t i = 0; i < n; ++i)
    std::memcpy(sorted.data() + i * step, base + order[i] * step, step);
  e->packed = std::move(sorted);
}

// Reads the whole record file and gives, per index, the sorted entries of
// every record that is not cancelled. The slot's values are kept.
platform::Status CollectEntries(Slot& s, std::vector<PackedEntries>* entries, Scan* scan) {
  const int count = s.layout().index_count;
  const std::vector<int> widths = KeyWidths(s);
  entries->assign(static_cast<size_t>(count), PackedEntries());
  for (int k = 1; k <= count; ++k)
    (*entries)[static_cast<size_t>(k - 1)].key_length = widths[static_cast<size_t>(k - 1)];
  // Only the fields that make keys are decoded.
  std::set<int> key_fields;
  for (int k = 1; k <= count; ++k) {
    for (const SegmentLayout& seg : s.layout().indexes[static_cast<size_t>(k)].segments) {
      key_fields.insert(seg.field);
    }
  }
  platform::Result<int64_t> held = internal::RecordsHeld(s);
  if (!held.ok()) return held.status();
  *scan = Scan();
  scan->held = *held;
  const Slot::Values kept = s.values();
  const size_t length = static_cast<size_t>(s.record_length());
  const size_t per_chunk = std::max<size_t>(1, kChunkBytes / length);
  std::string chunk, key;
  char be[4];
  int64_t record = 0;
  for (uint64_t offset = 0;; offset += per_chunk * length) {
    internal::FileRetry retry(s.data_path());
    platform::Status status =
        retry.Run([&] { return s.file()->ReadAt(offset, per_chunk * length, &chunk); });
    if (!status.ok()) return status;
    for (size_t at = 0; at + length <= chunk.size(); at += length) {
      ++record;
      const std::string_view bytes(chunk.data() + at, length);
      if (bytes.starts_with(kCancelledMark)) {
        ++scan->cancelled;
        continue;
      }
      for (int f : key_fields) {
        const FieldLayout& field = s.field(f);
        DecodeElement(
            field.type,
            bytes.substr(static_cast<size_t>(field.start), static_cast<size_t>(field.width)),
            &s.MutableValue(f));
      }
      internal::PackRecord(static_cast<uint32_t>(record), be);
      for (int k = 1; k <= count; ++k) {
        PackedEntries& e = (*entries)[static_cast<size_t>(k - 1)];
        if (e.key_length == 0) continue;
        key = ComposeKey(s, k);
        e.packed.append(key);
        e.packed.append(be, 4);
      }
    }
    if (chunk.size() < per_chunk * length) break;
  }
  scan->records = record;
  s.RestoreValues(kept);
  for (PackedEntries& e : *entries) {
    if (e.key_length > 0) SortEntries(&e);
  }
  return platform::Status::Ok();
}

}  // namespace

namespace internal {

platform::Status RebuildIndexUnlocked(int slot) {
  platform::Status status;
  Slot* s = OpenSlot(slot, &status);
  if (s == nullptr) return status;
  platform::Status produced;
  const int16_t engine =
      Engine().Rebuild(slot, [&](std::vector<PackedEntries>* entries, uint32_t* next_record) {
        Scan scan;
        produced = CollectEntries(*s, entries, &scan);
        *next_record = static_cast<uint32_t>(scan.held + 1);
        return produced;
      });
  if (engine != es::kOk) {
    ShowError(s->table_name() + " " + Message(170));
    if (!produced.ok()) return produced;
    return platform::Status::IOError("index of " + s->table_name() + " not rebuilt (status " +
                                     std::to_string(engine) + ")");
  }
  return platform::Status::Ok();
}

}  // namespace internal

platform::Status Reindex(int slot) {
  platform::Status status;
  Slot* s = internal::OpenSlot(slot, &status);
  if (s == nullptr) return status;
  if (!Engine().IsOpen(slot)) {
    return platform::Status::InvalidArgument("slot " + std::to_string(slot) +
                                             " has no index file open");
  }
  status = internal::LockIndexBuild(*s);
  if (!status.ok()) return status;
  status = internal::RebuildIndexUnlocked(slot);
  internal::UnlockIndexBuild(*s);
  return status;
}

platform::Status ReindexTable(int slot, std::string_view table, std::string_view company_directory,
                              std::string_view company_number) {
  platform::Status status = OpenTableFile(slot, table, 0, company_directory, company_number);
  if (!status.ok()) return status;
  Slot& s = GetSlot(slot);
  status = internal::LockIndexBuild(s);
  if (!status.ok()) return status;
  const std::string path = CompanyFilePath(company_directory, table, company_number, ".QRC");
  // An index file that opens is replaced in one transaction; any other is
  // made anew first.
  if (SendEngineCommand("/O/" + path + "/" + std::to_string(slot)) != es::kOk) {
    const IndexShape shape = GetIndexShape(slot);
    if (SendEngineCommand("/C/" + path + "/" + Str(slot) + "/" + shape.count_text + "/A/" +
                          Str(shape.longest_key)) != es::kOk) {
      status = platform::Status::IOError("cannot create the index file " + path + " (status " +
                                         std::to_string(Globals().engine_status) + ")");
    }
  }
  if (status.ok()) {
    Engine().DeclareKeyWidths(slot, KeyWidths(s));
    status = internal::RebuildIndexUnlocked(slot);
  }
  internal::UnlockIndexBuild(s);
  if (status.ok()) s.set_has_index(true);
  return status;
}

platform::Result<IndexCheck> VerifyIndex(int slot) {
  platform::Status status;
  Slot* s = internal::OpenSlot(slot, &status);
  if (s == nullptr) return status;
  platform::Result<IndexFileInfo> info = Engine().Info(slot);
  if (!info.ok()) return info.status();
  std::vector<PackedEntries> expected;
  Scan scan;
  status = CollectEntries(*s, &expected, &scan);
  if (!status.ok()) return status;
  IndexCheck check;
  check.records = scan.records;
  check.cancelled = scan.cancelled;
  check.next_record = info->next_record;
  auto problem = [&check](std::string text) {
    if (check.problems.size() < 20) check.problems.push_back(std::move(text));
  };
  if (info->index_count != s->layout().index_count) {
    problem("the index file has " + std::to_string(info->index_count) + " indexes, the table " +
            std::to_string(s->layout().index_count));
  }
  if (static_cast<int64_t>(info->next_record) <= scan.held) {
    problem("record counter " + std::to_string(info->next_record) + " is not above record " +
            std::to_string(scan.held));
  }
  for (size_t i = 0; i < expected.size(); ++i) {
    const int k = static_cast<int>(i) + 1;
    const PackedEntries& e = expected[i];
    if (e.key_length == 0) continue;
    const size_t step = static_cast<size_t>(e.key_length) + 4;
    check.entries += static_cast<int64_t>(e.packed.size() / step);
    std::string actual;
    const int16_t engine =
        Engine().ForEachEntry(slot, k, [&](std::string_view key, uint32_t record) {
          char be[4];
          internal::PackRecord(record, be);
          if (key.size() != static_cast<size_t>(e.key_length)) {
            ++check.extra;
            problem("index " + std::to_string(k) + ": key of length " + std::to_string(key.size()) +
                    " for record " + std::to_string(record));
            return;
          }
          actual.append(key);
          actual.append(be, 4);
        });
    if (engine != es::kOk) {
      problem("index " + std::to_string(k) + " unreadable (status " + std::to_string(engine) + ")");
      continue;
    }
    // Both lists are in (key, record) byte order: merge them.
    size_t a = 0, b = 0;
    while (a < e.packed.size() || b < actual.size()) {
      const int cmp = a >= e.packed.size() ? 1
                      : b >= actual.size()
                          ? -1
                          : std::memcmp(e.packed.data() + a, actual.data() + b, step);
      if (cmp == 0) {
        a += step;
        b += step;
        continue;
      }
      const std::string_view which = cmp < 0 ? std::string_view(e.packed).substr(a, step)
                                             : std::string_view(actual).substr(b, step);
      const uint32_t record = internal::UnpackRecord(which.data() + e.key_length);
      if (cmp < 0) {
        ++check.missing;
        problem("index " + std::to_string(k) + ": record " + std::to_string(record) + " missing");
        a += step;
      } else {
        ++check.extra;
        problem("index " + std::to_string(k) + ": entry for record " + std::to_string(record) +
                " no record accounts for");
        b += step;
      }
    }
  }
  return check;
}

}  // namespace qrole::data
