#include "csv_reader.h"

#include "platform/text_encoding.h"

namespace qrole::cli {

namespace {

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

bool IsUtf8(std::string_view text) {
  size_t pos = 0;
  char32_t code_point;
  while (pos < text.size())
    if (!platform::DecodeUtf8(text, &pos, &code_point)) return false;
  return true;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {
    if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
  }

  bool AtEnd() const { return pos_ >= text_.size(); }

  CsvRecord Record() {
    CsvRecord record;
    record.line = line_;
    for (;;) {
      record.fields.push_back(Field(&record.error));
      if (!AtEnd() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      EndLine();
      break;
    }
    for (const std::string& field : record.fields)
      if (record.error.empty() && !IsUtf8(field)) record.error = "the row is not UTF-8 text";
    return record;
  }

 private:
  void Note(std::string* error, const char* what) {
    if (error->empty()) *error = what;
  }

  std::string Field(std::string* error) {
    std::string field;
    if (AtEnd() || text_[pos_] != '"') {
      while (!AtEnd() && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) {
        if (text_[pos_] == '"') Note(error, "a quote inside a field that does not begin with one");
        field += text_[pos_++];
      }
      return field;
    }
    ++pos_;
    for (;;) {
      if (AtEnd()) {
        Note(error, "a quoted field is not closed");
        return field;
      }
      const char c = text_[pos_++];
      if (c == '"') {
        if (!AtEnd() && text_[pos_] == '"') {
          field += '"';
          ++pos_;
          continue;
        }
        break;
      }
      CountLine(c);
      field += c;
    }
    if (!AtEnd() && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) {
      Note(error, "text after the closing quote of a field");
      while (!AtEnd() && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) field += text_[pos_++];
    }
    return field;
  }

  // A line end inside a quoted field: CRLF counts once.
  void CountLine(char c) {
    if (c == '\n' || (c == '\r' && (AtEnd() || text_[pos_] != '\n'))) ++line_;
  }

  void EndLine() {
    if (AtEnd()) return;
    if (text_[pos_++] == '\r' && !AtEnd() && text_[pos_] == '\n') ++pos_;
    ++line_;
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

std::vector<CsvRecord> ReadCsv(std::string_view text) {
  std::vector<CsvRecord> records;
  Reader reader(text);
  while (!reader.AtEnd()) {
    CsvRecord record = reader.Record();
    if (record.fields.size() == 1 && record.fields[0].empty() && record.error.empty()) continue;
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace qrole::cli
