// The web link over real HTTP: libcurl's transport and the SOAP client
// against a stand-in web service on 127.0.0.1, and a login of an Enlace
// through them.

#include <gtest/gtest.h>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/test_env.h"
#include "web/fake_web_service.h"
#include "web/soap_client.h"
#include "web/web_link.h"

namespace qrole::web {
namespace {

using testing::FakeAnswer;
using testing::FakeCall;
using testing::FakeWebService;

AutomationError ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return AutomationError(0, "", "");
}

TEST(WebHttpTest, CallsTheServiceThroughItsDescription) {
  FakeWebService service([](const FakeCall& call) {
    FakeAnswer a;
    if (call.method == "ID") {
      a.result = "W1\t\t00\t07\tMAIN\tE1";
      a.written_back = {std::nullopt, std::string("oculta")};
    } else {
      a.result = "eco:" + call.args[1];
      a.written_back = {std::string("estado 2"), std::nullopt};
    }
    return a;
  });
  SoapClient client(MakeHttpTransport());
  client.Initialise(service.endpoint() + "/vdenlace.asmx?wsdl");
  EXPECT_EQ(service.description_requests(), 1);
  // The SOAP 1.1 port, not the SOAP 1.2 one listed before it.
  EXPECT_EQ(client.description().address, service.endpoint() + "/vdenlace.asmx");

  std::vector<WebArg> id = {{"ana", true}, {"secreto", true}};
  EXPECT_EQ(client.Call("ID", id), "W1\t\t00\t07\tMAIN\tE1");
  EXPECT_EQ(id[0].value, "ana");
  EXPECT_EQ(id[1].value, "oculta");

  const std::string document = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<A>ñ & <b>\x01</A>";
  std::vector<WebArg> args = {{"", true}, {document, true}};
  EXPECT_EQ(client.Call("VDWebService", args),
            "eco:<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<A>ñ & <b></A>");
  EXPECT_EQ(args[0].value, "estado 2");

  std::vector<FakeCall> calls = service.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].method, "ID");
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"ana", "secreto"}));
  EXPECT_EQ(calls[0].soap_action, "\"urn:qrole-test:enlace/ID\"");
  EXPECT_EQ(calls[0].content_type, "text/xml; charset=utf-8");
  EXPECT_EQ(calls[1].args[0], "");
}

TEST(WebHttpTest, FaultsAndRefusedConnectionsAreErrors) {
  FakeWebService service([](const FakeCall&) {
    FakeAnswer a;
    a.fault = "Sesión caducada";
    return a;
  });
  SoapClient client(MakeHttpTransport());
  client.Initialise(service.endpoint() + "/vdenlace.asmx?wsdl");
  std::vector<WebArg> args = {{"", true}, {"<X/>", true}};
  AutomationError fault = ErrorOf([&] { client.Call("VDWebService", args); });
  EXPECT_EQ(fault.number(), kWebClientError);
  EXPECT_EQ(fault.description(), "Sesión caducada");

  uint16_t closed_port;
  {
    FakeWebService gone([](const FakeCall&) { return FakeAnswer(); });
    closed_port = gone.port();
  }
  SoapClient nowhere(MakeHttpTransport());
  std::string url =
      "http://127.0.0.1:" + std::to_string(closed_port) + "/valdrix/vdenlace.asmx?wsdl";
  AutomationError refused = ErrorOf([&] { nowhere.Initialise(url); });
  EXPECT_EQ(refused.number(), kWebClientError);
  EXPECT_EQ(refused.source(), kWebClientSource);
  EXPECT_NE(refused.description().find(url), std::string::npos) << refused.description();

  // Anything but http and https is refused by the transport.
  EXPECT_THROW(SoapClient(MakeHttpTransport()).Initialise("file:///etc/passwd"), AutomationError);
}

TEST(WebHttpTest, AnEnlaceLogsInAndListsItsCompaniesOverHttp) {
  server::TestEnv env;
  FakeWebService service([](const FakeCall& call) {
    FakeAnswer a;
    if (call.method == "ID") {
      a.result = "W1\t\t00\t07\tMAIN\tE1";
    } else if (call.args[1].find("<LEEREMPRESAS>") != std::string::npos) {
      a.result = "<Empresas><Empresa>Alfa SL</Empresa><Empresa>Beta ñ</Empresa></Empresas>";
    } else if (call.args[1].find("<LEERCARPETASVALDRIX2>") != std::string::npos) {
      a.result = "MAIN,Otra";
    }
    return a;
  });
  auto e = server::Enlace::Create();
  Invoke(*e, "Login", typelib::Kind::kMethod,
         {Variant::FromString("ana"), Variant::FromString("x"),
          Variant::FromString(service.endpoint())});
  EXPECT_EQ(ToStr(Invoke(*e, "Usuario", typelib::Kind::kGet, {}).value), "07");
  auto empresas = e->empresas();
  ASSERT_EQ(empresas->Count(), 2);
  EXPECT_EQ(ToStr(empresas->Item(2)), "Beta ñ");
  auto folders = std::dynamic_pointer_cast<Collection>(
      Invoke(*e, "LeerCarpetas", typelib::Kind::kMethod, {}).value.object());
  ASSERT_TRUE(folders);
  EXPECT_EQ(folders->Count(), 2);
  EXPECT_EQ(service.description_requests(), 1);
  std::vector<FakeCall> calls = service.calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].args[1],
            "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<LEEREMPRESAS><ID>W1</ID>"
            "<CARPETA>MAIN</CARPETA>\r\n</LEEREMPRESAS>");
}

}  // namespace
}  // namespace qrole::web
