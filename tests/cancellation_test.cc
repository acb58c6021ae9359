// Cancelling entries and journal lines through qrole-server's socket: a whole
// entry with its VAT-book and portfolio lines, a line by its record number,
// the lines of a reference, and the balances they leave.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;
using Kind = qrole::Client::Kind;

constexpr int32_t kNoCompany = -2147171498;  // 0x8004C356
constexpr int32_t kBadDate = -2147171501;    // 0x8004C353
constexpr int32_t kRefused = -2147171494;    // 0x8004C35A

class CancellationSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string path = c_.Call(e_, "CrearEmpresa", {"Anular", "24"}).get<std::string>();
    c_.Call(e_, "AbrirEmpresa", {path});
  }
  // Posts an entry of 15/03/24 of `amount` from `debit` to `credit`, both
  // lines with `reference`; returns its number.
  std::string Post(const std::string& debit, const std::string& credit, double amount,
                   const std::string& reference = "", const std::string& image = "") {
    c_.Let(e_, "Fecha", "15/03/24");
    c_.Let(e_, "Número", "");
    std::string number = c_.Get(e_, "Número").get<std::string>();
    c_.Call(e_, "AñadirApunte", {debit, "Linea", 1, amount, "1", "", "000", reference, "", image});
    c_.Call(e_, "AñadirApunte", {credit, "Linea", 2, amount, "1", "", "000", reference});
    EXPECT_EQ(c_.Call(e_, "GrabarAsiento"), 0);
    return number;
  }
  // Rows of a table that `filter` selects, as Util_LeerDatos gives them.
  int Rows(const std::string& table, const std::string& filter) {
    std::string text = c_.Call(e_, "Util_LeerDatos", {table, "", "", filter}).get<std::string>();
    int rows = 0;
    for (size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++rows;
    return rows;
  }
  double Debit(const std::string& account) {
    EXPECT_EQ(c_.Call(e_, "LeerPlan", {account}), true) << account;
    return c_.Call(e_, "PlanDebe", {1, 3}).get<double>();
  }
  double Credit(const std::string& account) {
    EXPECT_EQ(c_.Call(e_, "LeerPlan", {account}), true) << account;
    return c_.Call(e_, "PlanHaber", {1, 3}).get<double>();
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
};

TEST_F(CancellationSocketTest, AnEntryGoesWithItsVatAndPortfolioLines) {
  c_.Let(e_, "Fecha", "15/03/24");
  c_.Let(e_, "Número", "");
  c_.Call(e_, "AñadirIVA", {"4300001", "4770", "F-1", "15/03/2024", "21", "R", 100, 121});
  c_.Call(e_, "AñadirCartera", {"15/04/24", "4300001", "R", "Recibo", 121});
  const std::string first = Post("4300001", "7000001", 121);
  const std::string second = Post("5720", "4300001", 10);
  ASSERT_EQ(Rows("IVA01", ""), 1);
  ASSERT_EQ(Rows("EFECT", ""), 1);

  EXPECT_EQ(c_.Call(e_, "AnularAsiento", {"15/03/24", first}), 0);
  EXPECT_EQ(Rows("EXTRA", "ASIENTO = " + first), 0);
  EXPECT_EQ(Rows("EXTRA", "ASIENTO = " + second), 2);
  EXPECT_EQ(Rows("IVA01", ""), 0);
  EXPECT_EQ(Rows("EFECT", ""), 0);
  EXPECT_EQ(Debit("4300001"), 0);
  EXPECT_EQ(Credit("4300001"), -10);
  EXPECT_EQ(Credit("700"), 0);
  EXPECT_EQ(Debit("57"), 10);
  // The level the chart lacked is there now, holding what is left below it.
  EXPECT_EQ(Credit("43000"), -10);

  RemoteError date = ErrorOf([&] { c_.Call(e_, "AnularAsiento", {"15/03/25", second}); });
  EXPECT_EQ(date.number(), kBadDate);
  int64_t closed = c_.Create("Enlace");
  RemoteError none = ErrorOf([&] { c_.Call(closed, "AnularAsiento", {"15/03/24", second}); });
  EXPECT_EQ(none.number(), kNoCompany);
}

TEST_F(CancellationSocketTest, AnEntryWithAnAttachedDocumentStays) {
  const std::string pdf = server_.data_dir() + "/factura.pdf";
  std::ofstream(pdf) << "%PDF-1.4 una factura";
  const std::string number = Post("5720", "4300", 10, "", pdf);
  RemoteError locked = ErrorOf([&] { c_.Call(e_, "AnularAsiento", {"15/03/24", number}); });
  EXPECT_EQ(locked.number(), kRefused);
  EXPECT_EQ(locked.source(), "Valdrix OLE Server");
  EXPECT_EQ(locked.description(),
            "No se puede borrar el asiento ya que esta bloqueado segun la Ley de fraude");
  EXPECT_EQ(Rows("EXTRA", ""), 2);
  EXPECT_EQ(Debit("5720"), 10);
}

TEST_F(CancellationSocketTest, LinesByRecordAndByReference) {
  Post("5720", "4300", 10);  // records 1 and 2 of the journal
  json r = c_.Invoke(e_, "AnularApuntePorRegistro", Kind::kMethod, {0});
  EXPECT_EQ(r["value"], false);
  EXPECT_EQ(Rows("EXTRA", ""), 2);

  Post("5720", "4300", 25, "FRA-2024-001");
  EXPECT_EQ(c_.Call(e_, "AnularApuntePorReferencia", {"FRA-2024-001"}), true);
  EXPECT_EQ(Rows("EXTRA", ""), 2);
  EXPECT_EQ(Debit("5720"), 10);
  EXPECT_EQ(Credit("4300"), -10);
  EXPECT_EQ(c_.Call(e_, "AnularApuntePorReferencia", {"  "}), false);

  r = c_.Invoke(e_, "AnularApuntePorRegistro", Kind::kMethod, {1, false});
  EXPECT_EQ(r["value"], false);
  EXPECT_EQ(Rows("EXTRA", ""), 1);
  EXPECT_EQ(Debit("5720"), 0);
  EXPECT_EQ(Credit("4300"), -10);

  int64_t closed = c_.Create("Enlace");
  RemoteError none = ErrorOf([&] { c_.Call(closed, "AnularApuntePorRegistro", {1}); });
  EXPECT_EQ(none.number(), kNoCompany);
}

}  // namespace
}  // namespace qrole::testing
