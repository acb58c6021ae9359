// Accounting dates: the date texts clients pass, their validation against
// the calendar and the open fiscal year, and the six-character stored form
// (yymmdd, the tens digit of years 2000 and later shifted to a letter from
// "A", so that stored dates sort across the turn of the century).

#ifndef QROLE_SERVER_DATES_H_
#define QROLE_SERVER_DATES_H_

#include <string>

namespace qrole::server {

class Enlace;

// The stored form of a client date (yymmdd, dd/mm/yy or dd/mm/yyyy) without
// the fiscal-year check. A text of another length gives the empty text.
// Raises 0x8004C353 with the format message for a date that is not valid.
std::string ConvertirFecha(const std::string& text);

// As ConvertirFecha, and the date must lie in the open fiscal year of `e`
// (raises 0x8004C353 with the fiscal-year message otherwise); a text of
// another length than 6, 8 or 10 is refused with the format message.
std::string ValidarFecha(const Enlace& e, const std::string& text);

// Two-way converter of the type-5 company parameter: a stored date (6
// characters) to dd/mm/yy, a dd/mm/yy text (8 characters) to the stored
// form; the empty text stays empty. Other lengths give the empty text.
std::string ConvertirFechaGuardada(const std::string& text);

// The two-digit calendar year of month `mes` of the open fiscal year (0: the
// fiscal year's own year; 13 and 14: regularisation and closing).
std::string Anio(const Enlace& e, int mes);

}  // namespace qrole::server

#endif  // QROLE_SERVER_DATES_H_
