#include "maintenance/budgets.h"

#include "data/record_file.h"
#include "maintenance/maintenance_test_util.h"

namespace qrole::maintenance {
namespace {

class BudgetsTest : public MaintenanceTest {
 protected:
  void SetUp() override { OpenCompany(); }

  bool Crear(const std::string& code, const std::string& title, const std::string& level = "0",
             const std::string& analytic = "0") {
    return Call("CrearPresupuesto", {S(code), S(title), S(level), S(analytic)}).value.boolean();
  }
  bool Modificar(const std::string& code, int32_t month, double amount) {
    return Call("ModificarPresupuesto",
                {S(code), Variant::FromLong(month), Variant::FromDouble(amount)})
        .value.boolean();
  }
  // Every month of a budget account, "m=amount" joined by blanks.
  std::string Months(const std::string& code) {
    std::string all;
    for (int m = 0; m < 12; ++m) all += (m ? " " : "") + Text("PRESU", code, 3, m);
    return all;
  }
};

TEST_F(BudgetsTest, CreatesABudgetAccountAndSetsItsMonths) {
  EXPECT_TRUE(Crear("6000", "Compras", "3", "1"));
  EXPECT_EQ(Count("PRESU", "6000"), 1);
  EXPECT_EQ(Text("PRESU", "6000", 2), "Compras");
  EXPECT_EQ(Text("PRESU", "6000", 4), "3");
  EXPECT_EQ(Text("PRESU", "6000", 5), "1");
  EXPECT_EQ(Months("6000"), "0 0 0 0 0 0 0 0 0 0 0 0");

  EXPECT_TRUE(Modificar("6000", 1, 100));
  EXPECT_TRUE(Modificar("6000", 3, 1500.5));
  EXPECT_TRUE(Modificar("6000", 12, -20));
  EXPECT_EQ(Months("6000"), "100 0 1500,5 0 0 0 0 0 0 0 0 -20");
  // A second account does not disturb the first.
  EXPECT_TRUE(Crear("7000", "Ventas"));
  EXPECT_TRUE(Modificar("7000", 3, 9));
  EXPECT_EQ(Text("PRESU", "6000", 3, 2), "1500,5");
  EXPECT_EQ(Text("PRESU", "7000", 3, 2), "9");
}

TEST_F(BudgetsTest, CreatingAnExistingAccountResetsIt) {
  ASSERT_TRUE(Crear("6000", "Compras", "3", "1"));
  ASSERT_TRUE(Modificar("6000", 5, 250));
  EXPECT_TRUE(Crear("6000", "Compras de mercaderias"));
  EXPECT_EQ(Count("PRESU", "6000"), 1);
  EXPECT_EQ(Text("PRESU", "6000", 2), "Compras de mercaderias");
  EXPECT_EQ(Text("PRESU", "6000", 4), "0");
  EXPECT_EQ(Text("PRESU", "6000", 5), "0");
  EXPECT_EQ(Months("6000"), "0 0 0 0 0 0 0 0 0 0 0 0");
}

TEST_F(BudgetsTest, RefusalsWriteNothing) {
  ASSERT_TRUE(Crear("6000", "Compras"));
  EXPECT_FALSE(Modificar("6000", 13, 5));
  EXPECT_FALSE(Modificar("6000", 0, 5));
  EXPECT_EQ(Months("6000"), "0 0 0 0 0 0 0 0 0 0 0 0");
  EXPECT_FALSE(Modificar("X", 1, 5));
  EXPECT_EQ(Count("PRESU", "X"), 0);
  // Codes the code field cannot hold as written.
  ASSERT_TRUE(Crear("6000000000", "Diez"));
  EXPECT_FALSE(Crear("60000000001", "Once"));
  EXPECT_FALSE(Modificar("60000000001", 1, 5));
  EXPECT_EQ(Count("PRESU", "6000000000"), 1);
  EXPECT_EQ(Text("PRESU", "6000000000", 2), "Diez");
  EXPECT_EQ(Text("PRESU", "6000000000", 3, 0), "0");
  EXPECT_FALSE(Crear(" ", "Nada"));
}

TEST_F(BudgetsTest, FailuresAreAnsweredFalseNotRaised) {
  ASSERT_TRUE(Crear("6000", "Compras"));
  // Files kept open from the call before are let go, so that the table is
  // really opened (as by a process that starts now).
  data::CloseAllFiles();
  env_.faults().FailOpen(TablePath("PRESU"), platform::Status::Busy("en uso"));
  EXPECT_FALSE(Crear("7000", "Ventas"));
  EXPECT_FALSE(Modificar("6000", 1, 5));
  env_.faults().Reset();
  EXPECT_EQ(Count("PRESU", "7000"), 0);
  EXPECT_EQ(Text("PRESU", "6000", 3, 0), "0");
  EXPECT_TRUE(Modificar("6000", 1, 5));
}

}  // namespace
}  // namespace qrole::maintenance
