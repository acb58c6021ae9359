// qrole-check: verifies a company's books, read-only.
//
//   qrole-check [--json] [--all] COMPANY
//
// COMPANY is a company file (".QRT", either separator) or a company's name or
// number in the data directory. Exit status: 0 when the books are whole, 1
// when a fault was found, 2 on a usage error or a company that cannot be
// opened.

#include <cstdio>
#include <iostream>
#include <limits>
#include <string>

#include "check/check.h"
#include "server/startup.h"

namespace {

constexpr int kClean = 0;
constexpr int kFaulty = 1;
constexpr int kCannotCheck = 2;

int Usage() {
  std::cerr << "usage: qrole-check [--json] [--all] COMPANY\n"
               "  COMPANY  a company file (.QRT) or a company's name or number\n"
               "  --json   the report as JSON\n"
               "  --all    list every fault (the first 100 of each kind otherwise)\n"
               "exit status: 0 whole, 1 faults found, 2 usage or open error\n";
  return kCannotCheck;
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  qrole::check::CheckOptions options;
  std::string company;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--all") {
      options.max_listed_per_kind = std::numeric_limits<size_t>::max();
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return kClean;
    } else if (arg.starts_with("--") || !company.empty()) {
      return Usage();
    } else {
      company = arg;
    }
  }
  if (company.empty()) return Usage();
  try {
    qrole::server::StartServer();
    qrole::platform::Result<std::string> path = qrole::check::ResolveCompany(company);
    if (!path.ok()) {
      std::cerr << "qrole-check: " << path.status().ToString() << "\n";
      return kCannotCheck;
    }
    qrole::platform::Result<qrole::check::Report> report =
        qrole::check::CheckCompany(*path, options);
    if (!report.ok()) {
      std::cerr << "qrole-check: " << report.status().ToString() << "\n";
      return kCannotCheck;
    }
    std::cout << (json ? FormatJson(*report) : FormatText(*report));
    return report->clean() ? kClean : kFaulty;
  } catch (const std::exception& e) {
    std::cerr << "qrole-check: " << e.what() << "\n";
    return kCannotCheck;
  }
}
