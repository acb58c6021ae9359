#include "util/text_table.h"

#include <vector>

namespace qrole::util {

namespace {

std::vector<std::string> Split(std::string_view s, std::string_view sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t p = sep.empty() ? std::string_view::npos : s.find(sep, start);
    if (p == std::string_view::npos) {
      parts.emplace_back(s.substr(start));
      return parts;
    }
    parts.emplace_back(s.substr(start, p - start));
    start = p + sep.size();
  }
}

}  // namespace

std::shared_ptr<Array> TextoATabla(std::string_view text, int32_t first_row, int32_t first_column,
                                   std::string_view separator) {
  if (text.empty()) {
    return std::make_shared<Array>(std::vector<Array::Bound>{{first_row, 1}, {first_column, 1}});
  }
  // Every CR LF becomes CR; lines end at CR.
  std::string normalised;
  normalised.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    normalised += text[i];
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  std::vector<std::string> lines = Split(normalised, "\r");
  std::vector<std::vector<std::string>> cells;
  size_t columns = 1;
  for (const std::string& line : lines) {
    cells.push_back(Split(line, separator));
    if (cells.back().size() > columns) columns = cells.back().size();
  }
  auto table = std::make_shared<Array>(
      std::vector<Array::Bound>{{first_row, static_cast<int32_t>(cells.size())},
                                {first_column, static_cast<int32_t>(columns)}});
  for (size_t r = 0; r < cells.size(); ++r)
    for (size_t c = 0; c < cells[r].size(); ++c)
      table->At({first_row + static_cast<int32_t>(r), first_column + static_cast<int32_t>(c)}) =
          Variant::FromString(cells[r][c]);
  return table;
}

}  // namespace qrole::util
