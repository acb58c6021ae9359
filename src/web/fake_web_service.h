// A stand-in for the product's web service, for tests: an HTTP listener on
// 127.0.0.1 (any free port) that serves a service description and answers
// SOAP 1.1 calls of the web methods "ID" (parameters "Usuario" and
// "Password") and "VDWebService" ("Estado" and "Documento"), both
// parameters of each by reference, through a handler the test gives.
//
//   FakeWebService service([](const FakeCall& call) {
//     FakeAnswer a;
//     a.result = call.method == "ID" ? "W1\tx\t00\t07\tMAIN\tE1" : "OK";
//     return a;
//   });
//   Login(..., service.endpoint());
//
// The listener runs on a thread of its own and closes every connection
// after its answer. The handler runs on that thread, one call at a time.

#ifndef QROLE_WEB_FAKE_WEB_SERVICE_H_
#define QROLE_WEB_FAKE_WEB_SERVICE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qrole::web::testing {

struct FakeCall {
  std::string method;             // local name of the request element
  std::vector<std::string> args;  // texts of its children, in order
  std::string soap_action;        // the SOAPAction header, quotes included
  std::string content_type;
};

struct FakeAnswer {
  std::string result;
  // Values written back to the by-reference parameters, in order; nullopt
  // leaves the answer without that element.
  std::vector<std::optional<std::string>> written_back;
  // A SOAP fault (status 500) with this fault string instead of an answer.
  std::optional<std::string> fault;
  // A body sent as it stands, with `status`, instead of any of the above.
  std::optional<std::string> raw_body;
  int status = 200;
};

using FakeHandler = std::function<FakeAnswer(const FakeCall&)>;

class FakeWebService {
 public:
  explicit FakeWebService(FakeHandler handler);
  ~FakeWebService();
  FakeWebService(const FakeWebService&) = delete;
  FakeWebService& operator=(const FakeWebService&) = delete;

  // "http://127.0.0.1:<port>/valdrix".
  std::string endpoint() const;
  uint16_t port() const;

  // Every SOAP call received so far, in order.
  std::vector<FakeCall> calls() const;
  // How many times the service description was fetched.
  int description_requests() const;

  // The service description served.
  std::string Description() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qrole::web::testing

#endif  // QROLE_WEB_FAKE_WEB_SERVICE_H_
