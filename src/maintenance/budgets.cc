#include "maintenance/budgets.h"

#include <exception>

#include "automation/convert.h"
#include "data/table_component.h"
#include "ledger/code_field.h"
#include "ledger/web_fields.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "web/web_link.h"

namespace qrole::maintenance {
namespace {

constexpr const char* kBudgetTable = "PRESU";
constexpr int kMonths = 12;

// Opens the open company's budget table positioned on `cuenta` (no record
// current when it has no budget).
void OpenOnAccount(server::Enlace& e, data::TableComponent& t, const std::string& cuenta) {
  t.OpenCompanyTable(kBudgetTable, e.state().company_directory, e.state().company_number);
  t.SetIndex(1);
  t.Seek(cuenta);
}

bool Storable(const std::string& cuenta) {
  return !Trim(cuenta).empty() && ledger::FitsCodeField(kBudgetTable, cuenta);
}

}  // namespace

bool CrearPresupuesto(server::Enlace& e, const std::string& cuenta, const std::string& titulo,
                      const std::string& nivel, const std::string& analitica) {
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    ledger::CheckWebAnswer(web::ActualizarWeb(
        e.web_session(), ledger::CamposPresupuestoWeb(cuenta, titulo, nivel, analitica),
        kBudgetTable));
    return true;
  }
  if (!Storable(cuenta)) return false;
  // A failing step ends the change before anything is written: the record
  // is written whole by Update, or not at all.
  try {
    data::TableComponent t;
    OpenOnAccount(e, t, cuenta);
    if (t.RecordNumber() < 1) {
      t.AddNew();
      t.SetField(1, 0, Variant::FromString(cuenta));
    } else {
      t.Edit();
    }
    t.SetField(2, 0, Variant::FromString(titulo));
    for (int month = 0; month < kMonths; ++month) t.SetField(3, month, Variant::FromString("0"));
    t.SetField(4, 0, Variant::FromString(nivel));
    t.SetField(5, 0, Variant::FromString(analitica));
    t.Update();
    t.Close();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool ModificarPresupuesto(server::Enlace& e, const std::string& cuenta, int32_t mes,
                          double importe) {
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    // The service is sent the month whatever it is, and judges it.
    ledger::CheckWebAnswer(web::ActualizarWeb(
        e.web_session(), ledger::CamposImportePresupuestoWeb(cuenta, mes, importe), kBudgetTable));
    return true;
  }
  if (mes < 1 || mes > kMonths || !Storable(cuenta)) return false;
  try {
    data::TableComponent t;
    OpenOnAccount(e, t, cuenta);
    if (t.RecordNumber() < 1) return false;
    t.Edit();
    t.SetField(3, mes - 1, Variant::FromDouble(importe));
    t.Update();
    t.Close();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace qrole::maintenance
