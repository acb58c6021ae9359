// The journal of a company as a ledger-cli journal or as CSV.
//
// Reading: every journal line that is not cancelled, optionally within a
// range of dates, ordered by date, entry number and the order the lines were
// posted in; each with its account's title from the chart. An entry is the
// lines of one date and entry number.
//
// Ledger: one transaction per entry, dated, with the entry number as its
// code and its first line's description as the payee; each line's amount is
// the journal's signed amount (a debit positive, a credit negative, as the
// chart's balances add them). Accounts are named by code and title, and
// placed under the chart accounts whose codes begin theirs
// ("43 Clientes:4300001 Cliente A"), so that every level of ledger's balance
// report shows the balance the chart keeps at that level. An entry whose
// lines do not add up to zero cannot be a ledger transaction: its lines are
// written as virtual postings ("(account)"), which count in the balances
// and need not balance, and it is counted as unbalanced. Lines that are
// neither a debit nor a credit change no balance and are left out (counted
// as skipped).
//
// CSV (RFC 4180, a header row, "." as the decimal point, ISO dates): date,
// entry, account, account_title, description, debit, credit, journal,
// reference, channel; every line, its amount in the column of its side with
// the sign as posted (a credit of 100 is 100 in the credit column), a line
// that is neither a debit nor a credit with both amounts empty.

#ifndef QROLE_TOOLS_QROLE_JOURNAL_EXPORT_H_
#define QROLE_TOOLS_QROLE_JOURNAL_EXPORT_H_

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace qrole::cli {

struct JournalLine {
  std::string date;     // ISO, "2025-12-31"
  std::string entry;    // the entry number as stored, without blanks
  std::string account;  // account code
  std::string description;
  int side = 0;         // 1 debit, 2 credit, other: neither
  double amount = 0;    // as the journal stores it
  std::string journal;  // DIARIO
  std::string reference;
  std::string channel;
  int32_t record = 0;  // record number in the journal file
};

// Accounts of the chart: code -> title.
using ChartTitles = std::map<std::string, std::string>;

// Called with (lines read, lines in all) while the journal is read.
using ReadProgress = std::function<void(int64_t, int64_t)>;

// The journal lines of the company in `directory` with `number`, from
// `from` to `to` (ISO dates, either empty for no bound), in the order the
// header describes. Raises the table component's AutomationError when the
// journal cannot be read.
std::vector<JournalLine> ReadJournal(const std::string& directory, const std::string& number,
                                     const std::string& from, const std::string& to,
                                     const ReadProgress& progress);

// The chart's titles.
ChartTitles ReadChartTitles(const std::string& directory, const std::string& number);

struct ExportCounts {
  int64_t entries = 0;
  int64_t lines = 0;       // lines written
  int64_t skipped = 0;     // lines left out (neither debit nor credit)
  int64_t unbalanced = 0;  // entries whose lines do not add up to zero
};

struct ExportStyle {
  int decimals = 2;               // of every amount
  std::string commodity = "EUR";  // ledger only
};

ExportCounts WriteLedger(const std::vector<JournalLine>& lines, const ChartTitles& titles,
                         const ExportStyle& style, std::ostream& out);
ExportCounts WriteCsv(const std::vector<JournalLine>& lines, const ChartTitles& titles,
                      const ExportStyle& style, std::ostream& out);

// The ledger account name of `code`: its chart parents and itself, each as
// code and title, joined by ":"; titles lose the characters ledger reads
// as syntax (":", tabs, runs of blanks).
std::string LedgerAccountName(const std::string& code, const ChartTitles& titles);

// A date of the command line (2025-12-31, 31/12/2025, 31/12/25) as ISO;
// empty when it is not a valid date.
std::string ParseDate(const std::string& text);

}  // namespace qrole::cli

#endif  // QROLE_TOOLS_QROLE_JOURNAL_EXPORT_H_
