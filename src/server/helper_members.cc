// Helper members: text tables and currency conversion.

#include "data/currency_table.h"
#include "platform/env.h"
#include "server/company_header.h"
#include "server/enlace.h"
#include "server/member_table.h"
#include "server/process_state.h"
#include "util/amounts.h"
#include "util/text_table.h"

namespace qrole::server {

namespace {

// The currency slots; a client may convert right after opening a company,
// before any operation has opened its tables, so the open company's table
// is loaded here when it is not loaded yet.
const data::CurrencyTable& CurrencySlots(Enlace& e) {
  data::CurrencyTable& table = data::Currencies();
  if (!table.loaded && e.company_open() && !e.state().web_mode) {
    HeaderField base = CampoCabecera("ARCHIVOMONEDABASE");
    int value = static_cast<unsigned char>(
        e.state().company_header[static_cast<size_t>(base.position - 1)]);
    data::LoadCurrencyTable(value, e.state().company_directory, e.state().company_number)
        .IgnoreError();
  }
  return table;
}

}  // namespace

void RegisterHelperMembers(MemberTable& t) {
  t.Add("Util_TextoToArray", typelib::Kind::kMethod, [](Enlace&, Args& a) {
    return Variant::FromArray(util::TextoATabla(a.Str(0), 0, 0, "\t"));
  });

  t.Add("CalcularMoneda", typelib::Kind::kMethod, [](Enlace& e, Args& a) {
    const data::CurrencyTable& table = CurrencySlots(e);
    const double importe = a.Dbl(0);
    const double cambio = Process().exchange_rate;
    const double amount = cambio != 0 ? cambio * importe : importe;
    const double pesetas = util::Redondear(amount, table.slots[0].decimals);
    a.ref(2) = Variant::FromDouble(pesetas);
    const double r = table.rate;
    if (r == 0) {
      platform::CurrentEnv()->Messages().Show("No está definida el cambio de moneda", "",
                                              platform::MsgIcon::Warning, platform::MsgButtons::Ok);
    } else if (r != cambio) {
      a.ref(1) = Variant::FromDouble(util::Redondear(pesetas / r, table.slots[1].decimals));
    } else {
      a.ref(1) = Variant::FromDouble(importe);
    }
    return Variant();
  });
}

}  // namespace qrole::server
