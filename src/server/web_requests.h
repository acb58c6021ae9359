// The web link as the members of Enlace use it: the object's session, the
// service's address, the parameter requests and the remote search.
//
// The default endpoint of Login is "https://" + host + "/valdrix", the host
// being the product setting "WEB_HOST" (a placeholder host when it is not
// set); messages that name the web service name the host of the endpoint
// the object logged in to, or that host.

#ifndef QROLE_SERVER_WEB_REQUESTS_H_
#define QROLE_SERVER_WEB_REQUESTS_H_

#include <string>

namespace qrole::server {

class Enlace;

// Host used when the setting "WEB_HOST" is not set.
inline constexpr const char* kPlaceholderWebHost = "webservice.invalid";

// The endpoint of a Login that names none.
std::string DefaultWebEndpoint();
// The web service's host name for messages.
std::string WebHost(Enlace& e);

// 0x8004C35D "Esta opción no está disponible con enlace a " + host.
[[noreturn]] void RaiseNotOnWeb(Enlace& e);
// 0x8004C35F "Esta opción solo está disponible con enlace a " + host.
[[noreturn]] void RaiseWebOnly(Enlace& e);

// A parameter of the company on the web: "GETTOTAL" with the name as
// content, `value` and `company` (empty: the company opened); the answer
// unchanged (it may be an "ERROR" text).
std::string LeerTotalWeb(Enlace& e, const std::string& name, const std::string& value,
                         const std::string& company);
// Stores a parameter on the web: "PUTTOTAL"; the answer.
std::string GrabarTotalWeb(Enlace& e, const std::string& name, const std::string& value,
                           const std::string& company = "");

// The remote search of `filter` in `file` loaded into colExtracto, with the
// object's running balance; true when a row came back.
bool BuscarWeb(Enlace& e, const std::string& filter, const std::string& file);

}  // namespace qrole::server

#endif  // QROLE_SERVER_WEB_REQUESTS_H_
