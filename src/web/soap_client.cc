#include "web/soap_client.h"

#include "qrole/error.h"
#include "web/xml_tree.h"

namespace qrole::web {

namespace {

constexpr std::string_view kWsdlNs = "http://schemas.xmlsoap.org/wsdl/";
constexpr std::string_view kSoapBindingNs = "http://schemas.xmlsoap.org/wsdl/soap/";
constexpr std::string_view kSchemaNs = "http://www.w3.org/2001/XMLSchema";
constexpr std::string_view kEnvelopeNs = "http://schemas.xmlsoap.org/soap/envelope/";

[[noreturn]] void Fail(const std::string& what) {
  throw AutomationError(kWebClientError, kWebClientSource, what);
}

// Children of `parent` in namespace `ns` with local name `local`.
template <typename F>
void ForEachChild(const XmlNode* parent, std::string_view ns, std::string_view local, F f) {
  if (!parent) return;
  for (const XmlNode& child : parent->children)
    if (child.Is(ns, local)) f(child);
}

const XmlNode* FindNamed(const XmlNode* parent, std::string_view ns, std::string_view local,
                         std::string_view name) {
  const XmlNode* found = nullptr;
  ForEachChild(parent, ns, local, [&](const XmlNode& n) {
    if (!found && n.Attribute("name") == name) found = &n;
  });
  return found;
}

// The top-level schema element `name` (in any schema of the description).
const XmlNode* SchemaElement(const XmlNode& definitions, std::string_view name,
                             const XmlNode** schema_out) {
  const XmlNode* found = nullptr;
  ForEachChild(&definitions, kWsdlNs, "types", [&](const XmlNode& types) {
    ForEachChild(&types, kSchemaNs, "schema", [&](const XmlNode& schema) {
      if (found) return;
      found = FindNamed(&schema, kSchemaNs, "element", name);
      if (found) *schema_out = &schema;
    });
  });
  return found;
}

// The names of the elements of a complex type's sequence, in order.
std::vector<std::string> SequenceNames(const XmlNode& complex_type) {
  std::vector<std::string> names;
  ForEachChild(&complex_type, kSchemaNs, "sequence", [&](const XmlNode& sequence) {
    ForEachChild(&sequence, kSchemaNs, "element", [&](const XmlNode& e) {
      std::string name = e.Attribute("name");
      if (name.empty()) name = std::string(AfterPrefix(e.Attribute("ref")));
      names.push_back(name);
    });
  });
  return names;
}

// The parameters of the request element `name`: its inline complex type, or
// the named complex type it refers to.
std::vector<std::string> ElementParams(const XmlNode& definitions, std::string_view name,
                                       std::string* element_ns) {
  const XmlNode* schema = nullptr;
  const XmlNode* element = SchemaElement(definitions, name, &schema);
  if (!element) return {};
  *element_ns = schema->Attribute("targetNamespace");
  const XmlNode* inline_type = nullptr;
  ForEachChild(element, kSchemaNs, "complexType", [&](const XmlNode& t) { inline_type = &t; });
  if (inline_type) return SequenceNames(*inline_type);
  const std::string type = element->Attribute("type");
  const XmlNode* named = FindNamed(schema, kSchemaNs, "complexType", AfterPrefix(type));
  return named ? SequenceNames(*named) : std::vector<std::string>{};
}

// The request element of an operation: the element of the first part of its
// input message (document/literal), found through the port type.
std::string InputElement(const XmlNode& definitions, const XmlNode* binding,
                         const std::string& operation) {
  const std::string port_type_name = binding ? binding->Attribute("type") : "";
  const XmlNode* port_type =
      FindNamed(&definitions, kWsdlNs, "portType", AfterPrefix(port_type_name));
  const XmlNode* op = FindNamed(port_type, kWsdlNs, "operation", operation);
  const XmlNode* input = nullptr;
  ForEachChild(op, kWsdlNs, "input", [&](const XmlNode& n) { input = &n; });
  const std::string message_name = input ? input->Attribute("message") : "";
  const XmlNode* message = FindNamed(&definitions, kWsdlNs, "message", AfterPrefix(message_name));
  const XmlNode* part = nullptr;
  ForEachChild(message, kWsdlNs, "part", [&](const XmlNode& p) {
    if (!part) part = &p;
  });
  const std::string element_attr = part ? part->Attribute("element") : "";
  std::string_view element = AfterPrefix(element_attr);
  return element.empty() ? operation : std::string(element);
}

// XML text content: the three markup characters escaped, CR kept as a
// reference (a bare CR would reach the service as LF), and the control
// characters that XML 1.0 cannot carry left out.
std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (static_cast<unsigned char>(c) < 32 && c != '\t' && c != '\n') break;
        out += c;
    }
  }
  return out;
}

std::string EscapeAttribute(std::string_view text) {
  std::string out = EscapeText(text);
  std::string quoted;
  for (char c : out) quoted += c == '"' ? std::string("&quot;") : std::string(1, c);
  return quoted;
}

}  // namespace

ServiceDescription ReadServiceDescription(const std::string& wsdl, const std::string& url) {
  std::optional<XmlNode> doc = ParseXml(wsdl);
  if (!doc) Fail("La descripción del servicio web no es XML válido: " + url);
  const XmlNode& definitions = *doc;
  if (!definitions.Is(kWsdlNs, "definitions"))
    Fail("La descripción del servicio web no es un documento WSDL: " + url);

  ServiceDescription out;
  out.target_namespace = definitions.Attribute("targetNamespace");

  // The first port with a SOAP 1.1 address, and its binding.
  const XmlNode* binding = nullptr;
  ForEachChild(&definitions, kWsdlNs, "service", [&](const XmlNode& service) {
    ForEachChild(&service, kWsdlNs, "port", [&](const XmlNode& port) {
      if (!out.address.empty()) return;
      ForEachChild(&port, kSoapBindingNs, "address", [&](const XmlNode& address) {
        if (!out.address.empty()) return;
        out.address = address.Attribute("location");
        const std::string binding_name = port.Attribute("binding");
        binding = FindNamed(&definitions, kWsdlNs, "binding", AfterPrefix(binding_name));
      });
    });
  });
  if (out.address.empty())
    Fail("La descripción del servicio web no tiene dirección SOAP 1.1: " + url);

  ForEachChild(binding, kWsdlNs, "operation", [&](const XmlNode& operation) {
    SoapOperation op;
    std::string name = operation.Attribute("name");
    ForEachChild(&operation, kSoapBindingNs, "operation",
                 [&](const XmlNode& soap) { op.soap_action = soap.Attribute("soapAction"); });
    op.element = InputElement(definitions, binding, name);
    op.element_namespace = out.target_namespace;
    op.params = ElementParams(definitions, op.element, &op.element_namespace);
    out.operations[name] = op;
  });
  return out;
}

std::string BuildSoapRequest(const SoapOperation& op, const std::vector<WebArg>& args) {
  std::string body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">\n"
      "<soap:Body>\n";
  body += "<" + op.element;
  if (!op.element_namespace.empty())
    body += " xmlns=\"" + EscapeAttribute(op.element_namespace) + "\"";
  body += ">";
  for (size_t i = 0; i < op.params.size() && i < args.size(); ++i)
    body += "<" + op.params[i] + ">" + EscapeText(args[i].value) + "</" + op.params[i] + ">";
  body += "</" + op.element + ">\n</soap:Body>\n</soap:Envelope>\n";
  return body;
}

namespace {

// The first element of the body of a SOAP 1.1 envelope, kept in `doc`.
const XmlNode& AnswerElement(std::optional<XmlNode>& doc, const std::string& text,
                             const std::string& method) {
  doc = ParseXml(text);
  if (!doc) Fail("La respuesta del servicio web no es XML válido (" + method + ")");
  const XmlNode& envelope = *doc;
  if (!envelope.Is(kEnvelopeNs, "Envelope"))
    Fail("La respuesta del servicio web no es un mensaje SOAP (" + method + ")");
  const XmlNode* body = nullptr;
  ForEachChild(&envelope, kEnvelopeNs, "Body", [&](const XmlNode& b) { body = &b; });
  if (body)
    for (const XmlNode& child : body->children)
      if (!child.is_text) return child;
  Fail("La respuesta del servicio web está vacía (" + method + ")");
}

// The description of a fault element.
std::string FaultDescription(const XmlNode& fault) {
  std::string fault_string, fault_code;
  for (const XmlNode& child : fault.children) {
    if (child.is_text) continue;
    if (child.LocalName() == "faultstring") fault_string = child.Text();
    if (child.LocalName() == "faultcode") fault_code = child.Text();
  }
  return fault_string.empty() ? "Error del servicio web: " + fault_code : fault_string;
}

}  // namespace

std::string ReadSoapAnswer(const std::string& text, const std::string& method,
                           const SoapOperation& op, std::vector<WebArg>& args) {
  std::optional<XmlNode> doc;
  const XmlNode& answer = AnswerElement(doc, text, method);
  if (answer.Is(kEnvelopeNs, "Fault")) Fail(FaultDescription(answer));
  std::string result;
  const std::string result_name = method + "Result";
  for (const XmlNode& child : answer.children) {
    if (child.is_text) continue;
    std::string_view local = child.LocalName();
    if (local == result_name) {
      result = child.Text();
      continue;
    }
    for (size_t i = 0; i < op.params.size() && i < args.size(); ++i)
      if (args[i].by_ref && local == op.params[i]) args[i].value = child.Text();
  }
  return result;
}

SoapClient::SoapClient(std::unique_ptr<HttpTransport> transport)
    : transport_(std::move(transport)) {}

void SoapClient::Initialise(const std::string& description_url) {
  HttpRequest request;
  request.url = description_url;
  HttpResponse response = transport_->Send(request);
  if (response.status != 200)
    Fail("El servicio web respondió " + std::to_string(response.status) +
         " al pedir su descripción: " + description_url);
  description_ = ReadServiceDescription(response.body, description_url);
  initialised_ = true;
}

std::string SoapClient::Call(const std::string& method, std::vector<WebArg>& args) {
  if (!initialised_) Fail("El cliente del servicio web no está iniciado");
  auto it = description_.operations.find(method);
  if (it == description_.operations.end()) Fail("El servicio web no tiene el método " + method);
  const SoapOperation& op = it->second;
  std::string action = op.soap_action;
  if (action.empty()) {
    action = description_.target_namespace;
    if (!action.empty() && action.back() != '/') action += '/';
    action += method;
  }
  HttpRequest request;
  request.method = "POST";
  request.url = description_.address;
  request.headers = {{"Content-Type", "text/xml; charset=utf-8"},
                     {"SOAPAction", "\"" + action + "\""}};
  request.body = BuildSoapRequest(op, args);
  HttpResponse response = transport_->Send(request);
  if (response.status < 200 || response.status >= 300) {
    // A fault comes with a failure status (500); its description is the
    // fault's. Without one, the status is all there is to tell.
    std::string status =
        "El servicio web respondió " + std::to_string(response.status) + " (" + method + ")";
    std::optional<XmlNode> doc;
    const XmlNode* answer = nullptr;
    try {
      answer = &AnswerElement(doc, response.body, method);
    } catch (const AutomationError&) {
      Fail(status);
    }
    Fail(answer->Is(kEnvelopeNs, "Fault") ? FaultDescription(*answer) : status);
  }
  return ReadSoapAnswer(response.body, method, op, args);
}

std::unique_ptr<WebServiceClient> MakeWebServiceClient() {
  return std::make_unique<SoapClient>(MakeHttpTransport());
}

}  // namespace qrole::web
