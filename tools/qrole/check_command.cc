// qrole check: verifies a company's books (the checker of tools/check).

#include <cstdio>

#include "check/check.h"
#include "commands.h"
#include "company.h"
#include "data/transaction.h"

namespace qrole::cli {

namespace {

int Run(const Arguments& args) {
  StartInProcess();
  OpenCompany company = Open(args.positional[0], args.Get("--password"));
  check::CheckOptions options;
  platform::Result<check::Report> report = platform::Status::Ok();
  {
    // Under the company lock: no operation is caught half-way, and one that
    // a process left unfinished is completed first.
    data::CompanyTransaction hold(company.directory, company.number);
    report = check::CheckCompany(company.path, options);
  }
  if (!report.ok())
    throw Failure("cannot check " + company.path + ": " + report.status().ToString());
  const std::string text = args.json ? check::FormatJson(*report) : check::FormatText(*report);
  std::fputs(text.c_str(), stdout);
  return report->clean() ? kExitOk : kExitFailure;
}

}  // namespace

Command CheckCommand() {
  Command c;
  c.name = "check";
  c.summary = "check a company's books";
  c.usage =
      "usage: qrole check COMPANY [--password PASSWORD] [--json]\n"
      "\n"
      "Checks the books of COMPANY: every entry adds up, every balance of every\n"
      "level and period equals the sum of its journal lines, the VAT book and the\n"
      "journal agree, every index agrees with its record file. Runs under the\n"
      "company lock, so postings wait for it. Exit status 0 when the books are\n"
      "whole, 1 when a fault was found, 2 when the company cannot be checked.\n"
      "The first 100 faults of each kind are listed; all are counted.\n";
  c.grammar.with_value = {"--password"};
  c.grammar.min_positional = 1;
  c.grammar.max_positional = 1;
  c.run = Run;
  return c;
}

}  // namespace qrole::cli
