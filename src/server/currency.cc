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

void CalcularMoneda(Enlace& e, double importe, double* euros, double* pesetas) {
  const data::CurrencyTable& table = CurrencySlots(e);
  const double cambio = Process().exchange_rate;
  const double amount = cambio != 0 ? cambio * importe : importe;
  *pesetas = util::Redondear(amount, table.slots[0].decimals);
  const double r = table.rate;
  if (r == 0) {
    platform::CurrentEnv()->Messages().Show("No está definida el cambio de moneda", "",
                                            platform::MsgIcon::Warning, platform::MsgButtons::Ok);
  } else if (r != cambio) {
    *euros = util::Redondear(*pesetas / r, table.slots[1].decimals);
  } else {
    *euros = importe;
  }
}

}  // namespace qrole::server
