#include "data/slot.h"

#include <charconv>
#include <utility>

#include "data/number_codec.h"
#include "platform/text_encoding.h"

namespace qrole::data {

namespace {

const FieldLayout& EmptyField() {
  static const FieldLayout empty;
  return empty;
}

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

}  // namespace

const FieldLayout& Slot::field(int field) const {
  return IsField(field) ? layout_->fields[static_cast<size_t>(field)] : EmptyField();
}

int32_t Slot::field_start(int field) const {
  if (field < 1 || field > num_fields() + 1) return 0;
  return layout_->field_start[static_cast<size_t>(field)];
}

const std::string& Slot::Value(int field) const {
  return IsField(field) ? values_[static_cast<size_t>(field)] : EmptyText();
}

std::string& Slot::MutableValue(int field) {
  return IsField(field) ? values_[static_cast<size_t>(field)] : scratch_;
}

void Slot::SetRaw(int field, std::string_view cp1252) {
  std::string& value = MutableValue(field);
  const FieldLayout& f = this->field(field);
  if (IsNumericType(f.type)) {
    value.assign(cp1252);
    return;
  }
  const size_t width = static_cast<size_t>(f.width);
  value.assign(cp1252.substr(0, width));
  value.resize(width, ' ');
}

void Slot::SetText(int field, std::string_view utf8) {
  SetRaw(field, platform::Utf8ToCp1252(utf8));
}

std::string Slot::Text(int field) const { return platform::Cp1252ToUtf8(Value(field)); }

std::string Slot::TrimmedText(int field) const {
  const std::string& raw = Value(field);
  size_t end = raw.size();
  while (end > 0 && raw[end - 1] == ' ') --end;
  return platform::Cp1252ToUtf8(std::string_view(raw).substr(0, end));
}

void Slot::SetNumber(int field, double value) {
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  SetRaw(field, ec == std::errc() ? std::string_view(buf, static_cast<size_t>(end - buf)) : "0");
}

double Slot::Number(int field) const { return ParsePlainDecimal(Value(field)); }

void Slot::ClearValues() {
  values_.resize(static_cast<size_t>(num_fields()) + 1);
  for (int i = 1; i <= num_fields(); ++i) {
    values_[static_cast<size_t>(i)].assign(
        static_cast<size_t>(layout_->fields[static_cast<size_t>(i)].width), ' ');
  }
}

void Slot::RestoreValues(const Values& values) {
  if (values.size() == values_.size()) values_ = values;
}

bool Slot::IsCancelled() const { return std::string_view(record_).starts_with(kCancelledMark); }

const std::shared_ptr<const TableLayout>& Slot::EmptyLayout() {
  static const auto* empty = new std::shared_ptr<const TableLayout>(new TableLayout());
  return *empty;
}

void Slot::Open(TableLayout layout, std::string table_name, std::unique_ptr<platform::File> file,
                std::string data_path, std::string index_path) {
  Open(std::make_shared<const TableLayout>(std::move(layout)), std::move(table_name),
       std::move(file), std::move(data_path), std::move(index_path));
}

void Slot::Open(std::shared_ptr<const TableLayout> layout, std::string table_name,
                std::unique_ptr<platform::File> file, std::string data_path,
                std::string index_path) {
  layout_ = layout != nullptr ? std::move(layout) : EmptyLayout();
  table_name_ = std::move(table_name);
  if (table_name_.size() < 5) table_name_.resize(5, ' ');
  file_ = std::move(file);
  static uint64_t openings = 0;
  open_serial_ = ++openings;
  data_path_ = std::move(data_path);
  index_path_ = std::move(index_path);
  has_index_ = false;
  record_.clear();
  ClearValues();
}

void Slot::SetIndexes(const TableLayout& with_indexes) {
  auto changed = std::make_shared<TableLayout>(*layout_);
  changed->indexes = with_indexes.indexes;
  changed->index_count = with_indexes.index_count;
  layout_ = std::move(changed);
}

void Slot::Close() {
  file_.reset();
  layout_ = EmptyLayout();
  table_name_.clear();
  data_path_.clear();
  index_path_.clear();
  has_index_ = false;
  values_.clear();
  record_.clear();
}

}  // namespace qrole::data
