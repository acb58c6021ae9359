// qrole import, run as a user runs it, on companies made and read through
// qrole-server's socket: entries posted and read back, a second run that
// posts nothing, rejected rows, and an exported journal imported elsewhere.

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "qrole/client.h"
#include "support/run_command.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

class QroleImportTest : public ::testing::Test {
 protected:
  CommandResult Qrole(std::vector<std::string> args) {
    args.insert(args.begin(), BinPath("qrole"));
    return RunCommand(args, {{"QROLE_HOME", server_.home()},
                             {"XDG_DATA_HOME", server_.dir() + "/xdg-data"},
                             {"XDG_CONFIG_HOME", server_.dir() + "/xdg-config"},
                             {"QROLE_PROGRAM_DIR", ""}});
  }
  static json Json(const CommandResult& r) {
    json j = json::parse(r.out, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << "not JSON: " << r.out << r.err;
    return j;
  }
  std::string CreateCompany(const std::string& name) {
    return c_.Call(e_, "CrearEmpresa", {name, "25"}).get<std::string>();
  }
  std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = server_.dir() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  // The journal as the export writes it.
  std::string Journal(const std::string& company) {
    CommandResult r = Qrole({"export", company, "--format", "csv"});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }
  // The balance of `account` over the fifteen periods, through the server.
  double Balance(const std::string& account) {
    c_.Call(e_, "LeerPlan", {account, "*"});
    EXPECT_EQ(c_.Get(e_, "ContadorPlan"), 1) << account;
    double sum = 0;
    for (int period = 0; period <= 14; ++period)
      sum += c_.Call(e_, "PlanDebe", {1, period}).get<double>() +
             c_.Call(e_, "PlanHaber", {1, period}).get<double>();
    return sum;
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
};

// Three entries, the first an invoice with its VAT book line; descriptions
// that need quoting.
const char kThreeEntries[] =
    "entry,date,account,description,debit,credit,journal,reference,vat_party,vat_type,vat_book,"
    "invoice,base,total\r\n"
    "F1,31/01/2025,4300001,\"Factura A-1, cliente \"\"Uno\"\"\",121.00,,1,A-1,,,,,,\r\n"
    "F1,31/01/2025,7000000,\"Factura A-1, cliente \"\"Uno\"\"\",,100,1,A-1,,,,,,\r\n"
    "F1,31/01/2025,4770000,IVA A-1,,21,1,A-1,4300001,21,R,A-1,100,121\r\n"
    "C1,15/02/25,5720001,Cobro A-1,121,,,,,,,,,\r\n"
    "C1,15/02/25,4300001,Cobro A-1,,121,,,,,,,,\r\n"
    "P1,2025-12-31,6000000,\"Compra:\nmercaderias\",50.25,,,,,,,,,\r\n"
    "P1,2025-12-31,4000001,Compra,,50.25,,,,,,,,\r\n";

TEST_F(QroleImportTest, PostsEntriesAndASecondRunPostsNothing) {
  const std::string company = CreateCompany("Libros");
  const std::string file = WriteFile("asientos.csv", kThreeEntries);
  CommandResult r = Qrole({"import", "Libros", file, "--json"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  json report = Json(r);
  EXPECT_EQ(report["company"], company);
  EXPECT_EQ(report["rows"], 7);
  EXPECT_EQ(report["posted"], 3);
  EXPECT_EQ(report["already_posted"], 0);
  EXPECT_EQ(report["rejected_rows"], json::array());
  ASSERT_EQ(report["entries"].size(), 3u);
  EXPECT_EQ(report["entries"][0]["lines"], json({2, 3, 4}));
  EXPECT_EQ(report["entries"][2]["lines"], json({7, 9}));  // the quoted line end
  for (const json& entry : report["entries"]) EXPECT_EQ(entry["status"], "posted") << entry;

  const std::string journal = Journal("Libros");
  EXPECT_EQ(journal,
            "date,entry,account,account_title,description,debit,credit,journal,reference,"
            "channel\r\n"
            "2025-01-31,000001,4300001,Cuenta Sin Titulo,\"Factura A-1, cliente \"\"Uno\"\"\","
            "121.00,,1,A-1,000\r\n"
            "2025-01-31,000001,7000000,Cuenta Sin Titulo,\"Factura A-1, cliente \"\"Uno\"\"\",,"
            "100.00,1,A-1,000\r\n"
            "2025-01-31,000001,4770000,Cuenta Sin Titulo,IVA A-1,,21.00,1,A-1,000\r\n"
            "2025-02-15,000002,5720001,Cuenta Sin Titulo,Cobro A-1,121.00,,1,,000\r\n"
            "2025-02-15,000002,4300001,Cuenta Sin Titulo,Cobro A-1,,121.00,1,,000\r\n"
            "2025-12-31,000003,6000000,Cuenta Sin Titulo,\"Compra:\nmercaderias\",50.25,,1,,"
            "000\r\n"
            "2025-12-31,000003,4000001,Cuenta Sin Titulo,Compra,,50.25,1,,000\r\n");
  // The invoice's VAT book line, read back through the server.
  c_.Call(e_, "AbrirEmpresa", {company, ""});
  c_.Call(e_, "LeerAsiento", {"31/01/25", report["entries"][0]["number"]});
  ASSERT_EQ(c_.Get(e_, "ContadorIva"), 1);
  const int64_t vat = HandleOf(c_.Call(e_, "iva", {1}));
  EXPECT_EQ(c_.Get(vat, "CuentaClienteProveedor"), "4300001");
  EXPECT_EQ(c_.Get(vat, "CuentaIVA"), "4770000");
  EXPECT_EQ(c_.Get(vat, "Factura"), "A-1");
  EXPECT_EQ(c_.Get(vat, "SRTC"), "R");
  EXPECT_DOUBLE_EQ(c_.Get(vat, "Base").get<double>(), 100);
  EXPECT_DOUBLE_EQ(c_.Get(vat, "TOTAL").get<double>(), 121);
  CommandResult check = Qrole({"check", "Libros", "--json"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;

  // Again: every entry is found under its key; nothing is written.
  CommandResult again = Qrole({"import", "01", file});
  EXPECT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_NE(again.out.find("0 entries posted, 3 already posted (nothing written for them), "
                           "0 rows rejected"),
            std::string::npos)
      << again.out;
  EXPECT_EQ(Journal("Libros"), journal);
  CommandResult third = Qrole({"import", "01", file, "--json"});
  json thirds = Json(third);
  EXPECT_EQ(thirds["posted"], 0);
  EXPECT_EQ(thirds["already_posted"], 3);
  // The number each entry was posted as, as the first run reported it.
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(thirds["entries"][i]["status"], "already_posted");
    EXPECT_EQ(thirds["entries"][i]["number"], report["entries"][i]["number"]);
  }
  EXPECT_EQ(Journal("Libros"), journal);
}

TEST_F(QroleImportTest, RejectedRowsAreReportedAndTheOtherEntriesPost) {
  CreateCompany("Libros");
  const std::string file =
      WriteFile("mal.csv",
                "entry,date,account,description,debit,credit\n"
                "1,31/01/2025,4300001,bien,10,\n"        // 2
                "1,31/01/2025,7000000,bien,,10\n"        // 3
                "2,30/02/2025,4300001,fecha,10,\n"       // 4: no such date
                "2,28/02/2025,7000000,fecha,,10\n"       // 5
                "3,01/03/2025,4300001,importe,1.5.0,\n"  // 6
                "3,01/03/2025,7000000,importe,,1.5\n"    // 7
                "4,02/03/2025,4300001,descuadre,10,\n"   // 8
                "4,02/03/2025,7000000,descuadre,,9\n"    // 9
                "5,01/06/2024,4300001,otro año,10,\n"    // 10: outside the fiscal year
                "5,01/06/2024,7000000,otro año,,10\n"    // 11
                "6,15/03/2025,5720001,bien,7,\n"         // 12
                "6,15/03/2025,4300001,bien,,7\n");       // 13
  CommandResult r = Qrole({"import", "Libros", file, "--json"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  json report = Json(r);
  EXPECT_EQ(report["posted"], 2);
  std::map<int, std::string> reasons;
  for (const json& row : report["rejected_rows"])
    reasons[row["line"].get<int>()] = row["reason"].get<std::string>();
  ASSERT_EQ(reasons.size(), 8u) << r.out;
  EXPECT_NE(reasons[4].find("bad date \"30/02/2025\""), std::string::npos) << reasons[4];
  EXPECT_NE(reasons[5].find("line 4"), std::string::npos) << reasons[5];
  EXPECT_NE(reasons[6].find("bad debit \"1.5.0\""), std::string::npos) << reasons[6];
  EXPECT_NE(reasons[8].find("does not balance: debits 10.00, credits 9.00"), std::string::npos)
      << reasons[8];
  // The server's refusal, with its text.
  EXPECT_NE(reasons[10].find("refused by the server: error 0x8004C353"), std::string::npos)
      << reasons[10];
  EXPECT_EQ(reasons[10], reasons[11]);

  const std::string journal = Journal("Libros");
  EXPECT_NE(journal.find("2025-01-31,000001,4300001"), std::string::npos) << journal;
  EXPECT_NE(journal.find("2025-03-15,000002,5720001"), std::string::npos) << journal;
  EXPECT_EQ(std::count(journal.begin(), journal.end(), '\n'), 5) << journal;

  CommandResult human = Qrole({"import", "Libros", file});
  EXPECT_EQ(human.status, 1);
  EXPECT_NE(human.out.find("2 already posted"), std::string::npos) << human.out;
  EXPECT_NE(human.out.find("  line 4 (entry 2): bad date \"30/02/2025\""), std::string::npos)
      << human.out;
  EXPECT_EQ(Journal("Libros"), journal);
}

// An entry the server writes and then reports a problem of (a VAT type the
// company lacks: its amounts cannot be checked) is posted with that
// problem, once.
TEST_F(QroleImportTest, AnEntryPostedWithAProblemIsKeptWithIt) {
  CreateCompany("Libros");
  const std::string file =
      WriteFile("iva.csv",
                "entry,date,account,debit,credit,vat_party,vat_type,vat_book,invoice,base,total\n"
                "1,31/01/2025,4300001,121,,,,,,,\n"
                "1,31/01/2025,7000000,,100,,,,,,\n"
                "1,31/01/2025,4770000,,21,4300001,99,R,A-9,100,121\n");
  CommandResult r = Qrole({"import", "Libros", file, "--json"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  json first = Json(r);
  ASSERT_EQ(first["entries"].size(), 1u) << r.out;
  EXPECT_EQ(first["posted"], 1);
  EXPECT_EQ(first["with_error"], 1);
  EXPECT_EQ(first["entries"][0]["status"], "posted_with_error");
  const std::string problem = first["entries"][0]["error"];
  EXPECT_NE(problem.find("error 0x8004C357"), std::string::npos) << problem;
  const std::string journal = Journal("Libros");
  EXPECT_EQ(std::count(journal.begin(), journal.end(), '\n'), 4) << journal;

  CommandResult again = Qrole({"import", "Libros", file, "--json"});
  EXPECT_EQ(again.status, 1);
  json second = Json(again);
  EXPECT_EQ(second["posted"], 0);
  EXPECT_EQ(second["entries"][0]["status"], "already_posted_with_error");
  EXPECT_EQ(second["entries"][0]["error"], problem);
  EXPECT_EQ(second["entries"][0]["number"], first["entries"][0]["number"]);
  CommandResult human = Qrole({"import", "Libros", file});
  EXPECT_EQ(human.status, 1);
  // The server's text of two lines, the second indented under the first.
  EXPECT_NE(human.out.find("  entry 1 (lines 2, 3, 4) posted as " +
                           first["entries"][0]["number"].get<std::string>() +
                           " with a problem: error 0x8004C357: "),
            std::string::npos)
      << human.out;
  EXPECT_NE(human.out.find("\n      Se ha grabado el apunte"), std::string::npos) << human.out;
  EXPECT_EQ(Journal("Libros"), journal);
}

TEST_F(QroleImportTest, AnExportedJournalImportsIntoAnotherCompany) {
  const std::string books = CreateCompany("Libros");
  c_.Call(e_, "AbrirEmpresa", {books, ""});
  auto post = [&](const std::string& date, const std::string& text,
                  const std::vector<std::tuple<std::string, int, double>>& lines) {
    c_.Let(e_, "Fecha", date);
    c_.Let(e_, "Número", "");
    for (const auto& [account, side, amount] : lines)
      c_.Call(e_, "AñadirApunte", {account, text, side, amount, "1"});
    c_.Call(e_, "GrabarAsiento");
  };
  post("31/01/25", "Factura, \"A-1\"",
       {{"4300001", 1, 121}, {"7000000", 2, 100}, {"4770000", 2, 21}});
  post("15/02/25", "Cobro A-1", {{"5720001", 1, 121}, {"4300001", 2, 121}});
  post("31/12/25", "Compra", {{"6000000", 1, 50.25}, {"4000001", 2, 50.25}});
  const std::string exported = Journal("Libros");
  const std::string file = WriteFile("libros.csv", exported);

  const std::string copy = CreateCompany("Copia");
  CommandResult r = Qrole({"import", "Copia", file, "--json"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(Json(r)["posted"], 3);
  EXPECT_EQ(Journal("Copia"), exported);

  std::map<std::string, double> balances;
  for (const char* account :
       {"4300001", "7000000", "4770000", "5720001", "6000000", "4000001", "4", "43", "7"})
    balances[account] = Balance(account);
  c_.Call(e_, "AbrirEmpresa", {copy, ""});
  for (const auto& [account, balance] : balances)
    EXPECT_NEAR(Balance(account), balance, 0.005) << account;
  EXPECT_NEAR(balances["4"], -71.25, 0.005);
}

TEST_F(QroleImportTest, WrongCommandLinesAndFiles) {
  CreateCompany("Libros");
  EXPECT_EQ(Qrole({"import", "Libros"}).status, 2);
  CommandResult missing = Qrole({"import", "Libros", server_.dir() + "/none.csv", "--json"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(Json(missing)["error"]["kind"], "failure");
  const std::string file = WriteFile("x.csv", "entry,date,cuenta,debit,credit\n");
  CommandResult header = Qrole({"import", "Libros", file});
  EXPECT_EQ(header.status, 1);
  EXPECT_NE(header.err.find("unknown column \"cuenta\""), std::string::npos) << header.err;
}

}  // namespace
}  // namespace qrole::testing
