// The VAT types of a company on the web service.

#include "automation/convert.h"
#include "platform/text_encoding.h"
#include "posting/vat_types.h"
#include "server/enlace.h"
#include "web/web_link.h"

namespace qrole::posting {

namespace {

// One item of the list, with its code.
struct WebVatItem {
  int32_t code = 0;
  VatType type;
};

// A percentage as the service writes it, "." or "," as decimal separator.
float Percentage(std::string_view text) {
  std::string point(Trim(text));
  for (char& c : point)
    if (c == ',') c = '.';
  return static_cast<float>(Val(point));
}

WebVatItem ParseItem(const std::string& item) {
  // Positions count characters of the code page the service speaks.
  const std::string bytes = platform::Utf8ToCp1252(item);
  WebVatItem out;
  out.code = ValTIVA(platform::Cp1252ToUtf8(bytes.substr(0, 2)));
  out.type.description = bytes.size() > 3 ? platform::Cp1252ToUtf8(bytes.substr(3)) : "";
  const size_t blank = bytes.rfind(' ');
  const std::string part = blank == std::string::npos ? bytes : bytes.substr(blank + 1);
  const size_t plus = part.find('+');
  if (plus == std::string::npos) {
    out.type.vat = Percentage(part);
  } else {
    out.type.vat = Percentage(std::string_view(part).substr(0, plus));
    out.type.surcharge = Percentage(std::string_view(part).substr(plus + 1));
  }
  return out;
}

}  // namespace

WebVatTypes WebVatTypes::Read(server::Enlace& e) {
  const std::string answer = web::PeticionWeb(e.web_session(), "LEERTIPOSIVA", "", "", "");
  if (web::IsErrorAnswerAnyCase(answer)) web::RaiseWebAnswer(answer);
  return WebVatTypes(answer);
}

WebVatTypes::WebVatTypes(const std::string& answer) {
  size_t start = 0;
  while (start <= answer.size()) {
    size_t end = answer.find('\n', start);
    std::string line =
        answer.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) items_.push_back(std::move(line));
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

std::optional<VatType> WebVatTypes::Find(int32_t code) const {
  if (code < 1) return std::nullopt;
  for (const std::string& item : items_) {
    WebVatItem parsed = ParseItem(item);
    if (parsed.code == code) return parsed.type;
  }
  return std::nullopt;
}

int32_t WebVatTypes::CodeByPercentage(std::string_view text) const {
  const float wanted = Percentage(text);
  for (const std::string& item : items_) {
    const WebVatItem parsed = ParseItem(item);
    const float sum = parsed.type.vat + parsed.type.surcharge;
    if (sum == wanted) return parsed.code;
  }
  return 0;
}

}  // namespace qrole::posting
