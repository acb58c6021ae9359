// Entries, balances and the VAT book.
//
// Posting writes one journal line per pending line: its date, account, entry
// number, side ("1" debit, "2" credit; other sides touch no balance), its
// amount in the company currency signed (credits negative) and its journal
// code. It adds that amount to the debit or credit element of the line's
// period in every chart record whose code begins the line's account (the
// account and the levels above it that the chart holds); a cancellation takes
// it out again. The period is 0 for journal "A" (opening), 13 for "B"
// (regularisation), 14 for "C" (closing), else the month of the line's date.
// Analytic lines do the same on the cost-centre chart, for the account itself
// and its levels by the company's cost-centre level lengths, when the account
// is in that chart.
//
// So, with both files read once: sum the lines by (account, period), spread
// each sum over the chart records it reaches, and compare with what the
// records hold.

#include <array>
#include <cmath>
#include <unordered_map>

#include "check/check_internal.h"
#include "platform/text_encoding.h"

namespace qrole::check::internal {

namespace {

// Field codes.
constexpr int kLineDate = 1;
constexpr int kLineAccount = 2;
constexpr int kLineNumber = 3;
constexpr int kLineSide = 5;
constexpr int kLineAmount = 6;
constexpr int kLineJournal = 8;
constexpr int kAnalyticAccount = 19;
constexpr int kChartCode = 1;
constexpr int kChartDebit = 12;
constexpr int kChartCredit = 13;
constexpr int kVatNumber = 8;
constexpr int kVatDate = 21;
constexpr int kVatCollectionDate = 26;

constexpr int kPeriods = 15;

// Two amounts agree when they differ by less than half a cent, plus what
// adding up many of them in binary floating point may drift by.
bool Agree(long double a, long double b, long double magnitude) {
  return std::fabs(static_cast<double>(a - b)) <= 0.005 + 1e-12 * static_cast<double>(magnitude);
}

std::string PeriodName(int e) {
  static const char* const kNames[kPeriods] = {
      "opening", "January",  "February", "March",          "April",
      "May",     "June",     "July",     "August",         "September",
      "October", "November", "December", "regularisation", "closing"};
  return e >= 0 && e < kPeriods ? kNames[e] : "period " + std::to_string(e);
}

// The balance element of a line: its journal code, else its date's month.
int Period(const std::string& journal, std::string_view date) {
  if (journal == "A") return 0;
  if (journal == "B") return 13;
  if (journal == "C") return 14;
  if (date.size() < 4) return 0;
  const char a = date[2], b = date[3];
  if (a < '0' || a > '9' || b < '0' || b > '9') return 0;
  const int month = (a - '0') * 10 + (b - '0');
  return month >= 1 && month <= 12 ? month : 0;
}

// Sums of lines.
struct Cell {
  long double debit = 0, credit = 0;
  long double magnitude = 0;  // sum of the absolute amounts
  void Add(const std::string& side, double amount) {
    if (side == "1") debit += amount;
    if (side == "2") credit += amount;
    magnitude += std::fabs(amount);
  }
  void Add(const Cell& c) {
    debit += c.debit;
    credit += c.credit;
    magnitude += c.magnitude;
  }
};

// Line sums by account and period ("account" + '\0' + period).
using LineSums = std::unordered_map<std::string, Cell>;

std::string CellKey(const std::string& account, int period) {
  std::string key = account;
  key.push_back('\0');
  key.push_back(static_cast<char>(period));
  return key;
}

// The records of a chart ("PLANC" or "Costo") by code.
struct Chart {
  std::unordered_map<std::string, int64_t> first;  // code -> its first record
  bool Has(const std::string& code) const { return first.count(code) != 0; }
};

// Reads the chart's codes; a code on two records is a fault (posting and
// cancelling use the first).
platform::Status ReadChart(TableFile& t, Chart* chart, int64_t* count, Findings& findings) {
  const int code_field = t.Field(kChartCode);
  return ForEachRecord(t, [&](int64_t record, std::string_view bytes) {
    if (StateOf(bytes) != RecordState::kLive) return;
    ++*count;
    const std::string code = TrimmedField(t, bytes, code_field);
    auto [it, added] = chart->first.emplace(code, record);
    if (!added) {
      findings.AddFault("duplicate-account", t.table, record, ForPeople(code),
                        t.table + ": account " + ForPeople(code) + " is on record " +
                            std::to_string(record) + " and on record " +
                            std::to_string(it->second));
    }
  });
}

// Compares every chart record's balances with `expected` (by code and period).
platform::Status CompareBalances(TableFile& t, const Chart& chart,
                                 const std::unordered_map<std::string, Cell>& expected,
                                 const std::string& lines_table, Findings& findings) {
  const int code_field = t.Field(kChartCode);
  const int debit = t.Field(kChartDebit);
  const int credit = t.Field(kChartCredit);
  return ForEachRecord(t, [&](int64_t record, std::string_view bytes) {
    if (StateOf(bytes) != RecordState::kLive) return;
    const std::string code = TrimmedField(t, bytes, code_field);
    auto first = chart.first.find(code);
    if (first == chart.first.end() || first->second != record) return;
    for (int e = 0; e < kPeriods; ++e) {
      auto it = expected.find(CellKey(code, e));
      const Cell want = it == expected.end() ? Cell() : it->second;
      for (int side = 0; side < 2; ++side) {
        const double stored = NumberField(t, bytes, (side == 0 ? debit : credit) + e);
        const long double sum = side == 0 ? want.debit : want.credit;
        if (Agree(stored, sum, want.magnitude + std::fabs(stored))) continue;
        findings.AddFault("balance-mismatch", t.table, record, ForPeople(code),
                          t.table + ": account " + ForPeople(code) + " (record " +
                              std::to_string(record) + "), " + (side == 0 ? "debit" : "credit") +
                              " of " + PeriodName(e) + " is " + Amount(stored) + ", its " +
                              lines_table + " lines sum " + Amount(static_cast<double>(sum)));
      }
    }
  });
}

// One journal entry: a date and a number.
struct Entry {
  std::string date;    // stored form
  std::string number;  // without trailing blanks
  int64_t first_record = 0;
  int64_t lines = 0;
  Cell sum;
};

struct Journal {
  std::vector<Entry> entries;
  std::unordered_map<std::string, size_t> by_key;  // date + '\0' + number
  std::unordered_map<std::string, std::string> date_of_number;
  LineSums sums;
};

std::string EntryKey(std::string_view date, const std::string& number) {
  std::string key(date);
  key.push_back('\0');
  key += number;
  return key;
}

std::string EntryName(std::string_view date, const std::string& number) {
  return DateForPeople(date) + " " + ForPeople(number);
}

void ReadJournal(TableFile& t, Journal* j, Findings& findings) {
  const int date_field = t.Field(kLineDate);
  const int account_field = t.Field(kLineAccount);
  const int number_field = t.Field(kLineNumber);
  const int side_field = t.Field(kLineSide);
  const int amount_field = t.Field(kLineAmount);
  const int journal_field = t.Field(kLineJournal);
  platform::Status status = ForEachRecord(t, [&](int64_t record, std::string_view bytes) {
    if (StateOf(bytes) != RecordState::kLive) return;
    ++findings.report().journal_lines;
    const std::string_view date = RawField(t, bytes, date_field);
    const std::string number = RightTrimmedField(t, bytes, number_field);
    const std::string side = TrimmedField(t, bytes, side_field);
    const double amount = NumberField(t, bytes, amount_field);
    auto [it, added] = j->by_key.emplace(EntryKey(date, number), j->entries.size());
    if (added) j->entries.push_back(Entry{std::string(date), number, record, 0, Cell()});
    Entry& entry = j->entries[it->second];
    ++entry.lines;
    entry.sum.Add(side, amount);
    const std::string account = TrimmedField(t, bytes, account_field);
    const int period = Period(TrimmedField(t, bytes, journal_field), date);
    j->sums[CellKey(account, period)].Add(side, amount);
    if (added) {
      auto [first, fresh] = j->date_of_number.emplace(number, std::string(date));
      if (!fresh && first->second != date) {
        findings.AddNote("number-two-dates", t.table, record, ForPeople(number),
                         "EXTRA: entry number " + ForPeople(number) + " is used at " +
                             DateForPeople(first->second) + " and at " + DateForPeople(date));
      }
    }
  });
  if (!status.ok()) {
    findings.AddFault("file-unreadable", t.table, 0, "", t.data_path + ": " + status.ToString());
  }
}

void CheckEntries(const Journal& j, const std::string& counter, Findings& findings) {
  findings.report().entries = static_cast<int64_t>(j.entries.size());
  const bool counter_numeric =
      counter.size() == 6 && counter.find_first_not_of("0123456789") == std::string::npos;
  for (const Entry& e : j.entries) {
    const long double difference = e.sum.debit + e.sum.credit;
    if (!Agree(difference, 0, e.sum.magnitude)) {
      findings.AddFault("entry-unbalanced", "EXTRA", e.first_record, EntryName(e.date, e.number),
                        "EXTRA: entry " + EntryName(e.date, e.number) + " (" +
                            std::to_string(e.lines) + " lines from record " +
                            std::to_string(e.first_record) + ") does not balance: debit " +
                            Amount(static_cast<double>(e.sum.debit)) + ", credit " +
                            Amount(static_cast<double>(-e.sum.credit)));
    }
    if (counter_numeric && e.number.size() == 6 &&
        e.number.find_first_not_of("0123456789") == std::string::npos && e.number > counter) {
      findings.AddNote("entry-above-counter", "EXTRA", e.first_record, EntryName(e.date, e.number),
                       "EXTRA: entry " + EntryName(e.date, e.number) +
                           " is numbered above the company's entry counter " + counter);
    }
  }
}

// Spreads the journal's sums over the chart (every code that begins the
// line's account) and compares.
void CheckChart(TableFile& chart_file, const Journal& j, Findings& findings) {
  Chart chart;
  platform::Status status = ReadChart(chart_file, &chart, &findings.report().accounts, findings);
  std::unordered_map<std::string, Cell> expected;
  std::unordered_map<std::string, bool> noted;
  for (const auto& [key, cell] : j.sums) {
    const std::string account = key.substr(0, key.size() - 2);
    const int period = static_cast<unsigned char>(key.back());
    if (!chart.Has(account) && noted.emplace(account, true).second) {
      findings.AddNote("account-missing", "PLANC", 0, ForPeople(account),
                       "PLANC: the journal has lines on account " + ForPeople(account) +
                           ", which the chart does not hold");
    }
    for (size_t n = 1; n <= account.size(); ++n) {
      const std::string code = account.substr(0, n);
      if (chart.Has(code)) expected[CellKey(code, period)].Add(cell);
    }
  }
  if (status.ok()) status = CompareBalances(chart_file, chart, expected, "EXTRA", findings);
  if (!status.ok()) {
    findings.AddFault("file-unreadable", "PLANC", 0, "",
                      chart_file.data_path + ": " + status.ToString());
  }
}

// Cost-centre balances from the analytic lines.
void CheckCostCentres(TableFile& costs, TableFile& lines, const std::vector<int>& levels,
                      Findings& findings) {
  LineSums sums;
  const int date_field = lines.Field(kLineDate);
  const int side_field = lines.Field(kLineSide);
  const int amount_field = lines.Field(kLineAmount);
  const int journal_field = lines.Field(kLineJournal);
  const int account_field = lines.Field(kAnalyticAccount);
  platform::Status status = ForEachRecord(lines, [&](int64_t, std::string_view bytes) {
    if (StateOf(bytes) != RecordState::kLive) return;
    ++findings.report().analytic_lines;
    const std::string account = TrimmedField(lines, bytes, account_field);
    const int period =
        Period(TrimmedField(lines, bytes, journal_field), RawField(lines, bytes, date_field));
    sums[CellKey(account, period)].Add(TrimmedField(lines, bytes, side_field),
                                       NumberField(lines, bytes, amount_field));
  });
  Chart chart;
  if (status.ok()) status = ReadChart(costs, &chart, &findings.report().cost_centres, findings);
  if (!status.ok()) {
    findings.AddFault("file-unreadable", "Costo", 0, "", status.ToString());
    return;
  }
  std::unordered_map<std::string, Cell> expected;
  for (const auto& [key, cell] : sums) {
    const std::string account = key.substr(0, key.size() - 2);
    const int period = static_cast<unsigned char>(key.back());
    // A line on a cost centre the chart lacks reaches no balance.
    if (!chart.Has(account)) continue;
    expected[CellKey(account, period)].Add(cell);
    for (int length : levels) {
      if (length <= 0 || static_cast<size_t>(length) >= account.size()) continue;
      expected[CellKey(account.substr(0, static_cast<size_t>(length)), period)].Add(cell);
    }
  }
  status = CompareBalances(costs, chart, expected, "Anali", findings);
  if (!status.ok()) findings.AddFault("file-unreadable", "Costo", 0, "", status.ToString());
}

// Every VAT-book invoice line that names an entry names one of the journal.
// Collection lines (a collection date) carry the entry of a payment that may
// have been recorded without one, and are left alone.
void CheckVatBook(TableFile& vat, const Journal& j, Findings& findings) {
  const int number_field = vat.Field(kVatNumber);
  const int date_field = vat.Field(kVatDate);
  const int collection_field = vat.Field(kVatCollectionDate);
  platform::Status status = ForEachRecord(vat, [&](int64_t record, std::string_view bytes) {
    if (StateOf(bytes) != RecordState::kLive) return;
    ++findings.report().vat_records;
    if (!TrimmedField(vat, bytes, collection_field).empty()) return;
    const std::string number = RightTrimmedField(vat, bytes, number_field);
    if (TrimmedField(vat, bytes, number_field).empty()) return;
    const std::string_view date = RawField(vat, bytes, date_field);
    if (j.by_key.count(EntryKey(date, number)) != 0) return;
    std::string where;
    auto other = j.date_of_number.find(number);
    if (other != j.date_of_number.end()) {
      where = " (the journal has that number at " + DateForPeople(other->second) + ")";
    }
    findings.AddFault("vat-without-entry", vat.table, record, EntryName(date, number),
                      vat.table + ": record " + std::to_string(record) + " belongs to entry " +
                          EntryName(date, number) + ", which the journal does not hold" + where);
  });
  if (!status.ok()) {
    findings.AddFault("file-unreadable", vat.table, 0, "",
                      vat.data_path + ": " + status.ToString());
  }
}

// Opens a table of the books; a missing one is nullptr (nothing to check),
// an unusable one a fault.
std::unique_ptr<TableFile> Open(const std::string& directory, const std::string& number,
                                const std::string& table, Findings& findings) {
  auto t = OpenTable(directory, number, table);
  if (t.ok()) return std::move(t).value();
  if (!t.status().IsNotFound()) {
    findings.AddFault("file-unreadable", table, 0, "", table + ": " + t.status().ToString());
  }
  return nullptr;
}

}  // namespace

void CheckBooks(const std::string& directory, const std::string& number,
                const std::string& entry_counter, const std::vector<int>& cost_centre_levels,
                Findings& findings) {
  Journal journal;
  if (auto extra = Open(directory, number, "EXTRA", findings)) {
    ReadJournal(*extra, &journal, findings);
    CheckEntries(journal, entry_counter, findings);
  }
  if (auto chart = Open(directory, number, "PLANC", findings))
    CheckChart(*chart, journal, findings);
  auto costs = Open(directory, number, "Costo", findings);
  auto analytic = Open(directory, number, "Anali", findings);
  if (costs && analytic) CheckCostCentres(*costs, *analytic, cost_centre_levels, findings);
  if (auto vat = Open(directory, number, "IVA01", findings)) CheckVatBook(*vat, journal, findings);
}

}  // namespace qrole::check::internal
