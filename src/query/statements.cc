#include "query/statements.h"

#include <memory>
#include <string>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/company_tables.h"
#include "data/date_codec.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/navigation.h"
#include "data/number_codec.h"
#include "data/slot.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "query/keyed_files_internal.h"
#include "query/web_rows.h"
#include "server/company_header.h"
#include "server/dates.h"
#include "server/enlace.h"
#include "server/web_requests.h"
#include "util/amounts.h"
#include "util/like.h"
#include "web/web_link.h"

namespace qrole::query {

namespace {

using server::Col;

// Field codes of a line, the same in the journal and in the analytic lines.
enum : int {
  kFecha = 1,
  kCuenta = 2,
  kAsiento = 3,
  kDescripcion = 4,
  kTipo = 5,
  kImporte = 6,
  kPunteo = 7,
  kDiario = 8,
  kMoneda = 11,
  kCambioMoneda = 12,
  kValorEnMoneda = 13,
  kCanal = 14,
  kUsuario = 15,
  kFechaGrabacion = 20,
  kReferencia = 22,
  kCuentaAnalitica = 19,  // analytic lines only: the cost-centre account
};

constexpr int kChartSlot = 1;
constexpr int kCostCentreSlot = 8;
constexpr int kChartIndex = 1;  // account code
constexpr int kChartCode = 1;
// Width of the account fields when a table's definition cannot tell.
constexpr size_t kAccountWidth = 10;

constexpr const char* kNoDate = "      ";

// What a statement reads, by file.
struct LineFile {
  int slot;          // the line file
  int index;         // its account-and-date index
  int account_code;  // the account field the index starts with
  int chart_slot;    // the accounts walked for a pattern
};

LineFile FileOf(int archivo) {
  switch (archivo) {
    case kExtractoDiario:
      return {kExtractoDiario, 2, kCuenta, kChartSlot};
    case kExtractoAnalitico:
      return {kExtractoAnalitico, 4, kCuentaAnalitica, kCostCentreSlot};
    default:
      RaiseRuntimeError(runtime_error::kInvalidCall);
  }
}

using internal::KeyedFiles;

[[noreturn]] void RaiseReadFailure(const platform::Status& status) {
  throw AutomationError(runtime_error::kFileAccess, kRuntimeSource,
                        RuntimeErrorText(runtime_error::kFileAccess) + "\n" + status.ToString());
}

// True when a record is current after a move; a record that cannot be read
// is an error.
bool Current(const platform::Result<bool>& moved) {
  if (!moved.ok()) RaiseReadFailure(moved.status());
  return *moved;
}

// A field's bytes as read (text and dates their whole width).
const std::string& Raw(const data::Slot& s, int code) { return s.Value(s.FieldByCode(code)); }
// A field as UTF-8 without trailing blanks.
std::string Text(const data::Slot& s, int code) { return s.TrimmedText(s.FieldByCode(code)); }
double Number(const data::Slot& s, int code) { return s.Number(s.FieldByCode(code)); }

// A one-to-three digit field (TIPO, Punteo) as a Byte; what a Byte cannot
// hold reads as 0 rather than failing the whole statement.
uint8_t SmallNumber(const data::Slot& s, int code) {
  const double v = Val(Raw(s, code));
  return v >= 0 && v < 255.5 ? RoundToByte(v) : 0;
}

// The standard number-to-text form: a blank before non-negative numbers,
// "." as decimal separator.
std::string StrNumber(double v) {
  if (v == 0) v = 0;  // no "-0"
  return (v >= 0 ? " " : "") + data::DoubleText(v);
}

// `cuenta` as the index holds it: Windows-1252, left-aligned in the width of
// the account field `code` of the slot, blank padded or cut.
std::string AccountKey(const data::Slot& s, int code, const std::string& cuenta) {
  const int width = s.field(s.FieldByCode(code)).width;
  std::string key = platform::Utf8ToCp1252(cuenta);
  key.resize(width > 0 ? static_cast<size_t>(width) : kAccountWidth, ' ');
  return key;
}

bool IsPattern(const std::string& key) { return key.find_first_of("*?") != std::string::npos; }

// Calls `visit(key)` for every account of the chart in `chart_slot`, in code
// order, whose code matches the pattern that `key` holds; `key` is the
// account's code in the width of the line file's account field `code`.
template <class Visit>
void ForEachMatchingAccount(const LineFile& f, const std::string& key, Visit visit) {
  const std::string pattern = Trim(platform::Cp1252ToUtf8(key));
  const data::Slot& chart = data::GetSlot(f.chart_slot);
  const data::Slot& lines = data::GetSlot(f.slot);
  for (bool on = Current(data::MoveFirst(f.chart_slot, kChartIndex)); on;
       on = Current(data::MoveNext(f.chart_slot))) {
    // Codes are matched without their trailing blanks, so that "43?" names
    // the accounts of three characters.
    if (!util::Like(Text(chart, kChartCode), pattern)) continue;
    visit(AccountKey(lines, f.account_code, Text(chart, kChartCode)));
  }
}

// EstadoCuenta: appends the statement of the account `key` to the statement
// collection, after adding the amounts of its lines before `from` to the
// running balance.
void EstadoCuenta(server::Enlace& e, const LineFile& f, const std::string& key,
                  const std::string& from, const std::string& to) {
  const data::Slot& s = data::GetSlot(f.slot);
  double& balance = e.state().running_balance;
  bool on = Current(data::SeekAtLeast(f.slot, f.index, key));
  while (on && Raw(s, f.account_code) == key && Raw(s, kFecha) < from) {
    balance += Number(s, kImporte);
    on = Current(data::MoveNext(f.slot));
  }
  for (; on; on = Current(data::MoveNext(f.slot))) {
    if (Raw(s, f.account_code) != key) break;
    if (Raw(s, kFecha) > to) break;
    AnadirLineaExtracto(e, f.slot, data::Globals().engine_record);
  }
}

// Appends the statement text of the journal account `key` to `out`.
void EstadoCuentaTexto(server::Enlace& e, const std::string& key, const std::string& from,
                       const std::string& to, std::string* out) {
  const LineFile f = FileOf(kExtractoDiario);
  const data::Slot& s = data::GetSlot(f.slot);
  double& balance = e.state().running_balance;
  bool on = Current(data::SeekEqual(f.slot, f.index, key + from));
  if (!on) on = Current(data::MoveNext(f.slot));
  for (; on; on = Current(data::MoveNext(f.slot))) {
    if (Raw(s, kCuenta) != key) break;
    const std::string& date = Raw(s, kFecha);
    // The first line after the range ends it without counting: with a
    // pattern, the balance goes on into the next account.
    if (date > to) break;
    balance = util::Redondear(balance + Number(s, kImporte));
    if (date < from) continue;
    const bool debit = Raw(s, kTipo) == "1";
    const std::string amount = platform::Cp1252ToUtf8(Raw(s, kImporte));
    *out += data::Str(data::Globals().engine_record) + "\t" + Text(s, kCuenta) + "\t" +
            platform::Cp1252ToUtf8(date) + "\t" + Text(s, kAsiento) + "\t" + Text(s, kDescripcion) +
            "\t" + (debit ? amount : "0") + "\t" + (debit ? "0" : amount) + "\t" +
            StrNumber(balance) + "\t" + Text(s, kPunteo) + "\t" + Text(s, kDiario) + "\t" +
            Text(s, kCanal) + "\t" + Text(s, kReferencia) + "\r";
  }
}

// The web service's search of a statement: the account and the dates as the
// client gave them.
std::string WebFilter(const std::string& cuenta, const std::string& desde,
                      const std::string& hasta) {
  std::string filter = "CUENTA=" + cuenta;
  if (!desde.empty()) filter += " AND FECHA=>" + desde;
  if (!hasta.empty()) filter += " AND FECHA<=" + hasta;
  return filter;
}

// The statement text of the web service's answer: one CR LF-ended line per
// row that names an account, numbered by its row.
std::string EstadoCuentaTextoWeb(server::Enlace& e, const std::string& answer) {
  const WebRows rows(answer);
  double& balance = e.state().running_balance;
  std::string out;
  for (size_t r = 0; r < rows.size(); ++r) {
    auto col = [&](int field) { return rows.Field(r, field); };
    if (Trim(col(kCuenta)).empty()) continue;
    balance = util::Redondear(balance + Val(col(kImporte)));
    const bool debit = Val(col(kTipo)) == 1;
    const std::string amount = col(kImporte);
    out += data::Str(static_cast<int64_t>(r + 1)) + "\t" + col(kCuenta) + "\t" + col(kFecha) +
           "\t" + col(kAsiento) + "\t" + col(kDescripcion) + "\t" + (debit ? amount : "0") + "\t" +
           (debit ? "0" : amount) + "\t" + StrNumber(balance) + "\t" + col(kPunteo) + "\t" +
           col(kDiario) + "\t" + col(kCanal) + "\t" + col(kReferencia) + "\r\n";
  }
  return out;
}

}  // namespace

void AnadirLineaExtracto(server::Enlace& e, int file, int32_t record) {
  const data::Slot& s = data::GetSlot(file);
  const int account = file == kExtractoAnalitico ? kCuentaAnalitica : kCuenta;
  const double importe = Number(s, kImporte);
  double& balance = e.state().running_balance;
  balance = util::Redondear(balance + importe);
  const bool debit = Raw(s, kTipo) == "1";

  auto line = RecordObject::Create("ExtractoClass");
  auto text = [](std::string v) { return Variant::FromString(std::move(v)); };
  line->Set("Fecha", text(platform::Cp1252ToUtf8(data::ConvertirFechaCodec(Raw(s, kFecha)))));
  line->Set("Cuenta", text(Text(s, account)));
  line->Set("Asiento", text(Text(s, kAsiento)));
  line->Set("Descripción", text(Text(s, kDescripcion)));
  line->Set("TIPO", Variant::FromByte(SmallNumber(s, kTipo)));
  line->Set("Importe", Variant::FromDouble(importe));
  line->Set("Diario", text(Text(s, kDiario)));
  line->Set("Punteo", Variant::FromByte(SmallNumber(s, kPunteo)));
  line->Set("Canal", text(Text(s, kCanal)));
  line->Set("Referencia", text(Text(s, kReferencia)));
  line->Set("Moneda", text(Text(s, kMoneda)));
  line->Set("CambioMoneda", Variant::FromDouble(Number(s, kCambioMoneda)));
  line->Set("ValorEnMoneda", Variant::FromDouble(Number(s, kValorEnMoneda)));
  line->Set("Usuario", text(Text(s, kUsuario)));
  line->Set("FechaGrabacion", text(Text(s, kFechaGrabacion)));
  line->Set("Saldo", Variant::FromDouble(balance));
  line->Set("Debe", Variant::FromDouble(debit ? importe : 0));
  line->Set("Haber", Variant::FromDouble(debit ? 0 : -importe));
  line->Set("REGISTRO", Variant::FromLong(record));
  e.collection(Col::kExtracto).Add(Variant::FromObject(line));
}

bool LeerExtracto(server::Enlace& e, const std::string& cuenta, const std::string& desde,
                  const std::string& hasta, int archivo) {
  e.ComprobarEmpresaAbierta();
  const LineFile f = FileOf(archivo);
  if (e.state().web_mode) {
    // A new statement starts its balance at 0, on the web as on files.
    e.state().running_balance = 0;
    return server::BuscarWeb(e, WebFilter(cuenta, desde, hasta), std::to_string(archivo));
  }

  KeyedFiles files(e);
  e.state().running_balance = 0;
  Collection& lines = e.collection(Col::kExtracto);
  lines.Clear();
  const std::string from = desde.empty() ? kNoDate : server::ValidarFecha(e, desde);
  const std::string to = hasta.empty() ? "zzzzzz" : server::ValidarFecha(e, hasta);
  const std::string key = AccountKey(data::GetSlot(f.slot), f.account_code, cuenta);
  if (!IsPattern(key)) {
    EstadoCuenta(e, f, key, from, to);
  } else {
    ForEachMatchingAccount(
        f, key, [&](const std::string& account) { EstadoCuenta(e, f, account, from, to); });
  }
  return lines.Count() > 0;
}

std::string LeerExtractoEx(server::Enlace& e, const std::string& cuenta, const std::string& desde,
                           const std::string& hasta) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    e.state().running_balance = 0;
    return EstadoCuentaTextoWeb(
        e, web::BuscarWebTexto(e.web_session(), WebFilter(cuenta, desde, hasta), "EXTRA"));
  }
  const LineFile f = FileOf(kExtractoDiario);

  KeyedFiles files(e);
  e.state().running_balance = 0;
  const std::string from = desde.empty() ? kNoDate : server::ValidarFecha(e, desde);
  const std::string to = hasta.empty() ? "ZZZZZZ" : server::ValidarFecha(e, hasta);
  const std::string key = AccountKey(data::GetSlot(f.slot), f.account_code, cuenta);
  std::string out;
  if (!IsPattern(key)) {
    EstadoCuentaTexto(e, key, from, to, &out);
  } else {
    ForEachMatchingAccount(
        f, key, [&](const std::string& account) { EstadoCuentaTexto(e, account, from, to, &out); });
  }
  return out;
}

}  // namespace qrole::query
