// The readable source of the shipped table definitions (tables.txt) and the
// definition files (".QRA") made from it.
//
// Source format, one block per table ("#" starts a comment):
//   table NAME description...
//   field POS CODE ELEMS TYPE LEN NAME... [notes]   (columns: see tables.txt)
//   index K POS:START:LEN [POS:START:LEN ...]
//   end
// TYPE is a type code, or "blob" for long contents kept outside the record
// (written as type kBlobType with a declared length of 0). A field name may
// hold single blanks; two or more blanks end it and start the notes.

#ifndef QROLE_DATA_TABLE_SOURCE_H_
#define QROLE_DATA_TABLE_SOURCE_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qrole::data {

// Type code of a long-content field: no record bytes, content kept beside
// the record file.
inline constexpr int kBlobType = 90;

struct FieldSource {
  int position = 0;
  int code = 0;
  int elements = 1;
  int type = 0;
  int length = 0;
  std::string name;  // UTF-8
};

struct SegmentSource {
  int field = 0;  // position
  int start = 1;
  int length = 0;
};

struct TableSource {
  std::string name;
  std::string description;
  std::vector<FieldSource> fields;
  std::vector<std::vector<SegmentSource>> indexes;  // [k - 1] = segments of index k
};

// Parses the source text. InvalidArgument naming the line for anything it
// cannot read: a field out of position order, an unknown index field, an
// index number outside 1..10, a name longer than 23 bytes.
platform::Result<std::vector<TableSource>> ParseTableSource(std::string_view text);

// The bytes of the definition file of a table; its header entry carries the
// description after the field count (bytes 2-32).
std::string EncodeDefinition(const TableSource& table);

// A number as a definition file writes it in two characters ("12", " 5");
// 100 to 359 as a letter and a digit ("I3" = 253).
std::string TwoCharacters(int n);

}  // namespace qrole::data

#endif  // QROLE_DATA_TABLE_SOURCE_H_
