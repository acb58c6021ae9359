// The qrole command, run as a user runs it, on companies made and posted to
// through qrole-server's socket.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/run_command.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

class QroleCommandTest : public ::testing::Test {
 protected:
  // Runs qrole with the server's settings.
  CommandResult Qrole(std::vector<std::string> args) {
    args.insert(args.begin(), BinPath("qrole"));
    return RunCommand(args, Env());
  }
  std::map<std::string, std::string> Env() const {
    return {{"QROLE_HOME", server_.home()},
            {"XDG_DATA_HOME", server_.dir() + "/xdg-data"},
            {"XDG_CONFIG_HOME", server_.dir() + "/xdg-config"},
            {"QROLE_PROGRAM_DIR", ""}};
  }
  static json Json(const CommandResult& r) {
    json j = json::parse(r.out, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << "not JSON: " << r.out << r.err;
    return j;
  }
  std::string CreateCompany(const std::string& name, const std::string& year) {
    return c_.Call(e_, "CrearEmpresa", {name, year}).get<std::string>();
  }
  // Posts one entry on `date` (dd/mm/yy) of (account, side, amount) lines.
  void Post(const std::string& date, const std::string& text,
            const std::vector<std::tuple<std::string, int, double>>& lines) {
    c_.Let(e_, "Fecha", date);
    c_.Let(e_, "Número", "");
    for (const auto& [account, side, amount] : lines)
      c_.Call(e_, "AñadirApunte", {account, text, side, amount, "1"});
    c_.Call(e_, "GrabarAsiento");
  }
  // Three entries of 2025 in a new company "Libros", left open.
  std::string PostTheBooks() {
    std::string path = CreateCompany("Libros", "25");
    c_.Call(e_, "AbrirEmpresa", {path, ""});
    Post("31/01/25", "Factura A-1", {{"4300001", 1, 121}, {"7000000", 2, 100}, {"4770000", 2, 21}});
    Post("15/02/25", "Cobro A-1", {{"5720001", 1, 121}, {"4300001", 2, 121}});
    Post("31/12/25", "Compra: mercaderias, 2", {{"6000000", 1, 50.25}, {"4000001", 2, 50.25}});
    return path;
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
};

TEST_F(QroleCommandTest, CompaniesListsTheCatalogue) {
  CommandResult none = Qrole({"companies"});
  EXPECT_EQ(none.status, 0) << none.err;
  EXPECT_NE(none.out.find("No companies"), std::string::npos) << none.out;
  EXPECT_EQ(Json(Qrole({"companies", "--json"})), json({{"companies", json::array()}}));

  std::string first = CreateCompany("Primera", "24");
  std::string second = CreateCompany("Segunda", "25");
  CommandResult r = Qrole({"companies", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::map<std::string, json> by_path;
  const json listed = Json(r);
  for (const json& c : listed["companies"]) by_path[c["path"].get<std::string>()] = c;
  ASSERT_EQ(by_path.size(), 2u) << r.out;
  EXPECT_EQ(by_path[first]["number"], "01");
  EXPECT_EQ(by_path[first]["year"], 2024);
  EXPECT_EQ(by_path[first]["name"], "Primera");
  EXPECT_EQ(by_path[first]["opening_month"], 1);
  EXPECT_EQ(by_path[second]["number"], "02");
  EXPECT_EQ(by_path[second]["year"], 2025);

  CommandResult human = Qrole({"companies"});
  EXPECT_EQ(human.status, 0);
  EXPECT_NE(human.out.find(second), std::string::npos) << human.out;
  EXPECT_NE(human.out.find("02      2025"), std::string::npos) << human.out;
  // Not a terminal: no progress bar, no escape sequences.
  EXPECT_EQ(human.err.find('\r'), std::string::npos);
}

TEST_F(QroleCommandTest, ReindexRebuildsAndChecksEveryIndex) {
  std::string path = PostTheBooks();
  c_.Call(e_, "CerrarEmpresa");
  CommandResult r = Qrole({"reindex", "01", "--json"});
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  json j = Json(r);
  EXPECT_EQ(j["company"], path);
  std::map<std::string, json> tables;
  for (const json& t : j["tables"]) tables[t["table"].get<std::string>()] = t;
  ASSERT_TRUE(tables.count("EXTRA")) << r.out;
  EXPECT_EQ(tables["EXTRA"]["records"], 7);
  EXPECT_EQ(tables["EXTRA"]["cancelled"], 0);
  EXPECT_EQ(tables["EXTRA"]["entries"], 7 * 4);  // four indexes
  ASSERT_TRUE(tables.count("PLANC"));
  EXPECT_GT(tables["PLANC"]["records"].get<int>(), 100);  // the template chart
  for (const auto& [name, t] : tables) EXPECT_TRUE(t["ok"].get<bool>()) << name << ": " << t;

  // One table, by the company's name; the books still read through the server.
  CommandResult one = Qrole({"reindex", "libros", "extra"});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_NE(one.out.find("EXTRA         7 records (0 cancelled), 28 index entries"),
            std::string::npos)
      << one.out;
  c_.Call(e_, "AbrirEmpresa", {path, ""});
  c_.Call(e_, "LeerUltimoAsiento");
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 2);
  EXPECT_EQ(c_.Get(HandleOf(c_.Call(e_, "Apunte", {1})), "Cuenta"), "6000000");
}

TEST_F(QroleCommandTest, ReindexRefusesWhatItCannotDo) {
  CreateCompany("Libros", "25");
  CommandResult table = Qrole({"reindex", "01", "NOSUCH"});
  EXPECT_EQ(table.status, 2);
  EXPECT_NE(table.err.find("no table NOSUCH has an index"), std::string::npos) << table.err;
  CommandResult company = Qrole({"reindex", "Otra", "--json"});
  EXPECT_EQ(company.status, 1);
  EXPECT_NE(company.err.find("no company Otra"), std::string::npos) << company.err;
  EXPECT_EQ(Json(company)["error"]["kind"], "failure");
  CommandResult missing = Qrole({"reindex"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("usage: qrole reindex"), std::string::npos);
}

TEST_F(QroleCommandTest, AWrongPasswordIsTheOpeningsError) {
  std::string path = CreateCompany("Cerrada", "25");
  {
    // The password "abcd", scrambled as the header keeps it (each character
    // + 127) in the field PASSWORD1 (bytes 96..99).
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(95);
    for (char c : std::string("abcd")) file.put(static_cast<char>(c + 127));
    ASSERT_TRUE(file.good());
  }
  CommandResult r = Qrole({"reindex", path, "--password", "zzzz", "--json"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  json j = Json(r);
  EXPECT_EQ(j["error"]["kind"], "automation");
  EXPECT_EQ(j["error"]["number"], -2147171500);  // 0x8004C354
  EXPECT_NE(r.err.find("Password Empresa Valdrix no válido"), std::string::npos) << r.err;
  CommandResult right = Qrole({"reindex", path, "--password", "abcd"});
  EXPECT_EQ(right.status, 0) << right.err;
}

// Balances of `ledger balance` over `file`: full account name -> amount.
std::map<std::string, double> LedgerBalances(const std::string& file) {
  CommandResult r = RunCommand({"ledger", "-f", file, "balance", "--flat", "--no-total",
                                "--balance-format", "%(account)\t%(quantity(display_total))\n"});
  EXPECT_EQ(r.status, 0) << "ledger: " << r.err;
  std::map<std::string, double> balances;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    balances[line.substr(0, tab)] = std::stod(line.substr(tab + 1));
  }
  return balances;
}

TEST_F(QroleCommandTest, LedgerBalancesEqualTheChartsBalances) {
  PostTheBooks();
  const std::string file = server_.dir() + "/books.ledger";
  CommandResult r = Qrole({"export", "Libros", "--format", "ledger", "--output", file, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  json summary = Json(r);
  EXPECT_EQ(summary["entries"], 3);
  EXPECT_EQ(summary["lines"], 7);
  EXPECT_EQ(summary["unbalanced"], 0);

  // ledger's flat report names every account with its postings; the chart
  // keeps each account's balance at every level of its code.
  std::map<std::string, double> ledger = LedgerBalances(file);
  ASSERT_FALSE(ledger.empty()) << ReadFileText(file);
  std::map<std::string, double> by_code;  // leaf code -> ledger balance
  for (const auto& [name, amount] : ledger) {
    size_t colon = name.rfind(':');
    std::string leaf = colon == std::string::npos ? name : name.substr(colon + 1);
    by_code[leaf.substr(0, leaf.find(' '))] += amount;
  }
  std::map<std::string, double> level_totals;  // every prefix of every code
  for (const auto& [code, amount] : by_code)
    for (size_t n = 1; n <= code.size(); ++n) level_totals[code.substr(0, n)] += amount;

  // The chart, through the interface: every account whose code is one of
  // those prefixes, with its fifteen periods.
  std::string list;
  for (const auto& [code, amount] : level_totals) list += (list.empty() ? "" : ",") + code;
  c_.Call(e_, "LeerPlan", {list, "*"});
  const int count = c_.Get(e_, "ContadorPlan").get<int>();
  ASSERT_GT(count, 7);
  int compared = 0;
  for (int i = 1; i <= count; ++i) {
    const std::string code = c_.Get(HandleOf(c_.Call(e_, "Plan", {i})), "Cuenta");
    double chart = 0;
    // Credits accumulate as negative amounts in the credit periods.
    for (int period = 0; period <= 14; ++period)
      chart += c_.Call(e_, "PlanDebe", {i, period}).get<double>() +
               c_.Call(e_, "PlanHaber", {i, period}).get<double>();
    ASSERT_TRUE(level_totals.count(code)) << code;
    EXPECT_NEAR(chart, level_totals[code], 0.005) << "account " << code;
    ++compared;
  }
  // The leaves themselves, and parents such as 4 (4300001, 4770000, 4000001).
  EXPECT_NEAR(level_totals["4300001"], 0, 0.005);
  EXPECT_NEAR(level_totals["7000000"], -100, 0.005);
  EXPECT_NEAR(level_totals["4"], -21 - 50.25, 0.005);
  EXPECT_GE(compared, 10);

  // The tree report totals a parent as the chart does.
  CommandResult tree = RunCommand({"ledger", "-f", file, "balance", "^4 "});
  EXPECT_NE(tree.out.find("-71.25 EUR"), std::string::npos) << tree.out;
}

TEST_F(QroleCommandTest, CsvExportOfADateRange) {
  PostTheBooks();
  CommandResult r =
      Qrole({"export", "01", "--format=csv", "--from", "01/02/2025", "--to", "2025-02-28"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "date,entry,account,account_title,description,debit,credit,journal,reference,"
            "channel\r\n"
            "2025-02-15,000002,5720001,Cuenta Sin Titulo,Cobro A-1,121.00,,1,,000\r\n"
            "2025-02-15,000002,4300001,Cuenta Sin Titulo,Cobro A-1,,121.00,1,,000\r\n")
      << r.out;
  // Descriptions that need quoting are quoted; the whole year has 7 lines.
  CommandResult all = Qrole({"export", "01", "--format", "csv"});
  EXPECT_NE(all.out.find("\"Compra: mercaderias, 2\""), std::string::npos) << all.out;
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 8);
}

TEST_F(QroleCommandTest, ExportRefusesWrongCommandLines) {
  CreateCompany("Libros", "25");
  EXPECT_EQ(Qrole({"export", "01", "--format", "xml"}).status, 2);
  EXPECT_EQ(Qrole({"export", "01", "--from", "31/02/2025"}).status, 2);
  EXPECT_EQ(Qrole({"export", "01", "--from", "2025-03-01", "--to", "2025-02-01"}).status, 2);
  CommandResult json_to_stdout = Qrole({"export", "01", "--json"});
  EXPECT_EQ(json_to_stdout.status, 2);
  EXPECT_EQ(Json(json_to_stdout)["error"]["kind"], "usage");
  // An output file that cannot be written is a failure, not a usage error.
  CommandResult unwritable =
      Qrole({"export", "01", "--output", server_.dir() + "/no/such/dir/books.ledger"});
  EXPECT_EQ(unwritable.status, 1) << unwritable.err;
}

TEST_F(QroleCommandTest, CheckFindsTheBooksWholeThenAFault) {
  const std::string path = PostTheBooks();
  CommandResult clean = Qrole({"check", "Libros", "--json"});
  EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
  EXPECT_EQ(Json(clean)["fault_count"], 0) << clean.out;
  // A journal line appended behind the server's back, alone.
  const std::string journal = server_.data_dir() + "/EXTRA01.QRD";
  std::string bytes = ReadFileText(journal);
  ASSERT_GE(bytes.size(), 3u);
  const size_t record = bytes.size() / 7;  // the seven lines of the three entries
  std::ofstream(journal, std::ios::app | std::ios::binary) << bytes.substr(0, record);
  CommandResult faulty = Qrole({"check", "01"});
  EXPECT_EQ(faulty.status, 1) << faulty.out << faulty.err;
  EXPECT_NE(faulty.out.find("entry"), std::string::npos) << faulty.out;
}

TEST_F(QroleCommandTest, HelpVersionAndUnknownCommands) {
  CommandResult help = Qrole({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"companies", "reindex", "export", "check", "import"}) {
    EXPECT_NE(help.out.find(std::string("  ") + command), std::string::npos) << command;
    CommandResult own = Qrole({command, "--help"});
    EXPECT_EQ(own.status, 0) << command;
    EXPECT_NE(own.out.find("--json"), std::string::npos) << command;
  }
  CommandResult version = Qrole({"--version"});
  EXPECT_EQ(version.out, "qrole 7.5.1\n");
  EXPECT_EQ(Qrole({}).status, 2);
  EXPECT_EQ(Qrole({"frobnicate"}).status, 2);
  EXPECT_EQ(Qrole({"companies", "--bogus"}).status, 2);
}

}  // namespace
}  // namespace qrole::testing
