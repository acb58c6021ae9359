// Members of the company family: catalogue and opening, parameters and
// settings, the accounting date.

#include "automation/convert.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_catalogue.h"
#include "server/company_creation.h"
#include "server/company_header.h"
#include "server/company_params.h"
#include "server/dates.h"
#include "server/enlace.h"
#include "server/member_table.h"
#include "server/process_state.h"
#include "server/web_requests.h"

namespace qrole::server {

namespace {

using typelib::Kind;

}  // namespace

void RegisterCompanyMembers(MemberTable& t) {
  t.Add("LoadEmpresas", Kind::kMethod, [](Enlace& e, Args&) {
    LoadEmpresas(e);
    return Variant();
  });
  t.Add("AbrirEmpresa", Kind::kMethod, [](Enlace& e, Args& a) {
    const std::string password = a.Str(1);
    if (platform::ToUpperCase(password.substr(0, 2)) == "/C") {
      // Creation: the new company's path comes back in the password; it is not opened.
      Process().stop_posting = false;
      if (e.state().web_mode) {
        try {
          CrearEmpresaWeb(e, a.Str(0), password);
        } catch (const AutomationError& err) {
          throw AutomationError(err.number(), "QROLE", err.description());
        }
        return Variant();
      }
      std::string path = CreateCompanyFileSet(a.Str(0), password);
      LoadEmpresas(e);
      a.ref(1) = Variant::FromString(platform::NativePath(path));
      return Variant();
    }
    AbrirEmpresa(e, a.Str(0), password);
    return Variant();
  });
  t.Add("CrearEmpresa", Kind::kMethod, [](Enlace& e, Args& a) {
    CreationArgs args;
    args.year = a.Str(1);
    args.levels = a.Str(2);
    args.auxiliaries = a.Str(3);
    args.currency_base = a.Str(4);
    args.opening_month = a.Str(5);
    args.chart = a.Lng(6);
    args.vat_kind = a.Lng(7);
    if (e.state().web_mode)
      return Variant::FromString(CrearEmpresaEnWeb(e, a.Str(0), CreationOptions(args)));
    std::string path = CreateCompanyFileSet(a.Str(0), CreationOptions(args));
    LoadEmpresas(e);
    return Variant::FromString(platform::NativePath(path));
  });
  t.Add("Empresa", Kind::kMethod, [](Enlace& e, Args&) {
    // On the web the company is a name of the service, not a path.
    const std::string& company = e.state().company_path;
    return Variant::FromString(e.state().web_mode ? company : platform::NativePath(company));
  });
  t.Add("NumeroEmpresa", Kind::kMethod,
        [](Enlace& e, Args&) { return Variant::FromString(e.state().company_number); });
  t.Add("MesInicioEjercicio", Kind::kMethod, [](Enlace& e, Args&) {
    return Variant::FromString(HeaderText(e.state().company_header, "APERTURA"));
  });
  for (const char* name : {"año", "Elyear"}) {
    t.Add(name, Kind::kMethod,
          [](Enlace& e, Args& a) { return Variant::FromString(Anio(e, a.Int(0))); });
  }
  for (const char* name : {"EmpresaAñoAnterior", "PreviousYearCompany"}) {
    t.Add(name, Kind::kMethod,
          [](Enlace& e, Args&) { return Variant::FromString(EmpresaAnioAnterior(e)); });
  }

  t.Add("GetTotal", Kind::kMethod,
        [](Enlace& e, Args& a) { return Variant::FromString(GetTotal(e, a.Str(0))); });
  t.Add("PutTotal", Kind::kMethod, [](Enlace& e, Args& a) {
    PutTotal(e, a.Str(0), a.Str(1));
    return Variant();
  });
  t.Add("GET_TOTAL", Kind::kMethod, [](Enlace& e, Args& a) {
    if (e.state().web_mode) return Variant::FromString(LeerTotalWeb(e, a.Str(0), "", ""));
    return Variant::FromString(GetSetting(e.state().company_path, a.Str(0)));
  });
  t.Add("PUT_TOTAL", Kind::kMethod, [](Enlace& e, Args& a) {
    CheckSettingText(a.Str(0), a.Str(1));
    std::string file = a.Str(2);
    if (e.state().web_mode) {
      // On the web a company is named, not a file: the one given, or the one opened.
      GrabarTotalWeb(e, a.Str(0), a.Str(1), file);
      return Variant();
    }
    PutSetting(file.empty() ? e.state().company_path : file, a.Str(0), a.Str(1));
    return Variant();
  });
  t.Add("Config", Kind::kGet, [](Enlace& e, Args& a) {
    if (e.state().web_mode) return Variant::FromString(LeerTotalWeb(e, a.Str(0), "", ""));
    return Variant::FromString(GetTotal(e, a.Str(0)));
  });
  t.Add("Config", Kind::kLet, [](Enlace& e, Args& a) {
    CheckSettingText(a.Str(0), ToStr(a.value()));
    if (e.state().web_mode) {
      GrabarTotalWeb(e, a.Str(0), ToStr(a.value()));
      return Variant();
    }
    PutTotal(e, a.Str(0), ToStr(a.value()));
    return Variant();
  });
  t.Add("LeerConfig", Kind::kGet,
        [](Enlace& e, Args&) { return Variant::FromObject(LeerConfig(e)); });

  t.Add("Fecha", Kind::kLet, [](Enlace& e, Args& a) {
    e.ComprobarEmpresaAbierta();
    std::string text = Trim(ToStr(a.value()));
    if (text.empty()) throw AutomationError(5000, "Let Fecha", "La fecha está vacía");
    e.state().accounting_date = ValidarFecha(e, ToStr(a.value()));
    return Variant();
  });
  t.Add("Fecha", Kind::kGet, [](Enlace& e, Args&) {
    std::string d = e.state().accounting_date;
    if (!d.empty() && static_cast<unsigned char>(d[0]) > 64) d[0] = static_cast<char>(d[0] - 17);
    return Variant::FromString(d);
  });
}

}  // namespace qrole::server
