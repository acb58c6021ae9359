// Tabular answers of the web service's search, read by field number.
//
// An answer is a text of lines separated by LF (a CR before the LF is
// dropped). Line 0 is the header: TAB-separated field numbers telling which
// column holds which field. A field with elements (the period amounts of an
// account) has one column per element, headed field "+" element (elements
// from 1), as the update requests name them. Every later line is a row of
// TAB-separated values; a field the header does not list, or a row lacks,
// reads as empty.
#ifndef QROLE_QUERY_WEB_ROWS_H_
#define QROLE_QUERY_WEB_ROWS_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qrole::query {

class WebRows {
 public:
  explicit WebRows(const std::string& answer);

  // The lines after the header, empty ones included: row r is line r + 1.
  size_t size() const { return rows_.size(); }
  bool IsEmpty(size_t row) const { return lines_[row].empty(); }
  // The text of field `field` (element `element`, 0 for a plain field) of
  // row `row`.
  std::string Field(size_t row, int field, int element = 0) const;

 private:
  std::map<std::pair<int, int>, size_t> columns_;
  std::vector<std::string> lines_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace qrole::query

#endif  // QROLE_QUERY_WEB_ROWS_H_
