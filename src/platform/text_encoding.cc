#include "platform/text_encoding.h"

#include <array>

namespace qrole::platform {
namespace {

// Code points of the bytes 0x80-0x9F. The undefined bytes keep their own value.
constexpr std::array<char32_t, 32> kHighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

char32_t Cp1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighBlock[byte - 0x80];
  return byte;
}

int CodePointToCp1252(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<int>(code_point);
  }
  for (size_t i = 0; i < kHighBlock.size(); ++i) {
    if (kHighBlock[i] == code_point) return static_cast<int>(0x80 + i);
  }
  return -1;
}

bool DecodeUtf8(std::string_view utf8, size_t* pos, char32_t* code_point) {
  const size_t start = *pos;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
  const unsigned char lead = byte(start);
  *code_point = lead;
  *pos = start + 1;
  if (lead < 0x80) return true;

  size_t length;
  char32_t value;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    minimum = 0x10000;
  } else {
    return false;  // Continuation byte, overlong lead (C0, C1) or beyond F4.
  }
  if (start + length > utf8.size()) return false;
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(start + i);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return false;
  }
  *code_point = value;
  *pos = start + length;
  return true;
}

void AppendUtf8(char32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size() + cp1252.size() / 4);
  for (char c : cp1252) AppendUtf8(Cp1252ToCodePoint(static_cast<unsigned char>(c)), &out);
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8, bool* lossy) {
  std::string out;
  out.reserve(utf8.size());
  bool lost = false;
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp;
    int byte = DecodeUtf8(utf8, &pos, &cp) ? CodePointToCp1252(cp) : -1;
    if (byte < 0) {
      lost = true;
      byte = '?';
    }
    out.push_back(static_cast<char>(byte));
  }
  if (lossy != nullptr) *lossy = lost;
  return out;
}

char32_t FoldCodePoint(char32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
  if (cp < 0xC0) return cp;
  if (cp <= 0xDE) return cp == 0xD7 ? cp : cp + 0x20;  // × is not a letter.
  switch (cp) {
    case 0x0160:  // Š
    case 0x0152:  // Œ
    case 0x017D:  // Ž
      return cp + 1;
    case 0x0178:  // Ÿ
      return 0xFF;
    default:
      return cp;
  }
}

char32_t UpperCodePoint(char32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 0x20;
  if (cp < 0xE0) return cp;
  if (cp <= 0xFE) return cp == 0xF7 ? cp : cp - 0x20;  // ÷ is not a letter.
  switch (cp) {
    case 0xFF:  // ÿ
      return 0x0178;
    case 0x0161:  // š
    case 0x0153:  // œ
    case 0x017E:  // ž
      return cp - 1;
    default:
      return cp;
  }
}

namespace {

template <class Mapping>
std::string MapCase(std::string_view utf8, Mapping mapping) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const size_t start = pos;
    char32_t cp;
    if (DecodeUtf8(utf8, &pos, &cp)) {
      AppendUtf8(mapping(cp), &out);
    } else {
      out.append(utf8.substr(start, pos - start));
    }
  }
  return out;
}

// Next folded code point of `s` at `*pos`; invalid bytes give their own value
// offset past U+10FFFF so they never equal a real character.
char32_t NextFolded(std::string_view s, size_t* pos) {
  char32_t cp;
  if (!DecodeUtf8(s, pos, &cp)) return 0x110000 + cp;
  return FoldCodePoint(cp);
}

}  // namespace

std::string FoldCase(std::string_view utf8) { return MapCase(utf8, FoldCodePoint); }

std::string ToUpperCase(std::string_view utf8) { return MapCase(utf8, UpperCodePoint); }

int CompareIgnoreCase(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = NextFolded(a, &i);
    const char32_t y = NextFolded(b, &j);
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return CompareIgnoreCase(a, b) == 0;
}

}  // namespace qrole::platform
