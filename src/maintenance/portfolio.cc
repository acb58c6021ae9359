#include "maintenance/portfolio.h"

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/table_component.h"
#include "qrole/error.h"
#include "server/enlace.h"

namespace qrole::maintenance {

namespace {

// Field codes of a due date.
enum : int {
  kFechaVencimiento = 1,
  kCuenta = 2,
  kNotas = 4,
  kCartera = 5,
  kImporte = 6,
  kMarca = 7,
  kFecha = 8,
  kAsiento = 9,
};

// The portfolio table of the open company. Without a company there is no
// table to open: the file name would lack its company number.
void OpenPortfolio(server::Enlace& e, data::TableComponent& t) {
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  const server::EnlaceState& s = e.state();
  t.OpenCompanyTable("EFECT", s.company_directory, s.company_number);
}

// LeerRegistroCartera: the current due date as a CarteraClass.
std::shared_ptr<RecordObject> LeerRegistroCartera(data::TableComponent& t) {
  auto r = RecordObject::Create("CarteraClass");
  auto text = [&](int code) { return Variant::FromString(RTrim(ToStr(t.GetField(code, 0)))); };
  r->Set("cartera", text(kCartera));
  r->Set("Cuenta", text(kCuenta));
  r->Set("FechaVencimiento", text(kFechaVencimiento));
  r->Set("NOTAS", text(kNotas));
  r->Set("Importe", Variant::FromDouble(ToDouble(t.GetField(kImporte, 0))));
  r->Set("Marca", text(kMarca));
  r->Set("Fecha", text(kFecha));
  r->Set("Asiento", text(kAsiento));
  return r;
}

}  // namespace

std::string FiltroCartera(const CriteriosCartera& c) {
  std::string filter;
  auto add = [&](const std::string& value, const char* condition) {
    if (value.empty()) return;
    if (!filter.empty()) filter += " AND ";
    filter += condition + value;
  };
  add(c.cartera, "CARTERA/BANCO=");
  add(c.desde, "FECHA VENCIMIENTO => ");
  add(c.hasta, "FECHA VENCIMIENTO =< ");
  add(c.cuenta, "CUENTA=");
  add(c.asiento, "ASIENTO CONTABLE=");
  return filter;
}

int32_t MarcarCartera(server::Enlace& e, const std::string& marca, const CriteriosCartera& c) {
  const std::string filter = FiltroCartera(c);
  if (e.state().web_mode) RaiseNotImplemented("MarcarCartera (web)");
  data::TableComponent t;
  OpenPortfolio(e, t);
  t.SetFilter(filter);
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) {
    t.Edit();
    t.SetField(kMarca, 0, Variant::FromString(marca));
    t.Update();
  }
  t.Close();
  return 0;
}

int32_t AnularCartera(server::Enlace& e, const CriteriosCartera& c) {
  const std::string filter = FiltroCartera(c);
  if (e.state().web_mode) RaiseNotImplemented("AnularCartera (web)");
  data::TableComponent t;
  OpenPortfolio(e, t);
  t.SetFilter(filter);
  if (t.RecordCount() > 0) t.Delete(-1);
  t.Close();
  return 0;
}

std::shared_ptr<Collection> LeerCartera(server::Enlace& e, const CriteriosCartera& c) {
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  const std::string filter = FiltroCartera(c);
  if (e.state().web_mode) RaiseNotImplemented("LeerCartera (web)");
  auto due_dates = Collection::Create();
  data::TableComponent t;
  OpenPortfolio(e, t);
  t.SetFilter(filter);
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext())
    due_dates->Add(Variant::FromObject(LeerRegistroCartera(t)));
  t.Close();
  return due_dates;
}

}  // namespace qrole::maintenance
