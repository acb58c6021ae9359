// The members of Enlace, gathered from every subsystem.

#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

const MemberTable& EnlaceMembers() {
  static const MemberTable table = [] {
    MemberTable t(typelib::Library::Get().enlace());
    RegisterObjectMembers(t);
    RegisterCompanyMembers(t);
    RegisterPendingEntryMembers(t);
    RegisterHelperMembers(t);
    RegisterLookupMembers(t);
    RegisterEntryPostingMembers(t);
    RegisterVatMembers(t);
    RegisterMaintenanceMembers(t);
    RegisterChartMembers(t);
    RegisterEntryReadMembers(t);
    RegisterEntryGuidMembers(t);
    RegisterStatementMembers(t);
    RegisterPortfolioMembers(t);
    RegisterCancellationMembers(t);
    RegisterMasterDataMembers(t);
    RegisterAssetMembers(t);
    RegisterCashVatMembers(t);
    RegisterWebMembers(t);
    SetCompanyEffects(t);
    return t;
  }();
  return table;
}

void SetCompanyEffects(MemberTable& t) {
  using typelib::Kind;
  // Each runs whole or not at all. GrabarAsiento and the entry number
  // proposal (Número let) hold their own transactions: a posting with a
  // deferred warning is kept, and the warning raised after it.
  for (const char* name : {"CrearCuenta",
                           "CrearAnalitica",
                           "CrearAlterna",
                           "CrearPresupuesto",
                           "ModificarPresupuesto",
                           "AnularCuenta",
                           "CrearDatos",
                           "AnularAsiento",
                           "AnularApuntePorRegistro",
                           "AnularApuntePorReferencia",
                           "MarcarCartera",
                           "AnularCartera",
                           "CrearInmovilizado",
                           "CrearDatosGloblales",
                           "PagoFacturaCriterioCaja",
                           "CobroFacturaCriterioCaja",
                           "AñadirIvaCriterioCaja",
                           "AddVATCashBased",
                           "GrabarNuevoNumeroAsiento",
                           "PutTotal",
                           "PUT_TOTAL"})
    t.SetEffect(name, Kind::kMethod, Effect::kWrites);
  for (const char* name : {"LeerAsiento",
                           "LeerPrimerAsiento",
                           "LeerUltimoAsiento",
                           "LeerProximoAsiento",
                           "LeerAnteriorAsiento",
                           "LeerReferencia",
                           "LeerExtracto",
                           "LeerExtractoEx",
                           "LeerPlan",
                           "LeerPlanEx",
                           "PlanDebe",
                           "PlanHaber",
                           "LeerDatos",
                           "LeerCartera",
                           "LeerRetenciones",
                           "LeerInmovilizado",
                           "LeerDatosGlobales",
                           "BuscarReferencia",
                           "BuscarDescripcion",
                           "BuscarImporte",
                           "ExisteReferencia",
                           "ExisteNifDatosGlobales",
                           "Util_LeerDatos",
                           "IsNumeroAsiento",
                           "GetFechas",
                           "GetAsientos",
                           "EsCriterioCaja",
                           "GetTotal",
                           "GET_TOTAL"})
    t.SetEffect(name, Kind::kMethod, Effect::kReads);
  t.SetEffect("TotalPendiente", Kind::kGet, Effect::kReads);
  t.SetEffect("Guid", Kind::kGet, Effect::kReads);
  t.SetEffect("Guid", Kind::kLet, Effect::kWrites);
}

std::shared_ptr<Enlace> Enlace::Create() {
  InstallMemberTable(&EnlaceMembers());
  return std::make_shared<Enlace>();
}

}  // namespace qrole::server
