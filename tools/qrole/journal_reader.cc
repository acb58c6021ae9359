// Reading the journal and the chart for the export (see journal_export.h).

#include <algorithm>
#include <cstdio>

#include "automation/convert.h"
#include "data/condition_values.h"
#include "data/table_component.h"
#include "journal_export.h"

namespace qrole::cli {

namespace {

// Journal ("EXTRA") field codes.
constexpr int kDate = 1;
constexpr int kAccount = 2;
constexpr int kEntry = 3;
constexpr int kDescription = 4;
constexpr int kSide = 5;
constexpr int kAmount = 6;
constexpr int kJournal = 8;
constexpr int kChannel = 14;
constexpr int kReference = 22;
// Chart ("PLANC") field codes.
constexpr int kChartCode = 1;
constexpr int kChartTitle = 2;

std::string Text(data::TableComponent& t, int code) { return Trim(ToStr(t.GetField(code))); }

std::string IsoOfDay(int32_t day) {
  if (day <= 0) return "";
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", day / 10000, day / 100 % 100, day % 100);
  return text;
}

// yyyymmdd of an ISO date known to be valid.
int32_t DayOfIso(const std::string& iso) {
  return std::stoi(iso.substr(0, 4)) * 10000 + std::stoi(iso.substr(5, 2)) * 100 +
         std::stoi(iso.substr(8, 2));
}

// Entry numbers in number order when they are numbers, else as text.
bool EntryBefore(const std::string& a, const std::string& b) {
  const bool a_number = !a.empty() && a.find_first_not_of("0123456789") == std::string::npos;
  const bool b_number = !b.empty() && b.find_first_not_of("0123456789") == std::string::npos;
  if (a_number && b_number && a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace

std::string ParseDate(const std::string& text) {
  std::string written = text;
  // ISO (2025-12-31) is read as 31/12/2025.
  if (text.size() == 10 && text[4] == '-' && text[7] == '-')
    written = text.substr(8, 2) + "/" + text.substr(5, 2) + "/" + text.substr(0, 4);
  else if (text.find('/') == std::string::npos)
    return "";  // yymmdd and the stored form are not offered to people
  const std::optional<int32_t> day = data::ParseDateValue(written);
  if (!day || *day == 0) return "";
  return IsoOfDay(*day);
}

std::vector<JournalLine> ReadJournal(const std::string& directory, const std::string& number,
                                     const std::string& from, const std::string& to,
                                     const ReadProgress& progress) {
  std::string condition;
  auto bound = [&](const char* op, const std::string& iso) {
    if (iso.empty()) return;
    std::optional<std::string> stored = data::StoredDateForm(DayOfIso(iso));
    if (!stored) return;
    if (!condition.empty()) condition += " and ";
    condition += std::string("Fecha") + op + *stored;
  };
  bound(">=", from);
  bound("<=", to);

  data::TableComponent t;
  t.OpenCompanyTable("EXTRA", directory, number);
  t.SetFilter(condition);
  const int64_t total = t.RecordCount();
  std::vector<JournalLine> lines;
  lines.reserve(static_cast<size_t>(total));
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) {
    JournalLine line;
    line.date = IsoOfDay(data::StoredDateDay(t.GetFieldBytes(kDate)));
    line.entry = Text(t, kEntry);
    line.account = Text(t, kAccount);
    line.description = Text(t, kDescription);
    const std::string side = Text(t, kSide);
    line.side = side == "1" ? 1 : side == "2" ? 2 : 0;
    line.amount = ToDouble(t.GetField(kAmount));
    line.journal = Text(t, kJournal);
    line.reference = Text(t, kReference);
    line.channel = Text(t, kChannel);
    line.record = t.RecordNumber();
    lines.push_back(std::move(line));
    if (progress) progress(static_cast<int64_t>(lines.size()), total);
  }
  t.Close();
  std::stable_sort(lines.begin(), lines.end(), [](const JournalLine& a, const JournalLine& b) {
    if (a.date != b.date) return a.date < b.date;
    if (a.entry != b.entry) return EntryBefore(a.entry, b.entry);
    return a.record < b.record;
  });
  return lines;
}

ChartTitles ReadChartTitles(const std::string& directory, const std::string& number) {
  ChartTitles titles;
  data::TableComponent t;
  t.OpenCompanyTable("PLANC", directory, number);
  t.SetFilter("");
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) {
    std::string code = Text(t, kChartCode);
    if (!code.empty()) titles[code] = Text(t, kChartTitle);
  }
  t.Close();
  return titles;
}

}  // namespace qrole::cli
