// In-memory form of an INI file that can be written back unchanged.
//
// Design: the document is the list of the file's lines, as they were, plus the
// line ending and byte-order mark of the file. Lookups parse lines on the fly;
// edits replace or insert single lines. So comments (";" or "#"), blank lines,
// lines the parser does not understand, and the order of sections and values
// all survive a read-modify-write. Section and value names are matched ignoring
// case (FoldCase); leading and trailing blanks around names are not part of the
// name. A value is everything after the first "=" up to the end of its line,
// blanks included. When a section or a name occurs twice, the first one wins.
//
// Not thread-safe; one document per operation.

#ifndef QROLE_PLATFORM_INI_DOCUMENT_INTERNAL_H_
#define QROLE_PLATFORM_INI_DOCUMENT_INTERNAL_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrole::platform::internal {

class IniDocument {
 public:
  // Parses `text`. Never fails: lines that are neither a section header nor
  // "name=value" are kept as they are and ignored by lookups.
  static IniDocument Parse(std::string_view text);

  // The file text: the lines in order, each ended by the file's line ending
  // ("\r\n" when the parsed text used it, else "\n"), with the byte-order mark
  // when the parsed text had one.
  std::string Serialize() const;

  // True when a section named `section` exists.
  bool HasSection(std::string_view section) const;

  // The value of `name` in `section`, or nullopt when either is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view name) const;

  // Adds an empty section at the end when it is missing (preceded by a blank
  // line when the file does not end with one). Returns false when `section`
  // cannot be stored (see IsStorableSection); the document is then unchanged.
  bool AddSection(std::string_view section);

  // Sets `name` in `section` to `value`: replaces the value of an existing
  // line (keeping the spelling of its name), else adds "name=value" after the
  // last value line of the section, adding the section when missing. Returns
  // false, leaving the document unchanged, when the section, name or value
  // cannot be stored.
  bool Set(std::string_view section, std::string_view name, std::string_view value);

  // A section name is storable when it is not empty after trimming blanks and
  // holds no "]", "\r", "\n" or NUL.
  static bool IsStorableSection(std::string_view section);
  // A value name is storable when it is not empty after trimming blanks,
  // does not start with "[", ";" or "#", and holds no "=", "\r", "\n" or NUL.
  static bool IsStorableName(std::string_view name);
  // A value is storable when it holds no "\r", "\n" or NUL.
  static bool IsStorableValue(std::string_view value);

 private:
  struct SectionSpan {
    size_t header = 0;  // Index of the "[...]" line.
    size_t end = 0;     // Index of the next section header, or lines_.size().
  };

  std::optional<SectionSpan> FindSection(std::string_view section) const;
  std::optional<size_t> FindValueLine(const SectionSpan& span, std::string_view name) const;

  std::vector<std::string> lines_;
  bool crlf_ = false;
  bool bom_ = false;
};

}  // namespace qrole::platform::internal

#endif  // QROLE_PLATFORM_INI_DOCUMENT_INTERNAL_H_
