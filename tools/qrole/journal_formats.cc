// Writing the journal as ledger-cli transactions and as CSV (see
// journal_export.h).

#include <cmath>
#include <cstdio>

#include "journal_export.h"

namespace qrole::cli {

namespace {

// `value` with `decimals` decimals and "." as the point; never "-0.00".
std::string Amount(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  double rounded = std::round(value * scale) / scale;
  if (rounded == 0) rounded = 0;  // drops the sign of -0
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, rounded);
  return text;
}

// A code and title as one part of a ledger account name: no ":" (the
// separator of levels), no tabs or runs of blanks (which end an account
// name). It begins with the code, so it never reads as a virtual account.
std::string LedgerPart(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ':') c = '.';
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Text of a payee or a note: one line.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) out += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
  return out;
}

// The entries of `lines` (already in order): [first, last) ranges of one
// date and entry number.
template <class Each>
void ForEachEntry(const std::vector<JournalLine>& lines, Each each) {
  size_t first = 0;
  while (first < lines.size()) {
    size_t last = first + 1;
    while (last < lines.size() && lines[last].date == lines[first].date &&
           lines[last].entry == lines[first].entry)
      ++last;
    each(first, last);
    first = last;
  }
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string TitleOf(const ChartTitles& titles, const std::string& code) {
  auto it = titles.find(code);
  return it == titles.end() ? "" : it->second;
}

}  // namespace

std::string LedgerAccountName(const std::string& code, const ChartTitles& titles) {
  std::string name;
  auto part = [&](const std::string& prefix) {
    std::string text = LedgerPart(prefix + " " + TitleOf(titles, prefix));
    if (!name.empty()) name += ":";
    name += text;
  };
  for (size_t length = 1; length < code.size(); ++length) {
    const std::string prefix = code.substr(0, length);
    if (titles.count(prefix)) part(prefix);
  }
  part(code);
  return name;
}

ExportCounts WriteLedger(const std::vector<JournalLine>& lines, const ChartTitles& titles,
                         const ExportStyle& style, std::ostream& out) {
  ExportCounts counts;
  const double scale = std::pow(10.0, style.decimals);
  ForEachEntry(lines, [&](size_t first, size_t last) {
    // Amounts in units of the last decimal, so that the sum is exact.
    long long sum = 0;
    size_t postings = 0;
    for (size_t i = first; i < last; ++i) {
      if (lines[i].side != 1 && lines[i].side != 2) continue;
      sum += std::llround(lines[i].amount * scale);
      ++postings;
    }
    counts.skipped += static_cast<int64_t>(last - first - postings);
    if (postings == 0) return;
    const bool balanced = sum == 0;
    if (!balanced) ++counts.unbalanced;
    ++counts.entries;
    std::string date = lines[first].date;
    for (char& c : date)
      if (c == '-') c = '/';
    out << date << " * (" << lines[first].entry << ") " << OneLine(lines[first].description)
        << "\n";
    if (!balanced) out << "    ; the lines of this entry do not add up to zero\n";
    for (size_t i = first; i < last; ++i) {
      const JournalLine& line = lines[i];
      if (line.side != 1 && line.side != 2) continue;
      std::string account = LedgerAccountName(line.account, titles);
      if (!balanced) account = "(" + account + ")";
      out << "    " << account << "  " << Amount(line.amount, style.decimals) << " "
          << style.commodity;
      std::string note;
      if (line.description != lines[first].description) note = OneLine(line.description);
      if (!line.reference.empty())
        note += std::string(note.empty() ? "" : " ") + "[ref " + OneLine(line.reference) + "]";
      if (!note.empty()) out << "  ; " << note;
      out << "\n";
      ++counts.lines;
    }
    out << "\n";
  });
  return counts;
}

ExportCounts WriteCsv(const std::vector<JournalLine>& lines, const ChartTitles& titles,
                      const ExportStyle& style, std::ostream& out) {
  ExportCounts counts;
  out << "date,entry,account,account_title,description,debit,credit,journal,reference,channel"
      << "\r\n";
  ForEachEntry(lines, [&](size_t first, size_t last) {
    ++counts.entries;
    long long sum = 0;
    const double scale = std::pow(10.0, style.decimals);
    for (size_t i = first; i < last; ++i) {
      const JournalLine& line = lines[i];
      std::string debit, credit;
      if (line.side == 1) {
        debit = Amount(line.amount, style.decimals);
        sum += std::llround(line.amount * scale);
      } else if (line.side == 2) {
        credit = Amount(-line.amount, style.decimals);
        sum += std::llround(line.amount * scale);
      } else {
        ++counts.skipped;
      }
      out << CsvField(line.date) << ',' << CsvField(line.entry) << ',' << CsvField(line.account)
          << ',' << CsvField(TitleOf(titles, line.account)) << ',' << CsvField(line.description)
          << ',' << debit << ',' << credit << ',' << CsvField(line.journal) << ','
          << CsvField(line.reference) << ',' << CsvField(line.channel) << "\r\n";
      ++counts.lines;
    }
    if (sum != 0) ++counts.unbalanced;
  });
  return counts;
}

}  // namespace qrole::cli
