// HTTP exchanges of the web service client.
//
// Design: the SOAP client (soap_client.h) builds and reads the messages and
// hands each exchange to an HttpTransport, so that tests can answer without
// a network. The transport of the build is the system's own HTTP stack:
// libcurl on Linux (curl_transport.cc), WinHTTP on Windows
// (winhttp_transport_win.cc).

#ifndef QROLE_WEB_HTTP_TRANSPORT_H_
#define QROLE_WEB_HTTP_TRANSPORT_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qrole::web {

struct HttpRequest {
  std::string method = "GET";  // "GET" or "POST"
  std::string url;             // http:// or https://
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

struct HttpResponse {
  long status = 0;
  std::string content_type;
  std::string body;
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Sends the request and returns the answer, whatever its status. Throws
  // AutomationError (kWebClientError) when no answer arrives: the address
  // cannot be reached, TLS fails, the exchange times out, or the answer is
  // larger than the transport accepts.
  virtual HttpResponse Send(const HttpRequest& request) = 0;
};

// The transport of this build: http and https only; certificates verified
// against the system's trusted roots; the system's proxy settings apply (on
// Linux the proxy environment variables, on Windows the proxy of WinHTTP or,
// when it has none, the user's Internet settings); redirects followed for GET
// only; an exchange limited to 30 seconds to connect, 300 in all and 64 MiB
// of answer.
std::unique_ptr<HttpTransport> MakeHttpTransport();

}  // namespace qrole::web

#endif  // QROLE_WEB_HTTP_TRANSPORT_H_
