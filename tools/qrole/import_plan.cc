#include "import_plan.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "cli.h"
#include "csv_reader.h"
#include "journal_export.h"
#include "util/sha256.h"

namespace qrole::cli {

namespace {

enum Column {
  kEntry,
  kDate,
  kAccount,
  kAccountTitle,
  kDescription,
  kDebit,
  kCredit,
  kSide,
  kAmount,
  kJournal,
  kReference,
  kChannel,
  kVatParty,
  kVatType,
  kVatBook,
  kInvoice,
  kInvoiceDate,
  kBase,
  kTotal,
  kColumnCount
};

constexpr const char* kColumnNames[kColumnCount] = {
    "entry",    "date",    "account",      "account_title", "description", "debit",     "credit",
    "side",     "amount",  "journal",      "reference",     "channel",     "vat_party", "vat_type",
    "vat_book", "invoice", "invoice_date", "base",          "total"};

constexpr Column kVatColumns[] = {kVatParty,    kVatType, kVatBook, kInvoice,
                                  kInvoiceDate, kBase,    kTotal};

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Where each column is in a row (-1: absent).
struct Layout {
  int at[kColumnCount];
  size_t width = 0;
};

Layout ReadHeader(const CsvRecord& header) {
  if (!header.error.empty())
    throw Failure("line " + std::to_string(header.line) + ": the header row: " + header.error);
  Layout layout;
  std::fill(std::begin(layout.at), std::end(layout.at), -1);
  layout.width = header.fields.size();
  for (size_t i = 0; i < header.fields.size(); ++i) {
    const std::string name = Lower(Trim(header.fields[i]));
    auto known = std::find_if(std::begin(kColumnNames), std::end(kColumnNames),
                              [&](const char* n) { return name == n; });
    if (known == std::end(kColumnNames)) {
      std::string list;
      for (const char* n : kColumnNames) list += std::string(list.empty() ? "" : ", ") + n;
      throw Failure("the header names an unknown column \"" + header.fields[i] +
                    "\" (known columns: " + list + ")");
    }
    int& at = layout.at[known - std::begin(kColumnNames)];
    if (at >= 0) throw Failure("the header names the column " + name + " twice");
    at = static_cast<int>(i);
  }
  for (Column required : {kEntry, kDate, kAccount})
    if (layout.at[required] < 0)
      throw Failure(std::string("the header has no column ") + kColumnNames[required]);
  const bool columns = layout.at[kDebit] >= 0 || layout.at[kCredit] >= 0;
  const bool side = layout.at[kSide] >= 0 || layout.at[kAmount] >= 0;
  if (columns == side || (columns && (layout.at[kDebit] < 0 || layout.at[kCredit] < 0)) ||
      (side && (layout.at[kSide] < 0 || layout.at[kAmount] < 0)))
    throw Failure("the header needs the columns debit and credit, or side and amount");
  return layout;
}

// A row's reading error.
struct RowError {
  std::string reason;
};

// An amount with "." as the decimal point and at most `decimals` decimals,
// in units of the last decimal.
int64_t Units(const std::string& text, int decimals, const char* what) {
  const std::string t = Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  int64_t units = 0;
  int digits = 0, after_point = -1;
  for (; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '.' && after_point < 0) {
      after_point = 0;
      continue;
    }
    if (c < '0' || c > '9' || digits >= 15)
      throw RowError{std::string("bad ") + what + " \"" + text +
                     "\" (digits with \".\" as the decimal point)"};
    units = units * 10 + (c - '0');
    ++digits;
    if (after_point >= 0) ++after_point;
  }
  if (digits == 0) throw RowError{std::string("bad ") + what + " \"" + text + "\""};
  if (after_point > decimals)
    throw RowError{std::string(what) + " \"" + text + "\" has more than " +
                   std::to_string(decimals) + " decimals"};
  for (int d = std::max(after_point, 0); d < decimals; ++d) units *= 10;
  return negative ? -units : units;
}

double AmountOf(int64_t units, int decimals) {
  double value = static_cast<double>(units);
  for (int d = 0; d < decimals; ++d) value /= 10;
  return value;
}

std::string UnitsText(int64_t units, int decimals) {
  std::string digits = std::to_string(units < 0 ? -units : units);
  if (decimals > 0) {
    if (digits.size() <= static_cast<size_t>(decimals))
      digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(decimals), ".");
  }
  return (units < 0 ? "-" : "") + digits;
}

// dd/mm/yyyy of an ISO date.
std::string Written(const std::string& iso) {
  return iso.substr(8, 2) + "/" + iso.substr(5, 2) + "/" + iso.substr(0, 4);
}

std::string DateOf(const std::string& text, const char* what) {
  const std::string iso = ParseDate(Trim(text));
  if (iso.empty())
    throw RowError{std::string("bad ") + what + " \"" + text +
                   "\" (31/12/2025, 31/12/25 or 2025-12-31)"};
  return iso;
}

// A row read: its line, its date and its (signed) units, as the entry checks
// need them.
struct Row {
  ImportLine line;
  std::string iso_date;
  int64_t signed_units = 0;  // debits positive
  std::string amount_text;   // canonical, for the key
};

Row ReadRow(const CsvRecord& record, const Layout& layout, int decimals) {
  if (!record.error.empty()) throw RowError{record.error};
  if (record.fields.size() != layout.width)
    throw RowError{std::to_string(record.fields.size()) + " fields where the header has " +
                   std::to_string(layout.width)};
  auto field = [&](Column c) -> std::string {
    return layout.at[c] < 0 ? std::string() : record.fields[static_cast<size_t>(layout.at[c])];
  };
  Row row;
  ImportLine& line = row.line;
  line.line = record.line;
  row.iso_date = DateOf(field(kDate), "date");
  line.account = Trim(field(kAccount));
  if (line.account.empty()) throw RowError{"no account"};
  line.description = field(kDescription);
  int64_t units = 0;
  if (layout.at[kDebit] >= 0) {
    const std::string debit = Trim(field(kDebit)), credit = Trim(field(kCredit));
    if (!debit.empty() && !credit.empty()) throw RowError{"both a debit and a credit"};
    if (debit.empty() && credit.empty()) throw RowError{"neither a debit nor a credit"};
    line.side = debit.empty() ? 2 : 1;
    units = Units(debit.empty() ? credit : debit, decimals, debit.empty() ? "credit" : "debit");
  } else {
    const std::string side = Lower(Trim(field(kSide)));
    if (side == "1" || side == "d" || side == "debit")
      line.side = 1;
    else if (side == "2" || side == "c" || side == "credit")
      line.side = 2;
    else
      throw RowError{"bad side \"" + field(kSide) + "\" (debit or credit, 1 or 2)"};
    units = Units(field(kAmount), decimals, "amount");
  }
  line.amount = AmountOf(units, decimals);
  row.amount_text = UnitsText(units, decimals);
  row.signed_units = line.side == 1 ? units : -units;
  if (const std::string journal = Trim(field(kJournal)); !journal.empty()) line.journal = journal;
  line.reference = Trim(field(kReference));
  line.channel = Trim(field(kChannel));

  bool any_vat = false;
  for (Column c : kVatColumns) any_vat = any_vat || !Trim(field(c)).empty();
  if (any_vat) {
    for (Column c : kVatColumns)
      if (c != kInvoiceDate && Trim(field(c)).empty())
        throw RowError{std::string("a VAT book line needs ") + kColumnNames[c]};
    ImportVat vat;
    vat.party = Trim(field(kVatParty));
    vat.type = Trim(field(kVatType));
    vat.book = Trim(field(kVatBook));
    vat.invoice = Trim(field(kInvoice));
    vat.invoice_date =
        Written(Trim(field(kInvoiceDate)).empty() ? row.iso_date
                                                  : DateOf(field(kInvoiceDate), "invoice_date"));
    vat.base = AmountOf(Units(field(kBase), decimals, "base"), decimals);
    vat.total = AmountOf(Units(field(kTotal), decimals, "total"), decimals);
    line.vat = vat;
  }
  return row;
}

void AppendText(std::string* out, std::string_view text) {
  *out += std::to_string(text.size());
  out->push_back(':');
  out->append(text);
}

std::string KeyOf(const std::string& file_name, const std::string& group, const std::string& date,
                  const std::vector<const Row*>& rows) {
  std::string text;
  AppendText(&text, file_name);
  AppendText(&text, group);
  AppendText(&text, date);
  for (const Row* row : rows) {
    const ImportLine& l = row->line;
    for (const std::string& f : {l.account, l.description, std::to_string(l.side), row->amount_text,
                                 l.journal, l.reference, l.channel})
      AppendText(&text, f);
    if (l.vat) {
      const ImportVat& v = *l.vat;
      char amounts[64];
      std::snprintf(amounts, sizeof amounts, "%.6f %.6f", v.base, v.total);
      for (const std::string& f :
           {v.party, v.type, v.book, v.invoice, v.invoice_date, std::string(amounts)})
        AppendText(&text, f);
    }
    text += ';';
  }
  return "qrole-import:" + util::HexOf(util::Sha256Of(text));
}

// The rows of one "entry" value, as read.
struct Group {
  std::string name;
  std::vector<int> lines;  // every row's line
  std::vector<Row> rows;   // the rows read
  std::vector<RejectedRow> errors;
};

}  // namespace

ImportPlan PlanImport(std::string_view text, const std::string& file_name, int decimals) {
  std::vector<CsvRecord> records = ReadCsv(text);
  if (records.empty()) throw Failure("the file is empty: it needs a header row");
  const Layout layout = ReadHeader(records.front());

  ImportPlan plan;
  std::vector<Group> groups;
  std::map<std::string, size_t> group_of;
  for (size_t r = 1; r < records.size(); ++r) {
    const CsvRecord& record = records[r];
    ++plan.rows;
    const int at = layout.at[kEntry];
    const std::string name = static_cast<size_t>(at) < record.fields.size()
                                 ? Trim(record.fields[static_cast<size_t>(at)])
                                 : "";
    if (name.empty()) {
      // Without an entry, the row is refused alone.
      std::string reason = "no entry";
      if (!record.error.empty())
        reason = record.error;
      else if (record.fields.size() != layout.width)
        reason = std::to_string(record.fields.size()) + " fields where the header has " +
                 std::to_string(layout.width);
      plan.rejected.push_back({record.line, name, reason});
      continue;
    }
    auto [it, added] = group_of.emplace(name, groups.size());
    if (added) groups.push_back(Group{name, {}, {}, {}});
    Group& group = groups[it->second];
    group.lines.push_back(record.line);
    try {
      group.rows.push_back(ReadRow(record, layout, decimals));
    } catch (const RowError& e) {
      group.errors.push_back({record.line, name, e.reason});
    }
  }

  for (Group& group : groups) {
    std::vector<RejectedRow> refused;
    if (!group.errors.empty()) {
      const std::string first = std::to_string(group.errors.front().line);
      for (int line : group.lines) {
        auto own = std::find_if(group.errors.begin(), group.errors.end(),
                                [&](const RejectedRow& r) { return r.line == line; });
        refused.push_back(own != group.errors.end()
                              ? *own
                              : RejectedRow{line, group.name,
                                            "its entry has a rejected row (line " + first + ")"});
      }
    } else {
      // One entry per date, in the order the dates first appear.
      std::vector<std::string> dates;
      for (const Row& row : group.rows)
        if (std::find(dates.begin(), dates.end(), row.iso_date) == dates.end())
          dates.push_back(row.iso_date);
      for (const std::string& date : dates) {
        std::vector<const Row*> rows;
        int64_t balance = 0;
        for (const Row& row : group.rows) {
          if (row.iso_date != date) continue;
          rows.push_back(&row);
          balance += row.signed_units;
        }
        if (balance != 0) {
          int64_t debits = 0, credits = 0;
          for (const Row* row : rows)
            (row->line.side == 1 ? debits : credits) +=
                row->line.side == 1 ? row->signed_units : -row->signed_units;
          for (const Row* row : rows)
            refused.push_back({row->line.line, group.name,
                               "the entry does not balance: debits " + UnitsText(debits, decimals) +
                                   ", credits " + UnitsText(credits, decimals)});
          continue;
        }
        ImportEntry entry;
        entry.group = group.name;
        entry.iso_date = date;
        entry.date = Written(date);
        for (const Row* row : rows) entry.lines.push_back(row->line);
        entry.key = KeyOf(file_name, group.name, date, rows);
        plan.entries.push_back(std::move(entry));
      }
    }
    plan.rejected.insert(plan.rejected.end(), refused.begin(), refused.end());
  }
  std::stable_sort(plan.rejected.begin(), plan.rejected.end(),
                   [](const RejectedRow& a, const RejectedRow& b) { return a.line < b.line; });
  return plan;
}

}  // namespace qrole::cli
