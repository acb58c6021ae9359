// Currency conversion of amounts: an amount in the object's currency to the
// company's base currency and to its second currency, with the process-wide
// exchange rate and the open company's currency table.
#ifndef QROLE_SERVER_CURRENCY_H_
#define QROLE_SERVER_CURRENCY_H_

#include "data/currency_table.h"

namespace qrole::server {

class Enlace;

// The currency slots; right after opening a company, before any operation
// has opened its tables, the open company's table is loaded here.
const data::CurrencyTable& CurrencySlots(Enlace& e);

// An amount in the base currency (`pesetas`) and in the second currency
// (`euros`, 0 when the table has no rate), as CalcularMoneda gives them.
struct ConvertedAmount {
  double euros = 0;
  double pesetas = 0;
};
// CalcularMoneda without its warning: for checking amounts before posting.
ConvertedAmount ConvertirImporte(Enlace& e, double importe);

// CalcularMoneda: `*pesetas` = the amount in the base currency (the amount
// times the exchange rate when one is set), rounded to the decimals of slot
// 0; `*euros` = the same in the second currency, rounded to the decimals of
// slot 1, or the amount itself when the exchange rate is the table's. With
// no rate in the table a warning box is shown and `*euros` is left alone.
void CalcularMoneda(Enlace& e, double importe, double* euros, double* pesetas);

}  // namespace qrole::server

#endif  // QROLE_SERVER_CURRENCY_H_
