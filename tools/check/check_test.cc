// The checker against books posted through the automation members, then
// damaged in one way at a time.

#include "check/check.h"

#include <sys/wait.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>

#include "automation/convert.h"
#include "check/check_internal.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "data/table_component.h"
#include "platform/executable.h"
#include "platform/path.h"
#include "posting/posting_test_util.h"
#include "util/amounts.h"

namespace qrole::check {
namespace {

using posting::PostingTest;

class CheckTest : public PostingTest {
 protected:
  void SetUp() override {
    OpenCompany();
    Call("PutTotal", {S("NivelesCosto"), S("12305")});
    Call("AbrirEmpresa", {S("Libros")});
    // An analytic expense account and a cost centre.
    Call("CrearCuenta", {S("6280000"), S("Suministros"), S("0"), Variant::FromBool(true)});
    AddRecord("Costo", {{1, S("101")}, {2, S("Taller")}, {3, S("3")}});

    PostInvoice("15/03/24", "F-1", 100);
    PostInvoice("20/03/24", "F-2", 250.5);
    PostInvoice("02/05/24", "F-3", 19.99);
    // An opening entry, in the opening period.
    Let("Fecha", S("01/01/24"));
    Let("Número", S(""));
    Call("AñadirApunte", {S("5720000"), S("Apertura"), Variant::FromByte(1), D(5000), S("A")});
    Call("AñadirApunte", {S("1000000"), S("Apertura"), Variant::FromByte(2), D(5000), S("A")});
    Call("GrabarAsiento");
    // An expense shared out to a cost centre, with a negative credit.
    Let("Fecha", S("10/04/24"));
    Let("Número", S(""));
    Call("AñadirApunte", {S("6280000"), S("Luz"), Variant::FromByte(1), D(80), S("1")});
    Call("AñadirApunte", {S("5720000"), S("Luz"), Variant::FromByte(4), D(-80), S("1")});
    Call("AñadirAnalitica",
         {S("6280000"), S("101"), S("Luz taller"), Variant::FromByte(1), D(80), S("1")});
    Call("GrabarAsiento");
    // An entry posted and cancelled: its records stay behind, cancelled.
    PostInvoice("21/03/24", "F-4", 40);
    Call("AnularAsiento", {S("21/03/24"), S("000006")});
    path_ = e_->state().company_path;
    server::CloseAllFiles();
  }

  // An invoice entry: three journal lines and one VAT line (21 %).
  void PostInvoice(const std::string& date, const std::string& invoice, double base) {
    const double vat = util::Redondear(base * 0.21, 2);
    Let("Fecha", S(date));
    Let("Número", S(""));
    Call("AñadirApunte", {S("4300001"), S(invoice), Variant::FromByte(1), D(base + vat), S("1")});
    Call("AñadirApunte", {S("7000000"), S(invoice), Variant::FromByte(2), D(base), S("1")});
    Call("AñadirApunte", {S("4770000"), S(invoice), Variant::FromByte(2), D(vat), S("1")});
    Call("AñadirIVA", {S("4300001"), S("4770000"), S(invoice), S(date), S("21"), S("S"), D(base),
                       D(base + vat)});
    Call("GrabarAsiento");
  }

  int32_t AddRecord(const std::string& table, const std::vector<std::pair<int, Variant>>& fields) {
    data::TableComponent t;
    t.OpenCompanyTable(table, e_->state().company_directory, e_->state().company_number);
    t.AddNew();
    for (const auto& [code, value] : fields) t.SetField(code, 0, value);
    t.Update();
    const int32_t record = t.LastRecordNumber();
    t.Close();
    return record;
  }

  Report Check() {
    platform::Result<Report> r = CheckCompany(path_);
    EXPECT_TRUE(r.ok()) << r.status().ToString();
    return r.ok() ? *r : Report();
  }

  // The faults of one kind.
  static std::vector<Fault> Of(const Report& r, const std::string& kind) {
    std::vector<Fault> out;
    for (const Fault& f : r.faults)
      if (f.kind == kind) out.push_back(f);
    return out;
  }

  std::unique_ptr<internal::TableFile> Table(const std::string& table) {
    auto t = internal::OpenTable(Dir(), Number(), table);
    EXPECT_TRUE(t.ok()) << t.status().ToString();
    return t.ok() ? std::move(t).value() : nullptr;
  }
  std::string Dir() const { return e_->state().company_directory; }
  std::string Number() const { return e_->state().company_number; }

  // The first live record of `table` whose field `code`, trimmed, is `value`.
  int64_t FindRecord(const std::string& table, int code, const std::string& value) {
    auto t = Table(table);
    int64_t found = 0;
    internal::ForEachRecord(*t, [&](int64_t record, std::string_view bytes) {
      if (found == 0 && internal::StateOf(bytes) == internal::RecordState::kLive &&
          internal::TrimmedField(*t, bytes, t->Field(code)) == value)
        found = record;
    }).IgnoreError();
    return found;
  }

  // Writes `bytes` over field `code` (+ `element`) of a record, behind every
  // layer's back.
  void Overwrite(const std::string& table, int64_t record, int code, int element,
                 const std::string& bytes) {
    auto t = Table(table);
    const data::FieldLayout& f = t->slot.field(t->Field(code) + element);
    auto file = platform::CurrentEnv()->Files().Open(t->data_path, platform::OpenMode::ReadWrite);
    ASSERT_TRUE(file.ok());
    const uint64_t at = static_cast<uint64_t>(record - 1) * static_cast<uint64_t>(t->length()) +
                        static_cast<uint64_t>(f.start);
    ASSERT_TRUE((*file)->WriteAt(at, bytes).ok());
  }
  void Append(const std::string& table, const std::string& bytes) {
    auto t = Table(table);
    auto file = platform::CurrentEnv()->Files().Open(t->data_path, platform::OpenMode::ReadWrite);
    ASSERT_TRUE(file.ok());
    ASSERT_TRUE((*file)->WriteAt(t->size, bytes).ok());
  }
  static std::string DoubleBytes(double v) {
    std::string b(8, '\0');
    data::StoreDouble(v, b.data());
    return b;
  }

  std::string path_;
};

TEST_F(CheckTest, PostedAndCancelledBooksAreWhole) {
  const Report r = Check();
  EXPECT_TRUE(r.clean()) << FormatText(r);
  EXPECT_EQ(r.entries, 5);  // the cancelled entry's lines are gone
  EXPECT_EQ(r.journal_lines, 3 * 3 + 2 + 2);
  EXPECT_EQ(r.vat_records, 3);
  EXPECT_EQ(r.analytic_lines, 1);
  EXPECT_GT(r.accounts, 100);
  EXPECT_GE(r.cost_centres, 3);  // 101 and its levels 1 and 10
  EXPECT_EQ(r.number, Number());
  for (const char* table : {"PLANC", "EXTRA", "IVA01", "Anali", "Costo"}) {
    EXPECT_NE(std::find(r.tables_indexed.begin(), r.tables_indexed.end(), table),
              r.tables_indexed.end())
        << table;
  }
  EXPECT_NE(FormatText(r).find("The books are whole"), std::string::npos);
  // Balances really were compared: the chart holds the invoices' debits.
  const int64_t customers = FindRecord("PLANC", 1, "430");
  ASSERT_GT(customers, 0);
  auto chart = Table("PLANC");
  double march = 0;
  internal::ForEachRecord(*chart, [&](int64_t record, std::string_view bytes) {
    if (record == customers) march = internal::NumberField(*chart, bytes, chart->Field(12) + 3);
  }).IgnoreError();
  EXPECT_DOUBLE_EQ(march, 121 + 303.11);
}

TEST_F(CheckTest, AChangedBalanceIsAMismatchOfThatAccountAndPeriod) {
  const int64_t record = FindRecord("PLANC", 1, "43");
  ASSERT_GT(record, 0);
  Overwrite("PLANC", record, 12, 3, DoubleBytes(424.12));  // March debit, one cent off
  const Report r = Check();
  EXPECT_FALSE(r.clean());
  const std::vector<Fault> f = Of(r, "balance-mismatch");
  ASSERT_EQ(f.size(), 1u) << FormatText(r);
  EXPECT_EQ(f[0].table, "PLANC");
  EXPECT_EQ(f[0].record, record);
  EXPECT_EQ(f[0].subject, "43");
  EXPECT_NE(f[0].text.find("debit of March is 424.12, its EXTRA lines sum 424.11"),
            std::string::npos)
      << f[0].text;
  EXPECT_EQ(r.fault_count, 1);

  // A cost centre's level too.
  const int64_t level = FindRecord("Costo", 1, "10");
  ASSERT_GT(level, 0);
  Overwrite("Costo", level, 12, 4, DoubleBytes(0));
  const std::vector<Fault> g = Of(Check(), "balance-mismatch");
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[1].table, "Costo");
  EXPECT_EQ(g[1].subject, "10");
}

TEST_F(CheckTest, AJournalLineAppendedAloneUnbalancesItsEntry) {
  AddRecord("EXTRA", {{1, S("C40315")},
                      {2, S("4300001")},
                      {3, S("000001")},
                      {5, S("1")},
                      {6, D(12.5)},
                      {8, S("1")}});
  const Report r = Check();
  const std::vector<Fault> f = Of(r, "entry-unbalanced");
  ASSERT_EQ(f.size(), 1u) << FormatText(r);
  EXPECT_EQ(f[0].subject, "15/03/24 000001");
  EXPECT_NE(f[0].text.find("debit 133.50, credit 121.00"), std::string::npos) << f[0].text;
  // Its balances were never added: every level of the account disagrees.
  const std::vector<Fault> levels = Of(r, "balance-mismatch");
  ASSERT_GE(levels.size(), 3u);
  for (const Fault& level : levels) EXPECT_TRUE(std::string("4300001").starts_with(level.subject));
  std::set<std::string> subjects;
  for (const Fault& level : levels) subjects.insert(level.subject);
  EXPECT_TRUE(subjects.count("4") && subjects.count("430") && subjects.count("4300001"));
  // Written through the data layer, its keys are in every index.
  EXPECT_TRUE(Of(r, "index-missing-key").empty());
}

TEST_F(CheckTest, AKeyDeletedThroughTheEngineIsMissingFromItsIndex) {
  e_->OpenCompanyFiles();
  const int64_t record = FindRecord("EXTRA", 2, "7000000");
  ASSERT_GT(record, 0);
  ASSERT_TRUE(data::ReadRecord(2, static_cast<int32_t>(record)).ok());
  const std::string keys = data::ComposeKeys(2, 0);
  ASSERT_EQ(data::SendEngineCommand("D\\" + std::to_string(record) + "\\Y\\2" + keys), 0);
  server::CloseAllFiles();
  const Report r = Check();
  const std::vector<Fault> f = Of(r, "index-missing-key");
  ASSERT_EQ(f.size(), 4u) << FormatText(r);  // one per index of the journal
  EXPECT_EQ(f[0].table, "EXTRA");
  EXPECT_EQ(f[0].record, record);
  EXPECT_EQ(f[0].subject, "EXTRA index 1");
  EXPECT_EQ(r.fault_count, 4);
}

TEST_F(CheckTest, RecordsChangedBehindTheIndexAreStaleOrDangling) {
  // The account of a journal line changed in place: its key 2 is stale.
  const int64_t line = FindRecord("EXTRA", 2, "7000000");
  Overwrite("EXTRA", line, 2, 0, "7050000   ");
  // A chart record cancelled in place: its keys name a cancelled record.
  const int64_t account = FindRecord("PLANC", 1, "100");
  Overwrite("PLANC", account, 1, 0, "ANULADO");
  const Report r = Check();
  const std::vector<Fault> stale = Of(r, "index-stale-key");
  ASSERT_EQ(stale.size(), 1u) << FormatText(r);
  EXPECT_EQ(stale[0].record, line);
  EXPECT_EQ(stale[0].subject, "EXTRA index 2");
  EXPECT_TRUE(Of(r, "index-missing-key").empty()) << "the stale key says it already";
  const std::vector<Fault> dangling = Of(r, "index-dangling-key");
  ASSERT_EQ(dangling.size(), 2u);  // code and title
  EXPECT_EQ(dangling[0].record, account);
  EXPECT_NE(dangling[0].text.find("cancelled"), std::string::npos);
}

TEST_F(CheckTest, AVatRecordOfAnotherEntryNumberHasNoEntry) {
  const int64_t record = FindRecord("IVA01", 5, "F-2");
  ASSERT_GT(record, 0);
  data::TableComponent vat;
  vat.OpenCompanyTable("IVA01", Dir(), Number());
  vat.GoToRecord(static_cast<int32_t>(record));
  vat.Edit();
  vat.SetField(8, 0, S("000099"));
  vat.Update();
  vat.Close();
  const Report r = Check();
  const std::vector<Fault> f = Of(r, "vat-without-entry");
  ASSERT_EQ(f.size(), 1u) << FormatText(r);
  EXPECT_EQ(f[0].record, record);
  EXPECT_EQ(f[0].subject, "20/03/24 000099");
  EXPECT_EQ(r.fault_count, 1) << "the table component kept the index in step";

  // The right number at another date: the journal's date is named.
  vat.OpenCompanyTable("IVA01", Dir(), Number());
  vat.GoToRecord(static_cast<int32_t>(record));
  vat.Edit();
  vat.SetField(8, 0, S("000001"));
  vat.Update();
  vat.Close();
  const std::vector<Fault> g = Of(Check(), "vat-without-entry");
  ASSERT_EQ(g.size(), 1u);
  EXPECT_NE(g[0].text.find("the journal has that number at 15/03/24"), std::string::npos)
      << g[0].text;
}

TEST_F(CheckTest, BlankAndPartialRecordsAndTheRecordCounter) {
  auto journal = Table("EXTRA");
  const int64_t records = journal->records;
  Append("EXTRA", std::string(static_cast<size_t>(journal->length()), '\0'));
  Append("Anali", "xyz");
  const Report r = Check();
  const std::vector<Fault> blank = Of(r, "blank-record");
  ASSERT_EQ(blank.size(), 1u) << FormatText(r);
  EXPECT_EQ(blank[0].record, records + 1);
  ASSERT_EQ(Of(r, "partial-record").size(), 1u);
  // Neither record was numbered by the index files.
  const std::vector<Fault> counters = Of(r, "index-counter");
  ASSERT_EQ(counters.size(), 2u);
  EXPECT_EQ(counters[0].table + " " + counters[1].table, "Anali EXTRA");
}

TEST_F(CheckTest, NotesDoNotMakeTheBooksFaulty) {
  // A client's own number above the counter, and one number at two dates.
  Call("AbrirEmpresa", {S("Libros")});
  Let("Fecha", S("16/03/24"));
  Let("Número", S("000001"));
  Call("AñadirApunte", {S("5720000"), S("x"), Variant::FromByte(1), D(1), S("1")});
  Call("AñadirApunte", {S("5700000"), S("x"), Variant::FromByte(2), D(1), S("1")});
  Call("GrabarAsiento");
  Let("Número", S("000500"));
  Call("AñadirApunte", {S("5720000"), S("x"), Variant::FromByte(1), D(1), S("1")});
  Call("AñadirApunte", {S("5700000"), S("x"), Variant::FromByte(2), D(1), S("1")});
  Call("GrabarAsiento");
  server::CloseAllFiles();
  const Report r = Check();
  EXPECT_TRUE(r.clean()) << FormatText(r);
  EXPECT_EQ(r.note_kinds.at("number-two-dates"), 1);
  EXPECT_EQ(r.note_kinds.at("entry-above-counter"), 1);
}

TEST_F(CheckTest, ListsAreCappedButEveryFaultIsCounted) {
  const int64_t record = FindRecord("PLANC", 1, "4300001");
  for (int e = 0; e < 15; ++e) Overwrite("PLANC", record, 13, e, DoubleBytes(1000 + e));
  CheckOptions options;
  options.max_listed_per_kind = 4;
  platform::Result<Report> r = CheckCompany(path_, options);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->fault_count, 15);
  EXPECT_EQ(r->faults.size(), 4u);
  EXPECT_EQ(r->fault_kinds.at("balance-mismatch"), 15);
  EXPECT_NE(FormatText(*r).find("(11 more not listed)"), std::string::npos);
}

TEST_F(CheckTest, CompaniesAreFoundByPathNameOrNumber) {
  const std::string file = path_.substr(path_.rfind('/') + 1);
  std::string backslashed = path_;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  for (const std::string& given :
       {path_, backslashed, std::string("Libros"), std::string("libros.qrt"), Number(),
        std::to_string(static_cast<int>(Val(Number())))}) {
    platform::Result<std::string> found = ResolveCompany(given);
    ASSERT_TRUE(found.ok()) << given << ": " << found.status().ToString();
    EXPECT_EQ(found->substr(found->rfind('/') + 1), file) << given;
  }
  EXPECT_TRUE(ResolveCompany("Otra").status().IsNotFound());
  EXPECT_TRUE(ResolveCompany(data_dir_ + "nada.QRT").status().IsNotFound());
  EXPECT_TRUE(CheckCompany(data_dir_ + "nada.QRT").status().IsNotFound());
}

// The program, as the crash tests and people run it.
class CheckProgramTest : public CheckTest {
 protected:
  // Runs qrole-check with `args`; returns its exit status and output.
  int Run(const std::string& args, std::string* out) {
    const char* bin = std::getenv("QROLE_TEST_BIN_DIR");
    const std::string dir = bin ? bin : platform::DirName(platform::ExecutablePath());
    const std::string command =
        "QROLE_HOME='" + env_.home() + "' '" + dir + "/qrole-check' " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buf[4096];
    out->clear();
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out->append(buf, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(CheckProgramTest, ExitStatusAndReports) {
  std::string out;
  EXPECT_EQ(Run("Libros", &out), 0) << out;
  EXPECT_NE(out.find("no fault"), std::string::npos) << out;

  Overwrite("PLANC", FindRecord("PLANC", 1, "7"), 13, 3, DoubleBytes(0));
  EXPECT_EQ(Run("'" + path_ + "'", &out), 1) << out;
  EXPECT_NE(out.find("FAULT [balance-mismatch] PLANC: account 7 "), std::string::npos) << out;

  EXPECT_EQ(Run("--json " + Number(), &out), 1) << out;
  const nlohmann::json doc = nlohmann::json::parse(out);
  EXPECT_FALSE(doc["clean"].get<bool>());
  EXPECT_EQ(doc["fault_count"].get<int>(), 1);
  EXPECT_EQ(doc["faults"][0]["kind"], "balance-mismatch");
  EXPECT_EQ(doc["faults"][0]["subject"], "7");
  EXPECT_EQ(doc["checked"]["entries"].get<int>(), 5);

  EXPECT_EQ(Run("Nadie", &out), 2) << out;
  EXPECT_EQ(Run("", &out), 2) << out;
  EXPECT_EQ(Run("--bogus Libros", &out), 2) << out;
}

}  // namespace
}  // namespace qrole::check
