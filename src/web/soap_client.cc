#include "web/soap_client.h"

#include <pugixml.hpp>

#include "qrole/error.h"
#include "web/xml_nodes_internal.h"

namespace qrole::web {

namespace {

using internal::AfterPrefix;
using internal::Is;
using internal::LocalName;
using internal::NamespaceFor;
using internal::NamespaceOf;
using internal::TextOf;

constexpr std::string_view kWsdlNs = "http://schemas.xmlsoap.org/wsdl/";
constexpr std::string_view kSoapBindingNs = "http://schemas.xmlsoap.org/wsdl/soap/";
constexpr std::string_view kSchemaNs = "http://www.w3.org/2001/XMLSchema";
constexpr std::string_view kEnvelopeNs = "http://schemas.xmlsoap.org/soap/envelope/";

[[noreturn]] void Fail(const std::string& what) {
  throw AutomationError(kWebClientError, kWebClientSource, what);
}

// Children of `parent` in namespace `ns` with local name `local`.
template <typename F>
void ForEachChild(const pugi::xml_node& parent, std::string_view ns, std::string_view local, F f) {
  for (pugi::xml_node child : parent.children())
    if (Is(child, ns, local)) f(child);
}

pugi::xml_node FindNamed(const pugi::xml_node& parent, std::string_view ns, std::string_view local,
                         std::string_view name) {
  pugi::xml_node found;
  ForEachChild(parent, ns, local, [&](const pugi::xml_node& n) {
    if (!found && std::string_view(n.attribute("name").value()) == name) found = n;
  });
  return found;
}

// The top-level schema element `name` (in any schema of the description).
pugi::xml_node SchemaElement(const pugi::xml_node& definitions, std::string_view name,
                             pugi::xml_node* schema_out) {
  pugi::xml_node found;
  ForEachChild(definitions, kWsdlNs, "types", [&](const pugi::xml_node& types) {
    ForEachChild(types, kSchemaNs, "schema", [&](const pugi::xml_node& schema) {
      if (found) return;
      found = FindNamed(schema, kSchemaNs, "element", name);
      if (found) *schema_out = schema;
    });
  });
  return found;
}

// The names of the elements of a complex type's sequence, in order.
std::vector<std::string> SequenceNames(const pugi::xml_node& complex_type) {
  std::vector<std::string> names;
  ForEachChild(complex_type, kSchemaNs, "sequence", [&](const pugi::xml_node& sequence) {
    ForEachChild(sequence, kSchemaNs, "element", [&](const pugi::xml_node& e) {
      std::string name = e.attribute("name").value();
      if (name.empty()) name = std::string(AfterPrefix(e.attribute("ref").value()));
      names.push_back(name);
    });
  });
  return names;
}

// The parameters of the request element `name`: its inline complex type, or
// the named complex type it refers to.
std::vector<std::string> ElementParams(const pugi::xml_node& definitions, std::string_view name,
                                       std::string* element_ns) {
  pugi::xml_node schema;
  pugi::xml_node element = SchemaElement(definitions, name, &schema);
  if (!element) return {};
  *element_ns = schema.attribute("targetNamespace").value();
  pugi::xml_node inline_type;
  ForEachChild(element, kSchemaNs, "complexType",
               [&](const pugi::xml_node& t) { inline_type = t; });
  if (inline_type) return SequenceNames(inline_type);
  std::string_view type = AfterPrefix(element.attribute("type").value());
  pugi::xml_node named = FindNamed(schema, kSchemaNs, "complexType", type);
  return named ? SequenceNames(named) : std::vector<std::string>{};
}

// The request element of an operation: the element of the first part of its
// input message (document/literal), found through the port type.
std::string InputElement(const pugi::xml_node& definitions, const pugi::xml_node& binding,
                         const std::string& operation) {
  std::string_view port_type_name = AfterPrefix(binding.attribute("type").value());
  pugi::xml_node port_type = FindNamed(definitions, kWsdlNs, "portType", port_type_name);
  pugi::xml_node op = FindNamed(port_type, kWsdlNs, "operation", operation);
  pugi::xml_node input;
  ForEachChild(op, kWsdlNs, "input", [&](const pugi::xml_node& n) { input = n; });
  std::string_view message_name = AfterPrefix(input.attribute("message").value());
  pugi::xml_node message = FindNamed(definitions, kWsdlNs, "message", message_name);
  pugi::xml_node part;
  ForEachChild(message, kWsdlNs, "part", [&](const pugi::xml_node& p) {
    if (!part) part = p;
  });
  std::string_view element = AfterPrefix(part.attribute("element").value());
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

pugi::xml_parse_result Parse(pugi::xml_document& doc, const std::string& text) {
  return doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata,
                         pugi::encoding_auto);
}

}  // namespace

ServiceDescription ReadServiceDescription(const std::string& wsdl, const std::string& url) {
  pugi::xml_document doc;
  if (!Parse(doc, wsdl)) Fail("La descripción del servicio web no es XML válido: " + url);
  pugi::xml_node definitions = doc.document_element();
  if (!Is(definitions, kWsdlNs, "definitions"))
    Fail("La descripción del servicio web no es un documento WSDL: " + url);

  ServiceDescription out;
  out.target_namespace = definitions.attribute("targetNamespace").value();

  // The first port with a SOAP 1.1 address, and its binding.
  pugi::xml_node binding;
  ForEachChild(definitions, kWsdlNs, "service", [&](const pugi::xml_node& service) {
    ForEachChild(service, kWsdlNs, "port", [&](const pugi::xml_node& port) {
      if (!out.address.empty()) return;
      ForEachChild(port, kSoapBindingNs, "address", [&](const pugi::xml_node& address) {
        if (!out.address.empty()) return;
        out.address = address.attribute("location").value();
        binding = FindNamed(definitions, kWsdlNs, "binding",
                            AfterPrefix(port.attribute("binding").value()));
      });
    });
  });
  if (out.address.empty())
    Fail("La descripción del servicio web no tiene dirección SOAP 1.1: " + url);

  ForEachChild(binding, kWsdlNs, "operation", [&](const pugi::xml_node& operation) {
    SoapOperation op;
    std::string name = operation.attribute("name").value();
    ForEachChild(operation, kSoapBindingNs, "operation", [&](const pugi::xml_node& soap) {
      op.soap_action = soap.attribute("soapAction").value();
    });
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

// The first element of the body of a SOAP 1.1 envelope.
pugi::xml_node AnswerElement(pugi::xml_document& doc, const std::string& text,
                             const std::string& method) {
  if (!Parse(doc, text)) Fail("La respuesta del servicio web no es XML válido (" + method + ")");
  pugi::xml_node envelope = doc.document_element();
  if (!Is(envelope, kEnvelopeNs, "Envelope"))
    Fail("La respuesta del servicio web no es un mensaje SOAP (" + method + ")");
  pugi::xml_node body;
  ForEachChild(envelope, kEnvelopeNs, "Body", [&](const pugi::xml_node& b) { body = b; });
  for (pugi::xml_node child : body.children())
    if (child.type() == pugi::node_element) return child;
  Fail("La respuesta del servicio web está vacía (" + method + ")");
}

// The description of a fault element.
std::string FaultDescription(const pugi::xml_node& fault) {
  std::string fault_string, fault_code;
  for (pugi::xml_node child : fault.children()) {
    if (LocalName(child) == "faultstring") fault_string = TextOf(child);
    if (LocalName(child) == "faultcode") fault_code = TextOf(child);
  }
  return fault_string.empty() ? "Error del servicio web: " + fault_code : fault_string;
}

}  // namespace

std::string ReadSoapAnswer(const std::string& text, const std::string& method,
                           const SoapOperation& op, std::vector<WebArg>& args) {
  pugi::xml_document doc;
  pugi::xml_node answer = AnswerElement(doc, text, method);
  if (Is(answer, kEnvelopeNs, "Fault")) Fail(FaultDescription(answer));
  std::string result;
  const std::string result_name = method + "Result";
  for (pugi::xml_node child : answer.children()) {
    if (child.type() != pugi::node_element) continue;
    std::string_view local = LocalName(child);
    if (local == result_name) {
      result = TextOf(child);
      continue;
    }
    for (size_t i = 0; i < op.params.size() && i < args.size(); ++i)
      if (args[i].by_ref && local == op.params[i]) args[i].value = TextOf(child);
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
    pugi::xml_document doc;
    pugi::xml_node answer;
    try {
      answer = AnswerElement(doc, response.body, method);
    } catch (const AutomationError&) {
      Fail(status);
    }
    Fail(Is(answer, kEnvelopeNs, "Fault") ? FaultDescription(answer) : status);
  }
  return ReadSoapAnswer(response.body, method, op, args);
}

std::unique_ptr<WebServiceClient> MakeWebServiceClient() {
  return std::make_unique<SoapClient>(MakeCurlTransport());
}

}  // namespace qrole::web
