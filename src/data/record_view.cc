#include "data/record_view.h"

#include <algorithm>

#include "data/definition_file.h"
#include "data/number_codec.h"
#include "platform/text_encoding.h"

namespace qrole::data {

std::string_view RecordView::Bytes(int field) const {
  if (!slot_->IsField(field)) return {};
  const FieldLayout& f = slot_->field(field);
  const auto start = static_cast<size_t>(f.start);
  const auto width = static_cast<size_t>(f.width);
  if (start + width > bytes_.size()) return {};
  return bytes_.substr(start, width);
}

std::string RecordView::Value(int field) const {
  const std::string_view bytes = Bytes(field);
  if (bytes.empty()) return {};
  std::string out;
  DecodeElement(slot_->field(field).type, bytes, &out);
  return out;
}

double RecordView::Number(int field) const {
  const std::string_view bytes = Bytes(field);
  if (bytes.empty()) return 0;
  return ElementNumber(slot_->field(field).type, bytes);
}

std::string RecordView::TrimmedText(int field) const {
  if (IsNumericType(slot_->field(field).type)) {
    std::string value = Value(field);
    return platform::Cp1252ToUtf8(value);  // number texts hold no blanks
  }
  std::string_view raw = Bytes(field);
  while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
  // Plain ASCII, the usual case, is the same in UTF-8.
  if (std::all_of(raw.begin(), raw.end(), [](char c) { return c > 0 && c < 0x7f; }))
    return std::string(raw);
  return platform::Cp1252ToUtf8(raw);
}

}  // namespace qrole::data
