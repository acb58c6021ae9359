// The web service client over SOAP 1.1 (document/literal) and HTTP(S).
//
// Initialise fetches the service description (WSDL 1.1) and keeps the
// address of its SOAP 1.1 port, its target namespace and, for every
// operation, the SOAP action, the request element and the names of its
// parameters in order. Call sends one request to that address and reads the
// answer: the element "<method>Result" is the result, and a by-reference
// argument takes the text of the answer's element of its parameter's name.
// docs/web.md shows both messages.

#ifndef QROLE_WEB_SOAP_CLIENT_H_
#define QROLE_WEB_SOAP_CLIENT_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "web/http_transport.h"
#include "web/web_service_client.h"

namespace qrole::web {

struct SoapOperation {
  std::string soap_action;
  std::string element;            // local name of the request element
  std::string element_namespace;  // its namespace
  std::vector<std::string> params;
};

struct ServiceDescription {
  std::string address;
  std::string target_namespace;
  std::map<std::string, SoapOperation> operations;  // by web method name
};

// Reads a WSDL 1.1 document fetched from `url`. Throws AutomationError
// (kWebClientError) when it is not one, or has no SOAP 1.1 address.
ServiceDescription ReadServiceDescription(const std::string& wsdl, const std::string& url);

// The SOAP 1.1 envelope that calls `op` with `args` (in parameter order;
// arguments beyond the parameters are not sent).
std::string BuildSoapRequest(const SoapOperation& op, const std::vector<WebArg>& args);

// Reads the answer to a call of `method`: returns the result text and writes
// the by-reference arguments back. Throws AutomationError (kWebClientError)
// for a fault, with its fault string as the description, and for an answer
// that is not a SOAP 1.1 envelope.
std::string ReadSoapAnswer(const std::string& body, const std::string& method,
                           const SoapOperation& op, std::vector<WebArg>& args);

class SoapClient : public WebServiceClient {
 public:
  explicit SoapClient(std::unique_ptr<HttpTransport> transport);

  void Initialise(const std::string& description_url) override;
  std::string Call(const std::string& method, std::vector<WebArg>& args) override;

  const ServiceDescription& description() const { return description_; }

 private:
  std::unique_ptr<HttpTransport> transport_;
  ServiceDescription description_;
  bool initialised_ = false;
};

}  // namespace qrole::web

#endif  // QROLE_WEB_SOAP_CLIENT_H_
