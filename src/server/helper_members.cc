// Helper members: text tables and currency conversion.

#include "server/currency.h"
#include "server/enlace.h"
#include "server/member_table.h"
#include "util/text_table.h"

namespace qrole::server {

void RegisterHelperMembers(MemberTable& t) {
  t.Add("Util_TextoToArray", typelib::Kind::kMethod, [](Enlace&, Args& a) {
    return Variant::FromArray(util::TextoATabla(a.Str(0), 0, 0, "\t"));
  });

  t.Add("CalcularMoneda", typelib::Kind::kMethod, [](Enlace& e, Args& a) {
    double euros = a.Dbl(1), pesetas = 0;  // euros stays as given without a rate
    CalcularMoneda(e, a.Dbl(0), &euros, &pesetas);
    a.ref(2) = Variant::FromDouble(pesetas);
    a.ref(1) = Variant::FromDouble(euros);
    return Variant();
  });
}

}  // namespace qrole::server
