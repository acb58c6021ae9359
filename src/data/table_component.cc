// The table component: opening a table, its set and the moves through it.

#include "data/table_component.h"

#include <algorithm>
#include <utility>

#include "data/condition_values.h"
#include "data/definition_file.h"
#include "data/globals.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "data/table_component_internal.h"
#include "data/transaction.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"

namespace qrole::data {

namespace internal {

void RaiseTableError(const std::string& what, const std::string& detail) {
  RaiseObjectError(kTableError, detail.empty() ? what : what + "\n" + detail);
}

void RaiseConditionError(const std::string& why, std::string_view condition) {
  RaiseObjectError(kConditionError,
                   "Condición de filtro no válida: " + why + "\n" + std::string(condition));
}

}  // namespace internal

namespace {

using internal::RaiseTableError;
using internal::TableHandle;

bool IsDigitText(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Reads the definition of `table`; nullopt when its file does not exist.
std::optional<TableLayout> ReadDefinition(const std::string& table) {
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  const std::string path = DefinitionFilePath(table);
  if (!files.Exists(path)) return std::nullopt;
  platform::Result<std::string> bytes = ReadDefinitionFile(path);
  if (!bytes.ok()) RaiseTableError("Definición de tabla ilegible", path);
  platform::Result<TableLayout> layout = ParseFieldEntries(*bytes);
  platform::Status indexes = layout.ok() ? ParseIndexEntries(*bytes, &*layout) : layout.status();
  if (!indexes.ok())
    RaiseTableError("Definición de tabla no válida", path + ": " + indexes.message());
  return std::move(*layout);
}

// Opens the handle on `table` + `number` in `directory` with its layout.
std::unique_ptr<TableHandle> OpenHandle(std::string table, std::string directory,
                                        std::string number, TableLayout layout) {
  auto handle = std::make_unique<TableHandle>();
  handle->table = std::move(table);
  handle->directory = std::move(directory);
  handle->number = std::move(number);
  handle->data_path = CompanyFilePath(handle->directory, handle->table, handle->number, ".QRD");
  handle->index_path = CompanyFilePath(handle->directory, handle->table, handle->number, ".QRC");
  platform::Result<std::unique_ptr<platform::File>> file =
      OpenDataFile(handle->data_path, platform::OpenMode::ReadWriteCreate);
  if (!file.ok()) RaiseTableError("Archivo no disponible", handle->data_path);
  for (int i = 1; i <= layout.num_fields(); ++i) {
    const FieldLayout& f = layout.fields[static_cast<size_t>(i)];
    if (IsLongContentType(f.type) && f.element == 0) handle->long_codes.push_back(f.code);
  }
  handle->record.Open(std::move(layout), handle->table, std::move(*file), handle->data_path,
                      handle->index_path);
  handle->blobs = BlobStore(BlobFolderFor(handle->data_path));
  internal::OpenIndexFor(*handle);
  return handle;
}

}  // namespace

// --- Impl ---------------------------------------------------------------------

internal::TableHandle& TableComponent::Impl::Table() {
  if (!handle) RaiseTableError("Tabla no abierta");
  return *handle;
}

void TableComponent::Impl::Reset() {
  condition = Condition();
  order_field = 0;
  whole_table = true;
  records.clear();
  pos = 0;
  removed = false;
  current = 0;
  current_bytes.clear();
  mode = Mode::kNone;
  locked_record = 0;
  edit_original.clear();
  long_values.clear();
  last_written = 0;
  seek_index = 1;
}

void TableComponent::Impl::Evaluate() {
  whole_table = condition.empty() && order_field == 0;
  records.clear();
  if (!whole_table) records = internal::EvaluateSet(Table(), condition, order_field);
}

bool TableComponent::Impl::MakeCurrent(int32_t record) {
  removed = false;
  if (!internal::ReadLiveRecord(Table(), record, &current_bytes)) {
    current = 0;
    current_bytes.clear();
    return false;
  }
  current = record;
  return true;
}

void TableComponent::Impl::NoCurrent() {
  current = 0;
  current_bytes.clear();
  removed = false;
}

void TableComponent::Impl::SettleForward(int64_t from) {
  if (whole_table) {
    const int64_t last = internal::WholeRecords(Table());
    for (int64_t r = std::max<int64_t>(from, 1); r <= last; ++r) {
      if (MakeCurrent(static_cast<int32_t>(r))) {
        pos = r;
        return;
      }
    }
    pos = last + 1;
  } else {
    for (int64_t i = std::max<int64_t>(from, 0); i < static_cast<int64_t>(records.size()); ++i) {
      if (MakeCurrent(records[static_cast<size_t>(i)])) {
        pos = i;
        return;
      }
    }
    pos = static_cast<int64_t>(records.size());
  }
  NoCurrent();
}

void TableComponent::Impl::SettleBackward(int64_t from) {
  if (whole_table) {
    for (int64_t r = std::min(from, internal::WholeRecords(Table())); r >= 1; --r) {
      if (MakeCurrent(static_cast<int32_t>(r))) {
        pos = r;
        return;
      }
    }
    pos = 0;
  } else {
    for (int64_t i = std::min(from, static_cast<int64_t>(records.size()) - 1); i >= 0; --i) {
      if (MakeCurrent(records[static_cast<size_t>(i)])) {
        pos = i;
        return;
      }
    }
    pos = -1;
  }
  NoCurrent();
}

void TableComponent::Impl::PlaceInSet() {
  if (current == 0) {
    pos = whole_table ? internal::WholeRecords(Table()) + 1 : static_cast<int64_t>(records.size());
    return;
  }
  if (whole_table) {
    pos = current;
    return;
  }
  const auto it = std::find(records.begin(), records.end(), current);
  pos = it == records.end() ? static_cast<int64_t>(records.size()) : it - records.begin();
}

void TableComponent::Impl::ForgetRecord(int32_t record) {
  const bool was_current = record == current;
  if (!whole_table) {
    const auto it = std::find(records.begin(), records.end(), record);
    if (it != records.end()) {
      const int64_t index = it - records.begin();
      records.erase(it);
      if (index < pos) --pos;
    }
  }
  if (was_current) {
    // The next MoveNext goes to the record that followed it.
    current = 0;
    current_bytes.clear();
    removed = true;
    if (whole_table) ++pos;
  }
}

// --- TableComponent --------------------------------------------------------------

TableComponent::TableComponent() : impl_(std::make_unique<Impl>()) {}

TableComponent::~TableComponent() {
  try {
    Close();
  } catch (...) {
    // Releasing a lock cannot fail in a way a destructor could report.
  }
}

void TableComponent::OpenTable(std::string_view path) {
  Close();
  const std::string normal = platform::NormalizeSeparators(path);
  const std::string key = Globals().program_directory + '|' + normal;
  if ((impl_->handle = internal::TakeKeptHandle(key)) != nullptr) {
    impl_->handle->record.ClearValues();
    impl_->Reset();
    impl_->Evaluate();
    impl_->SettleForward(1);
    return;
  }
  const std::string directory = platform::DirName(normal);
  std::string stem = platform::BaseName(normal);
  if (const size_t dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
  if (!platform::IsAbsolutePath(normal) || stem.empty() ||
      !platform::CurrentEnv()->Files().IsDirectory(directory)) {
    RaiseTableError("Archivo no disponible", std::string(path));
  }
  // "PLANC01" is table PLANC of company 01; "Datgl00" has a definition of its own.
  if (stem.size() > 2 && IsDigitText(stem.substr(stem.size() - 2))) {
    const std::string table = stem.substr(0, stem.size() - 2);
    if (std::optional<TableLayout> layout = ReadDefinition(table)) {
      impl_->handle =
          OpenHandle(table, directory, stem.substr(stem.size() - 2), std::move(*layout));
    }
  }
  if (!impl_->handle) {
    std::optional<TableLayout> layout = ReadDefinition(stem);
    if (!layout) RaiseTableError("Definición de tabla inexistente", std::string(path));
    impl_->handle = OpenHandle(stem, directory, "", std::move(*layout));
  }
  internal::StampHandle(*impl_->handle, key);
  impl_->Reset();
  impl_->Evaluate();
  impl_->SettleForward(1);
}

void TableComponent::OpenCompanyTable(std::string_view table, std::string_view directory,
                                      std::string_view number) {
  OpenTable(platform::JoinPath(directory, std::string(table) + std::string(number) + ".QRD"));
}

void TableComponent::Close() {
  if (!impl_->handle) return;
  CancelUpdate();
  internal::KeepHandle(std::move(impl_->handle));
  impl_->Reset();
}

bool TableComponent::IsOpen() const { return impl_->handle != nullptr; }

void TableComponent::SetFilter(std::string_view condition) {
  Impl& m = *impl_;
  TableHandle& table = m.Table();
  CancelUpdate();
  platform::Result<Condition> parsed = ParseCondition(condition, table.layout());
  if (!parsed.ok()) internal::RaiseConditionError(parsed.status().message(), condition);
  m.condition = std::move(*parsed);
  m.Evaluate();
  m.SettleForward(m.whole_table ? 1 : 0);
}

void TableComponent::SetOrder(std::string_view field_name) {
  Impl& m = *impl_;
  TableHandle& table = m.Table();
  CancelUpdate();
  int field = 0;
  if (!TrimTrailingBlanks(field_name).empty()) {
    field = FindFieldByName(table.layout(), field_name);
    if (field == 0 || IsLongContentType(table.record.field(field).type)) {
      internal::RaiseConditionError("no se puede ordenar por el campo " + std::string(field_name),
                                    field_name);
    }
  }
  m.order_field = field;
  m.Evaluate();
  m.SettleForward(m.whole_table ? 1 : 0);
}

void TableComponent::MoveFirst() {
  impl_->Table();
  CancelUpdate();
  impl_->SettleForward(impl_->whole_table ? 1 : 0);
}

void TableComponent::MoveNext() {
  Impl& m = *impl_;
  m.Table();
  CancelUpdate();
  if (m.current == 0 && !m.removed) return;
  m.SettleForward(m.removed ? m.pos : m.pos + 1);
}

void TableComponent::MovePrevious() {
  Impl& m = *impl_;
  m.Table();
  CancelUpdate();
  if (m.current == 0 && !m.removed) return;
  m.SettleBackward(m.pos - 1);
}

void TableComponent::MoveLast() {
  Impl& m = *impl_;
  m.Table();
  CancelUpdate();
  m.SettleBackward(m.whole_table ? internal::WholeRecords(m.Table())
                                 : static_cast<int64_t>(m.records.size()) - 1);
}

bool TableComponent::IsEof() const { return impl_->current == 0; }

int32_t TableComponent::RecordCount() {
  Impl& m = *impl_;
  TableHandle& table = m.Table();
  if (!m.whole_table) return static_cast<int32_t>(m.records.size());
  int32_t count = 0;
  internal::ForEachLiveRecord(table, [&](int32_t, std::string_view) { ++count; });
  return count;
}

double TableComponent::SumField(std::string_view field_name) {
  Impl& m = *impl_;
  TableHandle& table = m.Table();
  const int position = FindFieldByName(table.layout(), field_name);
  if (position == 0) RaiseTableError("Campo inexistente", std::string(field_name));
  const FieldLayout& f = table.record.field(position);
  if (IsDateType(f.type) || IsLongContentType(f.type)) {
    RaiseTableError("El campo no es numérico", std::string(field_name));
  }
  double sum = 0;
  auto add = [&](int32_t, std::string_view bytes) {
    const std::string_view value =
        bytes.substr(static_cast<size_t>(f.start), static_cast<size_t>(f.width));
    sum += IsNumericType(f.type) ? ElementNumber(f.type, value.data()) : ParsePlainDecimal(value);
  };
  if (m.whole_table) {
    internal::ForEachLiveRecord(table, add);
  } else {
    std::string bytes;
    for (int32_t record : m.records) {
      if (internal::ReadLiveRecord(table, record, &bytes)) add(record, bytes);
    }
  }
  return sum;
}

void TableComponent::SetIndex(int index) {
  TableHandle& table = impl_->Table();
  if (index < 1 || index > table.layout().index_count ||
      table.layout().indexes[static_cast<size_t>(index)].segments.empty()) {
    RaiseTableError("Índice inexistente", std::to_string(index));
  }
  impl_->seek_index = index;
}

void TableComponent::Seek(std::string_view key) {
  Impl& m = *impl_;
  TableHandle& table = m.Table();
  CancelUpdate();
  if (m.seek_index > table.layout().index_count) RaiseTableError("Tabla sin índices", table.table);
  const int32_t record = internal::SeekKey(table, m.seek_index, platform::Utf8ToCp1252(key));
  if (record == 0 || !m.MakeCurrent(record)) m.NoCurrent();
  m.PlaceInSet();
}

void TableComponent::GoToRecord(int32_t record) {
  Impl& m = *impl_;
  m.Table();
  CancelUpdate();
  if (!m.MakeCurrent(record)) m.NoCurrent();
  m.PlaceInSet();
}

int32_t TableComponent::RecordNumber() const { return impl_->current; }

int32_t TableComponent::LastRecordNumber() const { return impl_->last_written; }

int TableComponent::FieldCount() const {
  return impl_->handle ? impl_->handle->record.num_fields() + 1 : 0;
}

}  // namespace qrole::data
