#include "maintenance/cancellation.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "data/blob_store.h"
#include "data/company_tables.h"
#include "data/globals.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/table_component.h"
#include "data/transaction.h"
#include "ledger/analytic_balances.h"
#include "maintenance/cancellation_internal.h"
#include "maintenance/journal_balances.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/dates.h"
#include "server/enlace.h"
#include "server/web_requests.h"
#include "web/web_link.h"

namespace qrole::maintenance {

namespace {

// Journal field codes and the index of its entries (date + number).
constexpr int kLineDate = 1;
constexpr int kLineNumber = 3;
constexpr int kLineLink = 18;
constexpr int kLineDocument = 28;
constexpr int kJournalByEntry = 1;
// VAT book: entry number, entry date, and the index of both.
constexpr int kVatNumber = 8;
constexpr int kVatDate = 21;
constexpr int kVatByEntry = 4;
// Portfolio: entry date, entry number, and the index of both.
constexpr int kPortfolioDate = 8;
constexpr int kPortfolioNumber = 9;
constexpr int kPortfolioByEntry = 2;
// Analytic lines: link number (and its index), cost-centre account.
constexpr int kAnalyticLink = 18;
constexpr int kAnalyticByLink = 3;
constexpr int kAnalyticCostCentre = 19;

// An attached document longer than this marks an entry that may no longer be
// removed.
constexpr size_t kLockedDocumentLength = 10;

std::string TableOf(int slot) {
  for (const auto& [number, table] : data::CatalogueTables()) {
    if (number == slot) return table;
  }
  return std::to_string(slot);
}

// The record code's files are closed whatever happens; the company stays open.
struct CloseFilesOnExit {
  server::Enlace& e;
  ~CloseFilesOnExit() { e.CerrarArchivos(false); }
};

// The withholdings of an entry go with it.
void RemoveWithholdings(server::Enlace& e, const std::string& date, const std::string& number) {
  const server::EnlaceState& s = e.state();
  data::TableComponent withholdings;
  withholdings.OpenCompanyTable("Ret01", s.company_directory, s.company_number);
  withholdings.SetFilter("FECHA CONTABLE = " + date +
                         " and ASIENTO (DOC) CONTABLE =" + platform::Cp1252ToUtf8(number));
  if (withholdings.RecordCount() > 0) withholdings.Delete(-1);
  withholdings.Close();
}

// True when the record the slot last read was never written (a hole).
bool NeverWritten(const data::Slot& slot) {
  const std::string& bytes = slot.record_bytes();
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == '\0'; });
}

}  // namespace

namespace internal {

void RaiseFileFailure(const std::string& table, const std::string& what) {
  RaiseObjectError(
      50010, "No se puede anular el apunte\n" + table + (what.empty() ? "" : " (" + what + ")"));
}

void CheckFile(const platform::Status& status, const std::string& table) {
  if (!status.ok()) RaiseFileFailure(table, status.ToString());
}

void OpenCompanySet(server::Enlace& e) { e.OpenCompanyFiles(); }

std::string KeyOf(int slot, int index, const std::vector<std::pair<int, std::string>>& fields) {
  data::Slot& s = data::GetSlot(slot);
  if (!s.is_open() || !s.has_index()) RaiseFileFailure(TableOf(slot), "");
  s.ClearValues();
  for (const auto& [code, value] : fields) s.SetRaw(s.FieldByCode(code), value);
  return data::ComposeKey(s, index);
}

void ForEachWithKey(int slot, int index, const std::string& key,
                    const std::function<void(const data::Slot&, int32_t)>& visit) {
  const data::Slot& s = data::GetSlot(slot);
  platform::Result<bool> found = data::SeekEqual(slot, index, key);
  for (;;) {
    CheckFile(found.status(), TableOf(slot));
    if (!*found) break;
    // A record whose keys outlived its cancellation is passed over.
    if (!s.IsCancelled()) {
      if (data::ComposeKey(s, index) != key) break;
      visit(s, data::Globals().engine_record);
    }
    found = data::MoveNext(slot);
  }
}

bool IsAnalyticLink(const std::string& link) {
  const std::string number = Trim(link);
  return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  }) && Val(number) != 0;
}

bool Deletions::Cancel(int slot, int32_t record) {
  data::Globals().engine_status = 0;
  const platform::Status status = data::CancelRecord(slot, record);
  const int16_t engine = data::Globals().engine_status;
  if (!status.ok() || engine != 0) {
    failed_ = true;
    status_ = engine;
  }
  return status.ok();
}

void Deletions::CancelJournalLine(int32_t record) {
  // The document stays with a line that could not be cancelled.
  if (!Cancel(kJournalSlot, record)) return;
  const data::Slot& journal = data::GetSlot(kJournalSlot);
  data::BlobStore(data::BlobFolderFor(journal.data_path()))
      .RemoveRecord(record, {kLineDocument})
      .IgnoreError();
}

void RemoveAnalyticLines(const std::string& link, Deletions& deletions) {
  const std::string key = KeyOf(ledger::kAnalyticSlot, kAnalyticByLink, {{kAnalyticLink, link}});
  std::vector<int32_t> records;
  ForEachWithKey(ledger::kAnalyticSlot, kAnalyticByLink, key,
                 [&](const data::Slot&, int32_t record) { records.push_back(record); });
  const data::Slot& analytic = data::GetSlot(ledger::kAnalyticSlot);
  for (int32_t record : records) {
    CheckFile(data::ReadRecord(ledger::kAnalyticSlot, record), "Anali");
    if (analytic.IsCancelled()) continue;
    ledger::ActualizarSaldosAnalitica(
        -1, analytic.TrimmedText(analytic.FieldByCode(kAnalyticCostCentre)));
    deletions.Cancel(ledger::kAnalyticSlot, record);
  }
}

void RaiseIndexFailure(int16_t status) {
  data::KeepChangesWhenRaising();  // everything else is done and stays
  RaiseObjectError(50010,
                   "Se produjo un error en el cálculo del IVA/IGIC\nSe ha producido un error de "
                   "indexados No. " +
                       std::to_string(status) + " Se debe reindexar los datos de Valdrix");
}

}  // namespace internal

int16_t AnularAsiento(server::Enlace& e, const std::string& fecha, const std::string& numero) {
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    // The service removes the entry; a refusal raises in the request.
    web::PeticionWebCampos(e.web_session(), "ANULARASIENTO",
                           {"FECHA=" + fecha, "ASIENTO=" + numero});
    return 0;
  }
  const std::string date = server::ValidarFecha(e, fecha);
  CloseFilesOnExit close_files{e};
  internal::OpenCompanySet(e);

  // The entry's journal lines, with their link numbers.
  const data::Slot& journal = data::GetSlot(kJournalSlot);
  const std::string journal_key =
      internal::KeyOf(kJournalSlot, kJournalByEntry,
                      {{kLineDate, date}, {kLineNumber, platform::Utf8ToCp1252(numero)}});
  // The number as the journal holds it: left-aligned in its field.
  const std::string number = journal.Value(journal.FieldByCode(kLineNumber));
  struct Line {
    int32_t record;
    std::string link;
  };
  std::vector<Line> lines;
  bool locked = false;
  const data::BlobStore documents(data::BlobFolderFor(journal.data_path()));
  internal::ForEachWithKey(
      kJournalSlot, kJournalByEntry, journal_key, [&](const data::Slot& s, int32_t record) {
        lines.push_back({record, s.Value(s.FieldByCode(kLineLink))});
        platform::Result<std::string> document = documents.Get(record, kLineDocument);
        internal::CheckFile(document.status(), "EXTRA");
        if (document->size() > kLockedDocumentLength) locked = true;
      });
  if (locked) {
    RaiseObjectError(50010,
                     "No se puede borrar el asiento ya que esta bloqueado segun la Ley de fraude");
  }

  std::vector<int32_t> vat_lines;
  internal::ForEachWithKey(
      internal::kVatSlot, kVatByEntry,
      internal::KeyOf(internal::kVatSlot, kVatByEntry, {{kVatDate, date}, {kVatNumber, number}}),
      [&](const data::Slot&, int32_t record) { vat_lines.push_back(record); });
  std::vector<int32_t> portfolio_lines;
  internal::ForEachWithKey(
      internal::kPortfolioSlot, kPortfolioByEntry,
      internal::KeyOf(internal::kPortfolioSlot, kPortfolioByEntry,
                      {{kPortfolioDate, date}, {kPortfolioNumber, number}}),
      [&](const data::Slot&, int32_t record) { portfolio_lines.push_back(record); });

  internal::Deletions deletions;
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    internal::CheckFile(data::ReadRecord(kJournalSlot, line->record), "EXTRA");
    if (journal.IsCancelled()) continue;
    ActualizarSaldosApunte(e, -1, JournalLineFromSlot());
    deletions.CancelJournalLine(line->record);
  }
  for (auto record = vat_lines.rbegin(); record != vat_lines.rend(); ++record)
    deletions.Cancel(internal::kVatSlot, *record);
  for (auto record = portfolio_lines.rbegin(); record != portfolio_lines.rend(); ++record)
    deletions.Cancel(internal::kPortfolioSlot, *record);
  for (const Line& line : lines) {
    if (internal::IsAnalyticLink(line.link)) internal::RemoveAnalyticLines(line.link, deletions);
  }
  RemoveWithholdings(e, date, number);

  if (deletions.failed()) internal::RaiseIndexFailure(deletions.status());
  // The entry counts as started, with whatever is pending kept.
  e.state().entry_started = true;
  return 0;
}

bool AnularApuntePorRegistro(server::Enlace& e, int32_t registro, bool incluir_analitica) {
  // Record numbers mean nothing to the web service.
  if (e.state().web_mode) server::RaiseNotOnWeb(e);
  // Without a company the files would be looked for wherever the last one
  // was, or nowhere.
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  if (registro < 1) return false;
  CloseFilesOnExit close_files{e};
  internal::OpenCompanySet(e);

  const data::Slot& journal = data::GetSlot(kJournalSlot);
  if (!journal.is_open()) internal::RaiseFileFailure("EXTRA", "");
  const platform::Status read = data::ReadRecord(kJournalSlot, registro);
  // A line beyond the end of the journal, already removed, or never written
  // has nothing to take out.
  if (read.IsNotFound()) return false;
  internal::CheckFile(read, "EXTRA");
  if (journal.IsCancelled() || NeverWritten(journal)) return false;

  const std::string link = journal.Value(journal.FieldByCode(kLineLink));
  ActualizarSaldosApunte(e, -1, JournalLineFromSlot());
  internal::Deletions deletions;
  if (incluir_analitica && internal::IsAnalyticLink(link))
    internal::RemoveAnalyticLines(link, deletions);
  deletions.CancelJournalLine(registro);

  if (deletions.failed()) internal::RaiseIndexFailure(deletions.status());
  return false;
}

}  // namespace qrole::maintenance
