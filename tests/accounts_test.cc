// Accounts of the three charts and budget accounts through qrole-server's
// socket: creation with automatic numbering, the level codes, budgets and
// the deletion of an account with its master data.

#include <gtest/gtest.h>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;
using Kind = qrole::Client::Kind;

class AccountsSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string path = c_.Call(e_, "CrearEmpresa", {"Cuentas", "24"}).get<std::string>();
    c_.Call(e_, "AbrirEmpresa", {path});
  }
  // The rows of a table whose CUENTA is `code`, as Util_LeerDatos gives them.
  std::string Rows(const std::string& table, const std::string& code) {
    return c_.Call(e_, "Util_LeerDatos", {table, "CUENTA", code}).get<std::string>();
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
};

TEST_F(AccountsSocketTest, CreatesAccountsAndNumbersThem) {
  json r = c_.Invoke(e_, "CrearCuenta", Kind::kMethod, {"4300*", "Cliente"});
  EXPECT_EQ(r["value"], true);
  EXPECT_EQ(r["byref"]["0"], "4300000001");
  EXPECT_EQ(Rows("PLANC", "4300000001").substr(0, 19), "4300000001\tCliente ");
  r = c_.Invoke(e_, "CrearCuenta", Kind::kMethod, {"4300*", "Cliente"});
  EXPECT_EQ(r["byref"]["0"], "4300000002");

  // -1 on a missing account: created with level 0, given back.
  r = c_.Invoke(e_, "CrearCuenta", Kind::kMethod, {"5720001", "Banco", "-1"});
  EXPECT_EQ(r["value"], true);
  EXPECT_EQ(r["byref"]["2"], "0");
  // -1 on an existing one: the title changes.
  EXPECT_EQ(c_.Call(e_, "CrearCuenta", {"5720001", "Banco Uno", "-1"}), true);
  std::string row = Rows("PLANC", "5720001");
  EXPECT_NE(row.find("\tBanco Uno "), std::string::npos) << row;
  // Another level on an existing account writes nothing.
  EXPECT_EQ(c_.Call(e_, "CrearCuenta", {"5720001", "Otro", "2"}), true);
  EXPECT_EQ(Rows("PLANC", "5720001"), row);

  EXPECT_EQ(c_.Call(e_, "CrearAnalitica", {"0001", "Taller"}), true);
  EXPECT_EQ(Rows("Costo", "0001").substr(0, 11), "0001      \t");
  EXPECT_EQ(Rows("PLANC", "0001"), "");
  EXPECT_EQ(c_.Call(e_, "CrearAlterna", {"1*", "Capital"}), true);
  EXPECT_EQ(Rows("PlanA", "1000000001").substr(0, 11), "1000000001\t");
}

TEST_F(AccountsSocketTest, BudgetAccounts) {
  EXPECT_EQ(c_.Call(e_, "CrearPresupuesto", {"6000", "Compras"}), true);
  EXPECT_EQ(c_.Call(e_, "ModificarPresupuesto", {"6000", 3, 1500}), true);
  EXPECT_EQ(c_.Call(e_, "ModificarPresupuesto", {"6000", 13, 5}), false);
  EXPECT_EQ(c_.Call(e_, "ModificarPresupuesto", {"6001", 1, 5}), false);
  std::string row = Rows("Presu", "6000");
  EXPECT_NE(row.find("\t0\t0\t1500\t0\t"), std::string::npos) << row;
  // Creating it again resets the months.
  EXPECT_EQ(c_.Call(e_, "CrearPresupuesto", {"6000", "Compras"}), true);
  EXPECT_EQ(Rows("Presu", "6000").find("1500"), std::string::npos);
}

TEST_F(AccountsSocketTest, DeletesAnAccountAndNeedsAnOpenCompany) {
  c_.Call(e_, "CrearCuenta", {"4300001", "Cliente Uno"});
  EXPECT_EQ(c_.Call(e_, "AnularCuenta", {"4300001"}), true);
  EXPECT_EQ(Rows("PLANC", "4300001"), "");
  EXPECT_EQ(c_.Call(e_, "AnularCuenta", {"4300001"}), false);
  EXPECT_EQ(c_.Call(e_, "NumeroEmpresa"), "01");  // still open
  EXPECT_NE(Rows("PLANC", "4300"), "");

  int64_t closed = c_.Create("Enlace");
  RemoteError none = ErrorOf([&] { c_.Call(closed, "AnularCuenta", {"4300"}); });
  EXPECT_EQ(none.number(), -2147171498);  // 0x8004C356
  none = ErrorOf([&] { c_.Call(closed, "CrearCuenta", {"4300*", "x"}); });
  EXPECT_EQ(none.number(), -2147171498);
}

}  // namespace
}  // namespace qrole::testing
