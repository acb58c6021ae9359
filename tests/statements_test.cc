// Account statements and the portfolio's due dates through qrole-server's
// socket: LeerExtracto with its lines, LeerExtractoEx, and LeerCartera,
// MarcarCartera and AnularCartera over due dates posted with an entry.

#include <gtest/gtest.h>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

// 0x8004C353 and 0x8004C356 as a client sees them.
constexpr int32_t kBadDate = -2147171501;
constexpr int32_t kNoCompany = -2147171498;

// Two entries of a 2024 company:
//   000001 01/02/24  4300001 debit 100 "Factura 1", 7000000 credit 100, with
//                    due dates B1 15/04/24 60 and B2 15/05/24 40
//   000002 20/03/24  5720 debit 30, 4300001 credit 30 "Cobro 1" ref "R-3"
class StatementSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = c_.Call(e_, "CrearEmpresa", {"Extractos", "24"}).get<std::string>();
    c_.Call(e_, "AbrirEmpresa", {path_});
    c_.Let(e_, "Fecha", "01/02/24");
    c_.Let(e_, "Número", "");
    c_.Call(e_, "AñadirApunte", {"4300001", "Factura 1", 1, 100, "1"});
    c_.Call(e_, "AñadirApunte", {"7000000", "Factura 1", 2, 100, "1"});
    c_.Call(e_, "AñadirCartera", {"15/04/24", "4300001", "B1", "Plazo 1", 60});
    c_.Call(e_, "AñadirCartera", {"15/05/24", "4300001", "B2", "Plazo 2", 40});
    c_.Call(e_, "GrabarAsiento");
    c_.Let(e_, "Fecha", "20/03/24");
    c_.Let(e_, "Número", "");
    c_.Call(e_, "AñadirApunte", {"5720", "Cobro 1", 1, 30, "1"});
    c_.Call(e_, "AñadirApunte", {"4300001", "Cobro 1", 2, 30, "1", 0, "000", "R-3"});
    c_.Call(e_, "GrabarAsiento");
  }

  // "due date portfolio mark" of every item of the collection LeerCartera
  // gives for `criteria`, "|"-joined.
  std::string Cartera(json criteria = json::array()) {
    int64_t list = HandleOf(c_.Call(e_, "LeerCartera", criteria));
    std::string out;
    int count = c_.Get(list, "Count").get<int>();
    for (int i = 1; i <= count; ++i) {
      int64_t item = HandleOf(c_.Call(list, "Item", {i}));
      out += (i > 1 ? "|" : "") + c_.Get(item, "FechaVencimiento").get<std::string>() + " " +
             c_.Get(item, "cartera").get<std::string>() + " " +
             c_.Get(item, "Marca").get<std::string>();
    }
    return out;
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
  std::string path_;
};

TEST_F(StatementSocketTest, StatementOfAnAccountAndItsText) {
  EXPECT_EQ(c_.Call(e_, "LeerExtracto", {"4300001", "01/03/24"}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorExtracto"), 1);
  int64_t line = HandleOf(c_.Call(e_, "Extracto", {1}));
  EXPECT_EQ(c_.Get(line, "Fecha"), "20/03/24");
  EXPECT_EQ(c_.Get(line, "Asiento"), "000002");
  EXPECT_EQ(c_.Get(line, "Referencia"), "R-3");
  EXPECT_EQ(c_.Get(line, "TIPO"), 2);
  EXPECT_EQ(c_.Get(line, "Importe"), -30);
  EXPECT_EQ(c_.Get(line, "Debe"), 0);
  EXPECT_EQ(c_.Get(line, "Haber"), 30);
  EXPECT_EQ(c_.Get(line, "Saldo"), 70);  // the February invoice counts before it
  EXPECT_EQ(c_.Get(line, "REGISTRO"), 4);
  EXPECT_EQ(c_.Call(e_, "Extracto", {2}), json({{"$object", nullptr}}));

  // A pattern: every matching account in chart order, one balance.
  EXPECT_EQ(c_.Call(e_, "LeerExtracto", {"*0000?"}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorExtracto"), 3);
  EXPECT_EQ(c_.Get(HandleOf(c_.Call(e_, "Extracto", {3})), "Cuenta"), "7000000");
  EXPECT_EQ(c_.Get(HandleOf(c_.Call(e_, "Extracto", {3})), "Saldo"), -30);

  EXPECT_EQ(c_.Call(e_, "LeerExtractoEx", {"4300001"}),
            " 1\t4300001\tC40201\t000001\tFactura 1\t100\t0\t 100\t0\t1\t000\t\r"
            " 4\t4300001\tC40320\t000002\tCobro 1\t0\t-30\t 70\t0\t1\t000\tR-3\r");
  EXPECT_EQ(c_.Call(e_, "LeerExtractoEx", {"4300001", "01/04/24"}), "");

  RemoteError bad = ErrorOf([&] { c_.Call(e_, "LeerExtracto", {"4300001", "01/01/25"}); });
  EXPECT_EQ(bad.number(), kBadDate);
  EXPECT_EQ(bad.source(), "Valdrix OLE Server");
  EXPECT_EQ(c_.Get(e_, "ContadorExtracto"), 0);
  int64_t closed = c_.Create("Enlace");
  EXPECT_EQ(ErrorOf([&] { c_.Call(closed, "LeerExtractoEx", {"4300001"}); }).number(), kNoCompany);
}

TEST_F(StatementSocketTest, DueDatesReadMarkedAndDeleted) {
  EXPECT_EQ(Cartera(), "C40415 B1 |C40515 B2 ");
  int64_t first = HandleOf(c_.Call(HandleOf(c_.Call(e_, "LeerCartera")), "Item", {1}));
  EXPECT_EQ(c_.Get(first, "Cuenta"), "4300001");
  EXPECT_EQ(c_.Get(first, "NOTAS"), "Plazo 1");
  EXPECT_EQ(c_.Get(first, "Importe"), 60);
  EXPECT_EQ(c_.Get(first, "Fecha"), "C40201");
  EXPECT_EQ(c_.Get(first, "Asiento"), "000001");
  EXPECT_EQ(Cartera({"B9"}), "");

  EXPECT_EQ(
      c_.Call(e_, "MarcarCartera", {"P", Missing(), Missing(), Missing(), Missing(), "000001"}), 0);
  EXPECT_EQ(Cartera(), "C40415 B1 P|C40515 B2 P");
  EXPECT_EQ(c_.Call(e_, "MarcarCartera", {"X", "", "01/05/24"}), 0);
  EXPECT_EQ(Cartera(), "C40415 B1 P|C40515 B2 X");

  EXPECT_EQ(c_.Call(e_, "AnularCartera", {"B1"}), 0);
  EXPECT_EQ(Cartera(), "C40515 B2 X");
  EXPECT_EQ(c_.Call(e_, "AnularCartera"), 0);
  EXPECT_EQ(Cartera(), "");

  int64_t closed = c_.Create("Enlace");
  EXPECT_EQ(ErrorOf([&] { c_.Call(closed, "LeerCartera"); }).number(), kNoCompany);
  EXPECT_EQ(ErrorOf([&] { c_.Call(closed, "AnularCartera"); }).number(), kNoCompany);
}

}  // namespace
}  // namespace qrole::testing
