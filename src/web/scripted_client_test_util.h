// A web service client for tests that answers from a script and records
// what it was asked.

#ifndef QROLE_WEB_SCRIPTED_CLIENT_TEST_UTIL_H_
#define QROLE_WEB_SCRIPTED_CLIENT_TEST_UTIL_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qrole/error.h"
#include "web/web_service_client.h"

namespace qrole::web::testing {

struct ScriptedCall {
  std::string method;
  std::vector<std::string> args;  // as sent
};

// What the scripted client saw; shared with the test, which keeps it after
// the client has been handed to a session.
struct ClientLog {
  std::vector<std::string> initialised;  // description URLs, in order
  std::vector<ScriptedCall> calls;
  // The documents sent to "VDWebService", in order.
  std::vector<std::string> Documents() const {
    std::vector<std::string> out;
    for (const auto& c : calls)
      if (c.method == "VDWebService" && c.args.size() == 2) out.push_back(c.args[1]);
    return out;
  }
};

// Answers a call: the result, and may write the by-reference arguments.
using Script = std::function<std::string(const std::string& method, std::vector<WebArg>& args)>;

class ScriptedClient : public WebServiceClient {
 public:
  ScriptedClient(std::shared_ptr<ClientLog> log, Script script)
      : log_(std::move(log)), script_(std::move(script)) {}

  void Initialise(const std::string& url) override {
    log_->initialised.push_back(url);
    if (fail_initialise) throw AutomationError(kWebClientError, kWebClientSource, "sin conexión");
  }
  std::string Call(const std::string& method, std::vector<WebArg>& args) override {
    ScriptedCall call{method, {}};
    for (const WebArg& a : args) call.args.push_back(a.value);
    log_->calls.push_back(call);
    return script_(method, args);
  }

  bool fail_initialise = false;

 private:
  std::shared_ptr<ClientLog> log_;
  Script script_;
};

}  // namespace qrole::web::testing

#endif  // QROLE_WEB_SCRIPTED_CLIENT_TEST_UTIL_H_
