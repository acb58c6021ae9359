#include "platform/ini_document_internal.h"
#include "platform/text_encoding.h"

namespace qrole::platform::internal {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  const auto is_blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// The section name of a "[name]" line (blanks around it and the name trimmed),
// or nullopt for any other line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

bool IsComment(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// Splits a "name=value" line; false for comments, blanks, headers and lines
// without "=".
bool SplitValueLine(std::string_view line, std::string_view* name, std::string_view* value) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || IsComment(trimmed) || trimmed.front() == '[') return false;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  *name = Trim(line.substr(0, eq));
  *value = line.substr(eq + 1);
  return true;
}

bool HasAny(std::string_view s, std::string_view chars) {
  return s.find_first_of(chars) != std::string_view::npos;
}

constexpr std::string_view kLineBreaks("\r\n\0", 3);

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  if (text.substr(0, kBom.size()) == kBom) {
    doc.bom_ = true;
    text.remove_prefix(kBom.size());
  }
  const size_t first_newline = text.find('\n');
  doc.crlf_ = first_newline != std::string_view::npos && first_newline > 0 &&
              text[first_newline - 1] == '\r';
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    doc.lines_.emplace_back(line);
    start = next;
  }
  return doc;
}

std::string IniDocument::Serialize() const {
  const std::string_view eol = crlf_ ? "\r\n" : "\n";
  std::string out;
  if (bom_) out += kBom;
  for (const std::string& line : lines_) {
    out += line;
    out += eol;
  }
  return out;
}

std::optional<IniDocument::SectionSpan> IniDocument::FindSection(std::string_view section) const {
  section = Trim(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::optional<std::string_view> name = SectionOf(lines_[i]);
    if (!name || !EqualsIgnoreCase(*name, section)) continue;
    SectionSpan span{i, lines_.size()};
    for (size_t j = i + 1; j < lines_.size(); ++j) {
      if (SectionOf(lines_[j])) {
        span.end = j;
        break;
      }
    }
    return span;
  }
  return std::nullopt;
}

std::optional<size_t> IniDocument::FindValueLine(const SectionSpan& span,
                                                 std::string_view name) const {
  name = Trim(name);
  for (size_t i = span.header + 1; i < span.end; ++i) {
    std::string_view line_name;
    std::string_view value;
    if (SplitValueLine(lines_[i], &line_name, &value) && EqualsIgnoreCase(line_name, name)) {
      return i;
    }
  }
  return std::nullopt;
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindSection(section).has_value();
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view name) const {
  const std::optional<SectionSpan> span = FindSection(section);
  if (!span) return std::nullopt;
  const std::optional<size_t> line = FindValueLine(*span, name);
  if (!line) return std::nullopt;
  std::string_view line_name;
  std::string_view value;
  SplitValueLine(lines_[*line], &line_name, &value);
  return std::string(value);
}

bool IniDocument::IsStorableSection(std::string_view section) {
  return !Trim(section).empty() && !HasAny(section, "]") && !HasAny(section, kLineBreaks);
}

bool IniDocument::IsStorableName(std::string_view name) {
  const std::string_view trimmed = Trim(name);
  return !trimmed.empty() && trimmed.front() != '[' && !IsComment(trimmed) && !HasAny(name, "=") &&
         !HasAny(name, kLineBreaks);
}

bool IniDocument::IsStorableValue(std::string_view value) { return !HasAny(value, kLineBreaks); }

bool IniDocument::AddSection(std::string_view section) {
  if (!IsStorableSection(section)) return false;
  if (HasSection(section)) return true;
  if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
  lines_.push_back("[" + std::string(Trim(section)) + "]");
  return true;
}

bool IniDocument::Set(std::string_view section, std::string_view name, std::string_view value) {
  if (!IsStorableSection(section) || !IsStorableName(name) || !IsStorableValue(value)) {
    return false;
  }
  AddSection(section);
  const SectionSpan span = *FindSection(section);
  if (const std::optional<size_t> line = FindValueLine(span, name)) {
    std::string& text = lines_[*line];
    text.resize(text.find('=') + 1);
    text += value;
    return true;
  }
  // After the last non-blank line of the section, so that blank lines which
  // separate it from the next section stay in place.
  size_t insert_at = span.header + 1;
  for (size_t i = span.header + 1; i < span.end; ++i) {
    if (!Trim(lines_[i]).empty()) insert_at = i + 1;
  }
  std::string line(Trim(name));
  line += '=';
  line += value;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at), std::move(line));
  return true;
}

}  // namespace qrole::platform::internal
