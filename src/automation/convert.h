// The automation runtime's conversions, as the interface uses them.
//
// Text to number follows the locale's separators (a Spanish desktop by
// default: "," decimal, "." thousands); conversions to the integral types
// round halves to even and raise 6 "Overflow" outside the type's range; a
// value that cannot be converted raises 13 "Type mismatch"; Null where a value
// is needed raises 94 "Invalid use of Null".

#ifndef QROLE_AUTOMATION_CONVERT_H_
#define QROLE_AUTOMATION_CONVERT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "qrole/variant.h"

namespace qrole {

// The number conventions of the user's locale.
struct NumberFormat {
  std::string decimal = ",";
  std::string thousand = ".";
  int currency_digits = 2;
  std::string true_text = "Verdadero";
  std::string false_text = "Falso";
};

// Process-wide conventions in force; set once at server start-up.
const NumberFormat& CurrentNumberFormat();
void SetCurrentNumberFormat(const NumberFormat& format);

// Conversions of any value to one type (CStr, CDbl, CSng, CLng, CInt, CByte,
// CBool, CCur, CDate). Each raises the runtime's error when it cannot.
std::string ToStr(const Variant& v);
double ToDouble(const Variant& v);
float ToSingle(const Variant& v);
int32_t ToLong(const Variant& v);
int16_t ToInteger(const Variant& v);
uint8_t ToByte(const Variant& v);
bool ToBool(const Variant& v);
Currency ToCurrency(const Variant& v);
Date ToDate(const Variant& v);

// Converts `v` to the declared type `t` (kVariant returns `v` unchanged;
// kObject accepts an object or Nothing; kArray accepts an array).
Variant ConvertTo(const Variant& v, VarType t);

// Rounding of a Double to the integral types: halves to even, 6 "Overflow"
// outside the range (and for NaN).
int32_t RoundToLong(double d);
int16_t RoundToInteger(double d);
uint8_t RoundToByte(double d);

// Locale-aware text to number. Accepts blanks around, a sign, thousands
// separators in the integer part, one decimal separator, an exponent (E or D)
// and the "&H"/"&O" prefixes. Returns false when the whole text is not a number.
bool ParseLocaleNumber(std::string_view text, double* out, const NumberFormat& fmt);
bool ParseLocaleNumber(std::string_view text, double* out);

// Number to text as the runtime writes it: up to 15 significant digits for a
// Double (7 for a Single), the locale's decimal separator, exponent form
// ("1E+16", "1,5E-07") for very large or small values.
std::string DoubleToText(double d);
std::string SingleToText(float f);
std::string CurrencyToText(Currency c);

// The leading-number rule (Val): blanks (space, tab, line feed) are skipped
// wherever they stand, then the longest prefix that reads as a number with "."
// as the decimal point is taken ("&H"/"&O" prefixes for hexadecimal and
// octal); 0 when there is none.
double Val(std::string_view text);

// Format(number, pattern) for the digit patterns the interface uses: a run of
// "0" for the integer part (minimum digits), optionally "." and a run of "0"
// for the decimals. Rounds halves away from zero; negative values get "-".
std::string FormatNumber(double value, std::string_view pattern);

// Format(text, "dd/MM/yy"): the date a text names (d/m/y with "/" or "-",
// two- or four-digit year, optional time) as dd/MM/yy; a text that names no
// date comes back unchanged, as the runtime's Format leaves it.
std::string FormatShortDate(std::string_view text);

// Trim of blanks (spaces only, as the runtime's Trim).
std::string Trim(std::string_view s);
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);

}  // namespace qrole

#endif  // QROLE_AUTOMATION_CONVERT_H_
