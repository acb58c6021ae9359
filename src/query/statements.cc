#include "query/statements.h"

#include <array>
#include <memory>
#include <string>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/company_tables.h"
#include "data/date_codec.h"
#include "data/definition_file.h"
#include "data/globals.h"
#include "data/index_walk.h"
#include "data/keyed_engine.h"
#include "data/navigation.h"
#include "data/number_codec.h"
#include "data/record_view.h"
#include "data/slot.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "query/keyed_files_internal.h"
#include "query/web_rows.h"
#include "server/company_header.h"
#include "server/dates.h"
#include "server/enlace.h"
#include "server/web_requests.h"
#include "typelib/interface.h"
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

// A walk over an index that ended on a record that cannot be read raises as
// a failed move does.
void Walked(const platform::Status& status) {
  if (!status.ok()) RaiseReadFailure(status);
}

// A chart field as UTF-8 without trailing blanks.
std::string Text(const data::Slot& s, int code) { return s.TrimmedText(s.FieldByCode(code)); }

// The fields of a line, by field code, as the record code reads them:
//   Raw: the bytes of a text or date field (the number text of a numeric
//        one); Text: as UTF-8 without trailing blanks; Number: the value.
class LineFields {
 public:
  LineFields(const data::Slot& s, const data::RecordView& line) : s_(s), line_(line) {}

  std::string_view Raw(int code) {
    const int field = s_.FieldByCode(code);
    if (!data::IsNumericType(s_.field(field).type)) return line_.Bytes(field);
    scratch_ = line_.Value(field);
    return scratch_;
  }
  std::string Text(int code) const { return line_.TrimmedText(s_.FieldByCode(code)); }
  double Number(int code) const { return line_.Number(s_.FieldByCode(code)); }

 private:
  const data::Slot& s_;
  const data::RecordView& line_;
  std::string scratch_;
};

// A one-to-three digit field (TIPO, Punteo) as a Byte; what a Byte cannot
// hold reads as 0 rather than failing the whole statement.
uint8_t SmallNumber(LineFields& line, int code) {
  const double v = Val(std::string(line.Raw(code)));
  return v >= 0 && v < 255.5 ? RoundToByte(v) : 0;
}

// The ExtractoClass fields a statement line fills, in this order.
enum LineField : size_t {
  kFechaOut,
  kCuentaOut,
  kAsientoOut,
  kDescripcionOut,
  kTipoOut,
  kImporteOut,
  kDiarioOut,
  kPunteoOut,
  kCanalOut,
  kReferenciaOut,
  kMonedaOut,
  kCambioMonedaOut,
  kValorEnMonedaOut,
  kUsuarioOut,
  kFechaGrabacionOut,
  kSaldoOut,
  kDebeOut,
  kHaberOut,
  kRegistroOut,
  kLineFields
};

// The class of a statement line and the position of each field it fills
// among the class's fields, looked up once.
struct LineClass {
  const typelib::ClassInfo* info;
  const typelib::RecordInfo* record;
  std::array<size_t, kLineFields> at;
};

const LineClass& StatementLineClass() {
  static const LineClass* const kClass = [] {
    static constexpr std::array<const char*, kLineFields> kNames = {
        "Fecha",   "Cuenta",       "Asiento",       "Descripción", "TIPO",
        "Importe", "Diario",       "Punteo",        "Canal",       "Referencia",
        "Moneda",  "CambioMoneda", "ValorEnMoneda", "Usuario",     "FechaGrabacion",
        "Saldo",   "Debe",         "Haber",         "REGISTRO"};
    const typelib::Library& lib = typelib::Library::Get();
    auto* c = new LineClass{};
    c->record = lib.FindRecord("ExtractoClass");
    c->info = lib.FindClass(c->record->name);
    for (size_t i = 0; i < kLineFields; ++i)
      c->at[i] = RecordObject::FieldIndex(*c->record, kNames[i]);
    return c;
  }();
  return *kClass;
}

// AñadirLineaExtracto of the line `fields` (record `record` of slot `file`),
// its date shown through the date codec with `dates`.
void AddLine(server::Enlace& e, int file, const data::RecordView& fields, int32_t record,
             const data::DateCodecContext& dates) {
  LineFields line(data::GetSlot(file), fields);
  const int account = file == kExtractoAnalitico ? kCuentaAnalitica : kCuenta;
  const double importe = line.Number(kImporte);
  double& balance = e.state().running_balance;
  balance = util::Redondear(balance + importe);
  const bool debit = line.Raw(kTipo) == "1";

  const LineClass& c = StatementLineClass();
  std::vector<Variant> v(c.record->fields.size());
  auto set = [&](LineField f, Variant value) { v[c.at[f]] = std::move(value); };
  auto text = [](std::string t) { return Variant::FromString(std::move(t)); };
  set(kFechaOut, text(platform::Cp1252ToUtf8(data::ConvertirFechaCodec(line.Raw(kFecha), dates))));
  set(kCuentaOut, text(line.Text(account)));
  set(kAsientoOut, text(line.Text(kAsiento)));
  set(kDescripcionOut, text(line.Text(kDescripcion)));
  set(kTipoOut, Variant::FromByte(SmallNumber(line, kTipo)));
  set(kImporteOut, Variant::FromDouble(importe));
  set(kDiarioOut, text(line.Text(kDiario)));
  set(kPunteoOut, Variant::FromByte(SmallNumber(line, kPunteo)));
  set(kCanalOut, text(line.Text(kCanal)));
  set(kReferenciaOut, text(line.Text(kReferencia)));
  set(kMonedaOut, text(line.Text(kMoneda)));
  set(kCambioMonedaOut, Variant::FromDouble(line.Number(kCambioMoneda)));
  set(kValorEnMonedaOut, Variant::FromDouble(line.Number(kValorEnMoneda)));
  set(kUsuarioOut, text(line.Text(kUsuario)));
  set(kFechaGrabacionOut, text(line.Text(kFechaGrabacion)));
  set(kSaldoOut, Variant::FromDouble(balance));
  set(kDebeOut, Variant::FromDouble(debit ? importe : 0));
  set(kHaberOut, Variant::FromDouble(debit ? 0 : -importe));
  set(kRegistroOut, Variant::FromLong(record));
  // Fields a statement does not fill keep their zero values.
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i].type() == VarType::kEmpty) v[i] = ZeroValue(c.record->fields[i].type);
  }
  e.collection(Col::kExtracto)
      .Add(Variant::FromObject(std::make_shared<RecordObject>(*c.info, *c.record, std::move(v))));
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
// running balance. The lines are walked in the account-and-date index from
// the first key not below `key` (as "G\" and "N\" reach them) up to the
// first line of another account or dated after `to`.
void EstadoCuenta(server::Enlace& e, const LineFile& f, const std::string& key,
                  const std::string& from, const std::string& to) {
  const data::Slot& s = data::GetSlot(f.slot);
  double& balance = e.state().running_balance;
  const data::DateCodecContext dates = data::CurrentDateContext();
  bool opening = true;
  Walked(data::WalkIndex(f.slot, f.index, key, key,
                         [&](int32_t record, const data::RecordView& fields) {
                           LineFields line(s, fields);
                           if (line.Raw(f.account_code) != key) return false;
                           const std::string_view date = line.Raw(kFecha);
                           if (opening && date < from) {
                             balance += line.Number(kImporte);
                             return true;
                           }
                           opening = false;
                           if (date > to) return false;
                           AddLine(e, f.slot, fields, record, dates);
                           return true;
                         }));
}

// Appends the statement text of the journal account `key` to `out`: its
// lines from the first key not below `key` + `from` (as "S\" and "N\" reach
// them).
void EstadoCuentaTexto(server::Enlace& e, const std::string& key, const std::string& from,
                       const std::string& to, std::string* out) {
  const LineFile f = FileOf(kExtractoDiario);
  const data::Slot& s = data::GetSlot(f.slot);
  double& balance = e.state().running_balance;
  // The exact search compares a short key as if blank padded.
  std::string start = key + from;
  const auto width =
      static_cast<size_t>(s.layout().indexes[static_cast<size_t>(f.index)].key_length);
  if (start.size() < width) start.resize(width, ' ');
  Walked(data::WalkIndex(
      f.slot, f.index, start, key, [&](int32_t record, const data::RecordView& fields) {
        LineFields line(s, fields);
        if (line.Raw(kCuenta) != key) return false;
        const std::string date(line.Raw(kFecha));
        // The first line after the range ends it without counting: with a
        // pattern, the balance goes on into the next account.
        if (date > to) return false;
        balance = util::Redondear(balance + line.Number(kImporte));
        if (date < from) return true;
        const bool debit = line.Raw(kTipo) == "1";
        const std::string amount = platform::Cp1252ToUtf8(line.Raw(kImporte));
        std::string& o = *out;
        o += data::Str(record);
        for (const std::string& column :
             {line.Text(kCuenta), platform::Cp1252ToUtf8(date), line.Text(kAsiento),
              line.Text(kDescripcion), debit ? amount : std::string("0"),
              debit ? std::string("0") : amount, StrNumber(balance), line.Text(kPunteo),
              line.Text(kDiario), line.Text(kCanal), line.Text(kReferencia)}) {
          o += '\t';
          o += column;
        }
        o += '\r';
        return true;
      }));
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
  AddLine(e, file, data::RecordView(s, s.record_bytes()), record, data::CurrentDateContext());
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
