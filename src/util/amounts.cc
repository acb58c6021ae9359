#include "util/amounts.h"

#include <cmath>
#include <string>

#include "automation/convert.h"

namespace qrole::util {

double Redondear(double amount, std::optional<int> decimals) {
  const int d = decimals ? *decimals : CurrentNumberFormat().currency_digits;
  const double scale = std::pow(10.0, d);
  if (amount >= 0) return std::floor(amount * scale + 0.5) / scale;
  return -(std::floor(-amount * scale + 0.5) / scale);
}

double ValorNumerico(std::string_view text) {
  const std::string t = Trim(text);
  if (t.find('E') != std::string::npos) return 0;
  if (t == "-1,#QNAN" || t == "-1.#QNAN" || t == "-1.#IND" || t == "-1,#IND") return 0;
  double v;
  if (!ParseLocaleNumber(t, &v)) return 0;
  return v;
}

}  // namespace qrole::util
