#include "server/currency.h"

#include "platform/env.h"
#include "server/company_header.h"
#include "server/enlace.h"
#include "server/process_state.h"
#include "util/amounts.h"

namespace qrole::server {

const data::CurrencyTable& CurrencySlots(Enlace& e) {
  data::CurrencyTable& table = data::Currencies();
  if (!table.loaded && e.company_open() && !e.state().web_mode) {
    data::LoadCurrencyTable(e.CurrencyBase(), e.state().company_directory, e.state().company_number)
        .IgnoreError();
  }
  return table;
}

ConvertedAmount ConvertirImporte(Enlace& e, double importe) {
  const data::CurrencyTable& table = CurrencySlots(e);
  const double cambio = Process().exchange_rate;
  const double amount = cambio != 0 ? cambio * importe : importe;
  ConvertedAmount c;
  c.pesetas = util::Redondear(amount, table.slots[0].decimals);
  const double r = table.rate;
  if (r != 0)
    c.euros = r != cambio ? util::Redondear(c.pesetas / r, table.slots[1].decimals) : importe;
  return c;
}

void CalcularMoneda(Enlace& e, double importe, double* euros, double* pesetas) {
  const ConvertedAmount c = ConvertirImporte(e, importe);
  *pesetas = c.pesetas;
  if (data::Currencies().rate == 0) {
    platform::CurrentEnv()->Messages().Show("No está definida el cambio de moneda", "",
                                            platform::MsgIcon::Warning, platform::MsgButtons::Ok);
  } else {
    *euros = c.euros;
  }
}

}  // namespace qrole::server
