// Inside the table component: its handle on the table, its state, and the
// pieces shared by table_component.cc (opening, the set, moves),
// table_component_set.cc (evaluating conditions and orders),
// table_component_fields.cc (field values) and table_component_write.cc
// (changes and lent slots).

#ifndef QROLE_DATA_TABLE_COMPONENT_INTERNAL_H_
#define QROLE_DATA_TABLE_COMPONENT_INTERNAL_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/blob_store.h"
#include "data/condition.h"
#include "data/index_store_internal.h"
#include "data/slot.h"
#include "data/table_component.h"

namespace qrole::data {

namespace internal {

// The component's own handle on one table. `record` is a Slot object of its
// own (never one of the sixteen process-wide slots): it carries the layout,
// the open record file, and the values of a record being added or edited.
struct TableHandle {
  std::string table;      // definition name ("EXTRA", "Datgl00")
  std::string directory;  // folder of the record file
  std::string number;     // company number ("01"; empty for "Datgl00")
  std::string data_path;  // resolved record file path
  std::string index_path;
  Slot record;
  // The table's index file; shared with the keyed engine's users of the
  // same file in this process.
  std::shared_ptr<IndexEnv> index;
  BlobStore blobs;
  std::vector<int> long_codes;  // codes of the long-content fields

  // Where files stay open between uses (table_handle_cache.cc): the opening
  // path it is kept under and the files it opened, to see whether they are
  // still the table's files.
  std::string kept_key;
  std::string data_stamp;
  std::string index_stamp;
  std::string definition_path;
  std::string definition_version;

  const TableLayout& layout() const { return record.layout(); }
  int32_t record_length() const { return record.record_length(); }
};

// Raises AutomationError 0x80040000 + kTableError with `what` + LF +
// `detail` (the detail left out when empty).
[[noreturn]] void RaiseTableError(const std::string& what, const std::string& detail = "");
// Raises 0x80040000 + kConditionError for `condition`.
[[noreturn]] void RaiseConditionError(const std::string& why, std::string_view condition);

// --- Records (table_component_set.cc) --------------------------------------

// Whole records in the record file.
int64_t WholeRecords(TableHandle& handle);
// Reads record `record` into *bytes. False (and *bytes undefined) when it
// does not exist, is cancelled, or was never written (all NUL bytes).
bool ReadLiveRecord(TableHandle& handle, int32_t record, std::string* bytes);
// True for the bytes of a record that is part of sets: written, not cancelled.
bool IsLiveRecord(std::string_view bytes);

// The records of the set that `condition` and `order_field` (0 = none) make,
// in set order (see table_component.h).
std::vector<int32_t> EvaluateSet(TableHandle& handle, const Condition& condition, int order_field);

// Calls fn(record, bytes) for every live record in record order.
template <class Fn>
void ForEachLiveRecord(TableHandle& handle, Fn&& fn);

// The first record whose key of index `index` equals `key` (Windows-1252,
// blank padded to the key width); 0 when none.
int32_t SeekKey(TableHandle& handle, int index, std::string_view key);

// --- Handles kept between uses (table_handle_cache.cc) ---------------------

// Where files may stay open between calls (platform::KeepFilesOpenBetweenCalls)
// a closed component's handle is kept, and the next opening of the same path
// takes it instead of opening the table again: one look at the record file,
// the index file and the definition file tells whether they are still the
// files the handle opened (another process's writes are seen through the open
// files; a file replaced, removed or changed in its definition gives a fresh
// handle).

// An idle handle opened as `key`, still on the table's files; null when none.
std::unique_ptr<TableHandle> TakeKeptHandle(const std::string& key);
// Notes what `handle` opened, under the opening key `key`.
void StampHandle(TableHandle& handle, const std::string& key);
// Keeps `handle` (no change pending, no lock held) for the next opening of
// its key; closes it where files do not stay open between calls.
void KeepHandle(std::unique_ptr<TableHandle> handle);
// Closes every idle handle.
void ReleaseKeptHandles();

// --- Changes (table_component_write.cc) ------------------------------------

// Opens (or has the record code create and rebuild) the index file of an
// opened handle.
void OpenIndexFor(TableHandle& handle);

}  // namespace internal

struct TableComponent::Impl {
  enum class Mode { kNone, kAdding, kEditing };

  std::unique_ptr<internal::TableHandle> handle;

  // The set.
  Condition condition;
  int order_field = 0;
  // No condition and no order: the whole table in record order, read as the
  // moves go (`records` unused; `pos` is a record number).
  bool whole_table = true;
  std::vector<int32_t> records;
  // Index in `records` (or record number for the whole table) of the current
  // record, or, after the current record was deleted, of the place the next
  // MoveNext goes to (`removed` set). When no record is current and `removed`
  // is not set, moves other than MoveFirst and MoveLast find nothing.
  int64_t pos = 0;
  bool removed = false;
  int32_t current = 0;
  std::string current_bytes;  // the current record as read

  // Changes.
  Mode mode = Mode::kNone;
  int32_t locked_record = 0;               // held Edit lock (0 = none)
  std::string edit_original;               // the record as read under the lock
  std::map<int, std::string> long_values;  // long contents set, by code
  int32_t last_written = 0;
  int seek_index = 1;

  internal::TableHandle& Table();  // raises when the table is not open
  void Reset();                    // forgets set, position and changes
  void Evaluate();                 // builds the set from condition and order
  // Makes `record` current (read anew); false, and none current, when it is
  // not live.
  bool MakeCurrent(int32_t record);
  void NoCurrent();
  // Moves forwards/backwards from position `from` to the first live record.
  void SettleForward(int64_t from);
  void SettleBackward(int64_t from);
  // Places a record made current by Seek or GoToRecord within the set.
  void PlaceInSet();
  // Removes `record` from the set after its deletion.
  void ForgetRecord(int32_t record);

  // Field helpers (table_component_fields.cc).
  int PositionOf(int code, int element) const;
  Variant ValueAt(int position);
  void SetValueAt(int position, const Variant& value);
  std::string BytesAt(int position);
  void SetBytesAt(int position, std::string_view bytes);
};

// --- Template definitions ---------------------------------------------------

namespace internal {

// Reads the record file in large chunks.
void ForEachRecordChunk(TableHandle& handle,
                        const std::function<void(int32_t first, std::string_view chunk)>& fn);

template <class Fn>
void ForEachLiveRecord(TableHandle& handle, Fn&& fn) {
  const size_t length = static_cast<size_t>(handle.record_length());
  ForEachRecordChunk(handle, [&](int32_t first, std::string_view chunk) {
    int32_t record = first;
    for (size_t at = 0; at + length <= chunk.size(); at += length, ++record) {
      const std::string_view bytes = chunk.substr(at, length);
      if (IsLiveRecord(bytes)) fn(record, bytes);
    }
  });
}

}  // namespace internal

}  // namespace qrole::data

#endif  // QROLE_DATA_TABLE_COMPONENT_INTERNAL_H_
