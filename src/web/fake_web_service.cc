#include "web/fake_web_service.h"

#include <asio.hpp>
#include <cctype>
#include <mutex>
#include <thread>

#include "web/xml_tree.h"

namespace qrole::web::testing {

namespace {

constexpr const char* kNamespace = "urn:qrole-test:enlace";
constexpr size_t kMaxRequestBytes = 16u * 1024 * 1024;

struct Method {
  const char* name;
  const char* params[2];
};
constexpr Method kMethods[] = {{"ID", {"Usuario", "Password"}},
                               {"VDWebService", {"Estado", "Documento"}}};

std::string Escape(const std::string& text) {
  std::string out;
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
        out += c;
    }
  }
  return out;
}

std::string HttpAnswer(int status, const std::string& type, const std::string& body) {
  std::string reason = status == 200 ? "OK" : status == 500 ? "Internal Server Error" : "Error";
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         body;
}

std::string Envelope(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
         "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
         "<soap:Body>" +
         body + "</soap:Body></soap:Envelope>";
}

// The value of a header (name matched ignoring case) in the head of a request.
std::string HeaderValue(const std::string& head, const std::string& name) {
  std::string lower_head = head;
  for (char& c : lower_head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string key = "\r\n" + name + ":";
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t p = lower_head.find(key);
  if (p == std::string::npos) return "";
  size_t start = p + key.size();
  size_t end = head.find("\r\n", start);
  std::string value = head.substr(start, end - start);
  size_t first = value.find_first_not_of(' ');
  return first == std::string::npos ? "" : value.substr(first);
}

}  // namespace

struct FakeWebService::Impl {
  explicit Impl(FakeHandler h) : handler(std::move(h)) {}

  FakeHandler handler;
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor{io};
  uint16_t port = 0;
  std::thread thread;

  mutable std::mutex mutex;
  std::vector<FakeCall> calls;
  int description_requests = 0;

  std::string Description() const {
    std::string ns = kNamespace;
    std::string types, messages, operations, soap11, soap12;
    for (const Method& m : kMethods) {
      std::string name = m.name;
      std::string params,
          answer = "<s:element minOccurs=\"0\" name=\"" + name + "Result\" type=\"s:string\"/>";
      for (const char* p : m.params) {
        params += "<s:element minOccurs=\"0\" name=\"" + std::string(p) + "\" type=\"s:string\"/>";
        answer += "<s:element minOccurs=\"0\" name=\"" + std::string(p) + "\" type=\"s:string\"/>";
      }
      types += "<s:element name=\"" + name + "\"><s:complexType><s:sequence>" + params +
               "</s:sequence></s:complexType></s:element>";
      types += "<s:element name=\"" + name + "Response\"><s:complexType><s:sequence>" + answer +
               "</s:sequence></s:complexType></s:element>";
      messages += "<wsdl:message name=\"" + name + "SoapIn\"><wsdl:part name=\"parameters\" " +
                  "element=\"tns:" + name + "\"/></wsdl:message>";
      messages += "<wsdl:message name=\"" + name + "SoapOut\"><wsdl:part name=\"parameters\" " +
                  "element=\"tns:" + name + "Response\"/></wsdl:message>";
      operations += "<wsdl:operation name=\"" + name + "\"><wsdl:input message=\"tns:" + name +
                    "SoapIn\"/><wsdl:output message=\"tns:" + name + "SoapOut\"/></wsdl:operation>";
      soap11 += "<wsdl:operation name=\"" + name + "\"><soap:operation soapAction=\"" + ns + "/" +
                name + "\" style=\"document\"/><wsdl:input><soap:body use=\"literal\"/>" +
                "</wsdl:input><wsdl:output><soap:body use=\"literal\"/></wsdl:output>" +
                "</wsdl:operation>";
      soap12 += "<wsdl:operation name=\"" + name + "\"><soap12:operation soapAction=\"" + ns + "/" +
                name + "\" style=\"document\"/></wsdl:operation>";
    }
    std::string base = "http://127.0.0.1:" + std::to_string(port) + "/valdrix/vdenlace.asmx";
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<wsdl:definitions xmlns:soap=\"http://schemas.xmlsoap.org/wsdl/soap/\" "
           "xmlns:soap12=\"http://schemas.xmlsoap.org/wsdl/soap12/\" "
           "xmlns:s=\"http://www.w3.org/2001/XMLSchema\" xmlns:tns=\"" +
           ns + "\" targetNamespace=\"" + ns +
           "\" xmlns:wsdl=\"http://schemas.xmlsoap.org/wsdl/\">"
           "<wsdl:types><s:schema elementFormDefault=\"qualified\" targetNamespace=\"" +
           ns + "\">" + types + "</s:schema></wsdl:types>" + messages +
           "<wsdl:portType name=\"EnlaceSoap\">" + operations +
           "</wsdl:portType>"
           "<wsdl:binding name=\"EnlaceSoap12\" type=\"tns:EnlaceSoap\">"
           "<soap12:binding transport=\"http://schemas.xmlsoap.org/soap/http\"/>" +
           soap12 +
           "</wsdl:binding>"
           "<wsdl:binding name=\"EnlaceSoap\" type=\"tns:EnlaceSoap\">"
           "<soap:binding transport=\"http://schemas.xmlsoap.org/soap/http\"/>" +
           soap11 +
           "</wsdl:binding>"
           "<wsdl:service name=\"Enlace\">"
           // The SOAP 1.2 port comes first, at an address that answers nothing.
           "<wsdl:port name=\"EnlaceSoap12\" binding=\"tns:EnlaceSoap12\">"
           "<soap12:address location=\"" +
           base +
           "/soap12-not-served\"/></wsdl:port>"
           "<wsdl:port name=\"EnlaceSoap\" binding=\"tns:EnlaceSoap\">"
           "<soap:address location=\"" +
           base + "\"/></wsdl:port></wsdl:service></wsdl:definitions>\n";
  }

  // The HTTP answer to one request.
  std::string Answer(const std::string& head, const std::string& body) {
    std::string line = head.substr(0, head.find("\r\n"));
    if (line.rfind("GET /valdrix/vdenlace.asmx?wsdl ", 0) == 0) {
      std::lock_guard<std::mutex> lock(mutex);
      ++description_requests;
      return HttpAnswer(200, "text/xml; charset=utf-8", Description());
    }
    if (line.rfind("POST /valdrix/vdenlace.asmx ", 0) != 0)
      return HttpAnswer(404, "text/plain", "");

    FakeCall call;
    call.soap_action = HeaderValue(head, "SOAPAction");
    call.content_type = HeaderValue(head, "Content-Type");
    std::optional<XmlNode> doc = ParseXml(body);
    const XmlNode* request = nullptr;
    if (doc) {
      for (const XmlNode& b : doc->children)
        if (!b.is_text && b.LocalName() == "Body")
          for (const XmlNode& child : b.children)
            if (!request && !child.is_text) request = &child;
    }
    if (!request) return HttpAnswer(400, "text/plain", "not a SOAP request");
    call.method = std::string(request->LocalName());
    for (const XmlNode& arg : request->children)
      if (!arg.is_text) call.args.push_back(arg.Text());
    {
      std::lock_guard<std::mutex> lock(mutex);
      calls.push_back(call);
    }
    FakeAnswer a = handler(call);
    if (a.raw_body) return HttpAnswer(a.status, "text/xml; charset=utf-8", *a.raw_body);
    if (a.fault)
      return HttpAnswer(500, "text/xml; charset=utf-8",
                        Envelope("<soap:Fault><faultcode>soap:Server</faultcode><faultstring>" +
                                 Escape(*a.fault) + "</faultstring></soap:Fault>"));
    std::string out = "<" + call.method + "Response xmlns=\"" + kNamespace + "\"><" + call.method +
                      "Result>" + Escape(a.result) + "</" + call.method + "Result>";
    for (const Method& m : kMethods) {
      if (call.method != m.name) continue;
      for (size_t i = 0; i < 2 && i < a.written_back.size(); ++i)
        if (a.written_back[i])
          out += "<" + std::string(m.params[i]) + ">" + Escape(*a.written_back[i]) + "</" +
                 m.params[i] + ">";
    }
    out += "</" + call.method + "Response>";
    return HttpAnswer(a.status, "text/xml; charset=utf-8", Envelope(out));
  }

  void Accept() {
    acceptor.async_accept([this](std::error_code ec, asio::ip::tcp::socket socket) {
      if (ec) return;  // closed: the service is stopping
      auto conn = std::make_shared<Connection>(this, std::move(socket));
      conn->ReadHead();
      Accept();
    });
  }

  struct Connection : std::enable_shared_from_this<Connection> {
    Connection(Impl* impl, asio::ip::tcp::socket s) : owner(impl), socket(std::move(s)) {}
    Impl* owner;
    asio::ip::tcp::socket socket;
    std::string buffer;
    std::string head;
    size_t body_length = 0;
    std::string answer;

    void ReadHead() {
      auto self = shared_from_this();
      asio::async_read_until(socket, asio::dynamic_buffer(buffer, kMaxRequestBytes), "\r\n\r\n",
                             [self](std::error_code ec, size_t n) {
                               if (ec) return;
                               self->head = self->buffer.substr(0, n);
                               self->buffer.erase(0, n);
                               std::string length = HeaderValue(self->head, "Content-Length");
                               self->body_length = length.empty() ? 0 : std::stoul(length);
                               self->ReadBody();
                             });
    }
    void ReadBody() {
      if (buffer.size() >= body_length) {
        answer = owner->Answer(head, buffer.substr(0, body_length));
        Write();
        return;
      }
      auto self = shared_from_this();
      asio::async_read(socket, asio::dynamic_buffer(buffer, kMaxRequestBytes),
                       asio::transfer_exactly(body_length - buffer.size()),
                       [self](std::error_code ec, size_t) {
                         if (ec) return;
                         self->ReadBody();
                       });
    }
    void Write() {
      auto self = shared_from_this();
      asio::async_write(socket, asio::buffer(answer), [self](std::error_code, size_t) {
        std::error_code ignored;
        self->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        self->socket.close(ignored);
      });
    }
  };
};

FakeWebService::FakeWebService(FakeHandler handler)
    : impl_(std::make_unique<Impl>(std::move(handler))) {
  asio::ip::tcp::endpoint where(asio::ip::make_address("127.0.0.1"), 0);
  impl_->acceptor.open(where.protocol());
  impl_->acceptor.set_option(asio::socket_base::reuse_address(true));
  impl_->acceptor.bind(where);
  impl_->acceptor.listen();
  impl_->port = impl_->acceptor.local_endpoint().port();
  impl_->Accept();
  impl_->thread = std::thread([this] { impl_->io.run(); });
}

FakeWebService::~FakeWebService() {
  asio::post(impl_->io, [this] {
    std::error_code ignored;
    impl_->acceptor.close(ignored);
  });
  impl_->io.stop();
  impl_->thread.join();
}

std::string FakeWebService::endpoint() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + "/valdrix";
}

uint16_t FakeWebService::port() const { return impl_->port; }

std::vector<FakeCall> FakeWebService::calls() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->calls;
}

int FakeWebService::description_requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->description_requests;
}

std::string FakeWebService::Description() const { return impl_->Description(); }

}  // namespace qrole::web::testing
