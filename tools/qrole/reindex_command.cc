// qrole reindex: rebuilds a company's index files from its record files.

#include <cstdio>

#include "commands.h"
#include "company.h"
#include "data/company_tables.h"
#include "data/record_file.h"
#include "data/reindex.h"
#include "platform/env.h"
#include "platform/text_encoding.h"
#include "progress.h"

namespace qrole::cli {

namespace {

// The tables with index files, and the record slot each is rebuilt in: the
// catalogue's own slots, and a free one for the others.
struct IndexedTable {
  int slot;
  std::string name;
};

constexpr int kSpareSlot = 11;

std::vector<IndexedTable> IndexedTables() {
  std::vector<IndexedTable> tables;
  for (const auto& [slot, name] : data::CatalogueTables()) tables.push_back({slot, name});
  for (const char* name : {"GUID1", "Ret01", "inmo3"}) tables.push_back({kSpareSlot, name});
  return tables;
}

struct Rebuilt {
  std::string table;
  data::IndexCheck check;
};

int Run(const Arguments& args) {
  StartInProcess();
  OpenCompany company = Open(args.positional[0], args.Get("--password"));
  platform::FileSystem& files = platform::CurrentEnv()->Files();

  std::vector<IndexedTable> chosen;
  for (const IndexedTable& t : IndexedTables()) {
    if (args.positional.size() > 1 &&
        platform::ToUpperCase(t.name) != platform::ToUpperCase(args.positional[1]))
      continue;
    const bool present =
        files.Exists(data::CompanyFilePath(company.directory, t.name, company.number, ".QRD"));
    if (!present && args.positional.size() > 1)
      throw Failure("the company has no table " + t.name + " (no record file)");
    if (present) chosen.push_back(t);
  }
  if (args.positional.size() > 1 && chosen.empty()) {
    std::string names;
    for (const IndexedTable& t : IndexedTables()) names += " " + t.name;
    throw UsageError("no table " + args.positional[1] + " has an index; the tables are:" + names);
  }

  std::vector<Rebuilt> rebuilt;
  Progress progress("reindex", static_cast<int64_t>(chosen.size()));
  for (size_t i = 0; i < chosen.size(); ++i) {
    const IndexedTable& t = chosen[i];
    progress.Update(static_cast<int64_t>(i), t.name);
    platform::Status status = data::ReindexTable(t.slot, t.name, company.directory, company.number);
    platform::Result<data::IndexCheck> check =
        status.ok() ? data::VerifyIndex(t.slot) : platform::Result<data::IndexCheck>(status);
    data::CloseTableFile(t.slot);
    if (!check.ok()) {
      progress.Finish();
      throw Failure("cannot rebuild the index of " + t.name + ": " + check.status().ToString());
    }
    rebuilt.push_back({t.name, *check});
  }
  progress.Finish();

  bool all_ok = true;
  for (const Rebuilt& r : rebuilt) all_ok = all_ok && r.check.ok();
  if (args.json) {
    nlohmann::json tables = nlohmann::json::array();
    for (const Rebuilt& r : rebuilt) {
      tables.push_back({{"table", r.table},
                        {"records", r.check.records},
                        {"cancelled", r.check.cancelled},
                        {"entries", r.check.entries},
                        {"ok", r.check.ok()},
                        {"problems", r.check.problems}});
    }
    PrintJson({{"company", company.path}, {"number", company.number}, {"tables", tables}});
  } else {
    std::printf("Rebuilt the indexes of %s (company %s):\n", company.path.c_str(),
                company.number.c_str());
    for (const Rebuilt& r : rebuilt) {
      std::printf("  %-6s %8lld records (%lld cancelled), %lld index entries%s\n", r.table.c_str(),
                  static_cast<long long>(r.check.records),
                  static_cast<long long>(r.check.cancelled),
                  static_cast<long long>(r.check.entries), r.check.ok() ? "" : "  NOT SOUND");
      for (const std::string& p : r.check.problems) std::printf("         %s\n", p.c_str());
    }
  }
  return all_ok ? kExitOk : kExitFailure;
}

}  // namespace

Command ReindexCommand() {
  Command c;
  c.name = "reindex";
  c.summary = "rebuild a company's index files from its record files";
  c.usage =
      "usage: qrole reindex COMPANY [TABLE] [--password PASSWORD] [--json]\n"
      "\n"
      "Rebuilds the index file of every table of COMPANY (or of TABLE alone:\n"
      "PLANC, EXTRA, DATOS, IVA01, EFECT, Presu, Costo, PlanA, Anali, GUID1,\n"
      "Ret01, inmo3) from its record file, then checks that the two agree.\n"
      "Cancelled records get no index entries. Run it while nobody posts to the\n"
      "company: changes made meanwhile may be missed.\n"
      "\n"
      "COMPANY is a company file, the name of one in the data directory, or its\n"
      "company number (see qrole companies).\n"
      "\n"
      "  --password PASSWORD  the company's password, when it has one\n"
      "  --json               one JSON document: {\"company\", \"number\", \"tables\":\n"
      "                       [{\"table\", \"records\", \"cancelled\", \"entries\", \"ok\",\n"
      "                       \"problems\"}, ...]}\n"
      "\n"
      "Exit status: 0 when every index was rebuilt and agrees with its records.\n";
  c.grammar.with_value = {"--password"};
  c.grammar.min_positional = 1;
  c.grammar.max_positional = 2;
  c.run = Run;
  return c;
}

}  // namespace qrole::cli
