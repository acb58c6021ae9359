// qrole export: the journal as a ledger-cli journal or as CSV.

#include <iostream>
#include <sstream>

#include "commands.h"
#include "company.h"
#include "journal_export.h"
#include "platform/env.h"
#include "progress.h"
#include "server/process_state.h"

namespace qrole::cli {

namespace {

std::string DateOption(const Arguments& args, const std::string& option) {
  if (!args.Has(option)) return "";
  std::string iso = ParseDate(args.Get(option));
  if (iso.empty())
    throw UsageError("bad date for " + option + ": " + args.Get(option) +
                     " (2025-12-31, 31/12/2025 or 31/12/25)");
  return iso;
}

int Run(const Arguments& args) {
  const std::string format = args.Get("--format", "ledger");
  if (format != "ledger" && format != "csv")
    throw UsageError("--format is ledger or csv, not " + format);
  const std::string from = DateOption(args, "--from");
  const std::string to = DateOption(args, "--to");
  if (!from.empty() && !to.empty() && to < from) throw UsageError("--to is before --from");
  const std::string output = args.Get("--output");
  if (output.empty() && args.json)
    throw UsageError("--json prints a summary: give the journal a file with --output");

  StartInProcess();
  OpenCompany company = Open(args.positional[0], args.Get("--password"));
  std::vector<JournalLine> lines;
  {
    Progress progress("export", 0);
    lines =
        ReadJournal(company.directory, company.number, from, to, [&](int64_t done, int64_t total) {
          progress.SetTotal(total);
          progress.Update(done);
        });
  }
  const ChartTitles titles = ReadChartTitles(company.directory, company.number);

  ExportStyle style;
  style.decimals = server::Process().currency_decimals;
  if (style.decimals < 0 || style.decimals > 6) style.decimals = 2;
  style.commodity = args.Get("--commodity", "EUR");
  if (style.commodity.empty() ||
      style.commodity.find_first_of(" \t0123456789.,-;\"") != std::string::npos)
    throw UsageError("--commodity needs a word without blanks, digits or signs");

  std::ostringstream text;
  const ExportCounts counts = format == "ledger" ? WriteLedger(lines, titles, style, text)
                                                 : WriteCsv(lines, titles, style, text);
  if (output.empty()) {
    std::cout << text.str();
    std::cout.flush();
    if (!std::cout) throw Failure("cannot write the journal to standard output");
  } else {
    platform::Status written = platform::CurrentEnv()->Files().WriteAllAtomic(output, text.str());
    if (!written.ok()) throw Failure("cannot write " + output + ": " + written.ToString());
  }
  if (counts.unbalanced > 0)
    Warn(std::to_string(counts.unbalanced) + " entries do not add up to zero" +
         (format == "ledger" ? "; their lines are virtual postings" : ""));
  if (counts.skipped > 0 && format == "ledger")
    Warn(std::to_string(counts.skipped) +
         " lines are neither a debit nor a credit and were left out");

  if (args.json) {
    PrintJson({{"company", company.path},
               {"format", format},
               {"output", output},
               {"from", from.empty() ? nlohmann::json() : nlohmann::json(from)},
               {"to", to.empty() ? nlohmann::json() : nlohmann::json(to)},
               {"entries", counts.entries},
               {"lines", counts.lines},
               {"skipped", counts.skipped},
               {"unbalanced", counts.unbalanced}});
  } else if (!output.empty()) {
    std::cout << "Wrote " << counts.entries << " entries (" << counts.lines << " lines) of "
              << company.path << " to " << output << "\n";
  }
  return kExitOk;
}

}  // namespace

Command ExportCommand() {
  Command c;
  c.name = "export";
  c.summary = "write the journal as a ledger-cli journal or as CSV";
  c.usage =
      "usage: qrole export COMPANY [--format ledger|csv] [--from DATE] [--to DATE]\n"
      "                    [--output FILE] [--commodity NAME] [--password PASSWORD] [--json]\n"
      "\n"
      "Writes the journal of COMPANY, entry by entry in date and entry-number order,\n"
      "to standard output or to FILE.\n"
      "\n"
      "  --format ledger  (the default) a ledger-cli journal: one transaction per\n"
      "                   entry; accounts named by code and title under their chart\n"
      "                   parents (\"43 Clientes:4300001 Cliente A\"); debits positive,\n"
      "                   credits negative. `ledger -f FILE balance` shows the chart's\n"
      "                   balances. An entry that does not add up to zero is written\n"
      "                   with virtual postings, with a warning.\n"
      "  --format csv     date,entry,account,account_title,description,debit,credit,\n"
      "                   journal,reference,channel (RFC 4180, ISO dates, \".\" decimals)\n"
      "  --from DATE, --to DATE\n"
      "                   only the entries of these dates (2025-12-31, 31/12/2025 or\n"
      "                   31/12/25), both included\n"
      "  --output FILE    write FILE (replaced whole) instead of standard output\n"
      "  --commodity NAME the ledger commodity of the amounts (default EUR)\n"
      "  --password PASSWORD  the company's password, when it has one\n"
      "  --json           with --output: print a summary as one JSON document\n"
      "                   {\"entries\", \"lines\", \"skipped\", \"unbalanced\", ...}\n"
      "\n"
      "COMPANY is a company file, the name of one in the data directory, or its\n"
      "company number (see qrole companies).\n";
  c.grammar.with_value = {"--format", "--from", "--to", "--output", "--commodity", "--password"};
  c.grammar.min_positional = 1;
  c.grammar.max_positional = 1;
  c.run = Run;
  return c;
}

}  // namespace qrole::cli
