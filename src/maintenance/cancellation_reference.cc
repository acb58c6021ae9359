// Cancelling every journal line that carries a reference, with the VAT-book
// and portfolio lines of their entries.

#include <algorithm>
#include <cmath>
#include <exception>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "data/globals.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "ledger/web_fields.h"
#include "maintenance/cancellation.h"
#include "maintenance/cancellation_internal.h"
#include "maintenance/journal_balances.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "web/web_link.h"

namespace qrole::maintenance {

namespace {

using internal::CheckFile;

// Journal field codes and the index of its references.
constexpr int kLineDate = 1;
constexpr int kLineNumber = 3;
constexpr int kLineLink = 18;
constexpr int kLineReference = 22;
constexpr int kJournalByReference = 4;
// VAT book: invoice number, entry number, quota, entry date, reference, and
// the index of date + number.
constexpr int kVatInvoice = 5;
constexpr int kVatNumber = 8;
constexpr int kVatQuota = 17;
constexpr int kVatDate = 21;
constexpr int kVatReference = 22;
constexpr int kVatByEntry = 4;
// Portfolio: entry date, entry number, and the index of both.
constexpr int kPortfolioDate = 8;
constexpr int kPortfolioNumber = 9;
constexpr int kPortfolioByEntry = 2;

// A reference longer than this finds its VAT lines by itself; a shorter one
// through the entries of the lines removed.
constexpr size_t kShortReference = 4;
// Amounts are kept to the cent: a total below half a cent is no total.
constexpr double kHalfCent = 0.005;

// An entry of the lines removed, as the journal holds its date and number.
struct Entry {
  std::string date;
  std::string number;
  bool operator==(const Entry&) const = default;
};

// The records of `slot` of an entry (date + number by index `index`).
std::vector<int32_t> RecordsOfEntry(int slot, int index, int date_code, int number_code,
                                    const Entry& entry, double* sum = nullptr, int sum_code = 0) {
  std::vector<int32_t> records;
  internal::ForEachWithKey(
      slot, index,
      internal::KeyOf(slot, index, {{date_code, entry.date}, {number_code, entry.number}}),
      [&](const data::Slot& s, int32_t record) {
        records.push_back(record);
        if (sum != nullptr) *sum += s.Number(s.FieldByCode(sum_code));
      });
  return records;
}

// VAT lines whose reference, without its trailing blanks, is `trimmed`
// (Windows-1252).
std::vector<int32_t> VatLinesWithReference(const std::string& trimmed) {
  std::vector<int32_t> records;
  const data::Slot& book = data::GetSlot(internal::kVatSlot);
  const int field = book.FieldByCode(kVatReference);
  platform::Result<bool> found = data::MoveFirst(internal::kVatSlot, 1);
  for (;;) {
    CheckFile(found.status(), "IVA01");
    if (!*found) break;
    if (!book.IsCancelled() && RTrim(book.Value(field)) == trimmed)
      records.push_back(data::Globals().engine_record);
    found = data::MoveNext(internal::kVatSlot);
  }
  return records;
}

// The VAT lines of the lines removed. `reference` is the client's reference
// (Windows-1252); `vat_total` the amount removed from the VAT accounts.
void RemoveVatLines(const std::string& reference, const std::vector<Entry>& entries,
                    double vat_total, internal::Deletions& deletions) {
  const std::string trimmed = Trim(reference);
  if (trimmed.size() > kShortReference) {
    const std::vector<int32_t> records = VatLinesWithReference(trimmed);
    for (int32_t record : records) deletions.Cancel(internal::kVatSlot, record);
    if (!records.empty()) return;
  }
  const data::Slot& book = data::GetSlot(internal::kVatSlot);
  for (const Entry& entry : entries) {
    double quotas = 0;
    const std::vector<int32_t> records = RecordsOfEntry(internal::kVatSlot, kVatByEntry, kVatDate,
                                                        kVatNumber, entry, &quotas, kVatQuota);
    // The VAT removed covers the entry's quotas: every line of the entry
    // goes. (Output VAT is a credit, so amounts are compared whatever their
    // sign.)
    if (std::fabs(vat_total) >= std::fabs(quotas)) {
      for (int32_t record : records) deletions.Cancel(internal::kVatSlot, record);
      continue;
    }
    // Otherwise only the lines of invoices the reference names.
    for (int32_t record : records) {
      CheckFile(data::ReadRecord(internal::kVatSlot, record), "IVA01");
      const std::string invoice = Trim(book.Value(book.FieldByCode(kVatInvoice)));
      if (invoice.empty() || reference.find(invoice) != std::string::npos)
        deletions.Cancel(internal::kVatSlot, record);
    }
  }
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

bool AnularApuntePorReferencia(server::Enlace& e, const std::string& referencia, bool incluir_iva,
                               bool /*incluir_analitica*/) {
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    ledger::CheckWebAnswer(web::PeticionWebCampos(e.web_session(), "ANULARASIENTO",
                                                  {"REFERENCIA:REFERENCIA=" + referencia}));
    return true;
  }
  if (Trim(referencia).empty()) return false;
  struct CloseFiles {
    server::Enlace& e;
    ~CloseFiles() { e.CerrarArchivos(false); }
  } close_files{e};
  internal::OpenCompanySet(e);

  // The lines that carry the reference, in its full width, found through
  // the journal's reference index; and their entries, each once.
  const std::string reference = platform::Utf8ToCp1252(referencia);
  std::vector<int32_t> lines;
  std::vector<Entry> entries;
  internal::ForEachWithKey(
      kJournalSlot, kJournalByReference,
      internal::KeyOf(kJournalSlot, kJournalByReference, {{kLineReference, reference}}),
      [&](const data::Slot& s, int32_t record) {
        lines.push_back(record);
        const Entry entry{s.Value(s.FieldByCode(kLineDate)), s.Value(s.FieldByCode(kLineNumber))};
        if (std::find(entries.begin(), entries.end(), entry) == entries.end())
          entries.push_back(entry);
      });

  internal::Deletions deletions;
  const data::Slot& journal = data::GetSlot(kJournalSlot);
  double total = 0;
  double vat_total = 0;
  for (auto record = lines.rbegin(); record != lines.rend(); ++record) {
    CheckFile(data::ReadRecord(kJournalSlot, *record), "EXTRA");
    if (journal.IsCancelled()) continue;
    const std::string link = journal.Value(journal.FieldByCode(kLineLink));
    const JournalLineBalance line = JournalLineFromSlot();
    // The analytic lines always go with their line.
    if (internal::IsAnalyticLink(link)) internal::RemoveAnalyticLines(link, deletions);
    total += line.amount;
    if (StartsWith(line.account, "477") || StartsWith(line.account, "472"))
      vat_total += line.amount;
    ActualizarSaldosApunte(e, -1, line);
    deletions.CancelJournalLine(*record);
  }

  if (incluir_iva) {
    // A VAT book that cannot be cleaned does not stop the rest.
    try {
      RemoveVatLines(reference, entries, vat_total, deletions);
    } catch (const std::exception&) {
    }
  }
  for (const Entry& entry : entries) {
    for (int32_t record : RecordsOfEntry(internal::kPortfolioSlot, kPortfolioByEntry,
                                         kPortfolioDate, kPortfolioNumber, entry))
      deletions.Cancel(internal::kPortfolioSlot, record);
  }

  if (deletions.failed()) internal::RaiseIndexFailure(deletions.status());
  return std::fabs(total) < kHalfCent;
}

}  // namespace qrole::maintenance
