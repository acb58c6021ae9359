#include "data/keys.h"

#include "data/definition_file.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/message_table.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "data/record_file_internal.h"
#include "platform/env.h"

namespace qrole::data {

namespace {

// The text a field's value reads back as once stored: a numeric value is
// encoded and decoded ("17.0" and "  " become "17" and "0"), so that a key
// composed from values set by a caller equals the key composed after reading
// the record. Other values are their own text.
const std::string& StoredText(const Slot& slot, int field, std::string* scratch) {
  const FieldLayout& f = slot.field(field);
  const std::string& value = slot.Value(field);
  if (!IsNumericType(f.type)) return value;
  char bytes[8];
  if (!EncodeElement(f.type, f.width, value, bytes).ok()) return value;
  DecodeElement(f.type, std::string_view(bytes, static_cast<size_t>(f.width)), scratch);
  return *scratch;
}

void AppendKey(const Slot& slot, int index, std::string* out) {
  if (index < 1 || index > slot.layout().index_count) return;
  std::string scratch;
  for (const SegmentLayout& seg : slot.layout().indexes[static_cast<size_t>(index)].segments) {
    const std::string& value = StoredText(slot, seg.field, &scratch);
    const size_t start = static_cast<size_t>(seg.start - 1);
    const size_t length = static_cast<size_t>(seg.length);
    const size_t before = out->size();
    if (start < value.size()) out->append(value, start, length);
    out->resize(before + length, ' ');
  }
}

}  // namespace

platform::Status LoadIndexDefinitions(int slot, std::string_view table) {
  if (!IsSlotNumber(slot)) {
    return platform::Status::InvalidArgument("no slot " + std::to_string(slot));
  }
  Slot& s = GetSlot(slot);
  TableLayout none;
  platform::Result<std::string> bytes = ReadDefinitionFile(DefinitionFilePath(table));
  platform::Result<TableLayout> layout =
      bytes.ok() ? ParseFieldEntries(*bytes) : platform::Result<TableLayout>(bytes.status());
  if (!layout.ok()) {
    s.SetIndexes(none);
    internal::ShowError(Message(438) + " " + std::string(table) + " " + Message(189));
    return layout.status();
  }
  platform::Status status = ParseIndexEntries(*bytes, &*layout);
  s.SetIndexes(status.ok() ? *layout : none);
  return status;
}

std::string ComposeKey(const Slot& slot, int index) {
  std::string key;
  AppendKey(slot, index, &key);
  return key;
}

void AppendAllKeys(const Slot& slot, std::string* out) {
  for (int k = 1; k <= slot.layout().index_count; ++k) {
    out->push_back('\\');
    AppendKey(slot, k, out);
  }
}

std::string ComposeKeys(int slot, int index) {
  const Slot& s = GetSlot(slot);
  if (index != 0) return ComposeKey(s, index);
  std::string keys;
  AppendAllKeys(s, &keys);
  return keys;
}

IndexShape GetIndexShape(int slot) {
  const Slot& s = GetSlot(slot);
  return IndexShape{Str(s.layout().index_count), s.layout().LongestKey()};
}

std::vector<int> KeyWidths(const Slot& slot) {
  std::vector<int> widths;
  for (int k = 1; k <= slot.layout().index_count; ++k) {
    widths.push_back(slot.layout().indexes[static_cast<size_t>(k)].key_length);
  }
  return widths;
}

bool FieldInKey(int slot, int field) {
  const Slot& s = GetSlot(slot);
  for (int k = 1; k <= s.layout().index_count; ++k) {
    for (const SegmentLayout& seg : s.layout().indexes[static_cast<size_t>(k)].segments) {
      if (seg.field == field) return true;
    }
  }
  return false;
}

}  // namespace qrole::data
