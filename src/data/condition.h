// Filter conditions of the table component.
//
// A condition is a list of terms joined by " AND " (any case). A term is a
// field name as the table's definition writes it (blanks, "/", "(", ")" and
// "." included; matched ignoring case), optionally inside ABS( ), then an
// operator and the value as bare text:
//
//   CUENTA = 4300001          FECHA CONTABLE => 01/01/2024
//   Cuenta like 430*          ABS(IMPORTE)= 125.5
//   ASIENTO (DOC) CONTABLE  =000015 and S/R/T/C =S
//
// Operators: "=", ">=", "<=", "=>" (read as ">="), "=<" (read as "<="), and
// "LIKE" (any case) whose pattern takes "*" for any run of characters and "?"
// for one character. Blanks around the operator are optional and are not
// part of the value; blanks at the end of the value are dropped. A value may
// hold " and " itself when what follows it is not the start of a term.
//
// How values compare, by the field's type:
//   - text: the stored bytes without their trailing blanks, against the value
//     converted to Windows-1252, byte by byte (case matters: values compare
//     as stored). Trailing blanks never matter; leading blanks do, so a text
//     stored with leading blanks is matched with LIKE ("*15").
//   - numbers (types 1, 2, 3, 4, 6, 7, 80-85): numerically; the value may use
//     "." or "," as decimal separator; single-precision fields compare with
//     the value rounded to single precision. ABS() compares the magnitude.
//     LIKE matches the number text (".5", "-3", "1E+16").
//   - dates (type 5): as calendar days, whatever form the value is written in
//     (dd/mm/yy, d/m/yy, dd/mm/yyyy, yymmdd, the stored form; see
//     ParseDateValue); a blank date is "no date" and sorts before every day.
//     LIKE matches the stored six characters.
// An array field (the chart's period amounts) stands for its element 0.

#ifndef QROLE_DATA_CONDITION_H_
#define QROLE_DATA_CONDITION_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/definition_file.h"
#include "platform/status.h"

namespace qrole::data {

enum class CompareOp { kEqual, kAtLeast, kAtMost, kLike };

// How a term's field is compared.
enum class ValueKind { kText, kNumber, kDate };

struct ConditionTerm {
  int field = 0;  // record position (an array's first element)
  bool absolute = false;
  CompareOp op = CompareOp::kEqual;
  ValueKind kind = ValueKind::kText;
  // The value as written (UTF-8, trailing blanks dropped), for messages.
  std::string written;
  // Text fields and every LIKE pattern: Windows-1252 bytes.
  std::string bytes;
  // Number fields: the value (already rounded to single precision for
  // single fields).
  double number = 0;
  // Date fields: the day as yyyymmdd (0 = no date).
  int32_t day = 0;

  // True when the field of `record` (a whole record of `layout`) satisfies
  // the term.
  bool Matches(const TableLayout& layout, std::string_view record) const;
};

struct Condition {
  std::string text;  // as given
  std::vector<ConditionTerm> terms;

  bool empty() const { return terms.empty(); }
  // True when `record` satisfies every term (an empty condition: always).
  bool Matches(const TableLayout& layout, std::string_view record) const;
};

// Parses `text` (UTF-8) against the fields of `layout`. The empty or blank
// text gives the empty condition. InvalidArgument, with a reason in Spanish
// for the client ("campo X inexistente", "operador no reconocido en ...",
// "fecha no válida ...", "número no válido ..."), when a term names no field
// of the table, has no operator the grammar knows, puts ABS() around a field
// that is not numeric, names a long-content field, or carries a value its
// field cannot be compared with.
platform::Result<Condition> ParseCondition(std::string_view text, const TableLayout& layout);

// The record position of the field named `name` (UTF-8, blanks around it
// ignored, matched ignoring case against the definition's names without their
// trailing blanks); for an array, its first element. 0 when no field has that
// name. When two fields share a name the first one counts.
int FindFieldByName(const TableLayout& layout, std::string_view name);

// The field's name as UTF-8 without trailing blanks.
std::string FieldName(const FieldLayout& field);

// LIKE: "*" matches any run of bytes (none included), "?" exactly one byte,
// every other byte itself.
bool LikeMatch(std::string_view pattern, std::string_view text);

// The comparison key of a field element for ordering: text without trailing
// blanks, numbers and dates compared as values. Negative, zero or positive as
// `a`'s element sorts before, with or after `b`'s (both `field`'s bytes).
int CompareElements(const FieldLayout& field, std::string_view a, std::string_view b);

}  // namespace qrole::data

#endif  // QROLE_DATA_CONDITION_H_
