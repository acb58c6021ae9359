#include "data/table_source.h"

#include <sstream>

#include "platform/text_encoding.h"

namespace qrole::data {

namespace {

constexpr size_t kEntrySize = 33;

std::string Padded(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

platform::Status LineError(int line, const std::string& what) {
  return platform::Status::InvalidArgument("tables source line " + std::to_string(line) + ": " +
                                           what);
}

std::string StripComment(const std::string& line) {
  size_t hash = line.find('#');
  return hash == std::string::npos ? line : line.substr(0, hash);
}

}  // namespace

std::string TwoCharacters(int n) {
  if (n < 0) n = 0;
  if (n < 10) return " " + std::to_string(n);
  if (n < 100) return std::to_string(n);
  return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
}

platform::Result<std::vector<TableSource>> ParseTableSource(std::string_view text) {
  std::vector<TableSource> tables;
  TableSource* current = nullptr;
  std::istringstream in{std::string(text)};
  std::string raw;
  int line_no = 0;
  while (std::getline(in, raw)) {
    ++line_no;
    std::string line = StripComment(raw);
    std::istringstream words(line);
    std::string keyword;
    if (!(words >> keyword)) continue;
    if (keyword == "table") {
      if (current) return LineError(line_no, "table without end");
      tables.emplace_back();
      current = &tables.back();
      words >> current->name;
      std::getline(words, current->description);
      size_t b = current->description.find_first_not_of(' ');
      current->description = b == std::string::npos ? "" : current->description.substr(b);
      if (current->name.empty()) return LineError(line_no, "table without name");
      continue;
    }
    if (!current) return LineError(line_no, "outside a table block");
    if (keyword == "end") {
      current = nullptr;
      continue;
    }
    if (keyword == "field") {
      FieldSource f;
      std::string type;
      if (!(words >> f.position >> f.code >> f.elements >> type >> f.length))
        return LineError(line_no, "field line needs pos code elems type len name");
      f.type = type == "blob" ? kBlobType : std::stoi(type);
      std::string rest;
      std::getline(words, rest);
      size_t b = rest.find_first_not_of(' ');
      rest = b == std::string::npos ? "" : rest.substr(b);
      size_t notes = rest.find("  ");
      f.name = rest.substr(0, notes);
      while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
      if (f.name.empty()) return LineError(line_no, "field without name");
      if (platform::Utf8ToCp1252(f.name).size() > 23) return LineError(line_no, "name too long");
      int expected = current->fields.empty()
                         ? 1
                         : current->fields.back().position + current->fields.back().elements;
      if (f.position != expected)
        return LineError(line_no, "field position " + std::to_string(f.position) + ", expected " +
                                      std::to_string(expected));
      if (f.elements < 1 || f.code < 1 || f.code > 99)
        return LineError(line_no, "bad code or element count");
      current->fields.push_back(f);
      continue;
    }
    if (keyword == "index") {
      int k = 0;
      if (!(words >> k) || k < 1 || k > 10) return LineError(line_no, "index number 1..10");
      std::vector<SegmentSource> segments;
      std::string seg;
      while (words >> seg) {
        SegmentSource s;
        char c1 = 0, c2 = 0;
        std::istringstream ss(seg);
        if (!(ss >> s.field >> c1 >> s.start >> c2 >> s.length) || c1 != ':' || c2 != ':')
          return LineError(line_no, "segment " + seg);
        int last = current->fields.empty()
                       ? 0
                       : current->fields.back().position + current->fields.back().elements - 1;
        if (s.field < 1 || s.field > last) return LineError(line_no, "segment field " + seg);
        segments.push_back(s);
      }
      if (segments.empty() || segments.size() > 5) return LineError(line_no, "1 to 5 segments");
      if (current->indexes.size() < static_cast<size_t>(k))
        current->indexes.resize(static_cast<size_t>(k));
      current->indexes[static_cast<size_t>(k - 1)] = segments;
      continue;
    }
    return LineError(line_no, "unknown keyword " + keyword);
  }
  if (current) return LineError(line_no, "missing end");
  return tables;
}

std::string EncodeDefinition(const TableSource& table) {
  int positions = 0;
  for (const FieldSource& f : table.fields) positions += f.elements;
  // The header entry: the field count, then the table's description.
  std::string bytes =
      TwoCharacters(positions) + Padded(platform::Utf8ToCp1252(table.description), kEntrySize - 2);
  for (const FieldSource& f : table.fields) {
    for (int e = 0; e < f.elements; ++e) {
      // An array takes one entry per element; the first carries the count.
      std::string entry = e == 0 && f.elements > 1 ? TwoCharacters(f.elements) : "  ";
      entry += f.length >= 100 ? TwoCharacters(f.length / 100) : "  ";
      entry += TwoCharacters(f.length % 100) + TwoCharacters(f.type);
      entry += Padded(platform::Utf8ToCp1252(f.name), 23) + TwoCharacters(f.code);
      bytes += entry;
    }
  }
  for (size_t k = 0; k < table.indexes.size(); ++k) {
    for (const SegmentSource& s : table.indexes[k]) {
      std::string entry = "I";
      entry += static_cast<char>('1' + k);  // index 10 is "I:"
      entry += TwoCharacters(s.field) + TwoCharacters(s.start) + TwoCharacters(s.length);
      entry += Padded("", 23) + "  ";
      bytes += entry;
    }
  }
  return bytes;
}

}  // namespace qrole::data
