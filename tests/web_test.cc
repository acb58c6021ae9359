// The web link through qrole-server's socket, against a stand-in web
// service on 127.0.0.1: login, folders, companies and their parameters.

#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"
#include "web/fake_web_service.h"

namespace qrole::testing {
namespace {

using qrole::web::testing::FakeAnswer;
using qrole::web::testing::FakeCall;
using qrole::web::testing::FakeWebService;

// The tag of a request document ("<?xml ... ?>" CR LF "<TAG>...").
std::string TagOf(const std::string& doc) {
  size_t start = doc.find("?>\r\n<");
  if (start == std::string::npos) return "";
  start += 5;
  return doc.substr(start, doc.find('>', start) - start);
}

class WebSocketTest : public ::testing::Test {
 protected:
  FakeAnswer Answer(const FakeCall& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    FakeAnswer a;
    if (call.method == "ID") {
      a.result = call.args[1] == "clave" ? "W5\t\t00\t12\tCentral\tE7" : "ERROR: clave incorrecta";
      return a;
    }
    const std::string& doc = call.args[1];
    std::string tag = TagOf(doc);
    if (tag == "LEEREMPRESAS")
      a.result = "<Empresas><E>Alfa SL</E><E>Beta SA</E></Empresas>";
    else if (tag == "LEERCARPETASVALDRIX2")
      a.result = "Central,Sucursal";
    else if (tag == "EMPRESAEXISTS")
      a.result = doc.find("<EMPRESA>Alfa SL</EMPRESA>") != std::string::npos ? "SI" : "NO";
    else if (tag == "GETTOTAL")
      a.result = doc.find("<GETTOTAL>Comun<") != std::string::npos      ? "04"
                 : doc.find("<GETTOTAL>A&#209;O<") != std::string::npos ? "24"
                 : doc.find("<GETTOTAL>APERTURA<") != std::string::npos ? "01"
                 : doc.find("<GETTOTAL>NIF<") != std::string::npos      ? "B7654321"
                                                                        : "";
    else
      a.result = "ERROR: " + tag;
    return a;
  }

  std::mutex mutex_;
  FakeWebService service_{[this](const FakeCall& call) { return Answer(call); }};
  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
};

TEST_F(WebSocketTest, LogsInOpensACompanyAndReadsItsParameters) {
  c_.Call(e_, "Login", {"ana", "clave", service_.endpoint()});
  EXPECT_EQ(c_.Get(e_, "Usuario"), "12");
  int64_t empresas = HandleOf(c_.Get(e_, "Empresas"));
  EXPECT_EQ(c_.Get(empresas, "Count"), 2);
  EXPECT_EQ(c_.Call(empresas, "Item", {2}), "Beta SA");
  EXPECT_EQ(c_.Get(e_, "Carpeta"), "Central");
  int64_t folders = HandleOf(c_.Call(e_, "LeerCarpetas"));
  EXPECT_EQ(c_.Get(folders, "Count"), 2);

  c_.Call(e_, "AbrirEmpresa", {"Alfa SL"});
  EXPECT_EQ(c_.Call(e_, "NumeroEmpresa"), "04");
  EXPECT_EQ(c_.Call(e_, "Empresa"), "Alfa SL");
  EXPECT_EQ(c_.Call(e_, "año", {0}), "24");
  EXPECT_EQ(c_.Call(e_, "GetTotal", {"NIF"}), "B7654321");

  RemoteError missing = ErrorOf([&] { c_.Call(e_, "AbrirEmpresa", {"Gamma"}); });
  EXPECT_EQ(missing.number(), static_cast<int32_t>(0x8004C351));
  EXPECT_EQ(missing.source(), "QROLE");
  EXPECT_EQ(missing.description(), "Empresa Valdrix no existe: \nGamma");
  EXPECT_EQ(service_.description_requests(), 1);
}

// The books of a web-mode object are the service's: the server cannot keep a
// key in the same step as them, so a keyed posting is refused before it runs.
TEST_F(WebSocketTest, APostingWithAnIdempotencyKeyIsRefused) {
  c_.Call(e_, "Login", {"ana", "clave", service_.endpoint()});
  c_.Call(e_, "AbrirEmpresa", {"Alfa SL"});
  RemoteError e = ErrorOf([&] {
    c_.Request("invoke", {{"object", e_}, {"member", "GrabarAsiento"}, {"idempotency_key", "k"}});
  });
  EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C35D));
  EXPECT_EQ(e.description().find("Esta opción no está disponible con enlace a "), 0u);
  EXPECT_EQ(e.description().substr(e.description().size() - 16), "\nidempotency_key");
  // Members that write nothing ignore the key.
  EXPECT_EQ(
      c_.Request("invoke",
                 {{"object", e_}, {"member", "NumeroEmpresa"}, {"idempotency_key", "k"}})["value"],
      "04");
}

TEST_F(WebSocketTest, ARefusedLoginReachesTheClientWithTheServicesText) {
  RemoteError e = ErrorOf([&] { c_.Call(e_, "Login", {"ana", "mala", service_.endpoint()}); });
  EXPECT_EQ(e.number(), 50900);
  EXPECT_EQ(e.description(), "ERROR: clave incorrecta");
  // Still local: the folders are refused.
  EXPECT_EQ(ErrorOf([&] { c_.Get(e_, "Carpeta"); }).number(), static_cast<int32_t>(0x8004C35F));
}

TEST_F(WebSocketTest, AnUnreachableServiceIsAnErrorAndTheObjectStaysLocal) {
  uint16_t closed_port;
  {
    FakeWebService gone([](const FakeCall&) { return FakeAnswer(); });
    closed_port = gone.port();
  }
  std::string endpoint = "http://127.0.0.1:" + std::to_string(closed_port) + "/valdrix";
  RemoteError e = ErrorOf([&] { c_.Call(e_, "Login", {"ana", "clave", endpoint}); });
  EXPECT_NE(e.description().find(endpoint + "/vdenlace.asmx?wsdl"), std::string::npos)
      << e.description();
  EXPECT_EQ(ErrorOf([&] { c_.Call(e_, "LeerCarpetas"); }).number(),
            static_cast<int32_t>(0x8004C35F));
  // A later login to a service that answers works.
  c_.Call(e_, "Login", {"ana", "clave", service_.endpoint()});
  EXPECT_EQ(c_.Get(e_, "Carpeta"), "Central");
}

}  // namespace
}  // namespace qrole::testing
