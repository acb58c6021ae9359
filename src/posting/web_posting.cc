#include "posting/web_posting.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/date_codec.h"
#include "platform/text_encoding.h"
#include "posting/journal_lines.h"
#include "posting/vat_types.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "util/amounts.h"
#include "web/web_link.h"
#include "web/web_session.h"

namespace qrole::posting {

namespace {

// The column names of a list such as kWebJournalColumns.
std::vector<std::string> ColumnNames(std::string_view list) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    const size_t comma = list.find(',', start);
    out.emplace_back(
        list.substr(start, comma == std::string_view::npos ? list.npos : comma - start));
    if (comma == std::string_view::npos) return out;
    start = comma + 1;
  }
}

// A value inside an attribute in double quotes: nothing in it can end the
// attribute or the element, and line ends and tabs survive the parser.
std::string AttributeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
      case '<':
      case '>':
      case '"':
      case '\'':
      case '\t':
      case '\r':
      case '\n':
        out += "&#" + std::to_string(static_cast<int>(c)) + ";";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// One block of the document: "<BLOCK>", an element per row, "</BLOCK>".
void AppendBlock(std::string& doc, const char* block, const char* element, std::string_view columns,
                 const WebTable& table) {
  const std::vector<std::string> names = ColumnNames(columns);
  size_t width = 0;
  for (const auto& row : table) width = std::max(width, row.size());
  doc += std::string("<") + block + ">\r\n";
  for (const auto& row : table) {
    doc += std::string(" <") + element + " ";
    for (size_t c = 0; c < width; ++c) {
      const std::string name = c < names.size() ? names[c] : std::string();
      const std::string value = c < row.size() ? Trim(row[c]) : std::string();
      doc += name + "=\"" + AttributeText(value) + "\" ";
    }
    doc += "/>\r\n";
  }
  doc += std::string("</") + block + ">\r\n";
}

// A field of a pending line as the tables write it: numbers in the
// locale's general format, Empty and Null as nothing.
std::string Cell(const RecordObject& r, const std::string& field) {
  const Variant& v = r.Get(field);
  if (v.IsEmpty() || v.IsNull()) return "";
  return ToStr(v);
}

std::shared_ptr<RecordObject> LineAt(Collection& c, int32_t i) {
  return std::dynamic_pointer_cast<RecordObject>(c.Item(i).object());
}

// The journal line as sent: the service knows only debit (1) and credit
// (2), keeps channels of its own and journals "1" to "9" and "A" to "C".
std::vector<std::string> JournalRow(const RecordObject& r, const std::string& default_channel) {
  int tipo = ToByte(r.Get("TIPO"));
  if (tipo == 3) tipo = 1;
  if (tipo == 4) tipo = 2;
  const std::string canal = r.GetStr("Canal");
  return {r.GetStr("Cuenta"),     r.GetStr("Descripción"),
          r.GetStr("Referencia"), canal == "N" ? default_channel : canal,
          Cell(r, "Importe"),     std::to_string(tipo),
          r.GetStr("NOTAS"),      ValidJournal(r.GetStr("Diario"))};
}

[[noreturn]] void RaiseUnknownType(const std::string& tipo) {
  RaisePlainError(50011, "Se ha pasado al servidor OLE un tipo de Iva que no existe: " + tipo);
}

// The VAT amount of a line at the type's percentages (VAT and surcharge);
// the line's base and total are sent as the client gave them.
double VatAmount(double base, double total, float vat_rate, float surcharge_rate) {
  const double p = vat_rate;
  const double r = surcharge_rate;
  if (base != 0) {
    double vat = util::Redondear(p * base * 0.01);
    const double surcharge = util::Redondear(r * base * 0.01);
    if (total != 0 && base + vat + surcharge != total) vat = total - (base + surcharge);
    return vat;
  }
  const double derived =
      util::Redondear(total / (static_cast<double>(surcharge_rate + vat_rate) * 0.01 + 1));
  double vat = util::Redondear(p * derived * 0.01);
  const double surcharge = util::Redondear(r * derived * 0.01);
  if (derived + vat + surcharge != total) vat = total - derived - surcharge;
  return vat;
}

std::vector<std::string> VatRow(const RecordObject& r, const WebVatTypes& types) {
  const std::string tipo = r.GetStr("TipoIva");
  const size_t length = platform::Utf8ToCp1252(tipo).size();
  const int32_t code = length >= 3 ? types.CodeByPercentage(tipo) : ValTIVA(tipo);
  if (code <= 0) RaiseUnknownType(tipo);
  const std::optional<VatType> type = types.Find(code);
  if (!type) RaiseUnknownType(tipo);
  const double vat = VatAmount(r.GetDbl("Base"), r.GetDbl("TOTAL"), type->vat, type->surcharge);
  return {r.GetStr("CuentaClienteProveedor"),
          r.GetStr("Factura"),
          r.GetStr("FechaFactura"),
          Cell(r, "Base"),
          tipo,
          DoubleToText(vat),
          Cell(r, "TOTAL"),
          r.GetStr("NumeroOrden"),
          r.GetStr("titulo"),
          Cell(r, "CuentaIVA")};
}

// The rows of every pending line of `c`, then the empty row that ends the table.
template <typename RowOf>
WebTable TableOf(Collection& c, RowOf row_of) {
  WebTable table;
  for (int32_t i = 1; i <= c.Count(); ++i) {
    auto line = LineAt(c, i);
    if (line) table.push_back(row_of(*line));
  }
  table.push_back({""});
  return table;
}

}  // namespace

std::string DocumentoGrabarAsiento(const std::string& id, const std::string& company,
                                   const std::string& date, const std::string& number,
                                   const WebEntryTables& tables) {
  std::string doc(web::kXmlDeclaration);
  doc += "<GRABARASIENTO>\r\n";
  doc += "<ID>" + id + "</ID>";
  doc += "<EMPRESA>" + AttributeText(company) + "</EMPRESA>\r\n";
  doc += "<ASIENTOS>\r\n";
  doc += "<ASIENTO NUMERO='" + AttributeText(number) + "' FECHA='" + AttributeText(date) + "'>\r\n";
  if (tables.apuntes.size() > 1)
    AppendBlock(doc, "APUNTES", "APUNTE", kWebJournalColumns, tables.apuntes);
  AppendBlock(doc, "IVAS", "IVA", kWebVatColumns, tables.ivas);
  AppendBlock(doc, "CARTERAS", "CARTERA", kWebPortfolioColumns, tables.carteras);
  AppendBlock(doc, "ANALITICA", "ANALI", kWebAnalyticColumns, tables.analitica);
  doc += "</ASIENTO>\r\n</ASIENTOS>\r\n</GRABARASIENTO>";
  return doc;
}

int16_t GrabarAsientoWeb(server::Enlace& e) {
  server::EnlaceState& s = e.state();
  if (!s.entry_started) return 0;
  // An entry without a date would reach the service as one.
  if (s.accounting_date.size() != 6)
    throw AutomationError(5000, "GrabarAsiento", "La fecha está vacía");
  const std::string default_channel = FormatNumber(s.channel, "000");

  WebEntryTables tables;
  tables.apuntes = TableOf(e.collection(server::Col::kApuntes),
                           [&](const RecordObject& r) { return JournalRow(r, default_channel); });
  Collection& vat_lines = e.collection(server::Col::kIva);
  // The types are asked for once, and only for an entry with VAT lines.
  std::optional<WebVatTypes> types;
  if (vat_lines.Count() > 0) types.emplace(WebVatTypes::Read(e));
  tables.ivas = TableOf(vat_lines, [&](const RecordObject& r) { return VatRow(r, *types); });
  tables.carteras = TableOf(e.collection(server::Col::kCartera), [](const RecordObject& r) {
    return std::vector<std::string>{r.GetStr("Cuenta"), r.GetStr("cartera"),
                                    r.GetStr("NOTAS"),  r.GetStr("FechaVencimiento"),
                                    Cell(r, "Importe"), ""};
  });
  tables.analitica = TableOf(e.collection(server::Col::kAnalitica), [](const RecordObject& r) {
    return std::vector<std::string>{r.GetStr("CuentaContable"), Cell(r, "CuentaAnalitica"),
                                    r.GetStr("Descripción"), Cell(r, "Importe"), ""};
  });

  e.LimpiarAsiento();
  web::WebSession& session = e.web_session();
  const std::string document =
      DocumentoGrabarAsiento(session.web_id, session.web_company,
                             data::ConvertirFechaCodec(s.accounting_date), s.entry_number, tables);
  const std::string answer = web::EnviarDocumentoWeb(session, document);
  if (web::IsErrorAnswerAnyCase(answer)) RaiseObjectError(50007, answer);
  return 0;
}

}  // namespace qrole::posting
