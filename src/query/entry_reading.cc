#include "query/entry_reading.h"

#include <optional>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "data/company_tables.h"
#include "data/date_codec.h"
#include "data/globals.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/table_component.h"
#include "posting/pending_entry.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/dates.h"
#include "server/enlace.h"
#include "server/web_requests.h"
#include "web/web_link.h"
#include "web/web_xml.h"

namespace qrole::query {

namespace {

constexpr int kDateError = 50003;
constexpr int kNotAvailableError = 50013;  // 0x8004C35D

// The journal's record slot (the keyed engine's file 2) and its entry index
// (date + entry number).
constexpr int kJournalSlot = 2;
constexpr int kEntryIndex = 1;
// Journal field codes.
constexpr int kJournalDate = 1;
constexpr int kJournalNumber = 3;

// The text of a field without the blanks that pad it in the record.
std::string Text(data::TableComponent& t, int code) { return RTrim(ToStr(t.GetField(code))); }
double Number(data::TableComponent& t, int code) { return ToDouble(t.GetField(code)); }
// A one-character code of a text field (TIPO, PUNTEO) as a Byte: the number
// it starts with.
Variant ByteOf(data::TableComponent& t, int code) {
  return Variant::FromByte(RoundToByte(Val(Text(t, code))));
}
Variant S(std::string s) { return Variant::FromString(std::move(s)); }

// The accounting date of a client's date text, in the stored form. Besides
// the forms of an accounting date, the short forms of the date codec are
// read: d/mm/yy as 0d/mm/yy, and dd/mm completed with the year of the open
// fiscal year in which that month falls. The result is checked as any date.
std::string EntryDate(const std::string& text) {
  std::string full = text;
  if (text.size() == 7) {
    full = "0" + text;
  } else if (text.size() == 5) {
    const data::DateCodecContext context = data::CurrentDateContext();
    const double month = Val(text.substr(3, 2));
    full = text + "/" + (month < context.opening_month ? context.second_year : context.fiscal_year);
  }
  const std::string stored = server::ConvertirFecha(full);
  if (stored.size() != 6) {
    RaiseObjectError(kDateError, "Formato Fecha no válido: " + text +
                                     "\nFormatos aceptados son: 31/12/13 o 131231");
  }
  return stored;
}

// Calls `add` for every record of company table `table` that `condition`
// selects, in the table's order, with the table as the current record.
template <class Add>
void ForEachRecord(const server::EnlaceState& s, const char* table, const std::string& condition,
                   Add add) {
  data::TableComponent t;
  t.OpenCompanyTable(table, s.company_directory, s.company_number);
  t.SetFilter(condition);
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) add(t);
  t.Close();
}

// Loads the entry of the cursor (date and number) into the entry
// collections, through the adding routines of a pending entry.
void LoadEntry(server::Enlace& e) {
  const server::EnlaceState& s = e.state();
  const std::string& number = s.entry_number;
  std::string date;
  if (!s.accounting_date.empty()) date = data::ConvertirFechaCodec(s.accounting_date);
  auto on_date = [&](const char* field) {
    return date.empty() ? std::string() : std::string(field) + "=" + date + " and ";
  };

  ForEachRecord(s, "EXTRA", on_date("Fecha") + "Asiento=" + number, [&](data::TableComponent& t) {
    std::vector<Variant> v = {S(Text(t, 2)),  S(Text(t, 4)),
                              ByteOf(t, 5),   Variant::FromDouble(Number(t, 6)),
                              S(Text(t, 8)),  Variant::FromDouble(Val(Text(t, 7))),
                              S(Text(t, 14)), S(Text(t, 22)),
                              S(Text(t, 16)), S(""),
                              S(""),          S("")};
    Args a(v);
    posting::AnadirApunte(e, a);
  });

  ForEachRecord(s, "IVA01", on_date("FECHA CONTABLE") + "ASIENTO (DOC) CONTABLE=" + number,
                [&](data::TableComponent& t) {
                  std::vector<Variant> v;
                  for (int code : {1, 9, 5, 11, 7, 10}) v.push_back(S(Text(t, code)));
                  v.push_back(Variant::FromDouble(Number(t, 6)));
                  v.push_back(Variant::FromDouble(Number(t, 15)));
                  for (int code : {16, 2, 3, 12, 25, 22, 24, 26, 27, 28})
                    v.push_back(S(Text(t, code)));
                  v.push_back(Variant::FromDouble(Number(t, 23)));
                  v.push_back(Variant::FromSingle(ToSingle(t.GetField(29))));
                  v.push_back(S(Text(t, 30)));
                  v.push_back(Variant::FromDouble(Number(t, 31)));
                  v.push_back(S(Text(t, 33)));
                  v.push_back(S(Trim(ToStr(t.GetField(34)))));
                  for (int code : {35, 36, 37, 38}) v.push_back(S(Text(t, code)));
                  Args a(v);
                  posting::CargarLineaIva(e, a);
                });

  ForEachRecord(s, "EFECT", on_date("FECHA CONTABLE") + "ASIENTO CONTABLE=" + number,
                [&](data::TableComponent& t) {
                  std::vector<Variant> v = {S(Text(t, 1)),
                                            S(Text(t, 2)),
                                            S(Text(t, 5)),
                                            S(Text(t, 4)),
                                            Variant::FromDouble(Number(t, 6)),
                                            S(Text(t, 8)),
                                            S(Text(t, 7))};
                  Args a(v);
                  posting::AnadirCartera(e, a);
                });

  ForEachRecord(s, "Anali", on_date("Fecha") + "Asiento=" + number, [&](data::TableComponent& t) {
    std::vector<Variant> v = {S(Text(t, 2)),
                              S(Text(t, 19)),
                              S(Text(t, 4)),
                              ByteOf(t, 5),
                              Variant::FromDouble(Number(t, 6)),
                              S(Text(t, 8)),
                              ByteOf(t, 7),
                              S(Text(t, 14))};
    Args a(v);
    posting::AnadirAnalitica(e, a);
  });
}

// One line of a group of an entry of the web service's answer, through the
// adding routine of its group; lines of other groups are passed over.
void AddWebLine(server::Enlace& e, const std::string& group, const web::XmlElement& line) {
  auto at = [&](const char* name) { return S(line.Attribute(name)); };
  auto number = [&](const char* name) { return Variant::FromDouble(Val(line.Attribute(name))); };
  auto byte = [&](const char* name) {
    return Variant::FromByte(RoundToByte(Val(line.Attribute(name))));
  };
  if (group == "APUNTES") {
    std::vector<Variant> v = {at("CUENTA"), at("DESCRIPCION"),
                              byte("TIPO"), number("IMPORTE"),
                              at("DIARIO"), Variant::FromInteger(0),
                              at("CANAL"),  at("REFERENCIA"),
                              S(""),        S(""),
                              S(""),        S("")};
    Args a(v);
    posting::AnadirApunte(e, a);
  } else if (group == "APUNTESIVA") {
    std::vector<Variant> v = {at("CUENTA"), at("CTA_IVA"), at("FACTURA"),  at("FECHA_FRA"),
                              at("TIPO"),   at("SRTC"),    number("BASE"), number("TOTAL"),
                              S(""),        at("TITULO"),  at("NIF"),      at("ORDEN")};
    // CLAVEOPERACION, Referencia, Seriefacturas, PorcRetencion,
    // RegimenEspecial, the SII fields and the three implicit amounts.
    for (int i = 0; i < 3; ++i) v.push_back(S(""));
    v.push_back(Variant::FromSingle(0));
    v.push_back(S(""));
    v.push_back(S("0000"));
    for (int i = 0; i < 4; ++i) v.push_back(S(""));
    v.push_back(S("00"));
    v.push_back(S(""));
    for (int i = 0; i < 3; ++i) v.push_back(Variant::FromDouble(0));
    v.push_back(S(""));
    Args a(v);
    posting::AnadirIVA(e, a);
  } else if (group == "APUNTESCARTERA") {
    std::vector<Variant> v = {at("FECHA_VTO"), at("CUENTA"), at("CA"), at("NOTAS"),
                              number("TOTAL"), S(""),        S("")};
    Args a(v);
    posting::AnadirCartera(e, a);
  } else if (group == "APUNTESANALI") {
    std::vector<Variant> v = {at("CUENTA"),      at("CODANALI"), at("DESCRIPCION"),    byte("TIPO"),
                              number("IMPORTE"), at("DIARIO"),   Variant::FromByte(0), S("")};
    Args a(v);
    posting::AnadirAnalitica(e, a);
  }
}

// CargarAsientoWeb: empties the entry and loads the entries of the web
// service's answer (an XML document whose root holds "ASIENTO" elements);
// each one's number and date become the cursor. An answer that is not XML
// loads nothing. The entry is left started when a line was added, so that
// the client's added lines go with the ones read.
void CargarAsientoWeb(server::Enlace& e, const std::string& answer) {
  e.LimpiarAsiento();
  const std::optional<web::XmlElement> root = web::RootElement(answer);
  if (!root) return;
  server::EnlaceState& s = e.state();
  for (const web::XmlElement& entry : root->children) {
    if (entry.name != "ASIENTO") continue;
    s.entry_number = entry.Attribute("NUMERO");
    // A date that does not read as one leaves the cursor's.
    const std::string date = server::ConvertirFecha(entry.Attribute("FECHA"));
    if (date.size() == 6) s.accounting_date = date;
    for (const web::XmlElement& group : entry.children)
      for (const web::XmlElement& line : group.children) AddWebLine(e, group.name, line);
  }
}

// The cursor's date as the web service takes it: dd/mm/yy, or empty.
std::string WebDate(const server::EnlaceState& s) {
  return s.accounting_date.empty() ? "" : data::ConvertirFechaCodec(s.accounting_date);
}

// A cursor read on the web: "LEERASIENTO" with the cursor and the position
// asked for; the entry of the answer is loaded.
void LeerPosicionWeb(server::Enlace& e, const std::string& date, const std::string& number,
                     const char* position) {
  const std::string answer = web::PeticionWebCampos(
      e.web_session(), "LEERASIENTO",
      {"FECHA=" + date, "ASIENTO=" + number, std::string("POSICION=") + position});
  if (web::IsErrorAnswerAnyCase(answer)) web::RaiseWebAnswer(answer);
  CargarAsientoWeb(e, answer);
}

// The company's record files open for keyed access while it lives; closed
// again (the company stays open) however the read ends.
class KeyedFiles {
 public:
  explicit KeyedFiles(server::Enlace& e) : e_(e) { e.OpenCompanyFiles(); }
  ~KeyedFiles() { e_.CerrarArchivos(false); }
  KeyedFiles(const KeyedFiles&) = delete;
  KeyedFiles& operator=(const KeyedFiles&) = delete;

 private:
  server::Enlace& e_;
};

[[noreturn]] void RaiseReadFailure(const platform::Status& status) {
  throw AutomationError(
      runtime_error::kFileAccess, kRuntimeSource,
      RuntimeErrorText(runtime_error::kFileAccess) + "\nEXTRA: " + status.ToString());
}

// After a keyed move: when it found a journal line, its date and number
// become the cursor and its entry is read; otherwise the entry is emptied.
void ReadFoundEntry(server::Enlace& e, const platform::Result<bool>& found) {
  if (!found.ok()) RaiseReadFailure(found.status());
  if (!*found) {
    e.LimpiarAsiento();
    return;
  }
  const data::Slot& journal = data::GetSlot(kJournalSlot);
  server::EnlaceState& s = e.state();
  s.accounting_date = journal.TrimmedText(journal.FieldByCode(kJournalDate));
  s.entry_number = journal.TrimmedText(journal.FieldByCode(kJournalNumber));
  LeerAsiento(e, "", "");
}

// Checks that a company is open and makes it the current one.
void OpenCompany(server::Enlace& e) {
  e.ComprobarEmpresaAbierta();
  data::SetCompany(e.state().company_directory, e.state().company_number);
}

void LeerExtremo(server::Enlace& e, bool last) {
  OpenCompany(e);
  if (e.state().web_mode) {
    LeerPosicionWeb(e, "", "", last ? "ULTIMO" : "PRIMERO");
    return;
  }
  KeyedFiles files(e);
  ReadFoundEntry(e, last ? data::MoveLast(kJournalSlot, kEntryIndex)
                         : data::MoveFirst(kJournalSlot, kEntryIndex));
}

void LeerVecino(server::Enlace& e, bool next) {
  OpenCompany(e);
  if (e.state().web_mode) {
    LeerPosicionWeb(e, WebDate(e.state()), e.state().entry_number, next ? "PROXIMO" : "ANTERIOR");
    return;
  }
  KeyedFiles files(e);
  data::Slot& journal = data::GetSlot(kJournalSlot);
  if (!journal.is_open()) {
    e.LimpiarAsiento();
    return;
  }
  // The cursor as the entry index keys it: date and number, each
  // left-aligned in its field's width.
  const server::EnlaceState& s = e.state();
  journal.ClearValues();
  journal.SetText(journal.FieldByCode(kJournalDate), s.accounting_date);
  journal.SetText(journal.FieldByCode(kJournalNumber), s.entry_number);
  const std::string key = data::ComposeKey(journal, kEntryIndex);
  // The first line after every line of the cursor's key (the first line of
  // the next entry), or the last line before them (the last line of the
  // previous entry).
  ReadFoundEntry(e, next ? data::MoveAfter(kJournalSlot, kEntryIndex, key)
                         : data::MoveBefore(kJournalSlot, kEntryIndex, key));
}

}  // namespace

void LeerAsiento(server::Enlace& e, const std::string& fecha, const std::string& asiento) {
  server::EnlaceState& s = e.state();
  if (!Trim(fecha).empty()) s.accounting_date = EntryDate(fecha);
  if (!asiento.empty()) s.entry_number = asiento;
  if (s.accounting_date.empty() && s.entry_number.empty()) return;
  e.ComprobarEmpresaAbierta();
  e.LimpiarAsiento();
  if (s.web_mode) {
    CargarAsientoWeb(e,
                     web::PeticionWebCampos(e.web_session(), "LEERASIENTO",
                                            {"FECHA=" + WebDate(s), "ASIENTO=" + s.entry_number}));
    return;
  }
  LoadEntry(e);
  e.SetEntryStarted(false);
}

void LeerPrimerAsiento(server::Enlace& e) { LeerExtremo(e, false); }
void LeerUltimoAsiento(server::Enlace& e) { LeerExtremo(e, true); }
void LeerProximoAsiento(server::Enlace& e) { LeerVecino(e, true); }
void LeerAnteriorAsiento(server::Enlace& e) { LeerVecino(e, false); }

void LeerReferencia(server::Enlace& e) {
  if (e.state().web_mode) server::RaiseNotOnWeb(e);
  RaiseObjectError(kNotAvailableError, "Esta opción no está activada");
}

}  // namespace qrole::query
