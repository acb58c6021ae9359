// Number codecs of the record files: the number text form, the plain decimal
// parse, and the encoding of one field element to and from its record bytes.
//
// Number text: "." as decimal separator, no leading blank, no zero before the
// point (0.5 is ".5", -0.5 is "-.5"), 7 significant digits for singles and
// 15 for doubles, the exponent form ("1E+16", "1E-05") where plain digits do
// not suffice. The plain decimal parse turns such texts (and any caller's
// decimal text) back into a number.

#ifndef QROLE_DATA_NUMBER_CODEC_H_
#define QROLE_DATA_NUMBER_CODEC_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace qrole::data {

// `value` as number text with at most `significant_digits` digits.
std::string NumberText(double value, int significant_digits);
// NumberText with 15 digits (doubles) and 7 digits (singles).
std::string DoubleText(double value);
std::string SingleText(float value);

// The plain decimal parse: blanks (space, tab, line feed, carriage return)
// are skipped wherever they stand; then an optional sign, digits, an optional
// "." and digits, and an optional exponent ("E", "e", "D" or "d", optional
// sign, digits) are taken up to the first character that does not fit. A text
// without digits (the empty text included) gives 0. Never fails.
double ParsePlainDecimal(std::string_view text);

// Text form of the element at `bytes` (ElementWidth bytes of `type`): decimal
// integer for types 1 and 4, number text for singles and doubles, the bytes
// themselves for dates and text. Appends nothing else. `bytes` must hold the
// element's width.
void DecodeElement(int type, std::string_view bytes, std::string* out);

// The value of the element at `bytes` (ElementWidth bytes of `type`) as the
// record code reads it back: ParsePlainDecimal of its text form
// (DecodeElement), so a double keeps 15 significant digits and a single 7.
// Doubles whose shortest exact form has at most 15 digits (amounts, rates)
// are taken as they are, without the text.
double ElementNumber(int type, std::string_view bytes);

// Writes the record bytes of `text` as an element of `type` and `width` into
// `out[0..width)`: integers as the text's value rounded half to even, singles
// and doubles as IEEE little-endian, dates and text left-justified, blank
// padded or cut to `width`. InvalidArgument (and `out` untouched) when the
// value does not fit the type (an integer out of range, a single overflow, a
// value that is not a number).
platform::Status EncodeElement(int type, int width, std::string_view text, char* out);

// Reads and writes an 8-byte little-endian IEEE double.
double LoadDouble(const char* bytes);
void StoreDouble(double value, char* bytes);

}  // namespace qrole::data

#endif  // QROLE_DATA_NUMBER_CODEC_H_
