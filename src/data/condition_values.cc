#include "data/condition_values.h"

#include <charconv>
#include <cstring>

#include "data/date_codec.h"
#include "data/definition_file.h"
#include "data/number_codec.h"

namespace qrole::data {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return TrimTrailingBlanks(text);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

std::optional<int32_t> Day(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  return year * 10000 + month * 100 + day;
}

// Reads 1 to `max_digits` digits; false when there are none or more.
bool ReadNumber(std::string_view part, size_t max_digits, int* out) {
  if (part.empty() || part.size() > max_digits) return false;
  int v = 0;
  for (char c : part) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  *out = v;
  return true;
}

int TwoDigits(std::string_view text, size_t at) {
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// Two-digit years as the date codec reads them: below 60 in the 2000s.
int FullYear(int yy) { return yy < 60 ? 2000 + yy : 1900 + yy; }

std::optional<int32_t> ParseSlashDate(std::string_view text) {
  const size_t first = text.find('/');
  const size_t second = text.find('/', first + 1);
  int day = 0, month = 0, year = 0;
  if (second == std::string_view::npos) {
    // dd/mm: the date codec completes it with the open fiscal year.
    if (text.size() != 5 || first != 2) return std::nullopt;
    const std::string full = ConvertirFechaCodec(text);
    if (full.size() != 6) return std::nullopt;
    return ParseDateValue(full);
  }
  if (text.find('/', second + 1) != std::string_view::npos) return std::nullopt;
  if (!ReadNumber(text.substr(0, first), 2, &day) ||
      !ReadNumber(text.substr(first + 1, second - first - 1), 2, &month)) {
    return std::nullopt;
  }
  const std::string_view year_text = text.substr(second + 1);
  if (year_text.size() == 2 && ReadNumber(year_text, 2, &year)) {
    year = FullYear(year);
  } else if (year_text.size() != 4 || !ReadNumber(year_text, 4, &year)) {
    return std::nullopt;
  }
  return Day(year, month, day);
}

}  // namespace

std::string_view TrimTrailingBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::optional<int32_t> ParseDateValue(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return 0;
  if (text.find('/') != std::string_view::npos) return ParseSlashDate(text);
  if (text.size() != 6) return std::nullopt;
  for (size_t i = 1; i < 6; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
  }
  const char lead = text[0];
  int year;
  if (IsDigit(lead)) {
    year = FullYear(TwoDigits(text, 0));
  } else if (lead >= 'A' && lead <= 'Z') {
    year = 2000 + (lead - 'A') * 10 + (text[1] - '0');
  } else {
    return std::nullopt;
  }
  return Day(year, TwoDigits(text, 2), TwoDigits(text, 4));
}

int32_t StoredDateDay(std::string_view six) {
  if (six.size() < 6) return 0;
  for (size_t i = 1; i < 6; ++i) {
    if (!IsDigit(six[i])) return 0;
  }
  const char lead = six[0];
  int year;
  if (IsDigit(lead)) {
    year = 1900 + (lead - '0') * 10 + (six[1] - '0');
  } else if (lead >= 'A' && lead <= 'Z') {
    year = 2000 + (lead - 'A') * 10 + (six[1] - '0');
  } else {
    return 0;
  }
  return year * 10000 + TwoDigits(six, 2) * 100 + TwoDigits(six, 4);
}

std::optional<std::string> StoredDateForm(int32_t day) {
  const int year = day / 10000;
  if (year < 1900 || year > 2259) return std::nullopt;
  const int decade = (year - 1900) / 10;  // 0..35: digits 0..9, then "A" on
  std::string out(6, '0');
  out[0] = decade < 10 ? static_cast<char>('0' + decade) : static_cast<char>('A' + decade - 10);
  out[1] = static_cast<char>('0' + year % 10);
  out[2] = static_cast<char>('0' + day / 1000 % 10);
  out[3] = static_cast<char>('0' + day / 100 % 10);
  out[4] = static_cast<char>('0' + day / 10 % 10);
  out[5] = static_cast<char>('0' + day % 10);
  return out;
}

std::optional<double> ParseNumberValue(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return 0.0;
  std::string digits(text);
  const size_t comma = digits.find(',');
  if (comma != std::string::npos) {
    if (digits.find('.') != std::string::npos || digits.find(',', comma + 1) != std::string::npos) {
      return std::nullopt;
    }
    digits[comma] = '.';
  }
  const char* begin = digits.data();
  const char* end = digits.data() + digits.size();
  if (*begin == '+') ++begin;
  double value = 0;
  const auto [stop, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || stop != end) return std::nullopt;
  return value;
}

double ElementNumber(int type, const char* bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  if (IsInteger16Type(type)) {
    return static_cast<int16_t>(static_cast<uint16_t>(b[0] | (b[1] << 8)));
  }
  const uint32_t u32 = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                       (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  if (IsInteger32Type(type)) return static_cast<int32_t>(u32);
  if (IsSingleType(type)) {
    float f;
    std::memcpy(&f, &u32, sizeof f);
    return f;
  }
  return LoadDouble(bytes);
}

}  // namespace qrole::data
