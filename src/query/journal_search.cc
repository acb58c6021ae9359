#include "query/journal_search.h"

#include <cmath>
#include <string>

#include "automation/collection.h"
#include "automation/convert.h"
#include "data/globals.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "data/slot.h"
#include "qrole/error.h"
#include "query/keyed_files_internal.h"
#include "query/record_scan.h"
#include "query/statements.h"
#include "query/web_rows.h"
#include "server/enlace.h"
#include "server/web_requests.h"
#include "web/web_link.h"

namespace qrole::query {

namespace {

using internal::Current;
using internal::KeyedFiles;
using server::Col;

constexpr int kJournalSlot = 2;
constexpr int kReferenceIndex = 4;
constexpr const char* kJournalTable = "EXTRA";

// Journal-line field codes.
enum : int { kAsiento = 3, kDescripcion = 4, kImporte = 6, kReferencia = 22 };

// Empties the statement collection and starts the balance and the search
// position at 0.
Collection& StartSearch(server::Enlace& e) {
  server::EnlaceState& s = e.state();
  s.running_balance = 0;
  s.search_position[0] = 0;
  s.search_position[1] = 0;
  Collection& lines = e.collection(Col::kExtracto);
  lines.Clear();
  return lines;
}

// A search of the journal on the web: the lines of the service's answer to
// `filter` go into the statement collection.
bool BuscarWeb(server::Enlace& e, const std::string& filter) {
  StartSearch(e);
  return server::BuscarWeb(e, filter, "");
}

// Loads journal line `record` (its record read into the slot) into the
// statement collection and moves the search position on to it.
void Load(server::Enlace& e, int32_t record) {
  AnadirLineaExtracto(e, kJournalSlot, record);
  e.state().search_position[0] = record;
  ++e.state().search_position[1];
}

// The key of `referencia` in the reference index: the journal's reference
// field as it would store it.
std::string ReferenceKey(const std::string& referencia) {
  data::Slot& s = data::GetSlot(kJournalSlot);
  s.SetText(s.FieldByCode(kReferencia), referencia);
  return data::ComposeKey(s, kReferenceIndex);
}

const std::string& Raw(const data::Slot& s, int code) { return s.Value(s.FieldByCode(code)); }

// Loads every line whose field `code` passes `test`, in record order.
bool Scan(server::Enlace& e, int code, const FieldTest& test) {
  KeyedFiles files(e);
  Collection& lines = StartSearch(e);
  const int32_t last = RecordsInSlot(kJournalSlot);
  for (int32_t record = NextMatchingRecord(kJournalSlot, code, 0, last, test); record > 0;
       record = NextMatchingRecord(kJournalSlot, code, record, last, test)) {
    const platform::Status read = data::ReadRecord(kJournalSlot, record);
    if (!read.ok()) internal::RaiseReadFailure(kJournalTable, read);
    Load(e, record);
  }
  return lines.Count() > 0;
}

}  // namespace

bool BuscarReferencia(server::Enlace& e, const std::string& referencia) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) return BuscarWeb(e, "REFERENCIA LIKE *" + referencia + "*");
  KeyedFiles files(e);
  Collection& lines = StartSearch(e);
  const data::Slot& s = data::GetSlot(kJournalSlot);
  const std::string key = ReferenceKey(referencia);
  for (bool on = Current(data::SeekEqual(kJournalSlot, kReferenceIndex, key), kJournalTable);
       on && Raw(s, kReferencia) == key;
       on = Current(data::MoveNext(kJournalSlot), kJournalTable)) {
    Load(e, data::Globals().engine_record);
  }
  return lines.Count() > 0;
}

bool BuscarDescripcion(server::Enlace& e, const std::string& descripcion,
                       bool mayusculas_minusculas) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) return BuscarWeb(e, "DESCRIPCION LIKE *" + descripcion + "*");
  return Scan(e, kDescripcion, HoldsText(descripcion, mayusculas_minusculas));
}

bool BuscarImporte(server::Enlace& e, double importe) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    // The service compares with the absolute amount, so the search names
    // it without its sign: -100 finds the lines of 100 and -100, as here.
    // (As a number is written for the service: a blank before it.)
    return BuscarWeb(e, "ABS(IMPORTE)=  " + data::DoubleText(std::fabs(importe)));
  }
  return Scan(e, kImporte, HoldsAmount(importe));
}

int32_t ExisteReferencia(server::Enlace& e, const std::string& referencia) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    const WebRows rows(
        web::BuscarWebTexto(e.web_session(), "REFERENCIA=" + referencia, kJournalTable));
    return rows.size() == 0 ? 0 : RoundToLong(Val(rows.Field(0, kAsiento)));
  }
  KeyedFiles files(e);
  const data::Slot& s = data::GetSlot(kJournalSlot);
  if (!Current(data::SeekEqual(kJournalSlot, kReferenceIndex, ReferenceKey(referencia)),
               kJournalTable))
    return 0;
  return RoundToLong(Val(s.TrimmedText(s.FieldByCode(kAsiento))));
}

}  // namespace qrole::query
