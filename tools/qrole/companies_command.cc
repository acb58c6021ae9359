// qrole companies: the company catalogue of the data directory.

#include <cstdio>

#include "commands.h"
#include "company.h"

namespace qrole::cli {

namespace {

int Run(const Arguments& args) {
  StartInProcess();
  const std::vector<CompanyInfo> companies = ListCompanies();
  if (args.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const CompanyInfo& c : companies) {
      nlohmann::json item = {
          {"number", c.number},
          {"name", c.name},
          {"year", c.full_year == 0 ? nlohmann::json() : nlohmann::json(c.full_year)},
          {"opening_month", c.opening_month},
          {"path", c.path}};
      if (!c.error.empty()) item["error"] = c.error;
      list.push_back(std::move(item));
    }
    PrintJson({{"companies", std::move(list)}});
    return kExitOk;
  }
  if (companies.empty()) {
    std::printf("No companies in the data directory.\n");
    return kExitOk;
  }
  std::printf("%-6s  %-4s  %-5s  %s\n", "NUMBER", "YEAR", "OPENS", "PATH");
  for (const CompanyInfo& c : companies) {
    if (!c.error.empty()) {
      std::printf("%-6s  %-4s  %-5s  %s  (unreadable: %s)\n", "?", "?", "?", c.path.c_str(),
                  c.error.c_str());
      continue;
    }
    char opens[8];
    std::snprintf(opens, sizeof opens, "%02d", c.opening_month);
    std::printf("%-6s  %-4s  %-5s  %s\n", c.number.c_str(),
                c.full_year ? std::to_string(c.full_year).c_str() : c.year.c_str(), opens,
                c.path.c_str());
  }
  return kExitOk;
}

}  // namespace

Command CompaniesCommand() {
  Command c;
  c.name = "companies";
  c.summary = "list the companies of the data directory";
  c.usage =
      "usage: qrole companies [--json]\n"
      "\n"
      "Lists every company file (*.QRT) of the data directory named by DATOS_DIR in\n"
      "QROLE_HOME/registry.ini: its company number, the year its fiscal year starts\n"
      "in, the month it opens, and its path.\n"
      "\n"
      "  --json   one JSON document: {\"companies\": [{\"number\", \"name\", \"year\",\n"
      "           \"opening_month\", \"path\"}, ...]}\n";
  c.run = Run;
  return c;
}

}  // namespace qrole::cli
