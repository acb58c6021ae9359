#include "query/chart_reading.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/globals.h"
#include "data/table_component.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "query/web_rows.h"
#include "server/enlace.h"
#include "util/like.h"
#include "web/web_link.h"

namespace qrole::query {

namespace {

using server::Col;

constexpr size_t kCodeWidth = 10;  // field 1 of every account file
constexpr int kPeriods = 15;

// Chart field codes.
enum : int {
  kCuenta = 1,
  kTitulo = 2,
  kNivel = 3,
  kClave347 = 8,
  kDebe = 12,
  kHaber = 13,
  kNif = 14,
  kNotas = 15,
  kOmitir347 = 20,
  kOmitir415 = 21,
  kCriterioCaja = 26,
};
// Budget field codes.
enum : int { kPresupuesto = 3, kPresuNivel = 4, kPresuAnalitica = 5 };

const char* const kMonths[] = {"Apertura", "Enero",     "Febrero",   "Marzo",          "Abril",
                               "Mayo",     "Junio",     "Julio",     "Agosto",         "Septiembre",
                               "Octubre",  "Noviembre", "Diciembre", "Regularizacion", "Cierre"};

const char* FileWord(int fi) {
  switch (fi) {
    case kPlanContable:
      return "PLANC";
    case kPresupuestos:
      return "Presu";
    case kCentrosDeCosto:
      return "Costo";
    case kPlanAlterna:
      return "PlanA";
    default:
      RaiseRuntimeError(runtime_error::kInvalidCall);
  }
}

// A code as the index holds it: left-aligned in the field's width.
std::string Key(const std::string& code) {
  std::string k = platform::Utf8ToCp1252(code);
  k.resize(kCodeWidth, ' ');
  return platform::Cp1252ToUtf8(k);
}

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

std::string Text(data::TableComponent& t, int code) { return RTrim(ToStr(t.GetField(code))); }

std::shared_ptr<Collection> Amounts(const char* cls, const std::vector<double>& values) {
  auto c = Collection::Create();
  for (double v : values) {
    auto item = RecordObject::Create(cls);
    item->Set("Importe", Variant::FromDouble(v));
    c->Add(Variant::FromObject(item));
  }
  return c;
}

// The account files' current record as a PlanClass. `named`: fill the thirty
// named period amounts and the chart's tax fields too.
void AddEntry(server::Enlace& e, data::TableComponent& t, int fi, bool named) {
  auto plan = RecordObject::Create("PlanClass");
  plan->Set("Cuenta", Variant::FromString(Text(t, kCuenta)));
  plan->Set("titulo", Variant::FromString(Text(t, kTitulo)));
  std::vector<double> debe, haber;
  if (fi == kPresupuestos) {
    plan->Set("Nivel", Variant::FromString(Text(t, kPresuNivel)));
    debe.push_back(0);
    for (int m = 0; m < 12; ++m) debe.push_back(ToDouble(t.GetField(kPresupuesto, m)));
    debe.push_back(0);
    debe.push_back(0);
    plan->Set("EsAnalitica",
              Variant::FromInteger(static_cast<int16_t>(Val(ToStr(t.GetField(kPresuAnalitica))))));
  } else {
    plan->Set("Nivel", Variant::FromString(Text(t, kNivel)));
    for (int p = 0; p < kPeriods; ++p) {
      debe.push_back(ToDouble(t.GetField(kDebe, p)));
      haber.push_back(ToDouble(t.GetField(kHaber, p)));
    }
  }
  plan->Set("coldebe", Variant::FromObject(Amounts("DebeClass", debe)));
  plan->Set("colhaber", Variant::FromObject(Amounts("HaberClass", haber)));
  if (named) {
    for (int p = 0; p < kPeriods; ++p) {
      plan->Set(std::string("Debe") + kMonths[p],
                Variant::FromDouble(debe[static_cast<size_t>(p)]));
      plan->Set(std::string("Haber") + kMonths[p],
                Variant::FromDouble(haber[static_cast<size_t>(p)]));
    }
    plan->Set("NIf", Variant::FromString(Text(t, kNif)));
    plan->Set("NOTAS", Variant::FromString(Text(t, kNotas)));
    plan->Set("OMITIR347", Variant::FromString(Text(t, kOmitir347)));
    plan->Set("OMITIR415", Variant::FromString(Text(t, kOmitir415)));
    plan->Set("Clave347", Variant::FromString(Text(t, kClave347)));
    plan->Set("CriterioCaja", Variant::FromString(Text(t, kCriterioCaja)));
  }
  e.collection(Col::kPlan).Add(Variant::FromObject(plan));
}

// The level as stored (its one character, blank included), matched against
// a level pattern.
bool LevelMatches(data::TableComponent& t, int fi, const std::string& pattern) {
  const int code = fi == kPresupuestos ? static_cast<int>(kPresuNivel) : static_cast<int>(kNivel);
  return util::Like(ToStr(t.GetField(code)), pattern);
}

// Makes the record of `key` current; false when there is none.
bool Find(data::TableComponent& t, const std::string& key) {
  const std::string code = RTrim(key);
  if (code.empty()) return false;
  t.SetFilter("CUENTA = " + code);
  return t.RecordCount() > 0 && Key(ToStr(t.GetField(kCuenta))) == key;
}

// Walks the file in code order (or title order) from its first record.
template <class Visit>
void Walk(data::TableComponent& t, bool by_title, Visit visit) {
  t.SetFilter("");
  t.SetOrder(by_title ? "TITULO" : "CUENTA");
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) visit();
}

// True when `prefix` can go into a LIKE condition as it is: letters, digits
// and punctuation of ASCII that are no wildcard, no blank. The caller still
// tests every account the condition gives.
bool IsPlainPrefix(const std::string& prefix) {
  if (prefix.empty()) return false;
  return std::all_of(prefix.begin(), prefix.end(), [](char c) {
    return c > ' ' && c < 0x7f && std::string_view("*?#[]").find(c) == std::string_view::npos;
  });
}

void LeerCuentasPlan(server::Enlace& e, data::TableComponent& t, const std::string& cuenta,
                     const std::string& nivel, const std::string& titulo) {
  const std::string key = Key(cuenta);
  if (!HasWildcard(key)) {
    if (Find(t, key)) AddEntry(e, t, kPlanContable, true);
    return;
  }
  const std::string pattern = Trim(key);
  if (titulo.empty() && pattern.find('*') == pattern.size() - 1) {
    const std::string prefix = pattern.substr(0, pattern.size() - 1);
    auto visit = [&] {
      const std::string code = ToStr(t.GetField(kCuenta));
      if (code.compare(0, prefix.size(), prefix) == 0 && LevelMatches(t, kPlanContable, nivel))
        AddEntry(e, t, kPlanContable, true);
    };
    if (IsPlainPrefix(prefix)) {
      // Only the accounts under the prefix, from the code index.
      t.SetFilter("CUENTA LIKE " + prefix + "*");
      t.SetOrder("CUENTA");
      for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) visit();
    } else {
      Walk(t, false, visit);
    }
    return;
  }
  const std::string pattern_bytes = platform::Utf8ToCp1252(pattern);
  Walk(t, !titulo.empty(), [&] {
    const std::string code = Trim(ToStr(t.GetField(kCuenta)));
    if (code.empty()) return;
    // The start of the pattern as long as the code: parents of the
    // accounts the pattern names qualify too.
    const std::string head =
        platform::Cp1252ToUtf8(pattern_bytes.substr(0, platform::Utf8ToCp1252(code).size()));
    if (!util::Like(code, head) || !LevelMatches(t, kPlanContable, nivel)) return;
    if (!titulo.empty() && !util::Like(RTrim(ToStr(t.GetField(kTitulo))), titulo)) return;
    AddEntry(e, t, kPlanContable, true);
  });
}

// CargarPlanWeb: the accounts of file `fi` that the web service's search of
// `filter` answers, appended to the plan collection: code, title and level
// from fields 1 to 3, the period amounts from the elements of the debit and
// credit fields (the twelve budget months in the budget file). True when
// any was appended.
bool CargarPlanWeb(server::Enlace& e, const std::string& filter, int fi) {
  const WebRows rows(web::BuscarWebTexto(e.web_session(), filter, std::to_string(fi)));
  Collection& plans = e.collection(Col::kPlan);
  bool appended = false;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (rows.IsEmpty(r)) continue;
    auto plan = RecordObject::Create("PlanClass");
    plan->Set("Cuenta", Variant::FromString(rows.Field(r, kCuenta)));
    plan->Set("titulo", Variant::FromString(rows.Field(r, kTitulo)));
    plan->Set("Nivel", Variant::FromString(rows.Field(r, kNivel)));
    std::vector<double> debe(kPeriods, 0.0), haber;
    if (fi == kPresupuestos) {
      for (int m = 1; m <= 12; ++m)
        debe[static_cast<size_t>(m)] = Val(rows.Field(r, kPresupuesto, m));
    } else {
      haber.assign(kPeriods, 0.0);
      for (int p = 0; p < kPeriods; ++p) {
        debe[static_cast<size_t>(p)] = Val(rows.Field(r, kDebe, p + 1));
        haber[static_cast<size_t>(p)] = Val(rows.Field(r, kHaber, p + 1));
      }
    }
    plan->Set("coldebe", Variant::FromObject(Amounts("DebeClass", debe)));
    plan->Set("colhaber", Variant::FromObject(Amounts("HaberClass", haber)));
    for (int p = 0; p < kPeriods; ++p) {
      const size_t i = static_cast<size_t>(p);
      plan->Set(std::string("Debe") + kMonths[p], Variant::FromDouble(debe[i]));
      plan->Set(std::string("Haber") + kMonths[p],
                Variant::FromDouble(i < haber.size() ? haber[i] : 0.0));
    }
    plans.Add(Variant::FromObject(plan));
    appended = true;
  }
  return appended;
}

// The terms given, joined by " AND ".
std::string Joined(const std::vector<std::pair<const char*, std::string>>& terms) {
  std::string out;
  for (const auto& [name, value] : terms) {
    if (value.empty()) continue;
    if (!out.empty()) out += " AND ";
    out += name + value;
  }
  return out;
}

void Prepare(server::Enlace& e) {
  e.ComprobarEmpresaAbierta();
  e.collection(Col::kPlan).Clear();
}

}  // namespace

bool LeerPlan(server::Enlace& e, const std::string& cuenta, const std::string& nivel,
              const std::string& titulo) {
  Prepare(e);
  const server::EnlaceState& s = e.state();
  if (s.web_mode) {
    return CargarPlanWeb(e, Joined({{"CUENTA=", cuenta}, {"NIVEL=", nivel}, {"TITULO=", titulo}}),
                         kPlanContable);
  }
  data::SetCompany(s.company_directory, s.company_number);
  const std::string level = nivel.empty() ? "?" : nivel;
  {
    data::TableComponent t;
    t.OpenCompanyTable("PLANC", s.company_directory, s.company_number);
    size_t start = 0;
    while (true) {
      const size_t comma = cuenta.find(',', start);
      LeerCuentasPlan(e, t, cuenta.substr(start, comma - start), level, titulo);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  e.CerrarArchivos(false);
  return e.collection(Col::kPlan).Count() > 0;
}

bool LeerPlanEx(server::Enlace& e, int fi, const std::string& cuenta, const std::string& nivel,
                const std::string& titulo, const std::string& hasta_cuenta, int siguiente) {
  Prepare(e);
  const server::EnlaceState& s = e.state();
  const char* word = FileWord(fi);
  if (s.web_mode) {
    // The neighbour reads (siguiente) have no request on the web.
    const bool range = !hasta_cuenta.empty();
    return CargarPlanWeb(e,
                         Joined({{range ? "CUENTA>=" : "CUENTA=", cuenta},
                                 {"CUENTA<=", hasta_cuenta},
                                 {"NIVEL=", nivel},
                                 {"TITULO=", titulo}}),
                         fi);
  }
  data::SetCompany(s.company_directory, s.company_number);
  const std::string level = nivel.empty() ? "?" : nivel;
  {
    data::TableComponent t;
    t.OpenCompanyTable(word, s.company_directory, s.company_number);
    std::string key = Key(cuenta);
    if (siguiente == 1 || siguiente == 2) {
      // The neighbour of the key in code order.
      std::string found;
      Walk(t, false, [&] {
        const std::string code = Key(ToStr(t.GetField(kCuenta)));
        if (siguiente == 1 && found.empty() && code > key) found = code;
        if (siguiente == 2 && code < key) found = code;
      });
      if (found.empty()) {
        e.CerrarArchivos(false);
        return false;
      }
      key = found;
    }
    if (HasWildcard(key)) {
      const std::string pattern = Trim(key);
      Walk(t, !titulo.empty(), [&] {
        if (!util::Like(Trim(ToStr(t.GetField(kCuenta))), pattern)) return;
        if (!nivel.empty() && !LevelMatches(t, fi, nivel)) return;
        if (!titulo.empty() && !util::Like(RTrim(ToStr(t.GetField(kTitulo))), titulo)) return;
        AddEntry(e, t, fi, false);
      });
    } else if (hasta_cuenta.empty()) {
      if (Find(t, key)) AddEntry(e, t, fi, false);
    } else {
      const std::string last = Key(hasta_cuenta);
      Walk(t, false, [&] {
        const std::string code = Key(ToStr(t.GetField(kCuenta)));
        if (code < key || code > last) return;
        if (fi != kPresupuestos && !LevelMatches(t, fi, level)) return;
        AddEntry(e, t, fi, false);
      });
    }
  }
  e.CerrarArchivos(false);
  return e.collection(Col::kPlan).Count() > 0;
}

double PlanImporte(server::Enlace& e, double index, double mes, bool debe) {
  Collection& plans = e.collection(Col::kPlan);
  if (!(index > 0) || index > plans.Count()) return 0;
  auto plan = std::dynamic_pointer_cast<RecordObject>(plans.Item(RoundToLong(index)).object());
  if (!plan) return 0;
  auto amounts =
      std::dynamic_pointer_cast<Collection>(plan->Get(debe ? "coldebe" : "colhaber").object());
  if (!amounts || !(mes > -1) || mes >= amounts->Count()) return 0;
  auto item = std::dynamic_pointer_cast<RecordObject>(amounts->Item(RoundToLong(mes) + 1).object());
  return item ? item->GetDbl("Importe") : 0;
}

}  // namespace qrole::query
