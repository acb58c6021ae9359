#include "posting/secondary_records.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "automation/convert.h"
#include "data/company_tables.h"
#include "data/globals.h"
#include "data/record_file.h"
#include "data/table_component.h"
#include "ledger/analytic_balances.h"
#include "platform/env.h"
#include "posting/posting_test_util.h"
#include "server/company_header.h"
#include "server/process_state.h"

namespace qrole::posting {
namespace {

// A record of a company table read back, its fields by code.
using Row = std::vector<Variant>;

class SecondaryRecordsTest : public PostingTest {
 protected:
  void SetUp() override {
    OpenCompany();
    OpenTables();
  }

  void OpenTables() {
    const server::EnlaceState& s = e_->state();
    const int base = static_cast<unsigned char>(s.company_header[static_cast<size_t>(
        server::CampoCabecera("ARCHIVOMONEDABASE").position - 1)]);
    ASSERT_TRUE(data::OpenCompanyTables(s.company_directory, s.company_number, base).ok());
    chart_.OpenCompanyTable("PLANC", s.company_directory, s.company_number);
    ctx_.accounting_date = "C40315";  // 15/03/2024
    ctx_.entry_number = "000007";
    ctx_.chart = &chart_;
  }

  void OpenTable(data::TableComponent& t, const std::string& table) {
    t.OpenCompanyTable(table, e_->state().company_directory, e_->state().company_number);
  }

  // Every record of `table` that `condition` selects, fields 1 to `fields`
  // by code (row[code]).
  std::vector<Row> Rows(const std::string& table, const std::string& condition, int fields) {
    data::TableComponent t;
    OpenTable(t, table);
    t.SetFilter(condition);
    std::vector<Row> rows;
    for (; !t.IsEof(); t.MoveNext()) {
      Row row(1);
      for (int code = 1; code <= fields; ++code) row.push_back(t.GetField(code));
      rows.push_back(row);
    }
    return rows;
  }
  static std::string Str(const Variant& v) { return RTrim(ToStr(v)); }
  // Fields of a row joined by "|".
  static std::string Fields(const Row& row, std::initializer_list<int> codes) {
    std::string out;
    for (int code : codes) out += "|" + Str(row[static_cast<size_t>(code)]);
    return out.substr(1);
  }

  // Appends a record to `table` with the given fields.
  int32_t AddRecord(const std::string& table, const std::vector<std::pair<int, Variant>>& fields) {
    data::TableComponent t;
    OpenTable(t, table);
    t.AddNew();
    for (const auto& [code, value] : fields) t.SetField(code, 0, value);
    t.Update();
    return t.LastRecordNumber();
  }

  void AddWithholding(const std::string& account, double base, double percent) {
    Call("AñadirRetencion", {S(account), S("Perez"), S("12345678Z"), S("F-" + account), D(base),
                             S("4751"), D(percent), S("Madrid"), S("4752"), S("10/03/24"), D(0),
                             D(0), D(base * percent / 100), D(0), S("G")});
  }
  void AddAnalytic(const std::string& account, const std::string& cost_centre, double amount,
                   const std::string& description = "") {
    Call("AñadirAnalitica",
         {S(account), S(cost_centre), S(description), Variant::FromByte(1), D(amount), S("1")});
  }
  // A posted journal line on `account`, as posting leaves it for the
  // analytic stage.
  void AddPostedLine(const std::string& account, const std::string& side, double amount,
                     const std::string& journal, const std::string& description,
                     const std::string& link) {
    const int32_t record = AddRecord("EXTRA", {{1, S(ctx_.accounting_date)},
                                               {2, S(account)},
                                               {3, S(ctx_.entry_number)},
                                               {4, S(description)},
                                               {5, S(side)},
                                               {6, D(amount)},
                                               {8, S(journal)},
                                               {18, S(link)},
                                               {22, S("REF-" + link)}});
    ctx_.analytic_lines.push_back({account, record, amount, 0});
  }
  // Cost-centre levels of one, two and three characters.
  void UseCostCentreLevels() {
    Call("PutTotal", {S("NivelesCosto"), S("12305")});
    Call("AbrirEmpresa", {S("Libros")});
    OpenTables();
    ASSERT_EQ(server::Process().cost_centre_levels[2], 2);
  }
  // Debit (code 12) or credit (code 13) element of a cost-centre account.
  double CostBalance(const std::string& account, int code, int element) {
    data::TableComponent t;
    OpenTable(t, "Costo");
    t.SetFilter("CUENTA = " + account);
    if (t.IsEof()) return -999;
    return ToDouble(t.GetField(code, element));
  }

  data::TableComponent chart_;
  PostingContext ctx_{*e_};
};

TEST_F(SecondaryRecordsTest, WithholdingsTakeConsecutiveOrderNumbersAfterTheHighest) {
  // Record order is not order-number order.
  AddRecord("Ret01", {{12, S("0000000006")}, {8, S("000001")}});
  AddRecord("Ret01", {{12, S("0000000002")}, {8, S("000002")}});
  EXPECT_EQ(SiguienteOrdenRetencion(*e_), "0000000007");
  AddWithholding("4751", 1000, 15);
  AddWithholding("4109999", 200, 7);
  PostWithholdings(ctx_);

  auto rows = Rows("Ret01", "ASIENTO (DOC) CONTABLE = 000007", 30);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Fields(rows[0], {12, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 13, 15, 16, 21, 26, 29}),
            "0000000007|4751|H.P., acreedora por retenc. practicadas|12345678Z||F-4751|1000|G|"
            "4751|4752|C40310|15|Madrid|2024|C40315|C40310|150");
  // The second line's account is not in the chart.
  EXPECT_EQ(Fields(rows[1], {12, 1, 2, 29}), "0000000008|4109999||14");
  EXPECT_EQ(TituloCuenta(*e_, "47519"), "");
}

TEST_F(SecondaryRecordsTest, NothingPendingWritesNothing) {
  PostWithholdings(ctx_);
  PostPortfolio(ctx_);
  PostAnalyticLines(ctx_);
  EXPECT_EQ(SiguienteOrdenRetencion(*e_), "0000000001");
  EXPECT_TRUE(Rows("EFECT", "", 1).empty());
  EXPECT_TRUE(Rows("Anali", "", 1).empty());
  EXPECT_EQ(ctx_.deferred_status, 0);
}

TEST_F(SecondaryRecordsTest, PortfolioDueDatesInEveryFormAreStored) {
  Call("AñadirCartera", {S("20/04/2024"), S("4751"), S("BANCO1"), S("Primer plazo"), D(1234.56)});
  Call("AñadirCartera", {S("20/05/24"), S("4109999"), S("BANCO2"), S("Segundo"), D(-10.5)});
  Call("AñadirCartera", {S("240620"), S("4751"), S(""), S(""), D(1)});
  Call("AñadirCartera", {S("C40720"), S("4751"), S(""), S(""), D(2)});
  PostPortfolio(ctx_);

  auto rows = Rows("EFECT", "ASIENTO CONTABLE = 000007", 9);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(Fields(rows[0], {1, 2, 3, 4, 5, 6, 7, 8, 9}),
            "C40420|4751|H.P., acreedora por retenc. practicadas|Primer plazo|BANCO1|1234,56||"
            "C40315|000007");
  EXPECT_EQ(Fields(rows[1], {1, 2, 3, 6}), "C40520|4109999||-10,5");
  EXPECT_EQ(Str(rows[2][1]), "C40620");
  EXPECT_EQ(Str(rows[3][1]), "C40720");
}

TEST_F(SecondaryRecordsTest, AnalyticLinesDistributeTheirJournalLineAndUpdateCostCentres) {
  UseCostCentreLevels();
  AddRecord("Costo", {{1, S("101")}, {2, S("Taller")}, {3, S("3")}});
  AddPostedLine("628", "1", 100, "1", "Luz marzo", "000001");
  AddAnalytic("628", "101", 60);
  AddAnalytic(" 628 ", "101", 40, "Reparto");
  AddAnalytic("628", "101", 10);  // the line is fully distributed
  PostAnalyticLines(ctx_);

  EXPECT_EQ(ctx_.deferred_status, kStatusNoAnalyticLine);
  EXPECT_EQ(ctx_.deferred_text, "628");
  EXPECT_EQ(ctx_.analytic_lines[0].covered, 100);
  auto rows = Rows("Anali", "", 22);
  ASSERT_EQ(rows.size(), 2u);
  // The description is the journal line's unless the analytic line has one.
  EXPECT_EQ(Fields(rows[0], {1, 2, 3, 4, 5, 6, 8, 13, 18, 19, 22}),
            "C40315|628|000007|Luz marzo|1|60|1|60|000001|101|REF-000001");
  EXPECT_EQ(Fields(rows[1], {4, 6, 13, 18}), "Reparto|40|40|000001");

  // March debits of the account and of its two missing levels, created.
  EXPECT_EQ(CostBalance("101", 12, 3), 100);
  EXPECT_EQ(CostBalance("10", 12, 3), 100);
  EXPECT_EQ(CostBalance("1", 12, 3), 100);
  EXPECT_EQ(CostBalance("101", 13, 3), 0);
  EXPECT_EQ(CostBalance("101", 12, 4), 0);
  auto level = Rows("Costo", "CUENTA = 10", 6);
  ASSERT_EQ(level.size(), 1u);
  EXPECT_EQ(Fields(level[0], {2, 3, 6}), "Mayor sin título|2|0");
}

TEST_F(SecondaryRecordsTest, CreditLinesGoToTheCreditsOfTheirJournalElement) {
  UseCostCentreLevels();
  AddRecord("Costo", {{1, S("101")}, {3, S("3")}});
  // A credit of 50 in the closing journal; then one of 30.
  AddPostedLine("628", "2", -50, "C", "Cierre", "000002");
  AddPostedLine("628", "2", -30, "1", "Abono", "000003");
  AddAnalytic("628", "101", 50);
  AddAnalytic("628", "101", 30);
  PostAnalyticLines(ctx_);

  EXPECT_EQ(ctx_.deferred_status, 0);
  auto rows = Rows("Anali", "", 19);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Fields(rows[0], {4, 6, 8, 18}), "Cierre|-50|C|000002");
  // The second line goes to the second journal line, the first being covered.
  EXPECT_EQ(Fields(rows[1], {4, 6, 18}), "Abono|-30|000003");
  EXPECT_EQ(CostBalance("101", 13, 14), -50);
  EXPECT_EQ(CostBalance("1", 13, 14), -50);
  EXPECT_EQ(CostBalance("101", 13, 3), -30);
  EXPECT_EQ(CostBalance("101", 12, 14), 0);

  // Removing the first line takes its amount out again.
  ASSERT_TRUE(data::ReadRecord(ledger::kAnalyticSlot, 1).ok());
  ledger::ActualizarSaldosAnalitica(-1, "101");
  EXPECT_EQ(CostBalance("101", 13, 14), 0);
  EXPECT_EQ(CostBalance("10", 13, 14), 0);
  EXPECT_EQ(CostBalance("101", 13, 3), -30);
}

TEST_F(SecondaryRecordsTest, AnalyticLinesWithoutAnAnalyticJournalLineAreNotWritten) {
  UseCostCentreLevels();
  AddPostedLine("628", "1", 100, "1", "Luz", "000004");
  // 600 has no posted line on an analytic account.
  AddAnalytic("600", "101", 10);
  AddAnalytic("628", "102", 0.1);
  AddAnalytic("628", "102", 0.2);
  PostAnalyticLines(ctx_);
  EXPECT_EQ(ctx_.deferred_status, kStatusNoAnalyticLine);
  EXPECT_EQ(ctx_.deferred_text, "600");
  EXPECT_EQ(Rows("Anali", "", 1).size(), 2u);
  // The cost-centre account is not in the chart: nothing is created for it.
  EXPECT_TRUE(Rows("Costo", "", 1).empty());

  // Fractions that add up to the line close it.
  ctx_.Defer(0, "");
  ctx_.analytic_lines = {{"628", ctx_.analytic_lines[0].record, 0.3, 0}};
  e_->LimpiarAsiento();
  AddAnalytic("628", "102", 0.1);
  AddAnalytic("628", "102", 0.2);
  AddAnalytic("628", "102", 0.01);
  PostAnalyticLines(ctx_);
  EXPECT_EQ(ctx_.deferred_status, kStatusNoAnalyticLine);
  EXPECT_EQ(Rows("Anali", "", 1).size(), 4u);
}

TEST_F(SecondaryRecordsTest, LinesInAnotherCurrencyAreDistributedInTheBaseCurrency) {
  UseCostCentreLevels();
  Let("CambioMoneda", D(2));
  // A line of 100 in the client's currency is 200 in the base currency.
  AddPostedLine("628", "1", 200, "1", "Divisa", "000005");
  AddAnalytic("628", "101", 60);
  AddAnalytic("628", "101", 40);
  AddAnalytic("628", "101", 1);
  PostAnalyticLines(ctx_);
  EXPECT_EQ(ctx_.deferred_status, kStatusNoAnalyticLine);
  auto rows = Rows("Anali", "", 13);
  ASSERT_EQ(rows.size(), 2u);
  // Base amount, second-currency amount (120 at 166.386, no decimals),
  // exchange rate, amount in the client's currency.
  EXPECT_EQ(Fields(rows[0], {6, 10, 12, 13}), "120|19966|2|60");
  EXPECT_NEAR(ToDouble(rows[0][9]), 1 / 166.386, 1e-12);
}

TEST_F(SecondaryRecordsTest, BalancesOfALineThatIsNeitherDebitNorCreditStayAsTheyAre) {
  UseCostCentreLevels();
  AddRecord("Costo", {{1, S("101")}});
  data::Slot& line = data::GetSlot(ledger::kAnalyticSlot);
  line.ClearValues();
  line.SetText(1, "C40315");
  line.SetText(5, "3");
  line.SetNumber(6, 25);
  line.SetText(8, "1");
  ledger::ActualizarSaldosAnalitica(1, "101");
  EXPECT_EQ(CostBalance("101", 12, 3), 0);
  EXPECT_EQ(CostBalance("101", 13, 3), 0);
  // Its levels are made all the same.
  EXPECT_EQ(Rows("Costo", "", 1).size(), 3u);
  // A month beyond December counts as the opening.
  line.SetText(1, "C41515");
  line.SetText(5, "1");
  ledger::ActualizarSaldosAnalitica(1, "101");
  EXPECT_EQ(CostBalance("101", 12, 0), 25);
  EXPECT_EQ(CostBalance("10", 12, 0), 25);
  // An account missing from the chart gets no levels either.
  EXPECT_EQ(ledger::LocalizarNivelesAnalitica("999")[0], 0);
  EXPECT_EQ(Rows("Costo", "", 1).size(), 3u);
}

class AnalyticLinkTest : public SecondaryRecordsTest {
 protected:
  std::string CounterInFile() {
    auto text = platform::CurrentEnv()->Files().ReadAll(e_->state().company_path);
    return text.ok() ? server::HeaderText(*text, "CONTADORANALITICA") : "<unreadable>";
  }
};

TEST_F(AnalyticLinkTest, LinksFollowTheCounterOrTheHighestLinkOfTheFile) {
  Call("PutTotal", {S("CONTADORANALITICA"), S("000041")});
  const int64_t slept = env_.clock().slept_ms();
  EXPECT_EQ(EnlazarAnalitica(*e_), "000042");
  EXPECT_EQ(EnlazarAnalitica(*e_), "000043");
  EXPECT_EQ(CounterInFile(), "000043");
  EXPECT_EQ(server::HeaderText(e_->state().company_header, "CONTADORANALITICA"), "000043");
  // The file already holds the next number (and higher ones).
  AddRecord("Anali", {{18, S("000050")}});
  AddRecord("Anali", {{18, S("000044")}});
  EXPECT_EQ(EnlazarAnalitica(*e_), "000051");
  EXPECT_EQ(CounterInFile(), "000051");
  EXPECT_EQ(env_.clock().slept_ms(), slept);
}

TEST_F(AnalyticLinkTest, GivesUpOnABusyHeaderAndAtOnceOnAMissingFile) {
  Call("PutTotal", {S("CONTADORANALITICA"), S("000041")});
  const int64_t before = env_.clock().slept_ms();
  {
    auto other = platform::CurrentEnv()->Files().Open(e_->state().company_path,
                                                      platform::OpenMode::ReadWrite);
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE((*other)->LockRange(0, server::kHeaderSize, true).ok());
    EXPECT_EQ(EnlazarAnalitica(*e_), "");
    EXPECT_EQ(env_.clock().slept_ms() - before, 1000 * 10);
  }
  EXPECT_EQ(CounterInFile(), "000041");
  EXPECT_EQ(EnlazarAnalitica(*e_), "000042");

  const int64_t slept = env_.clock().slept_ms();
  e_->state().company_path = data_dir_ + "NOEXISTE.QRT";
  EXPECT_EQ(EnlazarAnalitica(*e_), "");
  EXPECT_EQ(env_.clock().slept_ms(), slept);
}

}  // namespace
}  // namespace qrole::posting
