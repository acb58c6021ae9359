// Members of the portfolio marking family: marking, deleting and reading the
// portfolio's due dates.

#include "automation/collection.h"
#include "maintenance/portfolio.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

namespace {

// The five criteria, from argument `first` on.
maintenance::CriteriosCartera Criterios(Args& a, size_t first) {
  return {a.Str(first), a.Str(first + 1), a.Str(first + 2), a.Str(first + 3), a.Str(first + 4)};
}

}  // namespace

void RegisterPortfolioMembers(MemberTable& t) {
  t.Add("MarcarCartera", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromLong(maintenance::MarcarCartera(e, a.Str(0), Criterios(a, 1)));
  });
  t.Add("AnularCartera", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromLong(maintenance::AnularCartera(e, Criterios(a, 0)));
  });
  t.Add("LeerCartera", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromObject(maintenance::LeerCartera(e, Criterios(a, 0)));
  });
}

}  // namespace qrole::server
