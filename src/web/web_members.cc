// Members of the web link family: Login, LeerCarpetas, Carpeta.

#include "automation/convert.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_catalogue.h"
#include "server/enlace.h"
#include "server/member_table.h"
#include "server/web_requests.h"
#include "web/web_link.h"

namespace qrole::server {

namespace {

using typelib::Kind;

// Plain number of a refused login; its source is the server's project.
constexpr int32_t kLoginRefused = 50900;

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    size_t p = text.find(',', start);
    out.push_back(text.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) return out;
    start = p + 1;
  }
}

web::WebSession& RequireWeb(Enlace& e) {
  if (!e.state().web_mode) RaiseWebOnly(e);
  return e.web_session();
}

// The folders the service lists for an administrator. An error answer (a
// failed call among them) is raised rather than listed as folders.
std::vector<std::string> ListedFolders(web::WebSession& s) {
  std::string answer = web::PeticionWeb(s, "LEERCARPETASVALDRIX2", "", "", "");
  if (web::IsErrorAnswer(answer)) web::RaiseWebAnswer(answer);
  return SplitCommas(answer);
}

}  // namespace

void RegisterWebMembers(MemberTable& t) {
  t.Add("Login", Kind::kMethod, [](Enlace& e, Args& a) {
    std::string endpoint = a.Missing(2) ? "" : a.Str(2);
    if (endpoint.empty()) endpoint = DefaultWebEndpoint();
    web::WebSession& s = e.web_session();
    std::string answer = web::ConectarWeb(s, a.Str(0), a.Str(1), endpoint);
    if (web::IsErrorAnswer(answer)) throw AutomationError(kLoginRefused, kRuntimeSource, answer);
    e.state().user_code = s.user_code;
    e.state().web_mode = true;
    LoadEmpresas(e);
    return Variant();
  });

  t.Add("LeerCarpetas", Kind::kMethod, [](Enlace& e, Args&) {
    web::WebSession& s = RequireWeb(e);
    auto out = Collection::Create();
    if (s.user_type != "00") {
      out->Add(Variant::FromString(s.folder));
    } else {
      for (const std::string& folder : ListedFolders(s)) out->Add(Variant::FromString(folder));
    }
    return Variant::FromObject(out);
  });

  t.Add("Carpeta", Kind::kGet,
        [](Enlace& e, Args&) { return Variant::FromString(RequireWeb(e).folder); });

  t.Add("Carpeta", Kind::kLet, [](Enlace& e, Args& a) {
    web::WebSession& s = RequireWeb(e);
    if (s.user_type != "00")
      RaiseObjectError(50016, "Esta opción solo está disponible para administradores");
    const std::string wanted = ToStr(a.value());
    s.request_company.clear();
    for (const std::string& folder : ListedFolders(s)) {
      if (platform::EqualsIgnoreCase(folder, wanted)) {
        s.folder = wanted;
        break;
      }
    }
    LoadEmpresas(e);
    return Variant();
  });
}

}  // namespace qrole::server
