// The client of the product's web service: calls its web methods by name.
//
// Design: the web link (web_link.h) speaks to the service only through this
// interface, so that tests can stand in for the service with a scripted
// client. The real one (MakeWebServiceClient) reads the service description
// and sends each call as a SOAP 1.1 document/literal request over HTTP(S)
// (soap_client.h); docs/web.md shows the messages.

#ifndef QROLE_WEB_WEB_SERVICE_CLIENT_H_
#define QROLE_WEB_WEB_SERVICE_CLIENT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qrole::web {

// One argument of a web method call. A by-reference argument takes the value
// that the answer gives back for it, when it gives one.
struct WebArg {
  std::string value;
  bool by_ref = false;
};

class WebServiceClient {
 public:
  virtual ~WebServiceClient() = default;

  // Reads the service description at `description_url`: where the service
  // answers and which web methods it has. Throws AutomationError when it
  // cannot be fetched or read.
  virtual void Initialise(const std::string& description_url) = 0;

  // Calls the web method `method` with `args` in the order of its
  // parameters; returns the method's result text. Throws AutomationError
  // when the call fails (transport, HTTP status, a fault answer, a method the
  // description does not have).
  virtual std::string Call(const std::string& method, std::vector<WebArg>& args) = 0;
};

// The client of this build: SOAP over HTTP(S), with the system's HTTP stack
// (http_transport.h).
std::unique_ptr<WebServiceClient> MakeWebServiceClient();

// Number and source of the errors of the web service client (a transport
// failure, a fault answer, an unreadable description).
inline constexpr int32_t kWebClientError = static_cast<int32_t>(0x80004005u);  // E_FAIL
inline constexpr const char* kWebClientSource = "QROLE web link";

}  // namespace qrole::web

#endif  // QROLE_WEB_WEB_SERVICE_CLIENT_H_
