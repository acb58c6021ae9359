#include "web/web_link.h"

#include "platform/text_encoding.h"
#include "qrole/error.h"

namespace qrole::web {

namespace {

constexpr int32_t kWebRefusal = 50013;

// The pieces of an answer split at `sep`; a missing column reads as empty.
std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    size_t p = text.find(sep, start);
    out.push_back(text.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) return out;
    start = p + 1;
  }
}

std::string Column(const std::vector<std::string>& columns, size_t i) {
  return i < columns.size() ? columns[i] : std::string();
}

// Calls "VDWebService" with the state text and the document; the state
// text takes what the service writes back.
std::string CallService(WebSession& s, const std::string& document) {
  if (!s.client) s.client = MakeWebServiceClient();
  std::vector<WebArg> args = {{s.state_text, true}, {document, true}};
  std::string answer = s.client->Call("VDWebService", args);
  s.state_text = args[0].value;
  return answer;
}

// A text put in a document as it stands but for its markup characters, so
// that a value cannot end its element or open another.
std::string EscapeMarkup(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '&' || c == '<' || c == '>')
      out += "&#" + std::to_string(static_cast<int>(c)) + ";";
    else
      out += c;
  }
  return out;
}

// "<CARPETA>" and "<EMPRESA>" of a request, when set.
std::string FolderAndCompany(const WebSession& s, const std::string& company) {
  std::string out;
  if (!s.folder.empty()) out += "<CARPETA>" + EscapeMarkup(s.folder) + "</CARPETA>\r\n";
  if (!company.empty()) out += "<EMPRESA>" + EscapeMarkup(company) + "</EMPRESA>\r\n";
  return out;
}

// One item of PeticionWebCampos as an element: "NAME:value" or "NAME=value",
// the separator being the one that comes first (":" when there is no "=").
// The value is everything after the separator, further separators included.
std::string ItemElement(const std::string& item) {
  size_t eq = item.find('=');
  size_t colon = item.find(':');
  char sep = (eq == std::string::npos || (colon != std::string::npos && colon < eq)) ? ':' : '=';
  std::string escaped = EscaparXml(item);
  size_t p = escaped.find(sep);
  std::string name = escaped.substr(0, p);
  std::string value = p == std::string::npos ? std::string() : escaped.substr(p + 1);
  return "<" + name + ">" + value + "</" + name + ">\r\n";
}

}  // namespace

std::string EscaparXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = pos;
    char32_t cp;
    if (!platform::DecodeUtf8(text, &pos, &cp)) {
      out += '?';  // not UTF-8: nothing a document could carry
      continue;
    }
    int code = cp < 0x80 ? static_cast<int>(cp) : platform::CodePointToCp1252(cp);
    if (cp == '&' || cp == '<' || cp == '>' || code > 126) {
      out += "&#" + std::to_string(code) + ";";
    } else {
      out.append(text.substr(start, pos - start));
    }
  }
  return out;
}

bool IsErrorAnswer(std::string_view answer) { return answer.substr(0, 5) == "ERROR"; }

bool IsErrorAnswerAnyCase(std::string_view answer) {
  return platform::ToUpperCase(answer.substr(0, 5)) == "ERROR";
}

void RaiseWebAnswer(const std::string& answer) { RaiseObjectError(kWebRefusal, answer); }

std::string HostOf(std::string_view endpoint) {
  size_t scheme = endpoint.find("://");
  std::string_view rest = scheme == std::string_view::npos ? endpoint : endpoint.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  size_t at = rest.rfind('@');
  if (at != std::string_view::npos) rest = rest.substr(at + 1);
  if (!rest.empty() && rest[0] == '[') return std::string(rest.substr(0, rest.find(']') + 1));
  return std::string(rest.substr(0, rest.find(':')));
}

std::string ConectarWeb(WebSession& s, const std::string& user, const std::string& password,
                        const std::string& endpoint) {
  if (!s.client_ready || s.endpoint != endpoint) {
    if (!s.client) s.client = MakeWebServiceClient();
    s.client_ready = false;
    s.client->Initialise(endpoint + std::string(kDescriptionPath));
    s.client_ready = true;
    s.endpoint = endpoint;
  }
  std::vector<WebArg> args = {{user, true}, {password, true}};
  std::string answer = s.client->Call("ID", args);
  if (IsErrorAnswer(answer)) return answer;

  std::vector<std::string> columns = Split(answer, '\t');
  std::string user_type = Column(columns, 2);
  if (user_type > "01")
    RaiseObjectError(kWebRefusal,
                     "Solo administradores o usuarios limitados (tipo 01) pueden acceder al web "
                     "service");
  s.user_type = user_type;
  s.web_id = Column(columns, 0);
  s.user_code = Column(columns, 3);
  s.folder = Column(columns, 4);
  s.web_company = Column(columns, 5);
  s.logged_in = true;
  return "";
}

std::string PeticionWeb(WebSession& s, const std::string& tag, const std::string& content,
                        const std::string& value, const std::string& company) {
  std::string document = std::string(kXmlDeclaration) + "<" + tag + ">" + EscaparXml(content) +
                         "<ID>" + s.web_id + "</ID>" +
                         FolderAndCompany(s, company.empty() ? s.request_company : company);
  if (!value.empty()) document += "<VALOR>" + EscapeMarkup(value) + "</VALOR>\r\n";
  document += "</" + tag + ">";
  try {
    return CallService(s, document);
  } catch (const AutomationError& e) {
    return "ERROR:" + e.description();
  } catch (const std::exception& e) {
    return "ERROR:" + std::string(e.what());
  }
}

std::string PeticionWebCampos(WebSession& s, const std::string& tag,
                              const std::vector<std::string>& items) {
  std::string document = std::string(kXmlDeclaration) + "<" + tag + ">\r\n<ID>" + s.web_id +
                         "</ID>\r\n" + FolderAndCompany(s, s.request_company);
  for (const std::string& item : items)
    if (!item.empty()) document += ItemElement(item);
  document += "</" + tag + ">";
  std::string answer = CallService(s, document);
  if (IsErrorAnswerAnyCase(answer)) RaiseWebAnswer(answer);
  return answer;
}

std::string EnviarDocumentoWeb(WebSession& s, const std::string& document) {
  return CallService(s, document);
}

std::string BuscarWebTexto(WebSession& s, const std::string& filter, const std::string& file) {
  return PeticionWebCampos(s, "BUSCAR", {"FILTER:" + filter, "ARCHIVO=" + file});
}

std::string ActualizarWeb(WebSession& s, const std::string& fields, const std::string& file) {
  return PeticionWebCampos(s, "UPDATE", {"CAMPOS:" + fields, "ARCHIVO=" + file});
}

std::string FiltrarActualizarWeb(WebSession& s, const std::string& filter,
                                 const std::string& fields, const std::string& file) {
  // The field list is escaped here and, as part of its item, once more.
  return PeticionWebCampos(s, "FILTERUPDATE",
                           {"FILTER:" + filter, "CAMPOS:" + EscaparXml(fields), "ARCHIVO=" + file});
}

std::string FiltrarBorrarWeb(WebSession& s, const std::string& filter, const std::string& file) {
  return PeticionWebCampos(s, "FILTERBORRAR", {"FILTER:" + filter, "ARCHIVO=" + file});
}

}  // namespace qrole::web
