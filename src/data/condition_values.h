// Values of filter conditions and of the table component's fields: dates in
// the forms callers write them, numbers written with "." or ",", and the
// numbers and dates held in record bytes.
//
// Dates are compared as calendar days: a date is carried as the number
// yyyymmdd (20131231), 0 meaning "no date" (a blank date field). Stored dates
// (six characters YYMMDD whose first character carries the tens digit of the
// year: a digit for 19x0, "A" to "J" for 2000 to 2099, "K" on for 2100
// onwards) sort in the same order as their texts, so an index over a date
// field and a comparison of dates always agree.

#ifndef QROLE_DATA_CONDITION_VALUES_H_
#define QROLE_DATA_CONDITION_VALUES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qrole::data {

// Reads a date written in any of the forms callers use, blanks around it
// ignored:
//   - the stored form ("B31231": a letter, then yymmdd);
//   - yymmdd in six digits ("131231"): years below 60 are 2000 to 2059, the
//     others 1960 to 1999 (as the date codec reads dd/mm/yy);
//   - dd/mm/yy, d/m/yy and their mixes (one or two digits for the day and the
//     month), with the same century rule;
//   - dd/mm/yyyy (any of the day and month widths above, four-digit year);
//   - dd/mm, completed with the open company's fiscal year by the date codec.
// The empty or blank text gives 0 (no date). nullopt when the text is none
// of these or names no calendar day (31/02/24).
std::optional<int32_t> ParseDateValue(std::string_view text);

// The day (yyyymmdd) of the six bytes of a stored date field: first character
// a digit d gives year 1900 + 10 d + second digit, a letter "A" + n gives
// 2000 + 10 n + second digit. Blank or NUL bytes (no date), and bytes that are
// not a stored date, give 0.
int32_t StoredDateDay(std::string_view six);

// The stored form of a day (yyyymmdd), years 1900 to 2259; nullopt outside.
std::optional<std::string> StoredDateForm(int32_t day);

// A number written by a caller: blanks around it ignored, an optional sign,
// digits with "." or "," as the decimal separator (not both), an optional
// exponent ("1E+16"). The empty or blank text gives 0. nullopt when the text
// is not a number ("12a", "1.234,5").
std::optional<double> ParseNumberValue(std::string_view text);

// The number held by the element of numeric `type` at `bytes` (2, 4 or 8
// little-endian bytes, as the type takes).
double ElementNumber(int type, const char* bytes);

// `text` without its trailing blanks.
std::string_view TrimTrailingBlanks(std::string_view text);

}  // namespace qrole::data

#endif  // QROLE_DATA_CONDITION_VALUES_H_
