// Table definition files (".QRA"): field entries, index entries and the
// two-character numbers they are written with.
//
// A definition file is a sequence of 33-byte entries of Windows-1252 text:
// entry 0 is the header (bytes 0-1: the number of fields n), entries 1..n
// describe the fields in record order, and the index entries follow. The
// record code numbers its fields by entry ("positions"): an array field (the
// fifteen period amounts of a chart, the twelve months of a budget) takes one
// entry, hence one field number, per element, and its first entry carries
// the element count in bytes 0-1 so that the table component can address the
// array as one field with elements. Bytes 2-3 hold the hundreds of the
// declared length (text fields longer than 99 bytes). The byte-by-byte
// layout is in docs/formats.md.
//
// These functions only parse: they read no file and keep no state.

#ifndef QROLE_DATA_DEFINITION_FILE_H_
#define QROLE_DATA_DEFINITION_FILE_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qrole::data {

inline constexpr int kEntrySize = 33;
inline constexpr int kMaxFields = 99;
inline constexpr int kMaxIndexes = 10;
inline constexpr int kMaxSegments = 5;
inline constexpr int kMaxElements = 99;
// Longest key the index files accept (bytes).
inline constexpr int kMaxKeyLength = 500;

// The value of a two-character number: with A and B the codes of the two
// characters minus 48, B (or 0 when B <= 0) when A < 0, else A when B < 0,
// else 10 * A + B. "12" = 12, " 5" = 5, "5 " = 5, "  " = 0, "I3" = 253.
// Missing characters (a text shorter than two) count as blanks.
int TwoCharNumber(std::string_view two);

// Field type codes by storage.
bool IsInteger16Type(int type);  // 1
bool IsInteger32Type(int type);  // 4
bool IsSingleType(int type);     // 2, 6
bool IsDoubleType(int type);     // 3, 7, 80..85
bool IsDateType(int type);       // 5
// True for every type stored as binary (types 1, 2, 3, 4, 6, 7, 80..85).
bool IsNumericType(int type);

// Bytes one element of a field of `type` takes: 2, 4, 8, 6 (dates) or, for
// text, `declared_length` (never negative).
int ElementWidth(int type, int declared_length);

struct FieldLayout {
  int16_t type = 0;
  int32_t declared_length = 0;  // length hundreds (bytes 2-3) included
  int32_t width = 0;            // bytes the field takes in the record
  int32_t start = 0;            // 0-based offset in the record
  int16_t code = 0;             // field code (bytes 31-32)
  std::string name;             // bytes 8-30, Windows-1252, blanks kept
  // Arrays: every element is a field of its own. `array_first` is the field
  // number of the array's first element (the field itself for a plain field),
  // `element` this field's element (0..elements-1) and `elements` the
  // array's element count (1 for a plain field).
  int16_t array_first = 0;
  int16_t element = 0;
  int16_t elements = 1;
};

struct SegmentLayout {
  int16_t field = 0;   // 1-based field number
  int16_t start = 1;   // 1-based position within the field's text
  int16_t length = 0;  // characters
};

struct IndexLayout {
  std::vector<SegmentLayout> segments;  // in file order; empty = no such index
  // Sum of the segment lengths: every key of the index has this length.
  int key_length = 0;
};

// What the condition parser keeps of a layout (see condition.cc).
struct ConditionNames;

struct TableLayout {
  // fields[1..n]; fields[0] is unused. fields.size() == n + 1.
  std::vector<FieldLayout> fields;
  // field_start[1..n+1]: FieldStart as the record code uses it, entry n+1
  // holding the record length.
  std::vector<int32_t> field_start;
  int32_t record_length = 0;
  // The field carrying each code (for an array, its first element); 0 for a
  // code no field carries.
  std::vector<int16_t> field_by_code;

  // Highest index number defined (0 when none); indexes[1..10].
  int index_count = 0;
  std::array<IndexLayout, kMaxIndexes + 1> indexes{};

  // The field names as conditions name them, made by the condition parser
  // when it first reads a condition on this layout and shared by its copies
  // (the fields of a layout do not change once it is made).
  mutable std::shared_ptr<const ConditionNames> condition_names;

  int num_fields() const { return static_cast<int>(fields.size()) - 1; }
  // Field number carrying `code`, 0 when none.
  int FieldByCode(int code) const;
  // Longest key length over the indexes (0 when none).
  int LongestKey() const;
};

// Parses the header and the field entries of a definition file's bytes
// (only the first 4000 bytes are looked at, as the record code always did).
// On success the result has its fields, field_start, record_length and
// field_by_code filled and no indexes. Corruption when the field count is
// below 1 or above 99, when a field entry lies past the end of the bytes,
// when an array runs past the last field or its elements differ in type or
// length, or when the record would be empty or longer than 1 MiB.
platform::Result<TableLayout> ParseFieldEntries(std::string_view bytes);

// Fills the index tables of `layout` (whose fields are parsed) from the index
// entries of `bytes`: scanning starts with the entry after the last field,
// skips entries that do not begin with "I", and stops at an entry whose first
// character sorts below a blank or at the end of the bytes. Corruption (and
// `layout`'s indexes left empty) when a segment names no field, an index has
// more than five segments, or a key would exceed kMaxKeyLength. Entries whose
// index number is outside 1..10 are ignored.
platform::Status ParseIndexEntries(std::string_view bytes, TableLayout* layout);

}  // namespace qrole::data

#endif  // QROLE_DATA_DEFINITION_FILE_H_
