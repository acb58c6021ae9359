// Members of the account statements family (the statement collection's
// accessor and counter are with the other collections).

#include "automation/convert.h"
#include "query/statements.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

void RegisterStatementMembers(MemberTable& t) {
  t.Add("LeerExtracto", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(query::LeerExtracto(e, a.Str(0), a.Str(1), a.Str(2), a.Lng(3)));
  });
  t.Add("LeerExtractoEx", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromString(query::LeerExtractoEx(e, a.Str(0), a.Str(1), a.Str(2)));
  });
}

}  // namespace qrole::server
