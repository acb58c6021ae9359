// Members of the cancellations family: entries, journal lines by record
// number and by reference.

#include "automation/convert.h"
#include "maintenance/cancellation.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

void RegisterCancellationMembers(MemberTable& t) {
  t.Add("AnularAsiento", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromInteger(maintenance::AnularAsiento(e, a.Str(0), a.Str(1)));
  });
  t.Add("AnularApuntePorRegistro", Kind::kMethod, [](Enlace& e, Args& a) {
    const bool analitica = a.Missing(1) || a.Bool(1);
    return Variant::FromBool(maintenance::AnularApuntePorRegistro(e, a.Lng(0), analitica));
  });
  t.Add("AnularApuntePorReferencia", Kind::kMethod, [](Enlace& e, Args& a) {
    const bool iva = a.Missing(1) || a.Bool(1);
    const bool analitica = a.Missing(2) || a.Bool(2);
    return Variant::FromBool(maintenance::AnularApuntePorReferencia(e, a.Str(0), iva, analitica));
  });
}

}  // namespace qrole::server
