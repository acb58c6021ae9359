// Amount rounding and tolerant number parsing.

#ifndef QROLE_UTIL_AMOUNTS_H_
#define QROLE_UTIL_AMOUNTS_H_

#include <optional>
#include <string_view>

namespace qrole::util {

// Rounds halves away from zero to `decimals` places (default: the locale's
// currency decimals read at start-up).
double Redondear(double amount, std::optional<int> decimals = std::nullopt);

// Tolerant conversion of a text amount: trimmed; a text holding an upper-case
// "E" anywhere, and the texts of a not-a-number ("-1,#QNAN", "-1.#QNAN",
// "-1.#IND", "-1,#IND"), give 0; otherwise the locale's conversion, 0 when it
// cannot convert.
double ValorNumerico(std::string_view text);

}  // namespace qrole::util

#endif  // QROLE_UTIL_AMOUNTS_H_
