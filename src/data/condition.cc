#include "data/condition.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "data/blob_store.h"
#include "data/condition_values.h"
#include "data/number_codec.h"
#include "platform/text_encoding.h"

namespace qrole::data {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

size_t SkipBlanks(std::string_view text, size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `text` continues at `at` with `word` (ASCII, any case).
bool HasWordAt(std::string_view text, size_t at, std::string_view word) {
  if (at + word.size() > text.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (AsciiLower(text[at + i]) != AsciiLower(word[i])) return false;
  }
  return true;
}

// Bytes of `text` from `at` that spell `name` ignoring case (code point by
// code point); 0 when they do not.
size_t MatchNameAt(std::string_view text, size_t at, std::string_view name) {
  size_t t = at, n = 0;
  while (n < name.size()) {
    if (t >= text.size()) return 0;
    char32_t a = 0, b = 0;
    const bool valid_a = platform::DecodeUtf8(text, &t, &a);
    const bool valid_b = platform::DecodeUtf8(name, &n, &b);
    if (valid_a != valid_b || platform::FoldCodePoint(a) != platform::FoldCodePoint(b)) return 0;
  }
  return t - at;
}

// Reads an operator at `at`; sets *end past it.
std::optional<CompareOp> ReadOperator(std::string_view text, size_t at, size_t* end) {
  auto two = [&](std::string_view op) { return text.substr(at, 2) == op; };
  if (two(">=") || two("=>")) {
    *end = at + 2;
    return CompareOp::kAtLeast;
  }
  if (two("<=") || two("=<")) {
    *end = at + 2;
    return CompareOp::kAtMost;
  }
  if (text.substr(at, 1) == "=") {
    *end = at + 1;
    return CompareOp::kEqual;
  }
  if (HasWordAt(text, at, "like") && (at + 4 == text.size() || IsBlank(text[at + 4]))) {
    *end = at + 4;
    return CompareOp::kLike;
  }
  return std::nullopt;
}

struct NamedField {
  std::string name;  // UTF-8, no trailing blanks
  int position = 0;
};

}  // namespace

struct ConditionNames {
  std::vector<NamedField> names;
};

namespace {

// The fields by name, longest name first (so that "FECHA CONTABLE" is tried
// before "FECHA").
std::vector<NamedField> MakeNames(const TableLayout& layout) {
  std::vector<NamedField> names;
  for (int i = 1; i <= layout.num_fields(); ++i) {
    const FieldLayout& f = layout.fields[static_cast<size_t>(i)];
    if (f.element > 0) continue;
    std::string name = FieldName(f);
    if (!name.empty()) names.push_back({std::move(name), i});
  }
  std::stable_sort(names.begin(), names.end(), [](const NamedField& a, const NamedField& b) {
    return a.name.size() > b.name.size();
  });
  return names;
}

// MakeNames, made once a layout: converting and sorting a table's 98 names
// was most of the time of reading a condition.
const std::vector<NamedField>& NamesOf(const TableLayout& layout) {
  if (layout.condition_names == nullptr) {
    auto made = std::make_shared<ConditionNames>();
    made->names = MakeNames(layout);
    layout.condition_names = std::move(made);
  }
  return layout.condition_names->names;
}

// The start of a term: field, ABS, operator, and where the value begins.
struct TermHead {
  int field = 0;
  bool absolute = false;
  CompareOp op = CompareOp::kEqual;
  size_t value_start = 0;
};

// Reads a term's field and operator at `at`. On failure *why says what is
// wrong with it.
std::optional<TermHead> ReadHead(std::string_view text, size_t at,
                                 const std::vector<NamedField>& names, std::string* why) {
  TermHead head;
  size_t p = SkipBlanks(text, at);
  if (HasWordAt(text, p, "abs(")) {
    head.absolute = true;
    p = SkipBlanks(text, p + 4);
  }
  bool named = false;
  for (const NamedField& field : names) {
    const size_t length = MatchNameAt(text, p, field.name);
    if (length == 0) continue;
    size_t q = p + length;
    if (head.absolute) {
      q = SkipBlanks(text, q);
      if (q >= text.size() || text[q] != ')') continue;
      ++q;
    }
    named = true;
    size_t end = 0;
    const std::optional<CompareOp> op = ReadOperator(text, SkipBlanks(text, q), &end);
    if (!op) continue;
    head.field = field.position;
    head.op = *op;
    head.value_start = SkipBlanks(text, end);
    return head;
  }
  // Say what the term looks like up to its operator.
  size_t stop = text.find_first_of("=<>", p);
  for (size_t i = p; i < std::min(stop, text.size()); ++i) {
    if (IsBlank(text[i]) && HasWordAt(text, i + 1, "like ")) {
      stop = i;
      break;
    }
  }
  std::string_view shown =
      text.substr(p, stop == std::string_view::npos ? text.size() - p : stop - p);
  shown = TrimTrailingBlanks(shown);
  if (named) {
    *why = "operador no reconocido tras " + std::string(shown);
  } else if (stop == std::string_view::npos) {
    *why = "falta el operador en " + std::string(text.substr(p));
  } else {
    *why = "campo " + std::string(shown) + " inexistente";
  }
  return std::nullopt;
}

// True when the text from `at` to the next " and " holds an operator, that
// is when it was meant as a term rather than as part of a value.
bool LooksLikeTerm(std::string_view text, size_t at) {
  size_t end = text.size();
  for (size_t i = at; i + 5 <= text.size(); ++i) {
    if (HasWordAt(text, i, " and ")) {
      end = i;
      break;
    }
  }
  const std::string_view part = text.substr(at, end - at);
  if (part.find_first_of("=<>") != std::string_view::npos) return true;
  for (size_t i = 0; i + 6 <= part.size(); ++i) {
    if (HasWordAt(part, i, " like ")) return true;
  }
  return false;
}

platform::Status Refuse(const std::string& why) { return platform::Status::InvalidArgument(why); }

platform::Result<ConditionTerm> MakeTerm(const TableLayout& layout, const TermHead& head,
                                         std::string_view written) {
  const FieldLayout& f = layout.fields[static_cast<size_t>(head.field)];
  const std::string name = FieldName(f);
  ConditionTerm term;
  term.field = head.field;
  term.absolute = head.absolute;
  term.op = head.op;
  term.written = std::string(written);
  if (IsLongContentType(f.type)) return Refuse("el campo " + name + " no admite condiciones");
  if (IsNumericType(f.type)) {
    term.kind = ValueKind::kNumber;
  } else if (IsDateType(f.type)) {
    term.kind = ValueKind::kDate;
  } else {
    term.kind = ValueKind::kText;
  }
  if (head.absolute && term.kind != ValueKind::kNumber) {
    return Refuse("ABS() requiere un campo numérico: " + name);
  }
  if (head.op == CompareOp::kLike || term.kind == ValueKind::kText) {
    term.bytes = platform::Utf8ToCp1252(written);
    return term;
  }
  if (term.kind == ValueKind::kNumber) {
    const std::optional<double> n = ParseNumberValue(written);
    if (!n) return Refuse("número no válido para " + name + ": " + std::string(written));
    term.number = IsSingleType(f.type) ? static_cast<double>(static_cast<float>(*n)) : *n;
    return term;
  }
  const std::optional<int32_t> day = ParseDateValue(written);
  if (!day) return Refuse("fecha no válida para " + name + ": " + std::string(written));
  term.day = *day;
  return term;
}

int Sign(double a, double b) { return a < b ? -1 : a > b ? 1 : 0; }

}  // namespace

std::string FieldName(const FieldLayout& field) {
  return platform::Cp1252ToUtf8(TrimTrailingBlanks(field.name));
}

int FindFieldByName(const TableLayout& layout, std::string_view name) {
  while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
  while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
  if (name.empty()) return 0;
  // The first field of that name, in field order.
  int found = 0;
  for (const NamedField& f : NamesOf(layout)) {
    if ((found == 0 || f.position < found) && platform::EqualsIgnoreCase(f.name, name))
      found = f.position;
  }
  return found;
}

bool LikeMatch(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int CompareElements(const FieldLayout& field, std::string_view a, std::string_view b) {
  if (IsNumericType(field.type)) {
    return Sign(ElementNumber(field.type, a.data()), ElementNumber(field.type, b.data()));
  }
  if (IsDateType(field.type)) {
    const int32_t x = StoredDateDay(a), y = StoredDateDay(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  return TrimTrailingBlanks(a).compare(TrimTrailingBlanks(b));
}

bool ConditionTerm::Matches(const TableLayout& layout, std::string_view record) const {
  const FieldLayout& f = layout.fields[static_cast<size_t>(field)];
  const std::string_view bytes =
      record.substr(static_cast<size_t>(f.start), static_cast<size_t>(f.width));
  if (op == CompareOp::kLike) {
    if (kind != ValueKind::kNumber) return LikeMatch(this->bytes, TrimTrailingBlanks(bytes));
    std::string number;
    DecodeElement(f.type, bytes, &number);
    if (absolute && !number.empty() && number.front() == '-') number.erase(0, 1);
    return LikeMatch(this->bytes, number);
  }
  int cmp = 0;
  switch (kind) {
    case ValueKind::kText:
      cmp = TrimTrailingBlanks(bytes).compare(this->bytes);
      break;
    case ValueKind::kNumber: {
      double v = ElementNumber(f.type, bytes.data());
      if (std::isnan(v)) return false;
      if (absolute) v = std::fabs(v);
      cmp = Sign(v, number);
      break;
    }
    case ValueKind::kDate: {
      const int32_t d = StoredDateDay(bytes);
      cmp = d < day ? -1 : d > day ? 1 : 0;
      break;
    }
  }
  switch (op) {
    case CompareOp::kEqual:
      return cmp == 0;
    case CompareOp::kAtLeast:
      return cmp >= 0;
    case CompareOp::kAtMost:
      return cmp <= 0;
    case CompareOp::kLike:
      break;
  }
  return false;
}

bool Condition::Matches(const TableLayout& layout, std::string_view record) const {
  for (const ConditionTerm& term : terms) {
    if (!term.Matches(layout, record)) return false;
  }
  return true;
}

platform::Result<Condition> ParseCondition(std::string_view text, const TableLayout& layout) {
  Condition condition;
  condition.text = std::string(text);
  size_t at = SkipBlanks(text, 0);
  if (TrimTrailingBlanks(text.substr(at)).empty()) return condition;
  const std::vector<NamedField>& names = NamesOf(layout);
  for (;;) {
    std::string why;
    const std::optional<TermHead> head = ReadHead(text, at, names, &why);
    if (!head) return Refuse(why);
    // The value runs to the " and " that starts the next term.
    size_t value_end = text.size();
    size_t next = std::string_view::npos;
    for (size_t i = head->value_start; i + 5 <= text.size(); ++i) {
      if (!HasWordAt(text, i, " and ")) continue;
      const size_t after = SkipBlanks(text, i + 5);
      if (after >= text.size()) return Refuse("condición incompleta tras AND");
      if (ReadHead(text, after, names, &why) || LooksLikeTerm(text, after)) {
        value_end = i;
        next = after;
        break;
      }
    }
    if (next == std::string_view::npos) {
      const std::string_view tail = TrimTrailingBlanks(text.substr(head->value_start));
      if (tail.size() >= 4 && HasWordAt(tail, tail.size() - 4, " and")) {
        return Refuse("condición incompleta tras AND");
      }
    }
    const std::string_view written =
        TrimTrailingBlanks(text.substr(head->value_start, value_end - head->value_start));
    platform::Result<ConditionTerm> term = MakeTerm(layout, *head, written);
    if (!term.ok()) return term.status();
    condition.terms.push_back(std::move(*term));
    if (next == std::string_view::npos) break;
    at = next;
  }
  return condition;
}

}  // namespace qrole::data
