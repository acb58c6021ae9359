// Members of the entry identifiers and dates family.

#include "automation/convert.h"
#include "query/entry_guids.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

void RegisterEntryGuidMembers(MemberTable& t) {
  t.Add("Guid", Kind::kGet,
        [](Enlace& e, Args& a) { return Variant::FromString(query::LeerGuid(e, a.Str(0))); });
  t.Add("Guid", Kind::kLet, [](Enlace& e, Args& a) {
    query::GrabarGuid(e, a.Str(0), ToStr(a.value()));
    return Variant();
  });
  t.Add("GetAsientos", Kind::kMethod,
        [](Enlace& e, Args& a) { return Variant::FromObject(query::GetAsientos(e, a.Str(0))); });
  t.Add("GetFechas", Kind::kMethod,
        [](Enlace& e, Args& a) { return Variant::FromObject(query::GetFechas(e, a.Str(0))); });
}

}  // namespace qrole::server
