// Text conversions between Windows-1252 and UTF-8, and case folding.
//
// Every string inside the server is UTF-8. Data files written by the desktop
// programs, and some clients, use Windows-1252; these functions convert at the
// edges. All 256 byte values of Windows-1252 have a mapping: the five bytes that
// the code page leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) map to the control
// characters U+0081 ... U+009D, as Windows does, so any byte string survives a
// round trip through UTF-8.
//
// Case folding covers ASCII, Latin-1 and the letters of Windows-1252 outside
// Latin-1 (Š Œ Ž Ÿ), which is enough for the names the server compares (table,
// file, company and user names). Other characters are left as they are.

#ifndef QROLE_PLATFORM_TEXT_ENCODING_H_
#define QROLE_PLATFORM_TEXT_ENCODING_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace qrole::platform {

// Converts Windows-1252 bytes to UTF-8. Never fails.
std::string Cp1252ToUtf8(std::string_view cp1252);

// Converts UTF-8 to Windows-1252. A character without a Windows-1252 byte, and
// every byte that is not part of valid UTF-8 (bad lead byte, truncated or
// overlong sequence, surrogate, beyond U+10FFFF), becomes "?" and sets *lossy
// to true when `lossy` is given; *lossy is set to false otherwise.
std::string Utf8ToCp1252(std::string_view utf8, bool* lossy = nullptr);

// Windows-1252 byte for a code point, or -1 when it has none.
int CodePointToCp1252(char32_t code_point);
// Code point of a Windows-1252 byte.
char32_t Cp1252ToCodePoint(unsigned char byte);

// Lower-case form of one code point (ASCII, Latin-1 and Š Œ Ž Ÿ); others as is.
char32_t FoldCodePoint(char32_t code_point);
// Upper-case form of one code point (ASCII, Latin-1 and š œ ž ÿ); ß and µ, which
// have no single upper-case letter in Windows-1252, stay as they are.
char32_t UpperCodePoint(char32_t code_point);

// `utf8` with every letter lower-cased by FoldCodePoint. Bytes that are not
// valid UTF-8 are copied unchanged. Used to compare names ignoring case.
std::string FoldCase(std::string_view utf8);
// `utf8` with every letter upper-cased by UpperCodePoint; invalid bytes unchanged.
std::string ToUpperCase(std::string_view utf8);
// Another name of ToUpperCase: upper-cases UTF-8 text as far as Windows-1252
// letters go.
inline std::string Utf8ToUpperCp1252(std::string_view utf8) { return ToUpperCase(utf8); }

// True when a and b are equal once both are folded by FoldCase.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// <0, 0 or >0 as FoldCase(a) sorts before, equal to or after FoldCase(b),
// comparing code points.
int CompareIgnoreCase(std::string_view a, std::string_view b);

// Decodes the UTF-8 character at `*pos` and advances `*pos` past it. Returns
// false, and advances by one byte, when the bytes there are not valid UTF-8
// (then *code_point is the byte's value). `*pos` must be < utf8.size().
bool DecodeUtf8(std::string_view utf8, size_t* pos, char32_t* code_point);
// Appends the UTF-8 form of `code_point` (which must be <= U+10FFFF).
void AppendUtf8(char32_t code_point, std::string* out);

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_TEXT_ENCODING_H_
