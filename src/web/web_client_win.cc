// The Windows build has neither the HTTP transport nor the XML reader of the
// web link (curl_transport.cc, soap_client.cc, web_xml.cc): its client
// refuses every call, so that a Login fails with a clear error and the object
// stays in local mode.

#include "qrole/error.h"
#include "web/web_service_client.h"
#include "web/web_xml.h"

namespace qrole::web {

namespace {

class UnavailableClient : public WebServiceClient {
 public:
  void Initialise(const std::string&) override { RaiseNotImplemented("web link on Windows"); }
  std::string Call(const std::string&, std::vector<WebArg>&) override {
    RaiseNotImplemented("web link on Windows");
  }
};

}  // namespace

std::unique_ptr<WebServiceClient> MakeWebServiceClient() {
  return std::make_unique<UnavailableClient>();
}

std::optional<std::vector<std::string>> ChildTexts(const std::string&, const std::string&) {
  RaiseNotImplemented("web link on Windows");
}

std::optional<XmlElement> RootElement(const std::string&) {
  RaiseNotImplemented("web link on Windows");
}

}  // namespace qrole::web
