#include "server/web_requests.h"

#include "automation/convert.h"
#include "data/globals.h"
#include "data/registry.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "web/web_answer.h"
#include "web/web_link.h"

namespace qrole::server {

namespace {

std::string ConfiguredHost() {
  std::string host = Trim(ToStr(data::LeerRegistro("WEB_HOST")));
  return host.empty() ? kPlaceholderWebHost : host;
}

}  // namespace

std::string DefaultWebEndpoint() {
  return "https://" + ConfiguredHost() + std::string(web::kEndpointPath);
}

std::string WebHost(Enlace& e) {
  const web::WebSession& s = e.web_session();
  if (s.logged_in && !s.endpoint.empty()) return web::HostOf(s.endpoint);
  return ConfiguredHost();
}

void RaiseNotOnWeb(Enlace& e) {
  RaiseObjectError(50013, "Esta opción no está disponible con enlace a " + WebHost(e));
}

void RaiseWebOnly(Enlace& e) {
  RaiseObjectError(50015, "Esta opción solo está disponible con enlace a " + WebHost(e));
}

std::string LeerTotalWeb(Enlace& e, const std::string& name, const std::string& value,
                         const std::string& company) {
  return web::PeticionWeb(e.web_session(), "GETTOTAL", name, value, company);
}

std::string GrabarTotalWeb(Enlace& e, const std::string& name, const std::string& value,
                           const std::string& company) {
  return web::PeticionWeb(e.web_session(), "PUTTOTAL", name, value, company);
}

bool BuscarWeb(Enlace& e, const std::string& filter, const std::string& file) {
  web::StatementContext context{&e.state().running_balance, data::Globals().engine_record};
  return web::BuscarWeb(e.web_session(), filter, file, e.collection(Col::kExtracto), context);
}

}  // namespace qrole::server
