// The table component's field values: by code and element, by name, by
// position, and as bytes; Variants in, Variants out.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "automation/convert.h"
#include "data/condition_values.h"
#include "data/definition_file.h"
#include "data/number_codec.h"
#include "data/table_component_internal.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"

namespace qrole::data {

namespace {

using internal::RaiseTableError;

Variant NumberVariant(int type, double value) {
  if (IsInteger16Type(type)) return Variant::FromInteger(static_cast<int16_t>(value));
  if (IsInteger32Type(type)) return Variant::FromLong(static_cast<int32_t>(value));
  if (IsSingleType(type)) return Variant::FromSingle(static_cast<float>(value));
  return Variant::FromDouble(value);
}

// The text of a value given for a text, date or long-content field.
std::string VariantText(const Variant& value) {
  if (value.IsEmpty() || value.IsNull() || value.IsMissing()) return "";
  if (value.IsString()) return value.str();
  return ToStr(value);
}

// The number of a value given for a numeric field.
double VariantNumber(const Variant& value, const std::string& field) {
  if (value.IsEmpty() || value.IsNull() || value.IsMissing()) return 0;
  if (!value.IsString()) return ToDouble(value);
  const std::optional<double> n = ParseNumberValue(value.str());
  if (!n) RaiseTableError("Valor no numérico para el campo " + field, value.str());
  return *n;
}

// The shortest text that reads back as `value` (as Slot::SetNumber writes).
std::string ShortestText(double value) {
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return ec == std::errc() ? std::string(buf, end) : "0";
}

// Raises when `text` cannot be stored in a numeric field.
void CheckStorable(const FieldLayout& f, const std::string& text) {
  char bytes[8];
  if (!EncodeElement(f.type, f.width, text, bytes).ok()) {
    RaiseTableError("Valor fuera de rango para el campo " + FieldName(f), text);
  }
}

}  // namespace

int TableComponent::Impl::PositionOf(int code, int element) const {
  if (!handle) RaiseTableError("Tabla no abierta");
  const int first = handle->layout().FieldByCode(code);
  if (first == 0) RaiseTableError("Campo inexistente en " + handle->table, std::to_string(code));
  const FieldLayout& f = handle->record.field(first);
  if (element < 0 || element >= f.elements) {
    RaiseTableError("Elemento fuera de rango del campo " + FieldName(f), std::to_string(element));
  }
  return first + element;
}

namespace {

// The long content of `position` as the component sees it now.
std::string LongBytes(TableComponent::Impl& m, const FieldLayout& f) {
  using Mode = TableComponent::Impl::Mode;
  if (m.mode != Mode::kNone) {
    const auto it = m.long_values.find(f.code);
    if (it != m.long_values.end()) return it->second;
    if (m.mode == Mode::kAdding) return "";
  }
  const int32_t record = m.mode == Mode::kEditing ? m.locked_record : m.current;
  if (record == 0) return "";
  platform::Result<std::string> bytes = m.Table().blobs.Get(record, f.code);
  if (!bytes.ok())
    RaiseTableError("Contenido ilegible del campo " + FieldName(f), bytes.status().ToString());
  return std::move(*bytes);
}

}  // namespace

Variant TableComponent::Impl::ValueAt(int position) {
  internal::TableHandle& t = Table();
  const FieldLayout& f = t.record.field(position);
  if (IsLongContentType(f.type)) return Variant(platform::Cp1252ToUtf8(LongBytes(*this, f)));
  if (mode != Mode::kNone) {
    const std::string& value = t.record.Value(position);
    if (IsNumericType(f.type)) return NumberVariant(f.type, ParsePlainDecimal(value));
    return Variant(platform::Cp1252ToUtf8(value));
  }
  if (current == 0) return IsNumericType(f.type) ? NumberVariant(f.type, 0) : Variant("");
  const std::string_view bytes =
      std::string_view(current_bytes)
          .substr(static_cast<size_t>(f.start), static_cast<size_t>(f.width));
  if (IsNumericType(f.type)) return NumberVariant(f.type, ElementNumber(f.type, bytes.data()));
  return Variant(platform::Cp1252ToUtf8(bytes));
}

void TableComponent::Impl::SetValueAt(int position, const Variant& value) {
  internal::TableHandle& t = Table();
  const FieldLayout& f = t.record.field(position);
  if (mode == Mode::kNone) {
    RaiseTableError("Falta AddNew o Edit antes de asignar el campo", FieldName(f));
  }
  if (IsLongContentType(f.type)) {
    long_values[f.code] = platform::Utf8ToCp1252(VariantText(value));
  } else if (IsNumericType(f.type)) {
    const double number = VariantNumber(value, FieldName(f));
    // Written as text, a number beyond a Double's range would read back as 0.
    if (!std::isfinite(number)) RaiseRuntimeError(runtime_error::kOverflow);
    const std::string text = ShortestText(number);
    CheckStorable(f, text);
    t.record.SetRaw(position, text);
  } else if (IsDateType(f.type)) {
    const std::string text = VariantText(value);
    const std::optional<int32_t> day = ParseDateValue(text);
    std::optional<std::string> stored = day && *day == 0 ? std::string(6, ' ')
                                        : day            ? StoredDateForm(*day)
                                                         : std::nullopt;
    if (!stored) RaiseTableError("Fecha no válida para el campo " + FieldName(f), text);
    t.record.SetRaw(position, *stored);
  } else {
    t.record.SetText(position, VariantText(value));
  }
}

std::string TableComponent::Impl::BytesAt(int position) {
  internal::TableHandle& t = Table();
  const FieldLayout& f = t.record.field(position);
  if (IsLongContentType(f.type)) return LongBytes(*this, f);
  if (mode != Mode::kNone) return t.record.Value(position);
  if (current == 0) return IsNumericType(f.type) ? "0" : "";
  const std::string_view bytes =
      std::string_view(current_bytes)
          .substr(static_cast<size_t>(f.start), static_cast<size_t>(f.width));
  std::string out;
  DecodeElement(f.type, bytes, &out);
  return out;
}

void TableComponent::Impl::SetBytesAt(int position, std::string_view bytes) {
  internal::TableHandle& t = Table();
  const FieldLayout& f = t.record.field(position);
  if (mode == Mode::kNone) {
    RaiseTableError("Falta AddNew o Edit antes de asignar el campo", FieldName(f));
  }
  if (IsLongContentType(f.type)) {
    long_values[f.code] = std::string(bytes);
    return;
  }
  if (IsNumericType(f.type)) CheckStorable(f, std::string(bytes));
  t.record.SetRaw(position, bytes);
}

// --- TableComponent ------------------------------------------------------------

Variant TableComponent::GetField(int code, int element) {
  return impl_->ValueAt(impl_->PositionOf(code, element));
}

void TableComponent::SetField(int code, int element, const Variant& value) {
  impl_->SetValueAt(impl_->PositionOf(code, element), value);
}

namespace {

int PositionByName(internal::TableHandle& t, std::string_view name, int element) {
  const int first = FindFieldByName(t.layout(), name);
  if (first == 0) RaiseTableError("Campo inexistente en " + t.table, std::string(name));
  const FieldLayout& f = t.record.field(first);
  if (element < 0 || element >= f.elements) {
    RaiseTableError("Elemento fuera de rango del campo " + FieldName(f), std::to_string(element));
  }
  return first + element;
}

int CheckedPosition(internal::TableHandle& t, int position) {
  if (position < 1 || position > t.record.num_fields()) {
    RaiseTableError("Posición de campo fuera de rango en " + t.table, std::to_string(position));
  }
  return position;
}

}  // namespace

Variant TableComponent::GetFieldByName(std::string_view name, int element) {
  return impl_->ValueAt(PositionByName(impl_->Table(), name, element));
}

void TableComponent::SetFieldByName(std::string_view name, int element, const Variant& value) {
  impl_->SetValueAt(PositionByName(impl_->Table(), name, element), value);
}

Variant TableComponent::GetFieldAt(int position) {
  internal::TableHandle& t = impl_->Table();
  if (position == 0) return Variant::FromLong(impl_->current);
  return impl_->ValueAt(CheckedPosition(t, position));
}

void TableComponent::SetFieldAt(int position, const Variant& value) {
  impl_->SetValueAt(CheckedPosition(impl_->Table(), position), value);
}

void TableComponent::SetFieldByPositionOrName(std::string_view position_or_name,
                                              const Variant& value) {
  const std::string trimmed = Trim(position_or_name);
  const bool digits = !trimmed.empty() && trimmed.size() < 6 &&
                      trimmed.find_first_not_of("0123456789") == std::string::npos;
  if (digits) {
    SetFieldAt(std::atoi(trimmed.c_str()), value);
  } else {
    SetFieldByName(trimmed, 0, value);
  }
}

std::string TableComponent::GetFieldBytes(int code, int element) {
  return impl_->BytesAt(impl_->PositionOf(code, element));
}

void TableComponent::SetFieldBytes(int code, int element, std::string_view bytes) {
  impl_->SetBytesAt(impl_->PositionOf(code, element), bytes);
}

}  // namespace qrole::data
