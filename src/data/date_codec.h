// Date codecs of the record files.
//
// The stored date form is six characters YYMMDD whose first character carries
// the tens digit of the year: a digit for 1960 to 1999, "A" to "J" (0 to 9)
// for 2000 to 2099, and "K" on for 2100 onwards, so that stored dates sort in
// time order across the turn of the century.
//
// `ConvertirFechaCodec` converts between dd/mm/yy texts and the stored form
// (and a few other forms, by the length of its input); `ConvertirFechaLarga`
// works with four-digit years and is used for portfolio due dates. Both take
// one text and return one text; an input of a length they do not know gives
// "ERROR". Dates are ASCII; lengths are counted in bytes.

#ifndef QROLE_DATA_DATE_CODEC_H_
#define QROLE_DATA_DATE_CODEC_H_

#include <string>
#include <string_view>

namespace qrole::data {

// What the codecs need to know besides their input.
struct DateCodecContext {
  // Two-digit year in which the open fiscal year starts (header field "AÑO").
  std::string fiscal_year = "00";
  // The following two-digit year, kept at company opening.
  std::string second_year = "01";
  // Month in which the fiscal year starts (header field "APERTURA"), 1..12.
  int opening_month = 1;
  // Four-digit current calendar year (for nine-character inputs).
  int current_year = 2000;
};

// The context of the open company (DataGlobals) with the current year read
// from the environment's clock.
DateCodecContext CurrentDateContext();

// `year` + 1 as two digits, wrapping from 99 to 00.
std::string FollowingTwoDigitYear(std::string_view year);

// The date codec, by the length of `text`:
//   0  the empty text;
//   2  yy, its first character shifted by +17 codes when yy sorts below "60";
//   5  dd/mm, completed with the fiscal year's year (months from the opening
//      month on) or the second year (months before it), then as length 8;
//   6  a stored date to dd/mm/yy ("A".."J" shifted back by 17 codes; "K" on
//      shifted back by 27 with "21" before the year, giving dd/mm/21yy; a
//      first character of code 0 gives "00/00/00"; anything else kept);
//   7  d/mm/yy, as "0" + text at length 8;
//   8  dd/mm/yy to the stored form (years below "60" are 2000..2059); the
//      blank date "  /  /  " gives the empty text;
//   9  characters 4-5 + "/" + 1-2 + "/" + the current century + 7-8;
//   10 characters 4-5 + "/" + 1-2 + "/" + 9-10;
// any other length gives "ERROR".
std::string ConvertirFechaCodec(std::string_view text, const DateCodecContext& context);
std::string ConvertirFechaCodec(std::string_view text);

// The four-digit date codec, by the length of `text`:
//   6  a stored date to dd/mm/yyyy ("A".."J" give 20y0..20y9, "K".."T" give
//      21y0..21y9, digits 81..99 give 19yy and 00..80 give 20yy); a blank or
//      NUL first character (no date) gives the empty text;
//   7  d/mm/yy to yymm0d (plain digits, no letter);
//   8  dd/mm/yy to yymmdd (plain digits, no letter);
//   9  as ConvertirFechaCodec;
//   10 dd/mm/yyyy: century 19 gives yymmdd, century 20 the stored form with
//      its letter, any other century the empty text;
// any other length gives "ERROR".
std::string ConvertirFechaLarga(std::string_view text, const DateCodecContext& context);
std::string ConvertirFechaLarga(std::string_view text);

}  // namespace qrole::data

#endif  // QROLE_DATA_DATE_CODEC_H_
