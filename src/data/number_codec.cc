#include "data/number_codec.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "data/definition_file.h"

namespace qrole::data {

namespace {

static_assert(std::endian::native == std::endian::little ||
              std::endian::native == std::endian::big);

template <class T>
T LoadLittle(const char* bytes) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, bytes, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(b[i], b[sizeof(T) - 1 - i]);
  }
  T v;
  std::memcpy(&v, b, sizeof(T));
  return v;
}

template <class T>
void StoreLittle(T v, char* bytes) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, &v, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(b[i], b[sizeof(T) - 1 - i]);
  }
  std::memcpy(bytes, b, sizeof(T));
}

bool IsParseBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string NumberText(double value, int significant_digits) {
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", significant_digits, value);
  std::string text = buf;
  // "%G" keeps trailing zeros only with "#"; it never writes a leading blank.
  if (text.rfind("0.", 0) == 0) {
    text.erase(0, 1);
  } else if (text.rfind("-0.", 0) == 0) {
    text.erase(1, 1);
  }
  return text;
}

std::string DoubleText(double value) { return NumberText(value, 15); }
std::string SingleText(float value) { return NumberText(static_cast<double>(value), 7); }

double ParsePlainDecimal(std::string_view text) {
  // Collect the accepted characters without blanks, then convert exactly.
  char buf[400];
  size_t n = 0;
  size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && IsParseBlank(text[i])) ++i;
  };
  auto put = [&](char c) {
    if (n + 1 < sizeof buf) buf[n++] = c;
  };
  skip();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') put('-');
    ++i;
  }
  bool digits = false;
  bool point = false;
  for (;; ++i) {
    skip();
    if (i >= text.size()) break;
    const char c = text[i];
    if (IsDigit(c)) {
      put(c);
      digits = true;
    } else if (c == '.' && !point) {
      put('.');
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  // Exponent: taken only when digits follow it.
  skip();
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    size_t j = i + 1;
    while (j < text.size() && IsParseBlank(text[j])) ++j;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      exponent += text[j];
      ++j;
    }
    bool exp_digits = false;
    for (; j < text.size(); ++j) {
      if (IsParseBlank(text[j])) continue;
      if (!IsDigit(text[j])) break;
      if (exponent.size() < 8) exponent += text[j];
      exp_digits = true;
    }
    if (exp_digits) {
      for (char c : exponent) put(c);
    }
  }
  double value = 0;
  const auto [ptr, ec] = std::from_chars(buf, buf + n, value);
  if (ec == std::errc::result_out_of_range) {
    // Overflow or underflow: from_chars leaves the value alone.
    const bool negative = buf[0] == '-';
    const char* e = static_cast<const char*>(std::memchr(buf, 'e', n));
    const bool tiny = e != nullptr && e + 1 < buf + n && e[1] == '-';
    if (tiny) return negative ? -0.0 : 0.0;
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  (void)ptr;
  return value;
}

void DecodeElement(int type, std::string_view bytes, std::string* out) {
  if (IsInteger16Type(type)) {
    *out = std::to_string(LoadLittle<int16_t>(bytes.data()));
  } else if (IsInteger32Type(type)) {
    *out = std::to_string(LoadLittle<int32_t>(bytes.data()));
  } else if (IsSingleType(type)) {
    *out = SingleText(LoadLittle<float>(bytes.data()));
  } else if (IsDoubleType(type)) {
    *out = DoubleText(LoadLittle<double>(bytes.data()));
  } else {
    out->assign(bytes.data(), bytes.size());
  }
}

namespace {

// True when the shortest text that reads back as `v` (a finite, normal
// double) has at most 15 significant digits. Then the 15-digit text of `v`
// is that text (a double's spacing is below half a 15-digit step), so it
// reads back as `v` itself.
bool FitsFifteenDigits(double v) {
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  if (ec != std::errc()) return false;
  int digits = 0;
  for (const char* p = buf; p != end && *p != 'e'; ++p) digits += IsDigit(*p) ? 1 : 0;
  return digits <= 15;
}

}  // namespace

double ElementNumber(int type, std::string_view bytes) {
  if (IsDoubleType(type)) {
    const double v = LoadLittle<double>(bytes.data());
    if (v == 0) return 0;  // "0", also for -0
    const double magnitude = std::fabs(v);
    // Far from the ends of the range, where the text and its parse are plain.
    if (magnitude > 1e-290 && magnitude < 1e290 && FitsFifteenDigits(v)) return v;
  } else if (IsInteger16Type(type)) {
    return LoadLittle<int16_t>(bytes.data());
  } else if (IsInteger32Type(type)) {
    return LoadLittle<int32_t>(bytes.data());
  } else if (!IsNumericType(type)) {
    return ParsePlainDecimal(bytes);
  }
  std::string text;
  DecodeElement(type, bytes, &text);
  return ParsePlainDecimal(text);
}

platform::Status EncodeElement(int type, int width, std::string_view text, char* out) {
  if (IsNumericType(type)) {
    const double v = ParsePlainDecimal(text);
    if (std::isnan(v)) return platform::Status::InvalidArgument("not a number");
    if (IsInteger16Type(type) || IsInteger32Type(type)) {
      const double r = std::nearbyint(v);  // the default rounding: halves to even
      const double lo = IsInteger16Type(type) ? -32768.0 : -2147483648.0;
      const double hi = IsInteger16Type(type) ? 32767.0 : 2147483647.0;
      if (!(r >= lo && r <= hi)) {
        return platform::Status::InvalidArgument("integer out of range: " + std::string(text));
      }
      if (IsInteger16Type(type)) {
        StoreLittle(static_cast<int16_t>(r), out);
      } else {
        StoreLittle(static_cast<int32_t>(r), out);
      }
    } else if (IsSingleType(type)) {
      if (std::isinf(v) || std::fabs(v) > std::numeric_limits<float>::max()) {
        return platform::Status::InvalidArgument("single out of range: " + std::string(text));
      }
      StoreLittle(static_cast<float>(v), out);
    } else {
      if (std::isinf(v)) {
        return platform::Status::InvalidArgument("double out of range: " + std::string(text));
      }
      StoreLittle(v, out);
    }
    return platform::Status::Ok();
  }
  const size_t w = static_cast<size_t>(std::max(width, 0));
  const size_t n = std::min(w, text.size());
  std::memcpy(out, text.data(), n);
  std::memset(out + n, ' ', w - n);
  return platform::Status::Ok();
}

double LoadDouble(const char* bytes) { return LoadLittle<double>(bytes); }
void StoreDouble(double value, char* bytes) { StoreLittle(value, bytes); }

}  // namespace qrole::data
