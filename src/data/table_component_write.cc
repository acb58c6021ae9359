// The table component's changes: appends, in-place updates under the record
// lock, and cancellations, all through the record code on a lent slot.
//
// A lent slot is one of the sixteen process-wide slots that is closed at that
// moment (neither record file nor index open), taken for the length of one
// call: opened on the component's own open record file with the component's
// layout, its index opened in the keyed engine under the slot's number (the engine finds
// the environment the component already holds), used, and closed again before
// the call returns, leaving the slot exactly as it was found. The calls are
// synchronous and the automation thread runs one call at a time, so no other
// code can see the slot open meanwhile.

#include <string>
#include <utility>
#include <vector>

#include "data/catalogue.h"
#include "data/engine_status.h"
#include "data/file_retry_internal.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/message_table.h"
#include "data/record_file.h"
#include "data/record_file_internal.h"
#include "data/record_update.h"
#include "data/table_component_internal.h"
#include "data/transaction.h"
#include "platform/env.h"
#include "platform/file_system_wrapper.h"
#include "platform/text_encoding.h"

namespace qrole::data {

namespace internal {

namespace {

namespace es = engine_status;

// The highest slot number that is closed now: no record file, no index.
int FindFreeSlot() {
  for (int n = kSlotCount - 1; n >= 0; --n) {
    if (!GetSlot(n).is_open() && !Engine().IsOpen(n)) return n;
  }
  return -1;
}

int FreeSlotOrRaise(const TableHandle& handle) {
  const int n = FindFreeSlot();
  if (n < 0) {
    RaiseTableError("No queda ninguna tabla libre para escribir en " + handle.table,
                    "las 16 están abiertas");
  }
  return n;
}

// A closed slot lent for one change (see the top of this file).
class LentSlot {
 public:
  explicit LentSlot(TableHandle& handle) : number_(FreeSlotOrRaise(handle)) {
    // The component's own open file and layout, shared for the call: nothing
    // is opened or copied again.
    Slot& slot = GetSlot(number_);
    slot.Open(handle.record.shared_layout(), handle.table,
              std::make_unique<platform::BorrowedFile>(handle.record.file()), handle.data_path,
              handle.index_path);
    const int16_t status =
        SendEngineCommand("/O/" + ShortPath(handle.index_path) + "/" + std::to_string(number_));
    if (status != es::kOk) {
      CloseTableFile(number_);
      RaiseTableError("Índice no disponible (" + std::to_string(status) + ")", handle.index_path);
    }
    Engine().DeclareKeyWidths(number_, KeyWidths(slot));
    slot.set_has_index(true);
  }
  ~LentSlot() { CloseTableFile(number_); }
  LentSlot(const LentSlot&) = delete;
  LentSlot& operator=(const LentSlot&) = delete;

  int number() const { return number_; }
  Slot& slot() { return GetSlot(number_); }

 private:
  int number_;
};

uint64_t RecordOffset(const TableHandle& t, int32_t record) {
  return static_cast<uint64_t>(record - 1) * static_cast<uint64_t>(t.record_length());
}

// The whole record's bytes locked, as LockRecord(slot, record) locks them.
void LockWholeRecord(TableHandle& t, int32_t record) {
  FileRetry retry(t.data_path);
  const platform::Status status = retry.Run([&] {
    return t.record.file()->LockRange(RecordOffset(t, record),
                                      static_cast<uint64_t>(t.record_length()), true);
  });
  if (!status.ok()) RaiseTableError("No se puede bloquear el registro", status.ToString());
}

void UnlockWholeRecord(TableHandle& t, int32_t record) {
  t.record.file()
      ->UnlockRange(RecordOffset(t, record), static_cast<uint64_t>(t.record_length()))
      .IgnoreError();
}

std::vector<std::string> AllKeys(const Slot& slot) {
  std::vector<std::string> keys;
  for (int k = 1; k <= slot.layout().index_count; ++k) keys.push_back(ComposeKey(slot, k));
  return keys;
}

}  // namespace

void OpenIndexFor(TableHandle& handle) {
  std::shared_ptr<IndexEnv> env;
  // An empty record file goes through the record code, which checks that its
  // index is empty too.
  if (WholeRecords(handle) > 0 && IndexEnv::Open(handle.index_path, &env) == es::kOk) {
    handle.index = std::move(env);
    return;
  }
  const int n = FreeSlotOrRaise(handle);
  const platform::Status opened =
      OpenTableFile(n, handle.table, 1, handle.directory, handle.number);
  const int16_t status = opened.ok() ? IndexEnv::Open(handle.index_path, &env) : es::kFileMissing;
  CloseTableFile(n);
  if (!opened.ok() || status != es::kOk) {
    RaiseTableError("Índice no disponible",
                    handle.index_path + (opened.ok() ? "" : ": " + opened.ToString()));
  }
  handle.index = std::move(env);
}

}  // namespace internal

namespace {

using internal::RaiseTableError;
using internal::TableHandle;

// Appends the values being added; returns the new record number.
int32_t AppendValues(TableHandle& t) {
  std::string bytes;
  platform::Status status = internal::EncodeRecord(t.record, &bytes);
  if (!status.ok()) RaiseTableError("Valor no válido en " + t.table, status.message());
  internal::LentSlot lent(t);
  lent.slot().RestoreValues(t.record.values());
  status = AppendRecord(lent.number());
  if (!status.ok()) RaiseTableError("Registro no grabado en " + t.table, status.ToString());
  return Globals().engine_record;
}

// Writes the edited values of `record` (read under the lock as `original`):
// keys that change are replaced ("R\"), then the bytes of the fields that
// changed are written. Returns the new record bytes.
std::string WriteEdited(TableHandle& t, int32_t record, const std::string& original) {
  std::string bytes;
  platform::Status status = internal::EncodeRecord(t.record, &bytes);
  if (!status.ok()) RaiseTableError("Valor no válido en " + t.table, status.message());
  Slot& s = t.record;
  // Keys before and after, composed by the record code.
  const std::vector<std::string> new_keys = internal::AllKeys(s);
  const Slot::Values edited = s.values();
  internal::DecodeRecord(s, original);
  const std::vector<std::string> old_keys = internal::AllKeys(s);
  s.RestoreValues(edited);
  int16_t engine = engine_status::kOk;
  if (new_keys != old_keys) {
    internal::LentSlot lent(t);
    for (size_t i = 0; i < new_keys.size(); ++i) {
      if (new_keys[i] == old_keys[i]) continue;
      const int k = static_cast<int>(i) + 1;
      const int16_t status_k =
          SendEngineCommand("R\\" + Str(k) + "\\" + std::to_string(record) + "\\" +
                            Str(lent.number()) + "\\" + new_keys[i] + "\\" + old_keys[i]);
      if (status_k != engine_status::kOk) {
        // As the record code's UpdateFieldKeys: say so, and go on.
        engine = status_k;
        internal::ShowError(Message(169) + " " + platform::Cp1252ToUtf8(Globals().engine_command) +
                            " " + std::to_string(status_k));
        internal::ShowError(Message(170) + " " + t.record.table_name());
      }
    }
  }
  // The fields that changed, adjacent ones in one write.
  const uint64_t base = internal::RecordOffset(s, record);
  for (int f = 1; f <= s.num_fields();) {
    const FieldLayout& field = s.field(f);
    const size_t start = static_cast<size_t>(field.start), width = static_cast<size_t>(field.width);
    if (width == 0 || bytes.compare(start, width, original, start, width) == 0) {
      ++f;
      continue;
    }
    size_t end = start + width;
    for (++f; f <= s.num_fields(); ++f) {
      const FieldLayout& next = s.field(f);
      const size_t w = static_cast<size_t>(next.width);
      if (w > 0 && bytes.compare(end, w, original, end, w) == 0) break;
      end += w;
    }
    status =
        internal::WriteBytes(s, base + start, std::string_view(bytes).substr(start, end - start));
    if (!status.ok()) RaiseTableError("Registro no grabado en " + t.table, status.ToString());
  }
  Globals().engine_record = record;
  Globals().engine_status = engine;
  return bytes;
}

}  // namespace

void TableComponent::AddNew() {
  TableHandle& t = impl_->Table();
  CancelUpdate();
  t.record.ClearValues();
  impl_->mode = Impl::Mode::kAdding;
}

void TableComponent::Edit() {
  Impl& m = *impl_;
  TableHandle& t = m.Table();
  const int32_t record = m.current;
  CancelUpdate();
  if (record == 0) RaiseTableError("No hay registro actual que modificar en " + t.table);
  internal::LockWholeRecord(t, record);
  m.locked_record = record;
  std::string bytes;
  if (!internal::ReadLiveRecord(t, record, &bytes)) {
    CancelUpdate();
    m.NoCurrent();
    RaiseTableError("Registro anulado en " + t.table, std::to_string(record));
  }
  internal::DecodeRecord(t.record, bytes);
  m.edit_original = bytes;
  m.current_bytes = std::move(bytes);
  m.mode = Impl::Mode::kEditing;
}

void TableComponent::Update() {
  Impl& m = *impl_;
  TableHandle& t = m.Table();
  int32_t record = 0;
  switch (m.mode) {
    case Impl::Mode::kNone:
      RaiseTableError("Update sin AddNew ni Edit en " + t.table);
    case Impl::Mode::kAdding:
      record = AppendValues(t);
      break;
    case Impl::Mode::kEditing:
      record = m.locked_record;
      m.current_bytes = WriteEdited(t, record, m.edit_original);
      break;
  }
  for (const auto& [code, bytes] : m.long_values) {
    const platform::Status put = t.blobs.Put(record, code, bytes);
    if (!put.ok()) RaiseTableError("Contenido no grabado en " + t.table, put.ToString());
  }
  const bool added = m.mode == Impl::Mode::kAdding;
  CancelUpdate();  // releases the lock
  m.last_written = record;
  if (added) {
    m.MakeCurrent(record);
    m.PlaceInSet();
  }
}

void TableComponent::CancelUpdate() {
  Impl& m = *impl_;
  if (!m.handle) return;
  if (m.locked_record != 0) internal::UnlockWholeRecord(*m.handle, m.locked_record);
  m.locked_record = 0;
  m.mode = Impl::Mode::kNone;
  m.long_values.clear();
  m.edit_original.clear();
}

void TableComponent::Delete(int32_t selector) {
  Impl& m = *impl_;
  TableHandle& t = m.Table();
  CancelUpdate();
  std::vector<int32_t> targets;
  if (selector == -1) {
    if (m.whole_table) {
      internal::ForEachLiveRecord(t, [&](int32_t r, std::string_view) { targets.push_back(r); });
    } else {
      targets = m.records;
    }
  } else if (selector >= 1) {
    if (selector > internal::WholeRecords(t)) {
      RaiseTableError("Registro inexistente en " + t.table, std::to_string(selector));
    }
    targets.push_back(selector);
  }
  if (targets.empty()) return;
  internal::LentSlot lent(t);
  for (int32_t record : targets) {
    const platform::Status status = CancelRecord(lent.number(), record);
    if (!status.ok()) RaiseTableError("Registro no anulado en " + t.table, status.ToString());
    // A content left behind belongs to a cancelled record, which nothing reads.
    t.blobs.RemoveRecord(record, t.long_codes).IgnoreError();
    if (selector != -1) m.ForgetRecord(record);
  }
  if (selector == -1) {
    m.records.clear();
    m.NoCurrent();
    m.pos = m.whole_table ? internal::WholeRecords(t) + 1 : 0;
  }
}

}  // namespace qrole::data
