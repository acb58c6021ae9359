// What is pending of an invoice (TotalPendiente) and whether an account is
// under the cash-basis scheme (EsCriterioCaja).

#include <optional>

#include "automation/convert.h"
#include "cashvat/cash_basis.h"
#include "cashvat/cash_basis_internal.h"
#include "data/table_component.h"
#include "qrole/error.h"
#include "server/company_params.h"
#include "server/enlace.h"
#include "util/amounts.h"

namespace qrole::cashvat {

namespace {

// The cash-basis flag of the chart and of the master data.
constexpr int kCampoCriterioCaja = 26;

// The field of the first record of `tabla` for `cuenta`, as a number (0 when
// the account has no record).
double FlagDeCuenta(const server::EnlaceState& s, const char* tabla, const std::string& cuenta) {
  data::TableComponent t;
  t.OpenCompanyTable(tabla, s.company_directory, s.company_number);
  t.SetFilter("CUENTA =" + cuenta);
  t.MoveFirst();
  const double flag = t.IsEof() ? 0 : Val(ToStr(t.GetField(kCampoCriterioCaja)));
  t.Close();
  return flag;
}

}  // namespace

double TotalPendiente(server::Enlace& e, const std::string& cuenta, const std::string& factura,
                      const std::string& fecha_factura) {
  e.ComprobarEmpresaAbierta();
  const std::string filtro =
      FiltroFactura(cuenta, factura) + " and FECHA FACTURA  =" + fecha_factura;
  double facturado = 0;
  double cobrado = 0;
  bool encontrada = false;
  auto sumar = [&](const std::string& path) {
    data::TableComponent libro;
    libro.OpenTable(path);
    libro.SetFilter(filtro);
    for (; !libro.IsEof(); libro.MoveNext()) {
      encontrada = true;
      const double liquido = ToDouble(libro.GetField(kLiquido));
      (TieneFechaCobro(libro) ? cobrado : facturado) += liquido;
    }
    libro.Close();
  };
  sumar(LibroIva(e));
  if (const std::optional<EmpresaAnterior> anterior = BuscarEmpresaAnterior(e))
    sumar(anterior->libro);
  if (!encontrada) {
    RaisePlainError(50021,
                    "No existe la factura " + factura + " para el cliente/proveedor " + cuenta);
  }
  return util::Redondear(facturado - cobrado);
}

bool EsCriterioCaja(server::Enlace& e, const std::string& cuenta) {
  e.ComprobarEmpresaAbierta();
  if (Val(server::GetTotal(e, "CriteriodeCaja")) == 1) return true;
  const server::EnlaceState& s = e.state();
  if (FlagDeCuenta(s, "PLANC", cuenta) != 0) return true;
  if (FlagDeCuenta(s, "DATOS", cuenta) == 0) return false;

  // Flagged in its master data only: the chart takes the flag over (when the
  // account is in the chart at all).
  data::TableComponent plan;
  plan.OpenCompanyTable("PLANC", s.company_directory, s.company_number);
  plan.SetFilter("CUENTA =" + cuenta);
  plan.MoveFirst();
  if (!plan.IsEof()) {
    plan.Edit();
    plan.SetField(kCampoCriterioCaja, 0, Variant::FromString("1"));
    plan.Update();
  }
  plan.Close();
  return true;
}

}  // namespace qrole::cashvat
