#include "web/web_answer.h"

#include <array>
#include <optional>
#include <vector>

#include "automation/convert.h"
#include "automation/record_object.h"
#include "util/amounts.h"
#include "web/web_link.h"

namespace qrole::web {

namespace {

constexpr int kFieldCount = 100;

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

class Row {
 public:
  Row(const std::array<std::optional<size_t>, kFieldCount>& map, std::vector<std::string> values)
      : map_(map), values_(std::move(values)) {}
  // The text of field `n`; empty when the header or the row lacks it.
  std::string operator()(int n) const {
    const auto& column = map_[static_cast<size_t>(n)];
    if (!column || *column >= values_.size()) return "";
    return values_[*column];
  }

 private:
  const std::array<std::optional<size_t>, kFieldCount>& map_;
  std::vector<std::string> values_;
};

uint8_t ByteOf(const std::string& text) { return RoundToByte(Val(text)); }

}  // namespace

void CargarRespuestaWeb(const std::string& answer, int file_kind, Collection& extracto,
                        const StatementContext& context) {
  std::vector<std::string> lines = Split(answer, '\n');
  for (std::string& line : lines)
    if (!line.empty() && line.back() == '\r') line.pop_back();

  std::array<std::optional<size_t>, kFieldCount> map;
  std::vector<std::string> header = Split(lines[0], '\t');
  for (size_t i = 0; i < header.size(); ++i) {
    double field = Val(header[i]);
    if (field >= 0 && field < kFieldCount) map[static_cast<size_t>(field)] = i;
  }

  extracto.Clear();
  for (size_t l = 1; l < lines.size(); ++l) {
    if (lines[l].empty()) continue;
    Row col(map, Split(lines[l], '\t'));
    double amount = Val(col(6));
    auto r = RecordObject::Create("ExtractoClass");
    r->Set("Fecha", Variant::FromString(col(1)));
    r->Set("Cuenta", Variant::FromString(col(file_kind == kAnalyticStatementKind ? 19 : 2)));
    r->Set("Asiento", Variant::FromString(col(3)));
    r->Set("Descripción", Variant::FromString(col(4)));
    r->Set("TIPO", Variant::FromByte(ByteOf(col(5))));
    r->Set("Importe", Variant::FromDouble(amount));
    r->Set("Diario", Variant::FromString(col(8)));
    r->Set("Punteo", Variant::FromByte(ByteOf(col(7))));
    r->Set("Canal", Variant::FromString(col(14)));
    r->Set("Referencia", Variant::FromString(col(22)));
    r->Set("Moneda", Variant::FromString(col(11)));
    r->Set("CambioMoneda", Variant::FromDouble(Val(col(12))));
    r->Set("ValorEnMoneda", Variant::FromDouble(Val(col(13))));
    r->Set("Usuario", Variant::FromString(col(15)));
    r->Set("FechaGrabacion", Variant::FromString(col(20)));
    *context.running_balance = util::Redondear(*context.running_balance + amount);
    r->Set("Saldo", Variant::FromDouble(*context.running_balance));
    bool debit = col(5) == "1";
    r->Set("Debe", Variant::FromDouble(debit ? amount : 0));
    r->Set("Haber", Variant::FromDouble(debit ? 0 : 0.0 - amount));
    r->Set("REGISTRO", Variant::FromLong(context.engine_record));
    extracto.Add(Variant::FromObject(r));
  }
}

bool BuscarWeb(WebSession& s, const std::string& filter, const std::string& file,
               Collection& extracto, const StatementContext& context) {
  std::string answer = BuscarWebTexto(s, filter, file);
  CargarRespuestaWeb(answer, static_cast<int>(Val(file)), extracto, context);
  return extracto.Count() > 0;
}

}  // namespace qrole::web
