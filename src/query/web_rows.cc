#include "query/web_rows.h"

#include "automation/convert.h"

namespace qrole::query {

namespace {

constexpr int kFieldCount = 100;

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    const size_t p = text.find(sep, start);
    out.push_back(text.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) return out;
    start = p + 1;
  }
}

}  // namespace

WebRows::WebRows(const std::string& answer) {
  std::vector<std::string> lines = Split(answer, '\n');
  for (std::string& line : lines)
    if (!line.empty() && line.back() == '\r') line.pop_back();
  const std::vector<std::string> header = Split(lines[0], '\t');
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string& cell = header[i];
    if (Trim(cell).empty()) continue;
    const double field = Val(cell);
    if (field < 0 || field >= kFieldCount) continue;
    int element = 0;
    const size_t plus = cell.find('+');
    if (plus != std::string::npos) element = static_cast<int>(Val(cell.substr(plus + 1)));
    columns_[{static_cast<int>(field), element}] = i;
  }
  lines_.assign(lines.begin() + 1, lines.end());
  for (const std::string& line : lines_) rows_.push_back(Split(line, '\t'));
}

std::string WebRows::Field(size_t row, int field, int element) const {
  const auto it = columns_.find({field, element});
  if (it == columns_.end() || row >= rows_.size() || it->second >= rows_[row].size()) return "";
  return rows_[row][it->second];
}

}  // namespace qrole::query
