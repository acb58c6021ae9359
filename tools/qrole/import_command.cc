// qrole import: posts the entries of a CSV file (docs/import.md), each whole
// or not at all, each under an idempotency key so that running the same file
// again posts nothing twice.

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "commands.h"
#include "company.h"
#include "import_plan.h"
#include "platform/env.h"
#include "platform/path.h"
#include "progress.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/kept_calls.h"
#include "server/process_state.h"

namespace qrole::cli {

namespace {

using nlohmann::json;

enum class Outcome { kPosted, kAlreadyPosted, kPostedWithError, kAlreadyPostedWithError, kRefused };

const char* OutcomeName(Outcome o) {
  switch (o) {
    case Outcome::kPosted:
      return "posted";
    case Outcome::kAlreadyPosted:
      return "already_posted";
    case Outcome::kPostedWithError:
      return "posted_with_error";
    case Outcome::kAlreadyPostedWithError:
      return "already_posted_with_error";
    case Outcome::kRefused:
      return "rejected";
  }
  return "";
}

struct EntryResult {
  Outcome outcome = Outcome::kRefused;
  std::string number;  // the entry number posted
  std::string error;   // the server's error text
};

std::string ErrorText(const AutomationError& e) {
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", static_cast<uint32_t>(e.number()));
  return std::string("error ") + number + ": " + e.description();
}

Variant S(const std::string& text) { return Variant::FromString(text); }

// The same text a socket client's GrabarAsiento without arguments is kept
// under, so that a key means one call however it came.
std::string GrabarAsientoCallText() {
  return std::to_string(static_cast<int>(typelib::Kind::kMethod)) + "\n[]\n{}";
}

// Builds the pending entry of `entry` on `e` as a client would.
void BuildEntry(server::Enlace& e, const ImportEntry& entry) {
  e.LimpiarAsiento();
  Invoke(e, "Fecha", typelib::Kind::kLet, {S(entry.date)});
  Invoke(e, "Número", typelib::Kind::kLet, {S("")});
  for (const ImportLine& l : entry.lines) {
    Invoke(e, "AñadirApunte", typelib::Kind::kMethod,
           {S(l.account), S(l.description), Variant::FromByte(static_cast<uint8_t>(l.side)),
            Variant::FromDouble(l.amount), S(l.journal), Variant::Missing(),
            l.channel.empty() ? Variant::Missing() : S(l.channel), S(l.reference)});
  }
  for (const ImportLine& l : entry.lines) {
    if (!l.vat) continue;
    const ImportVat& v = *l.vat;
    Invoke(e, "AñadirIVA", typelib::Kind::kMethod,
           {S(v.party), S(l.account), S(v.invoice), S(v.invoice_date), S(v.type), S(v.book),
            Variant::FromDouble(v.base), Variant::FromDouble(v.total)});
  }
}

std::string EntryNumber(server::Enlace& e) {
  return ToStr(Invoke(e, "Número", typelib::Kind::kGet, {}).value);
}

// Posts `entry` under its key: a key already kept answers without posting.
EntryResult Post(server::Enlace& e, const ImportEntry& entry) {
  EntryResult result;
  try {
    BuildEntry(e, entry);
    const typelib::MemberInfo& member =
        ResolveMember(e.info(), "GrabarAsiento", typelib::Kind::kMethod, {});
    server::KeptCall call(e, member, entry.key, GrabarAsientoCallText());
    if (call.active() && call.kept()) {
      const json& answer = *call.kept();
      result.number = EntryNumber(e);
      if (auto error = answer.find("error"); error != answer.end()) {
        result.outcome = Outcome::kAlreadyPostedWithError;
        result.error = ErrorText(
            AutomationError(error->value("code", 0), "", error->value("message", std::string())));
      } else {
        result.outcome = Outcome::kAlreadyPosted;
      }
      return result;
    }
    try {
      InvokeResult r = Invoke(e, "GrabarAsiento", typelib::Kind::kMethod, {});
      call.Keep({{"result",
                  {{"value", r.value.IsEmpty() ? json() : json(ToLong(r.value))},
                   {"byref", json::object()}}}});
      result.outcome = Outcome::kPosted;
    } catch (const AutomationError& error) {
      if (!server::KeptCall::ErrorKeepsChanges()) throw;
      // Written, with a problem reported afterwards: the posting and the
      // problem are kept together, as the socket keeps them.
      const json data = {{"number", error.number()},
                         {"source", error.source()},
                         {"description", error.description()},
                         {"messages", json::array()}};
      const json kept = {
          {"code", error.number()}, {"message", error.description()}, {"data", data}};
      call.Keep({{"error", kept}});
      result.outcome = Outcome::kPostedWithError;
      result.error = ErrorText(error);
    }
    result.number = EntryNumber(e);
  } catch (const AutomationError& error) {
    e.LimpiarAsiento();
    result.outcome = Outcome::kRefused;
    result.error = ErrorText(error);
  }
  return result;
}

// A text of the server that may run over several lines, indented under the
// line it begins on.
std::string Indented(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    out += c;
    if (c == '\n') out += "      ";
  }
  return out;
}

std::string Lines(const ImportEntry& entry) {
  std::string text;
  for (const ImportLine& l : entry.lines)
    text += (text.empty() ? "" : ", ") + std::to_string(l.line);
  return text;
}

int Run(const Arguments& args) {
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  std::string path = args.positional[1];
  if (!platform::IsAbsolutePath(path)) {
    auto here = files.CurrentDirectory();
    if (here.ok()) path = platform::JoinPath(*here, path);
  }
  // Read before the company is opened (opening changes the current folder).
  auto text = files.ReadAll(path);
  if (!text.ok())
    throw Failure("cannot read " + args.positional[1] + ": " + text.status().ToString());
  const std::string file_name = path.substr(path.find_last_of('/') + 1);

  StartInProcess();
  OpenCompany company = Open(args.positional[0], args.Get("--password"));
  int decimals = server::Process().currency_decimals;
  if (decimals < 0 || decimals > 6) decimals = 2;
  ImportPlan plan = PlanImport(*text, file_name, decimals);

  std::vector<RejectedRow> rejected = plan.rejected;
  std::vector<EntryResult> results;
  {
    Progress progress("import", static_cast<int64_t>(plan.entries.size()));
    for (const ImportEntry& entry : plan.entries) {
      progress.Update(static_cast<int64_t>(results.size()), entry.group);
      results.push_back(Post(*company.enlace, entry));
      if (results.back().outcome == Outcome::kRefused)
        for (const ImportLine& l : entry.lines)
          rejected.push_back(
              {l.line, entry.group, "refused by the server: " + results.back().error});
    }
  }
  std::stable_sort(rejected.begin(), rejected.end(),
                   [](const RejectedRow& a, const RejectedRow& b) { return a.line < b.line; });

  int counts[5] = {0, 0, 0, 0, 0};
  for (const EntryResult& r : results) ++counts[static_cast<int>(r.outcome)];
  const int posted = counts[static_cast<int>(Outcome::kPosted)] +
                     counts[static_cast<int>(Outcome::kPostedWithError)];
  const int already = counts[static_cast<int>(Outcome::kAlreadyPosted)] +
                      counts[static_cast<int>(Outcome::kAlreadyPostedWithError)];
  const int with_error = counts[static_cast<int>(Outcome::kPostedWithError)] +
                         counts[static_cast<int>(Outcome::kAlreadyPostedWithError)];
  const bool clean = rejected.empty() && with_error == 0;

  if (args.json) {
    json entries = json::array();
    for (size_t i = 0; i < results.size(); ++i) {
      const ImportEntry& entry = plan.entries[i];
      json lines = json::array();
      for (const ImportLine& l : entry.lines) lines.push_back(l.line);
      json item = {{"entry", entry.group},
                   {"date", entry.iso_date},
                   {"lines", lines},
                   {"status", OutcomeName(results[i].outcome)}};
      if (!results[i].number.empty()) item["number"] = results[i].number;
      if (!results[i].error.empty()) item["error"] = results[i].error;
      entries.push_back(std::move(item));
    }
    json rows = json::array();
    for (const RejectedRow& r : rejected)
      rows.push_back({{"line", r.line}, {"entry", r.group}, {"reason", r.reason}});
    PrintJson({{"company", company.path},
               {"file", path},
               {"rows", plan.rows},
               {"posted", posted},
               {"already_posted", already},
               {"with_error", with_error},
               {"rejected_entries", counts[static_cast<int>(Outcome::kRefused)]},
               {"rejected_rows", rows},
               {"entries", entries}});
  } else {
    std::cout << "Imported " << args.positional[1] << " into " << company.path << ": " << posted
              << (posted == 1 ? " entry" : " entries") << " posted";
    if (already > 0) std::cout << ", " << already << " already posted (nothing written for them)";
    std::cout << ", " << rejected.size() << (rejected.size() == 1 ? " row" : " rows")
              << " rejected\n";
    for (size_t i = 0; i < results.size(); ++i) {
      const EntryResult& r = results[i];
      if (r.outcome != Outcome::kPostedWithError && r.outcome != Outcome::kAlreadyPostedWithError)
        continue;
      std::cout << "  entry " << plan.entries[i].group << " (lines " << Lines(plan.entries[i])
                << ") posted as " << r.number << " with a problem: " << Indented(r.error) << "\n";
    }
    for (const RejectedRow& r : rejected) {
      std::cout << "  line " << r.line;
      if (!r.group.empty()) std::cout << " (entry " << r.group << ")";
      std::cout << ": " << Indented(r.reason) << "\n";
    }
  }
  return clean ? kExitOk : kExitFailure;
}

}  // namespace

Command ImportCommand() {
  Command c;
  c.name = "import";
  c.summary = "post entries from a CSV file";
  c.usage =
      "usage: qrole import COMPANY FILE.csv [--password PASSWORD] [--json]\n"
      "\n"
      "Posts the entries of FILE.csv to COMPANY, each whole or not at all, and\n"
      "reports the rows it rejects with their line numbers and reasons; the other\n"
      "entries are posted all the same. Running the same file again posts nothing\n"
      "twice: each entry carries an idempotency key made of the file's name, the\n"
      "entry and its rows, and an entry already posted under its key is reported\n"
      "as such.\n"
      "\n"
      "FILE.csv (RFC 4180, UTF-8, \".\" as the decimal point) has a header row and one\n"
      "row per journal line. Columns (see docs/import.md):\n"
      "  entry            required: rows with the same value make one entry\n"
      "  date             required: 31/12/2025, 31/12/25 or 2025-12-31\n"
      "  account          required: the account code\n"
      "  debit, credit    the amount in the column of its side (or: side, amount)\n"
      "  description, journal (default 1), reference, channel, account_title (ignored)\n"
      "  vat_party, vat_type, vat_book, invoice, invoice_date, base, total\n"
      "                   a VAT book line, on the row of the VAT account\n"
      "The CSV that `qrole export --format csv` writes can be imported as it is.\n"
      "\n"
      "  --password PASSWORD  the company's password, when it has one\n"
      "  --json           print the report as one JSON document\n"
      "\n"
      "Exit status 0 when every row was posted (now or before), 1 when a row was\n"
      "rejected or an entry was posted with a problem, 2 for a wrong command line.\n";
  c.grammar.with_value = {"--password"};
  c.grammar.min_positional = 2;
  c.grammar.max_positional = 2;
  c.run = Run;
  return c;
}

}  // namespace qrole::cli
