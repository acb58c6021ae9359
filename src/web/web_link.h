// The web link: login, the request documents and the remote table requests.
//
// In web mode every operation on company data is sent to the product's web
// service as a small XML document, through the web method "VDWebService"
// (arguments: the session's state text and the document, both by
// reference), and the answer comes back as text. An answer that begins with
// "ERROR" is the service's refusal. The documents are shown in docs/web.md.

#ifndef QROLE_WEB_WEB_LINK_H_
#define QROLE_WEB_WEB_LINK_H_

#include <string>
#include <string_view>
#include <vector>

#include "web/web_session.h"

namespace qrole::web {

// The first line of every request document, CR LF included.
inline constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n";
// Where the service description is, after the endpoint.
inline constexpr std::string_view kDescriptionPath = "/vdenlace.asmx?wsdl";
// The path of the service's endpoint on its host.
inline constexpr std::string_view kEndpointPath = "/valdrix";

// Escapes a text for a request document: "&" and then every "<", ">" and
// character whose Windows-1252 code is above 126 becomes "&#" + code + ";".
// Quotes and apostrophes stay; so does a character that Windows-1252 cannot
// write (it travels as itself).
std::string EscaparXml(std::string_view text);

// The answer begins with "ERROR" (exact case).
bool IsErrorAnswer(std::string_view answer);
// The answer begins with "ERROR" in any letter case.
bool IsErrorAnswerAnyCase(std::string_view answer);

// Raises 0x8004C35D with the service's answer as the description.
[[noreturn]] void RaiseWebAnswer(const std::string& answer);

// The host of an endpoint ("https://host:port/path" gives "host").
std::string HostOf(std::string_view endpoint);

// Logs in with the web method "ID": returns "" on success, or the service's
// answer when it begins with "ERROR" (the session is then unchanged but for
// its client). The first call, and a call with another endpoint, makes the
// client read the service description at endpoint + kDescriptionPath.
// Raises 0x8004C35D "Solo administradores o usuarios limitados (tipo 01)
// pueden acceder al web service" for a user type above "01"; errors of the
// client (transport, description) pass through.
std::string ConectarWeb(WebSession& s, const std::string& user, const std::string& password,
                        const std::string& endpoint);

// Sends "<tag>" content "<ID>"..."</ID>" with the folder, the company (the
// request company when `company` is empty) and the value. The content is
// escaped with EscaparXml; the value, folder and company only have their
// markup characters ("&", "<", ">") written as references. Never raises: a
// failed call answers "ERROR:" + the error's description.
std::string PeticionWeb(WebSession& s, const std::string& tag, const std::string& content,
                        const std::string& value, const std::string& company);

// Sends "<tag>" with the ID, folder and request company and one element per
// item ("NAME:value" or "NAME=value"; empty items add nothing). Raises
// 0x8004C35D with the answer when it begins with "ERROR" in any case; errors
// of the client pass through.
std::string PeticionWebCampos(WebSession& s, const std::string& tag,
                              const std::vector<std::string>& items);

// Sends `document` as it stands to "VDWebService" and returns the answer;
// the session's state text takes what the service writes back. Errors of the
// client pass through.
std::string EnviarDocumentoWeb(WebSession& s, const std::string& document);

// The remote table requests; each answers the service's text.
std::string BuscarWebTexto(WebSession& s, const std::string& filter, const std::string& file);
std::string ActualizarWeb(WebSession& s, const std::string& fields, const std::string& file);
std::string FiltrarActualizarWeb(WebSession& s, const std::string& filter,
                                 const std::string& fields, const std::string& file);
std::string FiltrarBorrarWeb(WebSession& s, const std::string& filter, const std::string& file);

}  // namespace qrole::web

#endif  // QROLE_WEB_WEB_LINK_H_
