#include "query/entry_guids.h"

#include <memory>
#include <string>

#include "automation/collection.h"
#include "automation/convert.h"
#include "data/table_component.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "web/web_link.h"

namespace qrole::query {

namespace {

constexpr int kGuidError = 50200;
// "GUID1" field codes.
constexpr int kGuidEntry = 1;
constexpr int kGuidValue = 2;
// "EXTRA": the entry date.
constexpr int kJournalDate = 1;

void OpenGuids(server::Enlace& e, data::TableComponent& t) {
  t.OpenCompanyTable("GUID1", e.state().company_directory, e.state().company_number);
}

// Sets a text field of the record being changed and answers whether it holds
// `value` as given (not cut to the field's width, every character kept).
bool SetExactly(data::TableComponent& t, int code, const std::string& value) {
  t.SetField(code, 0, Variant::FromString(value));
  return RTrim(ToStr(t.GetField(code))) == RTrim(value);
}

// The non-empty TAB-separated pieces of a web answer, in a new collection.
std::shared_ptr<Collection> Pieces(const std::string& answer) {
  auto out = Collection::Create();
  size_t start = 0;
  while (start <= answer.size()) {
    size_t tab = answer.find('\t', start);
    if (tab == std::string::npos) tab = answer.size();
    if (tab > start) out->Add(Variant::FromString(answer.substr(start, tab - start)));
    start = tab + 1;
  }
  return out;
}

}  // namespace

std::string LeerGuid(server::Enlace& e, const std::string& asiento) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode)
    return web::PeticionWebCampos(e.web_session(), "GETGUID", {"ASIENTO:" + asiento});
  data::TableComponent t;
  OpenGuids(e, t);
  t.SetIndex(1);
  t.Seek(asiento);
  std::string guid;
  if (t.RecordNumber() >= 1) guid = Trim(ToStr(t.GetField(kGuidValue)));
  t.Close();
  return guid;
}

void GrabarGuid(server::Enlace& e, const std::string& asiento, const std::string& valor) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    const std::string answer = web::PeticionWebCampos(e.web_session(), "SETGUID",
                                                      {"ASIENTO:" + asiento, "VALOR:" + valor});
    if (web::IsErrorAnswerAnyCase(answer)) web::RaiseWebAnswer(answer);
    return;
  }
  try {
    data::TableComponent t;
    OpenGuids(e, t);
    t.SetIndex(1);
    t.Seek(asiento);
    const int32_t record = t.RecordNumber();
    if (valor.empty()) {
      if (record >= 1) t.Delete(record);
    } else {
      bool exact = true;
      if (record < 1) {
        t.AddNew();
        exact = SetExactly(t, kGuidEntry, asiento);
      } else {
        t.Edit();
      }
      // An identifier or number cut to fit would be found under another
      // value afterwards: refused rather than stored.
      exact = exact && SetExactly(t, kGuidValue, valor);
      if (!exact) {
        t.CancelUpdate();
        RaisePlainError(kGuidError, "Error al crear un GUID");
      }
      t.Update();
    }
    t.Close();
  } catch (const std::exception&) {
    RaisePlainError(kGuidError, "Error al crear un GUID");
  }
}

std::shared_ptr<Collection> GetAsientos(server::Enlace& e, const std::string& guid) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode)
    return Pieces(web::PeticionWebCampos(e.web_session(), "GETASIENTOS", {"GUID:" + guid}));
  auto entries = Collection::Create();
  data::TableComponent t;
  OpenGuids(e, t);
  t.SetFilter("GUID=" + guid);
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext())
    entries->Add(Variant::FromString(RTrim(ToStr(t.GetField(kGuidEntry)))));
  t.Close();
  return entries;
}

std::shared_ptr<Collection> GetFechas(server::Enlace& e, const std::string& asiento) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode)
    return Pieces(web::PeticionWebCampos(e.web_session(), "GETFECHAS", {"ASIENTO:" + asiento}));
  auto dates = Collection::Create();
  data::TableComponent t;
  t.OpenCompanyTable("EXTRA", e.state().company_directory, e.state().company_number);
  t.SetFilter("ASIENTO=" + asiento);
  t.SetOrder("Fecha");
  std::string previous;
  bool first = true;
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) {
    const std::string date = RTrim(ToStr(t.GetField(kJournalDate)));
    if (first || date != previous) dates->Add(Variant::FromString(date));
    previous = date;
    first = false;
  }
  t.Close();
  return dates;
}

}  // namespace qrole::query
