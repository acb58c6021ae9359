// Members of the master-data lookups family.

#include "query/table_utilities.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

void RegisterLookupMembers(MemberTable& t) {
  t.Add("Util_LeerTablas", typelib::Kind::kMethod,
        [](Enlace&, Args&) { return Variant::FromString(query::LeerTablas()); });
  t.Add("Util_LeerCampos", typelib::Kind::kMethod,
        [](Enlace&, Args& a) { return Variant::FromArray(query::LeerCampos(a.Str(0))); });
}

}  // namespace qrole::server
