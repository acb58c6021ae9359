#include "maintenance/portfolio.h"

#include <array>
#include <optional>
#include <vector>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/table_component.h"
#include "ledger/web_fields.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "web/web_link.h"

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

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    const size_t p = text.find(separator, start);
    pieces.push_back(text.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) return pieces;
    start = p + 1;
  }
}

// MapaColumnasWeb: which column of an answer's rows holds which field, from
// its header line of TAB-separated field numbers (0 to 99).
using ColumnMap = std::array<std::optional<size_t>, 100>;

ColumnMap MapaColumnasWeb(const std::string& header) {
  ColumnMap map;
  const std::vector<std::string> columns = Split(header, '\t');
  for (size_t i = 0; i < columns.size(); ++i) {
    const double field = Val(columns[i]);
    if (field >= 0 && field < static_cast<double>(map.size())) map[static_cast<size_t>(field)] = i;
  }
  return map;
}

// FilaCarteraWeb: one row of the service's answer as a CarteraClass. A
// field the header or the row lacks reads as empty; an amount that is not a
// number (empty included) as 0.
std::shared_ptr<RecordObject> FilaCarteraWeb(const std::string& row, const ColumnMap& map) {
  const std::vector<std::string> values = Split(row, '\t');
  auto col = [&](int field) {
    const auto& column = map[static_cast<size_t>(field)];
    return column && *column < values.size() ? values[*column] : std::string();
  };
  auto text = [&](int field) { return Variant::FromString(col(field)); };
  double amount = 0;
  if (!ParseLocaleNumber(col(kImporte), &amount)) amount = 0;
  auto r = RecordObject::Create("CarteraClass");
  r->Set("cartera", text(kCartera));
  r->Set("Cuenta", text(kCuenta));
  r->Set("FechaVencimiento", text(kFechaVencimiento));
  r->Set("NOTAS", text(kNotas));
  r->Set("Importe", Variant::FromDouble(amount));
  r->Set("Marca", text(kMarca));
  r->Set("Fecha", text(kFecha));
  r->Set("Asiento", text(kAsiento));
  return r;
}

// The due dates of the service's answer to a search.
std::shared_ptr<Collection> LeerCarteraWeb(server::Enlace& e, const std::string& filter) {
  std::vector<std::string> lines =
      Split(web::BuscarWebTexto(e.web_session(), filter, "EFECT"), '\n');
  for (std::string& line : lines)
    if (!line.empty() && line.back() == '\r') line.pop_back();
  auto due_dates = Collection::Create();
  const ColumnMap map = MapaColumnasWeb(lines[0]);
  for (size_t l = 1; l < lines.size(); ++l) {
    if (!lines[l].empty()) due_dates->Add(Variant::FromObject(FilaCarteraWeb(lines[l], map)));
  }
  return due_dates;
}

// The number of records the service says it changed.
int32_t CountOf(const std::string& answer) { return RoundToLong(Val(answer)); }

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
  if (e.state().web_mode)
    return CountOf(web::FiltrarActualizarWeb(e.web_session(), filter,
                                             ledger::CampoWeb(kMarca, marca), "EFECT"));
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
  if (e.state().web_mode) return CountOf(web::FiltrarBorrarWeb(e.web_session(), filter, "EFECT"));
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
  if (e.state().web_mode) return LeerCarteraWeb(e, filter);
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
