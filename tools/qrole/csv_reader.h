// Reading CSV text (RFC 4180) record by record, with the line each record
// begins on, for `qrole import`.
//
// Fields are separated by ",", records by CRLF, LF or CR. A field that
// begins with a double quote is quoted: it ends at the next lone quote, and
// holds separators, line ends and doubled quotes ("" for one quote). A UTF-8
// byte-order mark at the start is skipped. Empty lines are no records.
//
// A record that breaks these rules is kept with its fields as far as they
// could be read and an error that says why: a quote inside a field that
// does not begin with one, text after the closing quote of a field, a quoted
// field never closed (it runs to the end of the text), or bytes that are not
// UTF-8.

#ifndef QROLE_TOOLS_QROLE_CSV_READER_H_
#define QROLE_TOOLS_QROLE_CSV_READER_H_

#include <string>
#include <string_view>
#include <vector>

namespace qrole::cli {

struct CsvRecord {
  int line = 0;  // the line of the text the record begins on, from 1
  std::vector<std::string> fields;
  std::string error;  // empty: the record is well formed
};

std::vector<CsvRecord> ReadCsv(std::string_view text);

}  // namespace qrole::cli

#endif  // QROLE_TOOLS_QROLE_CSV_READER_H_
