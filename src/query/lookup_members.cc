// Members of the master-data lookups family.

#include "qrole/error.h"
#include "query/table_utilities.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

void RegisterLookupMembers(MemberTable& t) {
  t.Add("Util_LeerTablas", typelib::Kind::kMethod,
        [](Enlace&, Args&) { return Variant::FromString(query::LeerTablas()); });
  t.Add("Util_LeerCampos", typelib::Kind::kMethod,
        [](Enlace&, Args& a) { return Variant::FromArray(query::LeerCampos(a.Str(0))); });
  t.Add("Util_LeerDatos", typelib::Kind::kMethod, [](Enlace& e, Args& a) {
    if (e.state().web_mode) RaiseNotImplemented("Util_LeerDatos (web)");
    return Variant::FromString(query::LeerDatos(e.state().company_directory,
                                                e.state().company_number, a.Str(0), a.Str(1),
                                                a.Str(2), a.Str(3)));
  });
}

}  // namespace qrole::server
