// Members of the accounts and budgets family.

#include "automation/convert.h"
#include "maintenance/accounts.h"
#include "maintenance/budgets.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

namespace {

// CrearCuenta, CrearAnalitica and CrearAlterna: the code and the level go
// back to the caller as the routine leaves them.
Variant CreateInChart(Enlace& e, Args& a, int plan, bool analitica, const std::string& nif) {
  std::string cuenta = a.Str(0);
  Variant nivel = a[2];
  const bool created = maintenance::CrearEnPlan(e, plan, &cuenta, a.Str(1), &nivel, analitica, nif);
  a.ref(0) = Variant::FromString(cuenta);
  a.ref(2) = Variant::FromString(ToStr(nivel));
  return Variant::FromBool(created);
}

}  // namespace

void RegisterMaintenanceMembers(MemberTable& t) {
  t.Add("CrearCuenta", Kind::kMethod, [](Enlace& e, Args& a) {
    return CreateInChart(e, a, maintenance::kPlanContable, a.Bool(3), a.Str(4));
  });
  t.Add("CrearAnalitica", Kind::kMethod, [](Enlace& e, Args& a) {
    return CreateInChart(e, a, maintenance::kCentrosDeCosto, false, "-1");
  });
  t.Add("CrearAlterna", Kind::kMethod, [](Enlace& e, Args& a) {
    return CreateInChart(e, a, maintenance::kPlanAlternativo, false, "-1");
  });
  t.Add("CrearPresupuesto", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(
        maintenance::CrearPresupuesto(e, a.Str(0), a.Str(1), a.Str(2), a.Str(3)));
  });
  t.Add("ModificarPresupuesto", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(maintenance::ModificarPresupuesto(e, a.Str(0), a.Lng(1), a.Dbl(2)));
  });
  t.Add("AnularCuenta", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(maintenance::AnularCuenta(e, a.Str(0)));
  });
}

}  // namespace qrole::server
