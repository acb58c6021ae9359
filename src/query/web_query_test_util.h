// An object logged in to a scripted web service with a company open there,
// for the tests of the queries' web branches: the service answers the
// login and the company opening itself and every other request from the
// answers the test queues, recording the request documents.
#ifndef QROLE_QUERY_WEB_QUERY_TEST_UTIL_H_
#define QROLE_QUERY_WEB_QUERY_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "automation/record_object.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/test_env.h"
#include "web/scripted_client_test_util.h"
#include "web/web_session.h"

namespace qrole::query {

class WebQueryTest : public ::testing::Test {
 protected:
  static constexpr const char* kDecl = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n";

  WebQueryTest() {
    e_->web_session().client = std::make_unique<web::testing::ScriptedClient>(
        log_, [this](const std::string& method, std::vector<web::WebArg>& args) {
          return Answer(method, args[1].value);
        });
    Call("Login", {S("ana"), S("x"), S("https://svc.example.test/valdrix")});
    Call("AbrirEmpresa", {S("Alfa")});
    opened_ = true;
  }

  static Variant S(const std::string& s) { return Variant::FromString(s); }

  Variant Call(const std::string& name, std::vector<Variant> args = {}) {
    return Invoke(*e_, name, typelib::Kind::kMethod, std::move(args)).value;
  }
  Variant Get(const std::string& name, std::vector<Variant> args = {}) {
    return Invoke(*e_, name, typelib::Kind::kGet, std::move(args)).value;
  }
  void Let(const std::string& name, const Variant& v, std::vector<Variant> args = {}) {
    args.push_back(v);
    Invoke(*e_, name, typelib::Kind::kLet, std::move(args));
  }

  // The document a request of `tag` with these elements makes.
  static std::string Doc(const std::string& tag,
                         const std::vector<std::pair<std::string, std::string>>& elements) {
    std::string d =
        std::string(kDecl) + "<" + tag + ">\r\n<ID>W1</ID>\r\n<EMPRESA>Alfa</EMPRESA>\r\n";
    for (const auto& [name, value] : elements)
      d += "<" + name + ">" + value + "</" + name + ">\r\n";
    return d + "</" + tag + ">";
  }
  // The document of a search of `filter` in `file`.
  static std::string Search(const std::string& filter, const std::string& file) {
    return Doc("BUSCAR", {{"FILTER", filter}, {"ARCHIVO", file}});
  }

  // The requests sent after the company was opened, in order.
  const std::vector<std::string>& Requests() const { return requests_; }
  // Queues the answer to the next request.
  void Answer(const std::string& text) { answers_.push_back(text); }

  int32_t Count(const std::string& counter) { return ToLong(Get(counter)); }
  Variant Item(const std::string& accessor, int i, const std::string& field) {
    auto r =
        std::dynamic_pointer_cast<RecordObject>(Call(accessor, {Variant::FromLong(i)}).object());
    if (!r) {
      ADD_FAILURE() << accessor << "(" << i << ") is Nothing";
      return Variant();
    }
    return r->Get(field);
  }
  std::string Text(const std::string& accessor, int i, const std::string& field) {
    return ToStr(Item(accessor, i, field));
  }
  static std::vector<std::string> Texts(const Variant& collection) {
    std::vector<std::string> out;
    auto c = std::dynamic_pointer_cast<Collection>(collection.object());
    if (!c) {
      ADD_FAILURE() << "not a collection";
      return out;
    }
    for (const Variant& v : c->items()) out.push_back(ToStr(v));
    return out;
  }
  // The number of the automation error `f` raises (0 when none).
  static int32_t ErrorOf(const std::function<void()>& f, std::string* description = nullptr) {
    try {
      f();
    } catch (const AutomationError& e) {
      if (description) *description = e.description();
      return e.number();
    }
    return 0;
  }

  server::TestEnv env_{"[SOFTWARE\\QRN\\Valdrix\\Settings]\nWEB_HOST=svc.example.test\n"};
  std::shared_ptr<server::Enlace> e_ = server::Enlace::Create();

 private:
  std::string Answer(const std::string& method, const std::string& doc) {
    if (method == "ID") return "W1\tx\t00\t07\t\tE1";
    if (!opened_) {
      if (doc.find("<LEEREMPRESAS>") != std::string::npos)
        return "<Empresas><Empresa>Alfa</Empresa></Empresas>";
      if (doc.find("<EMPRESAEXISTS>") != std::string::npos) return "SI";
      if (doc.find("<GETTOTAL>Comun<") != std::string::npos) return "03";
      if (doc.find("<GETTOTAL>A&#209;O<") != std::string::npos) return "24";
      if (doc.find("<GETTOTAL>APERTURA<") != std::string::npos) return "01";
      return "";
    }
    requests_.push_back(doc);
    if (answers_.empty()) return "";
    std::string a = answers_.front();
    answers_.pop_front();
    return a;
  }

  std::shared_ptr<web::testing::ClientLog> log_ = std::make_shared<web::testing::ClientLog>();
  bool opened_ = false;
  std::deque<std::string> answers_;
  std::vector<std::string> requests_;
};

inline constexpr int32_t kWebRefusal = static_cast<int32_t>(0x8004C35D);

}  // namespace qrole::query

#endif  // QROLE_QUERY_WEB_QUERY_TEST_UTIL_H_
