#include "ledger/chart_accounts.h"

#include "automation/convert.h"
#include "data/globals.h"
#include "data/table_component.h"
#include "ledger/code_field.h"
#include "ledger/web_fields.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/company_params.h"
#include "server/enlace.h"
#include "web/web_link.h"

namespace qrole::ledger {
namespace {

struct ChartTable {
  int plan;
  const char* table;  // table word of the file name
};

const ChartTable& ChartOf(int plan) {
  static const ChartTable kCharts[] = {
      {kPlanContable, "PLANC"},
      {kCentrosDeCosto, "Costo"},
      {kPlanAlternativo, "PLANA"},
  };
  for (const ChartTable& c : kCharts) {
    if (c.plan == plan) return c;
  }
  RaiseRuntimeError(runtime_error::kInvalidCall);
}

// The three widths of the company's "AUX" setting that automatic numbering
// pads to: its first character, its second, its last two.
struct Auxiliares {
  int a1 = 0, a2 = 0, a3 = 0;
};

Auxiliares ReadAuxiliares(server::Enlace& e) {
  Auxiliares aux;
  aux.a1 = static_cast<int>(Val(server::GetTotal(e, "AUX1")));
  aux.a2 = static_cast<int>(Val(server::GetTotal(e, "AUX2")));
  aux.a3 = static_cast<int>(Val(server::GetTotal(e, "AUX3")));
  return aux;
}

// `last` (Windows-1252) padded on the right with "0" to the first width
// that applies.
std::string PadToWidth(std::string last, const Auxiliares& aux) {
  const int n = static_cast<int>(last.size());
  int width = 0;
  if (aux.a1 > 0 && n < aux.a1) {
    width = aux.a1;
  } else if (aux.a2 > 0 && n < aux.a2) {
    width = aux.a2;
  } else if (aux.a3 > 0 && n < aux.a3) {
    width = aux.a3;
  }
  if (width > n) last.append(static_cast<size_t>(width - n), '0');
  return last;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The code that follows `code`: its trailing number plus one, keeping its
// digits ("4300000012" gives "4300000013", "0010000009" gives
// "0010000010"); a code without a trailing number gets "1".
std::string FollowingCode(std::string code) {
  size_t first_digit = code.size();
  while (first_digit > 0 && IsDigit(code[first_digit - 1])) --first_digit;
  if (first_digit == code.size()) return code + "1";
  for (size_t i = code.size(); i > first_digit;) {
    --i;
    if (code[i] != '9') {
      ++code[i];
      return code;
    }
    code[i] = '0';
  }
  code.insert(first_digit, "1");
  return code;
}

// The code automatic numbering gives for `pattern` in the open chart `t`.
std::string GeneratedCode(data::TableComponent& t, const std::string& pattern,
                          const Auxiliares& aux) {
  t.SetFilter("Cuenta like " + pattern);
  t.MoveLast();
  // With no account matching, numbering starts from the fixed part of the
  // pattern rather than from nothing (which would give account "1").
  const std::string last =
      t.IsEof() ? pattern.substr(0, pattern.find('*')) : Trim(ToStr(t.GetField(1, 0)));
  return platform::Cp1252ToUtf8(FollowingCode(PadToWidth(platform::Utf8ToCp1252(last), aux)));
}

// The level compared as the caller's Variant compares: with the number -1
// numerically, with "-6" as text.
double NumberOf(const Variant& v, bool* ok) {
  *ok = false;
  if (v.IsEmpty() || v.IsNull() || v.IsMissing() || v.IsObject() || v.IsArray()) return 0;
  double d = 0;
  if (v.IsString()) {
    *ok = ParseLocaleNumber(v.str(), &d);
    return d;
  }
  try {
    d = ToDouble(v);
    *ok = true;
  } catch (const AutomationError&) {
  }
  return d;
}

bool IsNivelTitulo(const Variant& nivel) {
  bool ok = false;
  const double d = NumberOf(nivel, &ok);
  return ok && d == kNivelTitulo;
}

bool IsNivelAnalitica(const Variant& nivel) {
  if (nivel.IsString()) return nivel.str() == kNivelAnalitica;
  bool ok = false;
  const double d = NumberOf(nivel, &ok);
  return ok && d == Val(kNivelAnalitica);
}

std::string LevelText(const Variant& nivel) {
  if (nivel.IsString()) return nivel.str();
  if (nivel.IsEmpty() || nivel.IsNull() || nivel.IsMissing()) return "";
  return ToStr(nivel);
}

bool IsBlank(const std::string& s) { return Trim(s).empty(); }

bool LastStatusOk() { return data::Globals().engine_status == 0; }

// Creates account `code` in the open chart `t` (whose set is that code).
bool CreateAccount(data::TableComponent& t, int plan, const std::string& code,
                   const std::string& titulo, Variant& nivel, bool analitica,
                   const std::string& nif) {
  if (t.RecordCount() > 0) return false;
  bool analytic = analitica;
  if (IsNivelTitulo(nivel)) {
    nivel = Variant::FromString("0");
  } else if (IsNivelAnalitica(nivel)) {
    nivel = Variant::FromString("0");
    analytic = true;
  }
  t.AddNew();
  t.SetField(1, 0, Variant::FromString(code));
  t.SetField(2, 0, Variant::FromString(titulo));
  t.SetField(3, 0, Variant::FromString(LevelText(nivel)));
  for (int period = 0; period <= 14; ++period) {
    t.SetField(12, period, Variant::FromDouble(0));
    t.SetField(13, period, Variant::FromDouble(0));
  }
  if (plan != kCentrosDeCosto) {
    t.SetField(6, 0, analytic ? Variant::FromString("1") : Variant::FromLong(0));
  }
  if (nif != "-1") t.SetField(14, 0, Variant::FromString(nif));
  t.Update();
  return LastStatusOk();
}

// Changes the existing (current) account of `t` as the level code says.
bool ChangeAccount(data::TableComponent& t, int plan, const std::string& titulo,
                   const Variant& nivel) {
  if (IsNivelTitulo(nivel)) {
    t.Edit();
    t.SetField(2, 0, Variant::FromString(titulo));
    t.Update();
    return LastStatusOk();
  }
  // The cost-centre chart carries no analytic flag.
  if (IsNivelAnalitica(nivel) && plan != kCentrosDeCosto) {
    t.Edit();
    t.SetField(6, 0, Variant::FromString("1"));
    t.Update();
    return LastStatusOk();
  }
  return true;
}

}  // namespace

bool CrearEnPlan(server::Enlace& e, int plan, std::string* cuenta, const std::string& titulo,
                 Variant* nivel, bool analitica, const std::string& nif) {
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  const ChartTable& chart = ChartOf(plan);
  std::string no_code;
  std::string& code = cuenta != nullptr ? *cuenta : no_code;
  Variant default_level = Variant::FromString("0");
  Variant& level = nivel != nullptr ? *nivel : default_level;
  if (e.state().web_mode) {
    // The service numbers and checks the code itself: a "*" goes as written.
    CheckWebAnswer(web::ActualizarWeb(
        e.web_session(), CamposCuentaWeb(code, titulo, LevelText(level), analitica, nif),
        std::to_string(chart.plan)));
    return true;
  }
  if (IsBlank(code)) return false;

  const server::EnlaceState& s = e.state();
  data::TableComponent t;
  t.OpenCompanyTable(chart.table, s.company_directory, s.company_number);
  const Auxiliares aux = ReadAuxiliares(e);
  const bool numbering = code.find('*') != std::string::npos;
  if (numbering) code = GeneratedCode(t, code, aux);
  if (!FitsCodeField(chart.table, code)) return false;
  t.SetFilter("Cuenta=" + code);
  t.MoveFirst();
  const bool created = numbering || t.RecordCount() == 0;
  const bool result = created ? CreateAccount(t, plan, code, titulo, level, analitica, nif)
                              : ChangeAccount(t, plan, titulo, level);
  t.Close();
  return result;
}

}  // namespace qrole::ledger
