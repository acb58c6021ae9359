#include "data/definition_file.h"

#include <algorithm>
#include <string>

namespace qrole::data {

namespace {

// Longest record the record code accepts.
constexpr int32_t kMaxRecordLength = 1 << 20;
// The record code reads at most this much of a definition file for the
// header and the field entries.
constexpr size_t kFieldBytesRead = 4000;

// Bytes [from, from + n) of an entry, blanks where the entry is short.
std::string_view EntryBytes(std::string_view entry, size_t from, size_t n, std::string* scratch) {
  if (from + n <= entry.size()) return entry.substr(from, n);
  scratch->assign(n, ' ');
  if (from < entry.size()) scratch->replace(0, entry.size() - from, entry.substr(from));
  return *scratch;
}

}  // namespace

int TwoCharNumber(std::string_view two) {
  const int a = (two.size() > 0 ? static_cast<unsigned char>(two[0]) : ' ') - 48;
  const int b = (two.size() > 1 ? static_cast<unsigned char>(two[1]) : ' ') - 48;
  if (a < 0) return b > 0 ? b : 0;
  if (b < 0) return a;
  return 10 * a + b;
}

bool IsInteger16Type(int type) { return type == 1; }
bool IsInteger32Type(int type) { return type == 4; }
bool IsSingleType(int type) { return type == 2 || type == 6; }
bool IsDoubleType(int type) { return type == 3 || type == 7 || (type >= 80 && type <= 85); }
bool IsDateType(int type) { return type == 5; }
bool IsNumericType(int type) {
  return IsInteger16Type(type) || IsInteger32Type(type) || IsSingleType(type) || IsDoubleType(type);
}

int ElementWidth(int type, int declared_length) {
  if (IsInteger16Type(type)) return 2;
  if (IsInteger32Type(type) || IsSingleType(type)) return 4;
  if (IsDoubleType(type)) return 8;
  if (IsDateType(type)) return 6;
  return std::max(declared_length, 0);
}

int TableLayout::FieldByCode(int code) const {
  if (code < 0 || code >= static_cast<int>(field_by_code.size())) return 0;
  return field_by_code[static_cast<size_t>(code)];
}

int TableLayout::LongestKey() const {
  int longest = 0;
  for (int k = 1; k <= index_count; ++k) longest = std::max(longest, indexes[k].key_length);
  return longest;
}

platform::Result<TableLayout> ParseFieldEntries(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, std::min(bytes.size(), kFieldBytesRead));
  const int n = TwoCharNumber(head.substr(0, std::min<size_t>(2, head.size())));
  if (head.size() < 2 || n < 1) {
    return platform::Status::Corruption("definition holds no fields");
  }
  if (n > kMaxFields) {
    return platform::Status::Corruption("definition claims " + std::to_string(n) + " fields");
  }
  TableLayout layout;
  layout.fields.resize(static_cast<size_t>(n) + 1);
  layout.field_start.assign(static_cast<size_t>(n) + 2, 0);
  std::string scratch;
  int64_t offset = 0;
  int first = 0;      // first field of the array being read (0: none)
  int remaining = 0;  // its elements still to come
  for (int i = 1; i <= n; ++i) {
    const size_t at = static_cast<size_t>(kEntrySize) * static_cast<size_t>(i);
    if (at + 8 > head.size()) {
      return platform::Status::Corruption("field entry " + std::to_string(i) + " is missing");
    }
    const std::string_view entry = head.substr(at, std::min<size_t>(kEntrySize, head.size() - at));
    FieldLayout& f = layout.fields[static_cast<size_t>(i)];
    f.type = static_cast<int16_t>(TwoCharNumber(entry.substr(6, 2)));
    f.declared_length = 100 * TwoCharNumber(entry.substr(2, 2)) + TwoCharNumber(entry.substr(4, 2));
    f.width = ElementWidth(f.type, f.declared_length);
    f.name = std::string(EntryBytes(entry, 8, 23, &scratch));
    f.code = static_cast<int16_t>(TwoCharNumber(EntryBytes(entry, 31, 2, &scratch)));
    const int count = TwoCharNumber(entry.substr(0, 2));
    if (remaining > 0) {
      const FieldLayout& head_field = layout.fields[static_cast<size_t>(first)];
      if (count > 1 || f.type != head_field.type ||
          f.declared_length != head_field.declared_length) {
        return platform::Status::Corruption("field " + std::to_string(i) +
                                            " does not continue the array of field " +
                                            std::to_string(first));
      }
      f.array_first = static_cast<int16_t>(first);
      f.elements = head_field.elements;
      f.element = static_cast<int16_t>(f.elements - remaining);
      --remaining;
    } else {
      first = i;
      f.array_first = static_cast<int16_t>(i);
      f.elements = static_cast<int16_t>(std::clamp(count, 1, kMaxElements));
      f.element = 0;
      remaining = f.elements - 1;
    }
    f.start = static_cast<int32_t>(offset);
    layout.field_start[static_cast<size_t>(i)] = f.start;
    offset += f.width;
    if (offset > kMaxRecordLength) {
      return platform::Status::Corruption("record longer than " + std::to_string(kMaxRecordLength));
    }
    if (f.element > 0) continue;  // an array's code names its first element
    if (static_cast<size_t>(f.code) >= layout.field_by_code.size()) {
      layout.field_by_code.resize(static_cast<size_t>(f.code) + 1, 0);
    }
    layout.field_by_code[static_cast<size_t>(f.code)] = static_cast<int16_t>(i);
  }
  if (remaining > 0) {
    return platform::Status::Corruption("the array of field " + std::to_string(first) +
                                        " runs past the last field");
  }
  if (offset == 0) return platform::Status::Corruption("records of no bytes");
  layout.record_length = static_cast<int32_t>(offset);
  layout.field_start[static_cast<size_t>(n) + 1] = layout.record_length;
  return layout;
}

platform::Status ParseIndexEntries(std::string_view bytes, TableLayout* layout) {
  layout->indexes = {};
  layout->index_count = 0;
  const int n = layout->num_fields();
  std::array<IndexLayout, kMaxIndexes + 1> indexes{};
  int index_count = 0;
  std::string scratch;
  for (size_t at = static_cast<size_t>(kEntrySize) * static_cast<size_t>(n + 1);
       at + 2 <= bytes.size(); at += kEntrySize) {
    const std::string_view entry =
        bytes.substr(at, std::min<size_t>(kEntrySize, bytes.size() - at));
    if (static_cast<unsigned char>(entry[0]) < ' ') break;
    if (entry[0] != 'I') continue;
    const int k = TwoCharNumber(entry.substr(0, 2)) - 250;
    if (k < 1 || k > kMaxIndexes) continue;
    SegmentLayout seg;
    int field = TwoCharNumber(EntryBytes(entry, 2, 2, &scratch));
    if (field == 0) field = layout->FieldByCode(TwoCharNumber(EntryBytes(entry, 31, 2, &scratch)));
    const int start = TwoCharNumber(EntryBytes(entry, 4, 2, &scratch));
    const int length = TwoCharNumber(EntryBytes(entry, 6, 2, &scratch));
    const std::string where =
        "index " + std::to_string(k) + " segment " + std::to_string(indexes[k].segments.size() + 1);
    if (field < 1 || field > n) return platform::Status::Corruption(where + " names no field");
    if (length < 1) return platform::Status::Corruption(where + " has no length");
    if (indexes[k].segments.size() >= static_cast<size_t>(kMaxSegments)) {
      return platform::Status::Corruption("index " + std::to_string(k) + " has over " +
                                          std::to_string(kMaxSegments) + " segments");
    }
    seg.field = static_cast<int16_t>(field);
    seg.start = static_cast<int16_t>(std::max(start, 1));
    seg.length = static_cast<int16_t>(length);
    indexes[k].segments.push_back(seg);
    indexes[k].key_length += length;
    if (indexes[k].key_length > kMaxKeyLength) {
      return platform::Status::Corruption("index " + std::to_string(k) + " key longer than " +
                                          std::to_string(kMaxKeyLength));
    }
    index_count = std::max(index_count, k);
  }
  layout->indexes = std::move(indexes);
  layout->index_count = index_count;
  return platform::Status::Ok();
}

}  // namespace qrole::data
