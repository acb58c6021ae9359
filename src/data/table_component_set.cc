// The table component's sets: which records a condition selects, through an
// index when one can answer it, and in which order.

#include <algorithm>
#include <charconv>
#include <functional>
#include <optional>
#include <utility>

#include "data/condition_values.h"
#include "data/file_retry_internal.h"
#include "data/keys.h"
#include "data/table_component_internal.h"

namespace qrole::data::internal {

namespace {

// Bytes read from the record file at a time when scanning.
constexpr size_t kChunkBytes = size_t{1} << 20;

// How an index can answer a condition: the keys to visit are those from
// `low` on that start with `prefix` and whose first `bounded` bytes do not
// sort above `high`.
struct IndexPlan {
  int index = 0;
  int score = 0;
  std::string low;
  std::string prefix;
  size_t bounded = 0;  // 0: no upper bound
  std::string high;
};

// The key text a value takes in segment `seg`, composed by the record code's
// own key composition (so that it is the text the index holds).
std::string SegmentKey(Slot& slot, int index, size_t segment, std::string_view raw_value) {
  const IndexLayout& layout = slot.layout().indexes[static_cast<size_t>(index)];
  const SegmentLayout& seg = layout.segments[segment];
  const Slot::Values kept = slot.values();
  slot.SetRaw(seg.field, raw_value);
  const std::string key = ComposeKey(slot, index);
  slot.RestoreValues(kept);
  size_t offset = 0;
  for (size_t s = 0; s < segment; ++s) offset += static_cast<size_t>(layout.segments[s].length);
  return key.substr(offset, static_cast<size_t>(seg.length));
}

// The raw value an equality term puts in its field for key composition, or
// nullopt when the term's value has no exact key form.
std::optional<std::string> EqualityRaw(const ConditionTerm& term) {
  switch (term.kind) {
    case ValueKind::kText:
      return term.bytes;
    case ValueKind::kNumber: {
      char buf[64];
      const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, term.number);
      if (ec != std::errc()) return std::nullopt;
      return std::string(buf, end);
    }
    case ValueKind::kDate:
      if (term.day == 0) return std::string(6, ' ');
      return StoredDateForm(term.day);
  }
  return std::nullopt;
}

// The literal start of a LIKE pattern (before its first wildcard).
std::string LiteralPrefix(std::string_view pattern) {
  return std::string(pattern.substr(0, std::min(pattern.find_first_of("*?"), pattern.size())));
}

// What the terms on the first segment's field allow when no equality does:
// a range (text and date fields) or a LIKE prefix (text fields).
void BoundFirstSegment(Slot& slot, int k, const Condition& condition, IndexPlan* plan) {
  const SegmentLayout& seg = slot.layout().indexes[static_cast<size_t>(k)].segments[0];
  const FieldLayout& field = slot.field(seg.field);
  const size_t length = static_cast<size_t>(seg.length);
  for (const ConditionTerm& t : condition.terms) {
    if (t.field != seg.field || t.absolute || t.kind == ValueKind::kNumber) continue;
    if (t.op == CompareOp::kLike && t.kind == ValueKind::kText) {
      std::string prefix = LiteralPrefix(t.bytes).substr(0, length);
      if (prefix.size() > plan->prefix.size()) {
        plan->prefix = prefix;
        plan->low = std::max(plan->low, prefix);
      }
      continue;
    }
    if (t.op != CompareOp::kAtLeast && t.op != CompareOp::kAtMost) continue;
    std::string raw;
    if (t.kind == ValueKind::kDate) {
      if (t.day == 0) {
        raw = std::string(6, ' ');
      } else if (std::optional<std::string> stored = StoredDateForm(t.day)) {
        raw = *stored;
      } else {
        continue;
      }
    } else {
      raw = t.bytes.substr(0, static_cast<size_t>(field.width));
    }
    std::string key = t.kind == ValueKind::kDate ? SegmentKey(slot, k, 0, raw)
                                                 : raw.substr(0, std::min(raw.size(), length));
    if (t.op == CompareOp::kAtLeast) {
      plan->low = std::max(plan->low, key);
    } else {
      key.resize(length, ' ');
      if (plan->bounded == 0 || key < plan->high) plan->high = key;
      plan->bounded = length;
    }
  }
  if (!plan->prefix.empty() || !plan->low.empty() || plan->bounded > 0) plan->score = 5;
}

// How index k can answer `condition`; score 0 when it cannot.
IndexPlan PlanIndex(Slot& slot, int k, const Condition& condition) {
  IndexPlan plan;
  plan.index = k;
  const IndexLayout& index = slot.layout().indexes[static_cast<size_t>(k)];
  for (size_t s = 0; s < index.segments.size(); ++s) {
    const SegmentLayout& seg = index.segments[s];
    if (seg.start != 1) break;
    const ConditionTerm* equal = nullptr;
    for (const ConditionTerm& t : condition.terms) {
      if (t.field == seg.field && t.op == CompareOp::kEqual && !t.absolute) equal = &t;
    }
    if (equal == nullptr) break;
    const std::optional<std::string> raw = EqualityRaw(*equal);
    if (!raw) break;
    plan.prefix += SegmentKey(slot, k, s, *raw);
    plan.score += 10;
  }
  plan.low = plan.prefix;
  if (plan.score == 0 && !index.segments.empty() && index.segments[0].start == 1) {
    BoundFirstSegment(slot, k, condition, &plan);
  }
  return plan;
}

// The records index `plan.index` names, in key order.
std::optional<std::vector<int32_t>> IndexCandidates(TableHandle& handle, const IndexPlan& plan) {
  IndexEnv& env = *handle.index;
  if (plan.index > env.index_count()) return std::nullopt;
  std::vector<int32_t> records;
  const int rc = env.Read([&](MDB_txn*) {
    MDB_cursor* cursor = env.ReadCursor(plan.index);
    if (cursor == nullptr) return MDB_BAD_TXN;
    MDB_val key = ToVal(plan.low), data;
    int rc = plan.low.empty() ? mdb_cursor_get(cursor, &key, &data, MDB_FIRST)
                              : mdb_cursor_get(cursor, &key, &data, MDB_SET_RANGE);
    while (rc == MDB_SUCCESS) {
      const std::string_view k = FromVal(key);
      if (!k.starts_with(plan.prefix)) break;
      if (plan.bounded > 0 && k.substr(0, plan.bounded) > plan.high) break;
      records.push_back(static_cast<int32_t>(UnpackRecord(data.mv_data)));
      rc = mdb_cursor_get(cursor, &key, &data, MDB_NEXT);
    }
    return rc == MDB_NOTFOUND ? MDB_SUCCESS : rc;
  });
  if (rc != MDB_SUCCESS) return std::nullopt;
  return records;
}

std::optional<IndexPlan> BestPlan(TableHandle& handle, const Condition& condition) {
  if (!handle.index || condition.empty()) return std::nullopt;
  std::optional<IndexPlan> best;
  for (int k = 1; k <= handle.layout().index_count; ++k) {
    if (handle.layout().indexes[static_cast<size_t>(k)].segments.empty()) continue;
    IndexPlan plan = PlanIndex(handle.record, k, condition);
    if (plan.score > 0 && (!best || plan.score > best->score)) best = std::move(plan);
  }
  return best;
}

}  // namespace

void ForEachRecordChunk(TableHandle& handle,
                        const std::function<void(int32_t first, std::string_view chunk)>& fn) {
  const size_t length = static_cast<size_t>(handle.record_length());
  const size_t per_chunk = std::max<size_t>(1, kChunkBytes / length);
  std::string chunk;
  int32_t first = 1;
  for (uint64_t offset = 0;; offset += per_chunk * length) {
    FileRetry retry(handle.data_path);
    const platform::Status status =
        retry.Run([&] { return handle.record.file()->ReadAt(offset, per_chunk * length, &chunk); });
    if (!status.ok()) RaiseTableError("Error de lectura", status.ToString());
    fn(first, chunk);
    if (chunk.size() < per_chunk * length) break;
    first += static_cast<int32_t>(per_chunk);
  }
}

bool IsLiveRecord(std::string_view bytes) {
  if (bytes.starts_with(kCancelledMark)) return false;
  return bytes.find_first_not_of('\0') != std::string_view::npos;
}

int64_t WholeRecords(TableHandle& handle) {
  FileRetry retry(handle.data_path);
  uint64_t size = 0;
  const platform::Status status = retry.Run([&]() -> platform::Status {
    platform::Result<uint64_t> s = handle.record.file()->Size();
    if (!s.ok()) return s.status();
    size = *s;
    return platform::Status::Ok();
  });
  if (!status.ok()) RaiseTableError("Error de lectura", status.ToString());
  return static_cast<int64_t>(size / static_cast<uint64_t>(handle.record_length()));
}

bool ReadLiveRecord(TableHandle& handle, int32_t record, std::string* bytes) {
  if (record < 1) return false;
  const size_t length = static_cast<size_t>(handle.record_length());
  FileRetry retry(handle.data_path);
  const platform::Status status = retry.Run([&] {
    return handle.record.file()->ReadAt(static_cast<uint64_t>(record - 1) * length, length, bytes);
  });
  if (!status.ok()) RaiseTableError("Error de lectura", status.ToString());
  return bytes->size() == length && IsLiveRecord(*bytes);
}

std::vector<int32_t> EvaluateSet(TableHandle& handle, const Condition& condition, int order_field) {
  const TableLayout& layout = handle.layout();
  std::vector<int32_t> records;
  // Sort keys (the order field's bytes) beside the records when ordering.
  std::vector<std::string> order_keys;
  const FieldLayout* order =
      order_field > 0 ? &layout.fields[static_cast<size_t>(order_field)] : nullptr;
  auto take = [&](int32_t record, std::string_view bytes) {
    if (!condition.Matches(layout, bytes)) return;
    records.push_back(record);
    if (order != nullptr) {
      order_keys.emplace_back(
          bytes.substr(static_cast<size_t>(order->start), static_cast<size_t>(order->width)));
    }
  };
  std::optional<std::vector<int32_t>> candidates;
  if (std::optional<IndexPlan> plan = BestPlan(handle, condition)) {
    candidates = IndexCandidates(handle, *plan);
  }
  if (candidates) {
    std::string bytes;
    for (int32_t record : *candidates) {
      if (ReadLiveRecord(handle, record, &bytes)) take(record, bytes);
    }
  } else {
    ForEachLiveRecord(handle, take);
  }
  if (order == nullptr) return records;
  std::vector<size_t> by(records.size());
  for (size_t i = 0; i < by.size(); ++i) by[i] = i;
  std::stable_sort(by.begin(), by.end(), [&](size_t a, size_t b) {
    return CompareElements(*order, order_keys[a], order_keys[b]) < 0;
  });
  std::vector<int32_t> sorted;
  sorted.reserve(records.size());
  for (size_t i : by) sorted.push_back(records[i]);
  return sorted;
}

int32_t SeekKey(TableHandle& handle, int index, std::string_view key) {
  if (!handle.index || index > handle.index->index_count()) return 0;
  const size_t width =
      static_cast<size_t>(handle.layout().indexes[static_cast<size_t>(index)].key_length);
  if (key.size() > width) return 0;
  std::string padded(key);
  padded.resize(width, ' ');
  std::vector<int32_t> found;
  IndexEnv& env = *handle.index;
  env.Read([&](MDB_txn*) {
    MDB_cursor* cursor = env.ReadCursor(index);
    if (cursor == nullptr) return MDB_BAD_TXN;
    MDB_val k = ToVal(padded), data;
    int rc = mdb_cursor_get(cursor, &k, &data, MDB_SET_KEY);
    while (rc == MDB_SUCCESS) {
      found.push_back(static_cast<int32_t>(UnpackRecord(data.mv_data)));
      rc = mdb_cursor_get(cursor, &k, &data, MDB_NEXT_DUP);
    }
    return MDB_SUCCESS;
  });
  std::string bytes;
  for (int32_t record : found) {
    if (ReadLiveRecord(handle, record, &bytes)) return record;
  }
  return 0;
}

}  // namespace qrole::data::internal
