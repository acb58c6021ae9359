#include "automation/convert.h"

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>

#include "qrole/error.h"

namespace qrole {

namespace {

NumberFormat& MutableFormat() {
  static NumberFormat format;
  return format;
}

[[noreturn]] void Mismatch() { RaiseRuntimeError(runtime_error::kTypeMismatch); }
[[noreturn]] void Overflow() { RaiseRuntimeError(runtime_error::kOverflow); }
[[noreturn]] void InvalidNull() { RaiseRuntimeError(runtime_error::kInvalidNull); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Days from 30/12/1899 for a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468 + 25569;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z -= 25569;
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yy + (*m <= 2));
}

bool ParseDateText(std::string_view s, double* serial) {
  std::string t = Trim(s);
  int d = 0, m = 0, y = 0, hh = 0, mi = 0, ss = 0;
  char sep1 = 0, sep2 = 0;
  int consumed = 0;
  int n = std::sscanf(t.c_str(), "%d%c%d%c%d%n", &d, &sep1, &m, &sep2, &y, &consumed);
  if (n < 5 || (sep1 != '/' && sep1 != '-') || sep2 != sep1) return false;
  std::string rest = Trim(t.substr(static_cast<size_t>(consumed)));
  if (!rest.empty()) {
    int c2 = 0;
    if (std::sscanf(rest.c_str(), "%d:%d:%d%n", &hh, &mi, &ss, &c2) != 3 ||
        static_cast<size_t>(c2) != rest.size())
      return false;
  }
  if (y < 100) y += y < 30 ? 2000 : 1900;
  if (m < 1 || m > 12 || d < 1 || d > 31 || hh > 23 || mi > 59 || ss > 59) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) return false;
  *serial =
      static_cast<double>(DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d))) +
      (hh * 3600 + mi * 60 + ss) / 86400.0;
  return true;
}

std::string DateToText(double serial) {
  double day = std::floor(serial);
  int y, m, d;
  CivilFromDays(static_cast<int64_t>(day), &y, &m, &d);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d, m, y);
  std::string out = buf;
  long secs = std::lround((serial - day) * 86400.0);
  if (secs > 0) {
    std::snprintf(buf, sizeof buf, " %d:%02ld:%02ld", static_cast<int>(secs / 3600),
                  (secs / 60) % 60, secs % 60);
    out += buf;
  }
  return out;
}

std::string ReplaceDecimalPoint(std::string s) {
  const std::string& dec = CurrentNumberFormat().decimal;
  size_t p = s.find('.');
  if (p != std::string::npos) s.replace(p, 1, dec);
  return s;
}

// "%.<digits>G" with the runtime's touches: no trailing zeros, "E+nn" form.
std::string GeneralFormat(double d, int digits) {
  if (d == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", digits, d);
  return ReplaceDecimalPoint(buf);
}

}  // namespace

const NumberFormat& CurrentNumberFormat() { return MutableFormat(); }

void SetCurrentNumberFormat(const NumberFormat& format) { MutableFormat() = format; }

std::string LTrim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) { return LTrim(RTrim(s)); }

bool ParseLocaleNumber(std::string_view text, double* out) {
  return ParseLocaleNumber(text, out, CurrentNumberFormat());
}

bool ParseLocaleNumber(std::string_view text, double* out, const NumberFormat& fmt) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  std::string_view s = text.substr(b, e - b);
  if (s.empty()) return false;
  bool negative = false;
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') {
    negative = s[i] == '-';
    ++i;
    while (i < s.size() && IsBlank(s[i])) ++i;
  }
  if (i + 1 < s.size() && s[i] == '&' &&
      (s[i + 1] == 'H' || s[i + 1] == 'h' || s[i + 1] == 'O' || s[i + 1] == 'o')) {
    int base = (s[i + 1] == 'H' || s[i + 1] == 'h') ? 16 : 8;
    i += 2;
    if (i >= s.size()) return false;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
      char c = s[i];
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else
        return false;
      if (digit >= base) return false;
      v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
      if (v > 0xFFFFFFFFull) return false;
    }
    // Hexadecimal and octal literals are 16- or 32-bit two's complement values.
    double r = v <= 0xFFFF ? static_cast<double>(static_cast<int16_t>(v))
                           : static_cast<double>(static_cast<int32_t>(v));
    *out = negative ? -r : r;
    return true;
  }
  std::string plain;  // digits with "." as decimal point, for strtod
  bool digits = false, seen_decimal = false;
  while (i < s.size()) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      plain += c;
      digits = true;
      ++i;
    } else if (!seen_decimal && s.compare(i, fmt.decimal.size(), fmt.decimal) == 0) {
      plain += '.';
      seen_decimal = true;
      i += fmt.decimal.size();
    } else if (!seen_decimal && digits && !fmt.thousand.empty() &&
               s.compare(i, fmt.thousand.size(), fmt.thousand) == 0) {
      i += fmt.thousand.size();
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    ++i;
    plain += 'E';
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain += s[i++];
    bool exp_digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      plain += s[i++];
      exp_digits = true;
    }
    if (!exp_digits) return false;
  }
  if (i != s.size()) return false;
  errno = 0;
  double v = std::strtod(plain.c_str(), nullptr);
  if (std::isinf(v)) return false;
  *out = negative ? -v : v;
  return true;
}

std::string DoubleToText(double d) { return GeneralFormat(d, 15); }

std::string SingleToText(float f) { return GeneralFormat(static_cast<double>(f), 7); }

std::string CurrencyToText(Currency c) {
  int64_t whole = c.scaled / 10000;
  int64_t frac = c.scaled % 10000;
  bool negative = c.scaled < 0;
  if (negative) {
    whole = -whole;
    frac = -frac;
  }
  std::string out = negative ? "-" : "";
  out += std::to_string(whole);
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04lld", static_cast<long long>(frac));
    std::string f = buf;
    while (!f.empty() && f.back() == '0') f.pop_back();
    out += CurrentNumberFormat().decimal + f;
  }
  return out;
}

std::string ToStr(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
      return "";
    case VarType::kNull:
      InvalidNull();
    case VarType::kString:
      return v.str();
    case VarType::kInteger:
      return std::to_string(v.integer());
    case VarType::kLong:
      return std::to_string(v.long_value());
    case VarType::kByte:
      return std::to_string(v.byte());
    case VarType::kSingle:
      return SingleToText(v.single());
    case VarType::kDouble:
      return DoubleToText(v.dbl());
    case VarType::kCurrency:
      return CurrencyToText(v.currency());
    case VarType::kDate:
      return DateToText(v.date().serial);
    case VarType::kBoolean:
      return v.boolean() ? CurrentNumberFormat().true_text : CurrentNumberFormat().false_text;
    case VarType::kError:
      return "Error " + std::to_string(v.error_code());
    default:
      Mismatch();
  }
}

double ToDouble(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
      return 0;
    case VarType::kNull:
      InvalidNull();
    case VarType::kInteger:
      return v.integer();
    case VarType::kLong:
      return v.long_value();
    case VarType::kByte:
      return v.byte();
    case VarType::kSingle:
      return v.single();
    case VarType::kDouble:
      return v.dbl();
    case VarType::kCurrency:
      return static_cast<double>(v.currency().scaled) / 10000.0;
    case VarType::kDate:
      return v.date().serial;
    case VarType::kBoolean:
      return v.boolean() ? -1 : 0;
    case VarType::kString: {
      double d;
      if (ParseLocaleNumber(v.str(), &d)) return d;
      const NumberFormat& f = CurrentNumberFormat();
      std::string t = Trim(v.str());
      if (t == "True" || t == f.true_text) return -1;
      if (t == "False" || t == f.false_text) return 0;
      Mismatch();
    }
    default:
      Mismatch();
  }
}

float ToSingle(const Variant& v) {
  double d = ToDouble(v);
  if (std::isnan(d)) return std::numeric_limits<float>::quiet_NaN();
  if (std::fabs(d) > std::numeric_limits<float>::max()) Overflow();
  return static_cast<float>(d);
}

int32_t RoundToLong(double d) {
  if (std::isnan(d)) Overflow();
  double r = std::nearbyint(d);
  if (r < -2147483648.0 || r > 2147483647.0) Overflow();
  return static_cast<int32_t>(r);
}

int16_t RoundToInteger(double d) {
  if (std::isnan(d)) Overflow();
  double r = std::nearbyint(d);
  if (r < -32768.0 || r > 32767.0) Overflow();
  return static_cast<int16_t>(r);
}

uint8_t RoundToByte(double d) {
  if (std::isnan(d)) Overflow();
  double r = std::nearbyint(d);
  if (r < 0.0 || r > 255.0) Overflow();
  return static_cast<uint8_t>(r);
}

int32_t ToLong(const Variant& v) {
  switch (v.type()) {
    case VarType::kInteger:
      return v.integer();
    case VarType::kLong:
      return v.long_value();
    case VarType::kByte:
      return v.byte();
    case VarType::kBoolean:
      return v.boolean() ? -1 : 0;
    default:
      return RoundToLong(ToDouble(v));
  }
}

int16_t ToInteger(const Variant& v) {
  if (v.type() == VarType::kInteger) return v.integer();
  return RoundToInteger(ToDouble(v));
}

uint8_t ToByte(const Variant& v) {
  if (v.type() == VarType::kByte) return v.byte();
  return RoundToByte(ToDouble(v));
}

bool ToBool(const Variant& v) {
  switch (v.type()) {
    case VarType::kBoolean:
      return v.boolean();
    case VarType::kString: {
      const NumberFormat& f = CurrentNumberFormat();
      std::string t = Trim(v.str());
      std::string lower;
      for (char c : t) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      if (lower == "true" || t == f.true_text) return true;
      if (lower == "false" || t == f.false_text) return false;
      double d;
      if (ParseLocaleNumber(t, &d)) return d != 0;
      Mismatch();
    }
    default:
      return ToDouble(v) != 0;
  }
}

Currency ToCurrency(const Variant& v) {
  if (v.type() == VarType::kCurrency) return v.currency();
  double d = ToDouble(v);
  if (std::isnan(d)) Overflow();
  double scaled = std::nearbyint(d * 10000.0);
  if (scaled < -9.223372036854775e18 || scaled > 9.223372036854775e18) Overflow();
  return Currency{static_cast<int64_t>(scaled)};
}

std::string FormatShortDate(std::string_view text) {
  double serial;
  if (!ParseDateText(text, &serial)) return std::string(text);
  int y, m, d;
  CivilFromDays(static_cast<int64_t>(std::floor(serial)), &y, &m, &d);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d, m, y % 100);
  return buf;
}

Date ToDate(const Variant& v) {
  switch (v.type()) {
    case VarType::kDate:
      return v.date();
    case VarType::kString: {
      double serial;
      if (ParseDateText(v.str(), &serial)) return Date{serial};
      double d;
      if (ParseLocaleNumber(v.str(), &d)) return Date{d};
      Mismatch();
    }
    default:
      return Date{ToDouble(v)};
  }
}

Variant ConvertTo(const Variant& v, VarType t) {
  switch (t) {
    case VarType::kVariant:
      return v;
    case VarType::kString:
      return Variant::FromString(ToStr(v));
    case VarType::kDouble:
      return Variant::FromDouble(ToDouble(v));
    case VarType::kSingle:
      return Variant::FromSingle(ToSingle(v));
    case VarType::kLong:
      return Variant::FromLong(ToLong(v));
    case VarType::kInteger:
      return Variant::FromInteger(ToInteger(v));
    case VarType::kByte:
      return Variant::FromByte(ToByte(v));
    case VarType::kBoolean:
      return Variant::FromBool(ToBool(v));
    case VarType::kCurrency:
      return Variant::FromCurrency(ToCurrency(v));
    case VarType::kDate:
      return Variant::FromDate(ToDate(v));
    case VarType::kObject:
      if (v.IsObject()) return v;
      if (v.IsEmpty()) return Variant::FromObject(nullptr);
      Mismatch();
    case VarType::kArray:
      if (v.IsArray()) return v;
      Mismatch();
    case VarType::kEmpty:
      return Variant();
    case VarType::kNull:
      return Variant::Null();
    case VarType::kError:
      if (v.type() == VarType::kError) return v;
      Mismatch();
  }
  Mismatch();
}

double Val(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text)
    if (!IsBlank(c)) s += c;
  size_t i = 0;
  if (i + 1 < s.size() && s[i] == '&') {
    char p = s[i + 1];
    int base = (p == 'H' || p == 'h') ? 16 : (p == 'O' || p == 'o') ? 8 : 0;
    if (base == 0) return 0;
    i += 2;
    uint64_t v = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
      char c = s[i];
      int digit = -1;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      if (digit < 0 || digit >= base) break;
      v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
      any = true;
      if (v > 0xFFFFFFFFull) break;
    }
    if (!any) return 0;
    return v <= 0xFFFF ? static_cast<double>(static_cast<int16_t>(v))
                       : static_cast<double>(static_cast<int32_t>(v & 0xFFFFFFFFull));
  }
  std::string num;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) num += s[i++];
  bool digits = false, point = false;
  while (i < s.size()) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      num += c;
      digits = true;
    } else if (c == '.' && !point) {
      num += c;
      point = true;
    } else {
      break;
    }
    ++i;
  }
  if (!digits) return 0;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    std::string exp = "E";
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
    bool exp_digits = false;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
      exp += s[j++];
      exp_digits = true;
    }
    if (exp_digits) num += exp;
  }
  double v = std::strtod(num.c_str(), nullptr);
  if (std::isinf(v)) Overflow();
  return v;
}

std::string FormatNumber(double value, std::string_view pattern) {
  size_t point = pattern.find('.');
  std::string_view int_part = pattern.substr(0, point);
  std::string_view dec_part =
      point == std::string_view::npos ? std::string_view() : pattern.substr(point + 1);
  for (char c : int_part)
    if (c != '0') throw std::logic_error("FormatNumber: unsupported pattern");
  for (char c : dec_part)
    if (c != '0') throw std::logic_error("FormatNumber: unsupported pattern");
  size_t decimals = dec_part.size();
  double scale = std::pow(10.0, static_cast<double>(decimals));
  double a = std::fabs(value);
  // Halves away from zero, on the decimal text of the value so that 2.675
  // (stored just below) does not fall the wrong way.
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.15g", a * scale);
  double scaled = std::floor(std::strtod(buf, nullptr) + 0.5);
  std::snprintf(buf, sizeof buf, "%.0f", scaled);
  std::string digits = buf;
  if (digits.size() < decimals + 1) digits.insert(0, decimals + 1 - digits.size(), '0');
  std::string ip = digits.substr(0, digits.size() - decimals);
  std::string dp = digits.substr(digits.size() - decimals);
  if (ip.size() < int_part.size()) ip.insert(0, int_part.size() - ip.size(), '0');
  if (int_part.empty() && ip == "0") ip.clear();
  std::string out = (value < 0 && scaled != 0) ? "-" : "";
  out += ip;
  if (decimals > 0) out += CurrentNumberFormat().decimal + dp;
  return out;
}

}  // namespace qrole
