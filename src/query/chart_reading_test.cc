#include "query/chart_reading.h"

#include <gtest/gtest.h>

#include <functional>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "automation/record_object.h"
#include "data/table_component.h"
#include "platform/scoped_temp_dir.h"
#include "qrole/error.h"
#include "query/web_query_test_util.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace qrole::query {
namespace {

using typelib::Kind;

class ChartReadingTest : public ::testing::Test {
 protected:
  ChartReadingTest() : env_(Registry()) {
    Call("CrearEmpresa", {S("Plan"), S("24")});
    Call("AbrirEmpresa", {S("Plan")});
  }
  std::string Registry() {
    data_dir_ = dirs_.path() + "/datos/";
    platform::CurrentEnv()->Files().CreateDirectories(data_dir_).IgnoreError();
    return "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ + "\nVersion=7.5\n";
  }
  static Variant S(const std::string& s) { return Variant::FromString(s); }
  Variant Call(const std::string& name, std::vector<Variant> args = {}) {
    return Invoke(*e_, name, Kind::kMethod, std::move(args)).value;
  }
  // The codes read, in order.
  std::vector<std::string> Codes() {
    std::vector<std::string> out;
    Collection& plans = e_->collection(server::Col::kPlan);
    for (int32_t i = 1; i <= plans.Count(); ++i)
      out.push_back(
          std::dynamic_pointer_cast<RecordObject>(plans.Item(i).object())->GetStr("Cuenta"));
    return out;
  }
  // Sets debit and credit period `p` of a chart account.
  void SetBalance(const std::string& table, const std::string& account, int field, int p,
                  double v) {
    data::TableComponent t;
    t.OpenCompanyTable(table, e_->state().company_directory, e_->state().company_number);
    t.SetFilter("CUENTA = " + account);
    ASSERT_GT(t.RecordCount(), 0) << account;
    t.Edit();
    t.SetField(field, p, Variant::FromDouble(v));
    t.Update();
  }
  Variant Plan(int i, const std::string& field) {
    auto r = std::dynamic_pointer_cast<RecordObject>(Call("Plan", {Variant::FromLong(i)}).object());
    return r ? r->Get(field) : Variant();
  }

  platform::ScopedTempDir dirs_;
  std::string data_dir_;
  server::TestEnv env_;
  std::shared_ptr<server::Enlace> e_ = server::Enlace::Create();
};

TEST_F(ChartReadingTest, ExactCodesListsAndBalances) {
  SetBalance("PLANC", "4300", 12, 0, 50);
  SetBalance("PLANC", "4300", 12, 3, 121.5);
  SetBalance("PLANC", "4300", 13, 14, -20);
  EXPECT_EQ(Call("LeerPlan", {S("4300,100")}), Variant::FromBool(true));
  EXPECT_EQ(Codes(), (std::vector<std::string>{"4300", "100"}));
  EXPECT_EQ(Plan(1, "titulo"), S("Clientes (euros)"));
  EXPECT_EQ(Plan(1, "DebeApertura"), Variant::FromDouble(50));
  EXPECT_EQ(Plan(1, "DebeMarzo"), Variant::FromDouble(121.5));
  EXPECT_EQ(Plan(1, "HaberCierre"), Variant::FromDouble(-20));
  auto debe = [&](double i, double mes) {
    return ToDouble(Call("PlanDebe", {Variant::FromDouble(i), Variant::FromDouble(mes)}));
  };
  EXPECT_EQ(debe(1, 0), 50);
  EXPECT_EQ(debe(1, 3), 121.5);
  EXPECT_EQ(debe(1, 15), 0);
  EXPECT_EQ(debe(1, -1), 0);
  EXPECT_EQ(debe(3, 0), 0);
  EXPECT_EQ(ToDouble(Call("PlanHaber", {Variant::FromDouble(1), Variant::FromDouble(14)})), -20);
  EXPECT_TRUE(Call("Plan", {Variant::FromLong(3)}).IsNothing());
  // A code that is not there: nothing read, no error.
  EXPECT_EQ(Call("LeerPlan", {S("4399999")}), Variant::FromBool(false));
  EXPECT_EQ(e_->collection(server::Col::kPlan).Count(), 0);
}

TEST_F(ChartReadingTest, PrefixesPatternsAndTitles) {
  // A prefix lists the one-character levels of the accounts under it.
  Call("LeerPlan", {S("43*")});
  std::vector<std::string> codes = Codes();
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), "43");
  for (const std::string& c : codes) EXPECT_EQ(c.compare(0, 2, "43"), 0) << c;
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  // A pattern with "?" walks the chart, parents included.
  Call("LeerPlan", {S("43?0")});
  codes = Codes();
  EXPECT_EQ(codes.front(), "4");
  EXPECT_NE(std::find(codes.begin(), codes.end(), "43"), codes.end());
  EXPECT_NE(std::find(codes.begin(), codes.end(), "4300"), codes.end());
  EXPECT_EQ(std::find(codes.begin(), codes.end(), "4301"), codes.end());
  // A title pattern walks in title order.
  Call("LeerPlan", {S("4*"), S(""), S("Clientes*")});
  codes = Codes();
  ASSERT_GE(codes.size(), 2u);
  for (int32_t i = 1; i <= static_cast<int32_t>(codes.size()); ++i)
    EXPECT_EQ(Plan(i, "titulo").str().compare(0, 8, "Clientes"), 0);
}

TEST_F(ChartReadingTest, OtherFilesRangesAndNeighbours) {
  // Range of the chart.
  EXPECT_EQ(Call("LeerPlanEx", {Variant::FromLong(1), S("4300"), S(""), S(""), S("4309")}),
            Variant::FromBool(true));
  std::vector<std::string> codes = Codes();
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), "4300");
  for (const std::string& c : codes) EXPECT_LE(c, std::string("4309"));
  EXPECT_EQ(Plan(1, "DebeEnero"), Variant::FromDouble(0));  // not filled by this reader

  // The neighbours of 100 in code order.
  Call("LeerPlanEx",
       {Variant::FromLong(1), S("100"), S(""), S(""), S(""), Variant::FromInteger(1)});
  ASSERT_EQ(Codes().size(), 1u);
  EXPECT_GT(Codes()[0], std::string("100"));
  Call("LeerPlanEx",
       {Variant::FromLong(1), S("100"), S(""), S(""), S(""), Variant::FromInteger(2)});
  ASSERT_EQ(Codes().size(), 1u);
  EXPECT_LT(Codes()[0], std::string("100       "));
  EXPECT_EQ(Call("LeerPlanEx",
                 {Variant::FromLong(1), S("99999"), S(""), S(""), S(""), Variant::FromInteger(1)}),
            Variant::FromBool(false));
  EXPECT_EQ(e_->collection(server::Col::kPlan).Count(), 0);

  // A budget: twelve months between an empty opening and closing.
  {
    data::TableComponent t;
    t.OpenCompanyTable("Presu", e_->state().company_directory, e_->state().company_number);
    t.AddNew();
    t.SetField(1, 0, S("6000"));
    t.SetField(2, 0, S("Compras"));
    for (int m = 0; m < 12; ++m) t.SetField(3, m, Variant::FromDouble(100 + m));
    t.SetField(4, 0, S("3"));
    t.SetField(5, 0, S("1"));
    t.Update();
  }
  EXPECT_EQ(Call("LeerPlanEx", {Variant::FromLong(6), S("6000")}), Variant::FromBool(true));
  EXPECT_EQ(Plan(1, "Nivel"), S("3"));
  EXPECT_EQ(Plan(1, "EsAnalitica"), Variant::FromInteger(1));
  auto amount = [&](const char* m, double mes) {
    return ToDouble(Call(m, {Variant::FromDouble(1), Variant::FromDouble(mes)}));
  };
  EXPECT_EQ(amount("PlanDebe", 0), 0);
  EXPECT_EQ(amount("PlanDebe", 1), 100);
  EXPECT_EQ(amount("PlanDebe", 12), 111);
  EXPECT_EQ(amount("PlanDebe", 13), 0);
  EXPECT_EQ(amount("PlanHaber", 1), 0);

  std::string text;
  try {
    Call("LeerPlanEx", {Variant::FromLong(4), S("1")});
    ADD_FAILURE() << "file 4 read";
  } catch (const AutomationError& err) {
    EXPECT_EQ(err.number(), 5);
  }
}

TEST_F(ChartReadingTest, NeedsACompany) {
  auto other = server::Enlace::Create();
  try {
    Invoke(*other, "LeerPlan", Kind::kMethod, {S("43")});
    ADD_FAILURE() << "read without a company";
  } catch (const AutomationError& err) {
    EXPECT_EQ(err.number(), static_cast<int32_t>(0x8004C356));
  }
}

// On the web the chart is one search of the service.
class ChartWebTest : public WebQueryTest {
 protected:
  // A header of code, title, level and the fifteen debit and credit periods.
  static std::string ChartHeader() {
    std::string h = "1\t2\t3";
    for (int p = 1; p <= 15; ++p) h += "\t12+" + std::to_string(p);
    for (int p = 1; p <= 15; ++p) h += "\t13+" + std::to_string(p);
    return h + "\n";
  }
  // A row whose debit of period p is p * 10 and credit p.
  static std::string ChartRow(const std::string& code, const std::string& title) {
    std::string r = code + "\t" + title + "\t1";
    for (int p = 1; p <= 15; ++p) r += "\t" + std::to_string(p * 10);
    for (int p = 1; p <= 15; ++p) r += "\t" + std::to_string(p);
    return r + "\n";
  }
  double Period(const char* member, int index, int mes) {
    return ToDouble(Call(member, {Variant::FromLong(index), Variant::FromLong(mes)}));
  }
};

TEST_F(ChartWebTest, LeerPlanSendsTheGivenTermsAndLoadsEveryRow) {
  Answer(ChartHeader() + ChartRow("4300001", "Cliente Uno") + "\n" +
         ChartRow("4300002", "Cliente Dos"));
  EXPECT_TRUE(ToBool(Call("LeerPlan", {S("43*"), S("1"), S("Cli*")})));
  EXPECT_EQ(Requests(),
            std::vector<std::string>{Search("CUENTA=43* AND NIVEL=1 AND TITULO=Cli*", "1")});
  ASSERT_EQ(Count("ContadorPlan"), 2);
  EXPECT_EQ(Text("Plan", 1, "Cuenta"), "4300001");
  EXPECT_EQ(Text("Plan", 2, "titulo"), "Cliente Dos");
  EXPECT_EQ(Text("Plan", 2, "Nivel"), "1");
  EXPECT_EQ(Period("PlanDebe", 1, 0), 10);
  EXPECT_EQ(Period("PlanDebe", 1, 14), 150);
  EXPECT_EQ(Period("PlanHaber", 2, 1), 2);
  EXPECT_EQ(Period("PlanDebe", 1, 15), 0);
  EXPECT_EQ(ToDouble(Item("Plan", 1, "DebeEnero")), 20);
  EXPECT_EQ(ToDouble(Item("Plan", 1, "HaberCierre")), 15);

  // Only the terms given; an answer with no row leaves the chart empty.
  Answer(ChartHeader());
  EXPECT_FALSE(ToBool(Call("LeerPlan", {S("4300001")})));
  EXPECT_EQ(Requests().back(), Search("CUENTA=4300001", "1"));
  EXPECT_EQ(Count("ContadorPlan"), 0);
}

TEST_F(ChartWebTest, LeerPlanExSendsARangeAndReadsBudgetMonths) {
  Answer(ChartHeader() + ChartRow("570", "Caja"));
  EXPECT_TRUE(ToBool(Call("LeerPlanEx", {Variant::FromLong(9), S("500"), S(""), S(""), S("599")})));
  EXPECT_EQ(Requests().back(), Search("CUENTA&#62;=500 AND CUENTA&#60;=599", "9"));
  EXPECT_EQ(Period("PlanHaber", 1, 14), 15);

  std::string budget = "1\t2\t3";
  for (int m = 1; m <= 12; ++m) budget += "\t3+" + std::to_string(m);
  budget += "\n6290\tGastos\t4";
  for (int m = 1; m <= 12; ++m) budget += "\t" + std::to_string(m * 100);
  Answer(budget + "\n");
  EXPECT_TRUE(ToBool(Call("LeerPlanEx", {Variant::FromLong(6), S("6290"), S("4")})));
  EXPECT_EQ(Requests().back(), Search("CUENTA=6290 AND NIVEL=4", "6"));
  EXPECT_EQ(Text("Plan", 1, "Nivel"), "4");
  EXPECT_EQ(Period("PlanDebe", 1, 0), 0);
  EXPECT_EQ(Period("PlanDebe", 1, 1), 100);
  EXPECT_EQ(Period("PlanDebe", 1, 12), 1200);
  EXPECT_EQ(Period("PlanDebe", 1, 13), 0);
  EXPECT_EQ(Period("PlanHaber", 1, 5), 0);
}

TEST_F(ChartWebTest, AnErrorAnswerIsRaised) {
  Answer("ERROR: sin permiso");
  std::string description;
  EXPECT_EQ(ErrorOf([&] { Call("LeerPlan", {S("1")}); }, &description), kWebRefusal);
  EXPECT_EQ(description, "ERROR: sin permiso");
}

}  // namespace
}  // namespace qrole::query
