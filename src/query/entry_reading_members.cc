// Members of the entry reading family.

#include "query/entry_reading.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

void RegisterEntryReadMembers(MemberTable& t) {
  t.Add("LeerAsiento", Kind::kMethod, [](Enlace& e, Args& a) {
    query::LeerAsiento(e, a.Str(0), a.Str(1));
    return Variant();
  });
  t.Add("LeerPrimerAsiento", Kind::kMethod, [](Enlace& e, Args&) {
    query::LeerPrimerAsiento(e);
    return Variant();
  });
  t.Add("LeerUltimoAsiento", Kind::kMethod, [](Enlace& e, Args&) {
    query::LeerUltimoAsiento(e);
    return Variant();
  });
  t.Add("LeerProximoAsiento", Kind::kMethod, [](Enlace& e, Args&) {
    query::LeerProximoAsiento(e);
    return Variant();
  });
  t.Add("LeerAnteriorAsiento", Kind::kMethod, [](Enlace& e, Args&) {
    query::LeerAnteriorAsiento(e);
    return Variant();
  });
  t.Add("LeerReferencia", Kind::kMethod,
        [](Enlace& e, Args&) -> Variant { query::LeerReferencia(e); });
}

}  // namespace qrole::server
