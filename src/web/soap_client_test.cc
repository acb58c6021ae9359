// The SOAP client: reading service descriptions, the request envelope,
// reading answers and faults, against a scripted HTTP transport.

#include "web/soap_client.h"

#include <gtest/gtest.h>

#include <functional>

#include "qrole/error.h"

namespace qrole::web {
namespace {

// A description with its own prefixes, a SOAP 1.2 port listed first, and a
// request element whose type is a named complex type.
const char* kWsdl = R"(<?xml version="1.0" encoding="utf-8"?>
<w:definitions xmlns:w="http://schemas.xmlsoap.org/wsdl/"
    xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/"
    xmlns:soap12="http://schemas.xmlsoap.org/wsdl/soap12/"
    xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:t="urn:enlace:test"
    targetNamespace="urn:enlace:test">
  <w:types>
    <xsd:schema elementFormDefault="qualified" targetNamespace="urn:enlace:test">
      <xsd:element name="ID"><xsd:complexType><xsd:sequence>
        <xsd:element name="Usuario" type="xsd:string"/>
        <xsd:element name="Clave" type="xsd:string"/>
      </xsd:sequence></xsd:complexType></xsd:element>
      <xsd:element name="Peticion" type="t:PeticionTipo"/>
      <xsd:complexType name="PeticionTipo"><xsd:sequence>
        <xsd:element name="Estado" type="xsd:string"/>
        <xsd:element name="Documento" type="xsd:string"/>
      </xsd:sequence></xsd:complexType>
    </xsd:schema>
  </w:types>
  <w:message name="IDIn"><w:part name="parameters" element="t:ID"/></w:message>
  <w:message name="VDIn"><w:part name="parameters" element="t:Peticion"/></w:message>
  <w:portType name="Puerto">
    <w:operation name="ID"><w:input message="t:IDIn"/></w:operation>
    <w:operation name="VDWebService"><w:input message="t:VDIn"/></w:operation>
  </w:portType>
  <w:binding name="B12" type="t:Puerto">
    <w:operation name="ID"><soap12:operation soapAction="wrong"/></w:operation>
  </w:binding>
  <w:binding name="B11" type="t:Puerto">
    <w:operation name="ID"><soap:operation soapAction="urn:enlace:test#ID"/></w:operation>
    <w:operation name="VDWebService"><soap:operation soapAction=""/></w:operation>
  </w:binding>
  <w:service name="S">
    <w:port name="P12" binding="t:B12"><soap12:address location="https://svc.test/v12"/></w:port>
    <w:port name="P11" binding="t:B11"><soap:address location="https://svc.test/v11"/></w:port>
  </w:service>
</w:definitions>)";

class ScriptedTransport : public HttpTransport {
 public:
  explicit ScriptedTransport(std::function<HttpResponse(const HttpRequest&)> f)
      : f_(std::move(f)) {}
  HttpResponse Send(const HttpRequest& request) override {
    requests.push_back(request);
    return f_(request);
  }
  std::vector<HttpRequest> requests;

 private:
  std::function<HttpResponse(const HttpRequest&)> f_;
};

std::string Envelope(const std::string& body) {
  return "<?xml version=\"1.0\"?><e:Envelope "
         "xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body>" +
         body + "</e:Body></e:Envelope>";
}

AutomationError ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return AutomationError(0, "", "");
}

TEST(ServiceDescriptionTest, TakesTheSoap11PortAndEachOperationsParameters) {
  ServiceDescription d = ReadServiceDescription(kWsdl, "u");
  EXPECT_EQ(d.address, "https://svc.test/v11");
  EXPECT_EQ(d.target_namespace, "urn:enlace:test");
  ASSERT_EQ(d.operations.size(), 2u);
  const SoapOperation& id = d.operations.at("ID");
  EXPECT_EQ(id.soap_action, "urn:enlace:test#ID");
  EXPECT_EQ(id.element, "ID");
  EXPECT_EQ(id.element_namespace, "urn:enlace:test");
  EXPECT_EQ(id.params, (std::vector<std::string>{"Usuario", "Clave"}));
  const SoapOperation& vd = d.operations.at("VDWebService");
  EXPECT_EQ(vd.element, "Peticion");
  EXPECT_EQ(vd.params, (std::vector<std::string>{"Estado", "Documento"}));
}

TEST(ServiceDescriptionTest, RefusesWhatIsNotAUsableDescription) {
  for (const char* text :
       {"not xml <", "<html><body>Mantenimiento</body></html>",
        "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\"><service name=\"S\"/>"
        "</definitions>"}) {
    AutomationError e = ErrorOf([&] { ReadServiceDescription(text, "https://svc.test/d"); });
    EXPECT_EQ(e.number(), kWebClientError) << text;
    EXPECT_EQ(e.source(), kWebClientSource);
    EXPECT_NE(e.description().find("https://svc.test/d"), std::string::npos) << e.description();
  }
}

TEST(SoapRequestTest, WrapsTheArgumentsInTheRequestElement) {
  SoapOperation op{"a", "ID", "urn:x", {"Usuario", "Clave"}};
  std::string body =
      BuildSoapRequest(op, {{"a&b<c>", true}, {"l1\r\nl2\x01\tz", false}, {"extra", true}});
  EXPECT_NE(body.find("<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\""),
            std::string::npos);
  EXPECT_NE(body.find("<soap:Body>\n<ID xmlns=\"urn:x\"><Usuario>a&amp;b&lt;c&gt;</Usuario>"
                      "<Clave>l1&#13;\nl2\tz</Clave></ID>\n</soap:Body>"),
            std::string::npos)
      << body;
  EXPECT_EQ(body.find("extra"), std::string::npos);
}

TEST(SoapAnswerTest, ReadsTheResultAndWritesBackByReferenceArguments) {
  SoapOperation op{"a", "ID", "urn:x", {"Usuario", "Clave"}};
  std::vector<WebArg> args = {{"u", true}, {"c", false}};
  std::string result =
      ReadSoapAnswer(Envelope("<IDResponse xmlns=\"urn:x\"><IDResult>W1&#9;x&#13;\n&amp;</IDResult>"
                              "<Usuario>U2</Usuario><Clave>C2</Clave></IDResponse>"),
                     "ID", op, args);
  EXPECT_EQ(result, "W1\tx\r\n&");
  EXPECT_EQ(args[0].value, "U2");
  EXPECT_EQ(args[1].value, "c");  // not by reference: kept
  // A result element that is missing or empty reads as empty; so do blanks kept.
  EXPECT_EQ(ReadSoapAnswer(Envelope("<IDResponse/>"), "ID", op, args), "");
  EXPECT_EQ(
      ReadSoapAnswer(Envelope("<IDResponse><IDResult>  </IDResult></IDResponse>"), "ID", op, args),
      "  ");
}

TEST(SoapAnswerTest, AFaultOrANonSoapAnswerIsAnError) {
  SoapOperation op{"a", "ID", "urn:x", {}};
  std::vector<WebArg> args;
  AutomationError fault = ErrorOf([&] {
    ReadSoapAnswer(Envelope("<e:Fault><faultcode>e:Server</faultcode>"
                            "<faultstring>Servidor ocupado</faultstring></e:Fault>"),
                   "ID", op, args);
  });
  EXPECT_EQ(fault.number(), kWebClientError);
  EXPECT_EQ(fault.description(), "Servidor ocupado");
  EXPECT_THROW(ReadSoapAnswer("<html/>", "ID", op, args), AutomationError);
  EXPECT_THROW(ReadSoapAnswer(Envelope(""), "ID", op, args), AutomationError);
}

TEST(SoapClientTest, CallsPostToTheDescribedAddressWithTheSoapAction) {
  auto transport = std::make_unique<ScriptedTransport>([](const HttpRequest& r) {
    if (r.method == "GET") return HttpResponse{200, "text/xml", kWsdl};
    return HttpResponse{200, "text/xml",
                        Envelope("<PeticionResponse><VDWebServiceResult>OK</VDWebServiceResult>"
                                 "<Estado>S2</Estado></PeticionResponse>")};
  });
  ScriptedTransport* t = transport.get();
  SoapClient client(std::move(transport));
  std::vector<WebArg> args = {{"S1", true}, {"<DOC/>", true}};
  EXPECT_THROW(client.Call("VDWebService", args), AutomationError);  // not initialised
  client.Initialise("https://svc.test/valdrix/vdenlace.asmx?wsdl");
  EXPECT_EQ(t->requests[0].url, "https://svc.test/valdrix/vdenlace.asmx?wsdl");
  EXPECT_EQ(client.Call("VDWebService", args), "OK");
  EXPECT_EQ(args[0].value, "S2");
  EXPECT_EQ(args[1].value, "<DOC/>");
  const HttpRequest& post = t->requests.back();
  EXPECT_EQ(post.method, "POST");
  EXPECT_EQ(post.url, "https://svc.test/v11");
  // No action in the binding: the namespace and the method's name.
  EXPECT_EQ(post.headers, (std::vector<std::pair<std::string, std::string>>{
                              {"Content-Type", "text/xml; charset=utf-8"},
                              {"SOAPAction", "\"urn:enlace:test/VDWebService\""}}));
  EXPECT_NE(post.body.find("<Documento>&lt;DOC/&gt;</Documento>"), std::string::npos);

  AutomationError unknown = ErrorOf([&] { client.Call("Otro", args); });
  EXPECT_EQ(unknown.description(), "El servicio web no tiene el método Otro");
}

TEST(SoapClientTest, FailureStatusesAreErrors) {
  HttpResponse answer;
  auto transport = std::make_unique<ScriptedTransport>([&](const HttpRequest& r) {
    if (r.method == "GET") return HttpResponse{200, "text/xml", kWsdl};
    return answer;
  });
  SoapClient client(std::move(transport));
  client.Initialise("u");
  std::vector<WebArg> args = {{"a", true}, {"b", true}};
  answer = {500, "text/xml",
            Envelope("<e:Fault><faultcode>e:Client</faultcode><faultstring>Documento mal formado"
                     "</faultstring></e:Fault>")};
  EXPECT_EQ(ErrorOf([&] { client.Call("ID", args); }).description(), "Documento mal formado");
  answer = {503, "text/html", "<html>down</html>"};
  EXPECT_EQ(ErrorOf([&] { client.Call("ID", args); }).description(),
            "El servicio web respondió 503 (ID)");
  answer = {500, "text/plain", "boom"};
  EXPECT_EQ(ErrorOf([&] { client.Call("ID", args); }).description(),
            "El servicio web respondió 500 (ID)");
  EXPECT_EQ(args[0].value, "a");
}

TEST(SoapClientTest, ADescriptionThatCannotBeFetchedIsAnError) {
  SoapClient client(std::make_unique<ScriptedTransport>([](const HttpRequest&) {
    return HttpResponse{404, "text/html", "no"};
  }));
  AutomationError e = ErrorOf([&] { client.Initialise("https://svc.test/x?wsdl"); });
  EXPECT_EQ(e.description(),
            "El servicio web respondió 404 al pedir su descripción: https://svc.test/x?wsdl");
}

}  // namespace
}  // namespace qrole::web
