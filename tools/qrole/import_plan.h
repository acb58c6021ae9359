// The entries of a CSV file for `qrole import` (docs/import.md): the rows
// read, checked and grouped into entries before anything is posted.
//
// The header row names the columns (any order, any case): "entry", "date"
// and "account" are required, with "debit" and "credit" or "side" and
// "amount"; "description", "journal", "reference", "channel" and
// "account_title" (ignored: the chart has the titles) are optional. The VAT
// columns "vat_party", "vat_type", "vat_book", "invoice", "invoice_date",
// "base" and "total" give a VAT book line on the row of the VAT account.
//
// Rows with the same "entry" value make one entry; when they carry
// different dates, each date is an entry of its own (as the journal tells
// entries by date and number). A row that cannot be read rejects its whole
// entry; so does an entry whose debits and credits differ.

#ifndef QROLE_TOOLS_QROLE_IMPORT_PLAN_H_
#define QROLE_TOOLS_QROLE_IMPORT_PLAN_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrole::cli {

// The VAT book line a row carries (AñadirIVA with the row's account as the
// VAT account).
struct ImportVat {
  std::string party;         // the customer's or supplier's account
  std::string type;          // the VAT type ("21")
  std::string book;          // the book letter ("R", "S", ...)
  std::string invoice;       // the invoice number
  std::string invoice_date;  // dd/mm/yyyy
  double base = 0;
  double total = 0;
};

struct ImportLine {
  int line = 0;  // in the file
  std::string account;
  std::string description;
  int side = 1;  // 1 debit, 2 credit
  double amount = 0;
  std::string journal = "1";
  std::string reference;
  std::string channel;  // empty: the default
  std::optional<ImportVat> vat;
};

struct ImportEntry {
  std::string group;  // the "entry" value
  std::string date;   // dd/mm/yyyy
  std::string iso_date;
  std::vector<ImportLine> lines;
  // Derived from the file's name, the group, the date and every line: the
  // same entry of the same file has the same key.
  std::string key;
};

struct RejectedRow {
  int line = 0;
  std::string group;  // empty when the row names no entry
  std::string reason;
};

struct ImportPlan {
  std::vector<ImportEntry> entries;   // to post, in the order of the file
  std::vector<RejectedRow> rejected;  // in the order of the file
  int rows = 0;                       // rows below the header
};

// Reads `text` (the file named `file_name`, without its folder) with amounts
// of at most `decimals` decimals. Throws Failure when the file has no header
// row, or the header lacks a required column, repeats one or names one that
// is not known.
ImportPlan PlanImport(std::string_view text, const std::string& file_name, int decimals);

}  // namespace qrole::cli

#endif  // QROLE_TOOLS_QROLE_IMPORT_PLAN_H_
