#include "server/dates.h"

#include "automation/convert.h"
#include "data/date_codec.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/enlace.h"

namespace qrole::server {

namespace {

constexpr int kDateError = 50003;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// dd/mm/yy to the stored form, by the record layer's date codec.
std::string StoredFromShortDate(const std::string& ddmmyy) {
  return data::ConvertirFechaCodec(ddmmyy);
}

// Two characters as a 16-bit integer, as the runtime's standard conversion
// reads them; a text that is not a number is a runtime failure.
int16_t TwoChars(const std::string& s) { return ToInteger(Variant::FromString(s)); }

struct Parsed {
  std::string year;  // two characters
  int month = 0;
  int day = 0;
};

bool ValidCalendar(const Parsed& p) {
  for (char c : p.year)
    if (!IsDigit(c) && !(c >= 'A' && c <= 'P')) return false;
  if (p.month < 1 || p.month > 12) return false;
  int max_day = 31;
  if (p.month == 2)
    max_day = 29;
  else if (p.month == 4 || p.month == 6 || p.month == 9 || p.month == 11)
    max_day = 30;
  return p.day >= 1 && p.day <= max_day;
}

std::string TwoDigits(int n) { return FormatNumber(n, "00"); }

// Steps common to both routines: empty result for an unknown length,
// 0x8004C353 with the format message for an invalid date.
std::string Convert(const std::string& text, Parsed* parsed) {
  const std::string format_message =
      "Formato Fecha no válido: " + text + "\nFormatos aceptados son: 31/12/13 o 131231";
  try {
    Parsed p;
    switch (text.size()) {
      case 6:
        p.day = TwoChars(text.substr(4, 2));
        p.month = TwoChars(text.substr(2, 2));
        p.year = text.substr(0, 2);
        break;
      case 8:
        p.day = TwoChars(text.substr(0, 2));
        p.month = TwoChars(text.substr(3, 2));
        p.year = text.substr(6, 2);
        break;
      case 10:
        p.day = TwoChars(text.substr(0, 2));
        p.month = TwoChars(text.substr(3, 2));
        p.year = text.substr(8, 2);
        break;
      default:
        return "";
    }
    if (!ValidCalendar(p)) RaiseObjectError(kDateError, format_message);
    if (parsed) *parsed = p;
    switch (text.size()) {
      case 6: {
        std::string out = text;
        if (out[0] >= '0' && out[0] <= '7') out[0] = static_cast<char>(out[0] + 17);
        return out;
      }
      case 8:
        return StoredFromShortDate(text);
      default:
        return StoredFromShortDate(TwoDigits(p.day) + "/" + TwoDigits(p.month) + "/" + p.year);
    }
  } catch (const AutomationError& e) {
    if (e.number() == ObjectError(kDateError)) throw;
    RaiseObjectError(kDateError, format_message);
  }
}

}  // namespace

std::string ConvertirFecha(const std::string& text) { return Convert(text, nullptr); }

std::string ValidarFecha(const Enlace& e, const std::string& text) {
  // A text of no accepted length is refused rather than taken as no date:
  // storing an empty accounting date would post entries without one.
  if (text.size() != 6 && text.size() != 8 && text.size() != 10)
    RaiseObjectError(kDateError, "Formato Fecha no válido: " + text +
                                     "\nFormatos aceptados son: 31/12/13 o 131231");
  Parsed p;
  std::string stored = Convert(text, &p);
  if (stored.empty()) return "";
  if (p.year != Anio(e, p.month)) {
    const std::string& header = e.state().company_header;
    std::string message = "Año contable: " + HeaderText(header, "AÑO") + "\r\n";
    std::string apertura = HeaderText(header, "APERTURA");
    if (apertura != "01") message += "Apertura: " + apertura + "\r\n";
    message += "Fecha no válida: " + text;
    RaiseObjectError(kDateError, message);
  }
  return stored;
}

std::string ConvertirFechaGuardada(const std::string& text) {
  if (text.size() == 6) {
    if (text[0] == '\0') return "00/00/00";
    std::string yy = text.substr(0, 2);
    if (static_cast<unsigned char>(yy[0]) > 64) yy[0] = static_cast<char>(yy[0] - 17);
    return text.substr(4, 2) + "/" + text.substr(2, 2) + "/" + yy;
  }
  if (text.size() == 8) return StoredFromShortDate(text);
  return "";
}

std::string Anio(const Enlace& e, int mes) {
  const std::string& header = e.state().company_header;
  const std::string y = HeaderText(header, "AÑO");
  const double a = Val(HeaderText(header, "APERTURA"));
  auto next_year = [&] { return FormatNumber(Val(y) + 1, "00"); };
  if (mes == 13 || mes == 14) return a > 1 ? next_year() : y;
  if (mes == 0 || mes >= a) return y;
  return next_year();
}

}  // namespace qrole::server
