// Members of the chart of accounts family.

#include "automation/convert.h"
#include "query/chart_reading.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

void RegisterChartMembers(MemberTable& t) {
  t.Add("LeerPlan", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(query::LeerPlan(e, a.Str(0), a.Str(1), a.Str(2)));
  });
  t.Add("LeerPlanEx", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(
        query::LeerPlanEx(e, a.Lng(0), a.Str(1), a.Str(2), a.Str(3), a.Str(4), a.Int(5)));
  });
  t.Add("PlanDebe", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromDouble(query::PlanImporte(e, ToDouble(a[0]), ToDouble(a[1]), true));
  });
  t.Add("PlanHaber", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromDouble(query::PlanImporte(e, ToDouble(a[0]), ToDouble(a[1]), false));
  });
}

}  // namespace qrole::server
