#include "query/statements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "automation/record_object.h"
#include "platform/fake_clock.h"
#include "platform/scoped_temp_dir.h"
#include "qrole/error.h"
#include "query/web_query_test_util.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace qrole::query {
namespace {

class StatementEnv : public server::TestEnv {
 public:
  explicit StatementEnv(const std::string& registry)
      : TestEnv(registry), clock_(platform::LocalDateTime{2026, 12, 8, 9, 5, 7}) {}
  platform::Clock& GetClock() override { return clock_; }

 private:
  platform::FakeClock clock_;
};

// One journal line to post: account, side (1 debit, 2 credit), amount and
// the optional fields after them.
struct Line {
  std::string cuenta;
  int tipo;
  double importe;
  std::string descripcion = "Linea";
  std::string diario = "1";
  int punteo = 0;
  std::string canal = "000";
  std::string referencia = "";
};

int32_t ErrorNumber(const std::function<void()>& f, std::string* description = nullptr) {
  try {
    f();
  } catch (const AutomationError& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

// A 2024 company with entries on two customers, the bank and sales:
//   000001 01/02/24  4300001 debit 100, 7000000 credit 100
//   000002 15/03/24  4300002 debit 80,  7000000 credit 80
//   000003 20/03/24  5720 debit 30,     4300001 credit 30 ("Cobro 1")
//   000004 10/05/24  4300001 debit 0.1, 7000000 credit 0.1
//   000005 11/05/24  4300001 debit 0.2, 7000000 credit 0.2
// Journal records are numbered in posting order (the credit of 000003 is 6).
class StatementTest : public ::testing::Test {
 protected:
  StatementTest() : env_(Registry()) {}

  std::string Registry() {
    data_dir_ = dirs_.path() + "/datos/";
    platform::CurrentEnv()->Files().CreateDirectories(data_dir_).IgnoreError();
    return "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ + "\nVersion=7.5\n";
  }

  void SetUp() override {
    Call("CrearEmpresa", {S("Extractos"), S("24")});
    Call("AbrirEmpresa", {S("Extractos")});
    ASSERT_TRUE(e_->company_open());
    Post("01/02/24", {{"4300001", 1, 100, "Factura 1"}, {"7000000", 2, 100}});
    Post("15/03/24", {{"4300002", 1, 80, "Factura 2"}, {"7000000", 2, 80}});
    Post("20/03/24", {{"5720", 1, 30}, {"4300001", 2, 30, "Cobro 1", "1", 2, "005", "R-3"}});
    Post("10/05/24", {{"4300001", 1, 0.1}, {"7000000", 2, 0.1}});
    Post("11/05/24", {{"4300001", 1, 0.2}, {"7000000", 2, 0.2}});
  }

  InvokeResult Call(const std::string& name, std::vector<Variant> args = {},
                    typelib::Kind kind = typelib::Kind::kMethod) {
    return Invoke(*e_, name, kind, std::move(args));
  }
  Variant Get(const std::string& name) { return Call(name, {}, typelib::Kind::kGet).value; }
  static Variant S(const std::string& s) { return Variant::FromString(s); }
  static Variant D(double d) { return Variant::FromDouble(d); }
  static Variant B(int b) { return Variant::FromByte(static_cast<uint8_t>(b)); }

  // Posts one entry under the next number, with analytic lines `analytic`
  // (journal account, cost centre, amount) after the journal lines.
  void Post(const std::string& fecha, const std::vector<Line>& lines,
            const std::vector<std::tuple<std::string, std::string, double>>& analytic = {}) {
    Call("Fecha", {S(fecha)}, typelib::Kind::kLet);
    Call("Número", {S("")}, typelib::Kind::kLet);
    for (const Line& l : lines) {
      Call("AñadirApunte", {S(l.cuenta), S(l.descripcion), B(l.tipo), D(l.importe), S(l.diario),
                            Variant::FromLong(l.punteo), S(l.canal), S(l.referencia)});
    }
    for (const auto& [cuenta, centro, importe] : analytic)
      Call("AñadirAnalitica", {S(cuenta), S(centro), S(""), B(1), D(importe), S("1")});
    ASSERT_EQ(Call("GrabarAsiento").value, Variant::FromInteger(0));
  }

  bool Leer(const std::string& cuenta, const std::string& desde = "", const std::string& hasta = "",
            int archivo = kExtractoDiario) {
    return ToBool(
        Call("LeerExtracto", {S(cuenta), S(desde), S(hasta), Variant::FromLong(archivo)}).value);
  }
  std::string LeerEx(const std::string& cuenta, const std::string& desde = "",
                     const std::string& hasta = "") {
    return Call("LeerExtractoEx", {S(cuenta), S(desde), S(hasta)}).value.str();
  }
  int32_t Count() { return Get("ContadorExtracto").long_value(); }
  std::shared_ptr<RecordObject> Item(int32_t i) {
    return std::dynamic_pointer_cast<RecordObject>(
        Call("Extracto", {Variant::FromLong(i)}).value.object());
  }
  // Account, amount and balance of every statement line, "|"-joined.
  std::string Summary() {
    std::string out;
    for (int32_t i = 1; i <= Count(); ++i) {
      auto l = Item(i);
      out += (i > 1 ? " | " : "") + l->GetStr("Cuenta") + " " + ToStr(l->Get("Importe")) + " " +
             ToStr(l->Get("Saldo"));
    }
    return out;
  }

  platform::ScopedTempDir dirs_;
  std::string data_dir_;
  StatementEnv env_;
  std::shared_ptr<server::Enlace> e_ = server::Enlace::Create();
};

TEST_F(StatementTest, ALineCarriesEveryFieldOfItsJournalRecord) {
  ASSERT_TRUE(Leer("4300001", "20/03/24", "20/03/24"));
  ASSERT_EQ(Count(), 1);
  auto l = Item(1);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->GetStr("Fecha"), "20/03/24");
  EXPECT_EQ(l->GetStr("Cuenta"), "4300001");
  EXPECT_EQ(l->GetStr("Asiento"), "000003");
  EXPECT_EQ(l->GetStr("Descripción"), "Cobro 1");
  EXPECT_EQ(l->Get("TIPO"), B(2));
  EXPECT_EQ(l->Get("Importe"), D(-30));
  // A credit shows its amount as a positive credit.
  EXPECT_EQ(l->Get("Debe"), D(0));
  EXPECT_EQ(l->Get("Haber"), D(30));
  EXPECT_EQ(l->GetStr("Diario"), "1");
  EXPECT_EQ(l->Get("Punteo"), B(2));
  EXPECT_EQ(l->GetStr("Canal"), "005");
  EXPECT_EQ(l->GetStr("Referencia"), "R-3");
  EXPECT_EQ(l->GetStr("Moneda"), "0");
  EXPECT_EQ(l->Get("CambioMoneda"), D(1));
  EXPECT_EQ(l->Get("ValorEnMoneda"), D(-30));
  EXPECT_EQ(l->GetStr("Usuario"), "98");
  EXPECT_EQ(l->GetStr("FechaGrabacion"), "C61208");  // the day it was posted, as stored
  EXPECT_EQ(l->Get("REGISTRO"), Variant::FromLong(6));
  // The opening balance (the invoice of February) is in the first balance.
  EXPECT_EQ(l->Get("Saldo"), D(70));

  // A debit shows the reverse.
  ASSERT_TRUE(Leer("4300001", "", "01/02/24"));
  ASSERT_EQ(Count(), 1);
  EXPECT_EQ(Item(1)->Get("Debe"), D(100));
  EXPECT_EQ(Item(1)->Get("Haber"), D(0));
  EXPECT_EQ(Item(1)->Get("TIPO"), B(1));
  EXPECT_EQ(Item(1)->Get("Saldo"), D(100));
  EXPECT_EQ(Item(1)->Get("REGISTRO"), Variant::FromLong(1));
}

TEST_F(StatementTest, TheRangeListsItsLinesAfterAnOpeningBalance) {
  // The whole year, with the balance rounded at every line.
  ASSERT_TRUE(Leer("4300001"));
  EXPECT_EQ(Summary(), "4300001 100 100 | 4300001 -30 70 | 4300001 0,1 70,1 | 4300001 0,2 70,3");
  EXPECT_EQ(Item(4)->Get("Saldo"), D(70.3));

  // From March on: the February line only counts in the balance; May is out.
  ASSERT_TRUE(Leer("4300001", "01/03/24", "30/04/24"));
  EXPECT_EQ(Summary(), "4300001 -30 70");
  // A range after every line: nothing listed, the last statement is gone.
  EXPECT_FALSE(Leer("4300001", "01/06/24", "31/12/24"));
  EXPECT_EQ(Count(), 0);
  // An account without lines, and one that does not exist.
  EXPECT_FALSE(Leer("4300003"));
  EXPECT_FALSE(Leer("99999999999"));
  // The account is the whole code, not a prefix of longer ones.
  EXPECT_FALSE(Leer("430000"));

  // Accessors at the edges of the collection.
  ASSERT_TRUE(Leer("4300002"));
  EXPECT_EQ(Count(), 1);
  EXPECT_TRUE(Call("Extracto", {Variant::FromLong(0)}).value.IsNothing());
  EXPECT_TRUE(Call("Extracto", {Variant::FromLong(2)}).value.IsNothing());
}

// An account with more lines than a read window holds, between a
// neighbour whose code it begins (4300009 in 43000091) and one just below.
TEST_F(StatementTest, ALongStatementKeepsEveryLineInOrderAcrossItsReadWindows) {
  // Entry i (0..74) on day 1 + i % 28 of month 1 + i / 28: 4300009 debit
  // i + 1, 43000091 and 4300008 debit 1000 each.
  for (int i = 0; i < 75; ++i) {
    char fecha[16];
    std::snprintf(fecha, sizeof fecha, "%02d/%02d/24", 1 + i % 28, 1 + i / 28);
    Post(fecha, {{"43000091", 1, 1000},
                 {"4300009", 1, static_cast<double>(i + 1)},
                 {"4300008", 1, 1000},
                 {"7000000", 2, 2000.0 + i + 1}});
  }
  ASSERT_TRUE(Leer("4300009"));
  ASSERT_EQ(Count(), 75);
  double balance = 0;
  std::string previous;
  for (int32_t n = 1; n <= 75; ++n) {
    auto l = Item(n);
    balance += n;
    ASSERT_EQ(l->GetStr("Cuenta"), "4300009") << n;
    EXPECT_EQ(l->Get("Importe"), D(n)) << n;
    EXPECT_EQ(l->Get("Saldo"), D(balance)) << n;
    // Dated in order (the stored form "yymmdd" sorts as the dates do).
    const std::string f = l->GetStr("Fecha");
    const std::string sortable = f.substr(6, 2) + f.substr(3, 2) + f.substr(0, 2);
    EXPECT_LE(previous, sortable) << n;
    previous = sortable;
  }

  // From a day with a line to a day with a line, both kept: 10/02 is entry
  // 37, 05/03 entry 60; the 37 lines before count in the first balance
  // (1 + ... + 37 = 703).
  ASSERT_TRUE(Leer("4300009", "10/02/24", "05/03/24"));
  ASSERT_EQ(Count(), 24);
  EXPECT_EQ(Item(1)->GetStr("Fecha"), "10/02/24");
  EXPECT_EQ(Item(1)->Get("Saldo"), D(703 + 38));
  EXPECT_EQ(Item(24)->GetStr("Fecha"), "05/03/24");
  EXPECT_EQ(Item(24)->Get("Saldo"), D(61 * 62 / 2));
  // The days around them are out.
  ASSERT_TRUE(Leer("4300009", "11/02/24", "04/03/24"));
  EXPECT_EQ(Count(), 22);
  EXPECT_EQ(Item(1)->Get("Saldo"), D(741 + 39));

  // The text form lists the same lines, its balance from the first of them.
  const std::string text = LeerEx("4300009", "10/02/24", "05/03/24");
  ASSERT_EQ(std::count(text.begin(), text.end(), '\r'), 24);
  EXPECT_EQ(text.find("43000091"), std::string::npos);
  EXPECT_NE(text.find("\t 1188\t"), std::string::npos);  // 38 + ... + 61
  EXPECT_EQ(LeerEx("4300009").size(), LeerEx("4300009", "", "31/12/24").size());
  // The neighbours are whole statements of their own.
  ASSERT_TRUE(Leer("43000091"));
  EXPECT_EQ(Count(), 75);
  ASSERT_TRUE(Leer("4300008", "", "31/01/24"));
  EXPECT_EQ(Count(), 28);
  EXPECT_EQ(Item(28)->Get("Saldo"), D(28000));
}

TEST_F(StatementTest, APatternListsEveryMatchingAccountWithOneBalance) {
  ASSERT_TRUE(Leer("43*", "01/03/24", "30/04/24"));
  // Chart order; the second account's opening balance is 0 (it has no line
  // before March), the first's is 100 and carries on.
  EXPECT_EQ(Summary(), "4300001 -30 70 | 4300002 80 150");

  // "?" stands for one character of the code.
  Post("12/05/24", {{"4300010", 1, 5}, {"7000000", 2, 5}});
  ASSERT_TRUE(Leer("430000?", "01/05/24"));
  EXPECT_EQ(Summary(), "4300001 0,1 70,1 | 4300001 0,2 70,3");
  ASSERT_TRUE(Leer("43000?0"));
  EXPECT_EQ(Summary(), "4300010 5 5");
  EXPECT_FALSE(Leer("44*"));
}

TEST_F(StatementTest, AnalyticStatementsReadTheCostCentreLines) {
  Call("CrearCuenta", {S("6280001"), S("Luz"), S("0"), Variant::FromBool(true)});
  Call("CrearAnalitica", {S("101"), S("Taller")});
  Call("CrearAnalitica", {S("102"), S("Oficina")});
  Post("10/04/24", {{"6280001", 1, 100, "Luz abril"}, {"5720", 2, 100}},
       {{"6280001", "101", 60}, {"6280001", "102", 40}});
  Post("10/05/24", {{"6280001", 1, 50, "Luz mayo"}, {"5720", 2, 50}}, {{"6280001", "101", 50}});

  ASSERT_TRUE(Leer("101", "", "", kExtractoAnalitico));
  EXPECT_EQ(Summary(), "101 60 60 | 101 50 110");
  auto l = Item(1);
  EXPECT_EQ(l->GetStr("Fecha"), "10/04/24");
  EXPECT_EQ(l->GetStr("Descripción"), "Luz abril");
  EXPECT_EQ(l->GetStr("Asiento"), "000006");
  EXPECT_EQ(l->Get("REGISTRO"), Variant::FromLong(1));
  EXPECT_EQ(l->Get("Debe"), D(60));

  ASSERT_TRUE(Leer("1*", "01/05/24", "", kExtractoAnalitico));
  EXPECT_EQ(Summary(), "101 50 110");
  ASSERT_TRUE(Leer("10?", "", "30/04/24", kExtractoAnalitico));
  EXPECT_EQ(Summary(), "101 60 60 | 102 40 100");
  // The journal account is not an analytic account code.
  EXPECT_FALSE(Leer("6280001", "", "", kExtractoAnalitico));
  EXPECT_EQ(ErrorNumber([&] { Leer("101", "", "", 3); }), runtime_error::kInvalidCall);
}

TEST_F(StatementTest, TheTextFormHasTwelveColumnsAndNoOpeningBalance) {
  EXPECT_EQ(LeerEx("4300001", "01/03/24"),
            " 6\t4300001\tC40320\t000003\tCobro 1\t0\t-30\t-30\t2\t1\t005\tR-3\r"
            " 7\t4300001\tC40510\t000004\tLinea\t.1\t0\t-29.9\t0\t1\t000\t\r"
            " 9\t4300001\tC40511\t000005\tLinea\t.2\t0\t-29.7\t0\t1\t000\t\r");
  EXPECT_EQ(LeerEx("4300001", "", "01/02/24"),
            " 1\t4300001\tC40201\t000001\tFactura 1\t100\t0\t 100\t0\t1\t000\t\r");
  // The May lines of the first account, after the range, do not reach the
  // balance of the second.
  EXPECT_EQ(LeerEx("43*", "15/03/24", "20/03/24"),
            " 6\t4300001\tC40320\t000003\tCobro 1\t0\t-30\t-30\t2\t1\t005\tR-3\r"
            " 3\t4300002\tC40315\t000002\tFactura 2\t80\t0\t 50\t0\t1\t000\t\r");
  EXPECT_EQ(LeerEx("4300001", "01/06/24"), "");
  EXPECT_EQ(LeerEx("4300003"), "");
}

TEST_F(StatementTest, DatesOutsideTheYearAndClosedCompaniesAreRefused) {
  ASSERT_TRUE(Leer("4300001"));
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Leer("4300001", "01/01/25"); }, &text), ObjectError(50003));
  EXPECT_NE(text.find("Fecha no válida: 01/01/25"), std::string::npos) << text;
  EXPECT_EQ(Count(), 0);  // nothing is loaded
  EXPECT_EQ(ErrorNumber([&] { Leer("4300001", "", "31/02/24"); }), ObjectError(50003));
  EXPECT_EQ(ErrorNumber([&] { LeerEx("4300001", "1/1/24"); }), ObjectError(50003));
  EXPECT_EQ(ErrorNumber([&] { LeerEx("4300001", "", "31/12/23"); }), ObjectError(50003));
  // Six-digit dates are read too.
  ASSERT_TRUE(Leer("4300001", "240501", "240510"));
  EXPECT_EQ(Summary(), "4300001 0,1 70,1");

  auto closed = server::Enlace::Create();
  EXPECT_EQ(
      ErrorNumber([&] { Invoke(*closed, "LeerExtracto", typelib::Kind::kMethod, {S("4300001")}); }),
      ObjectError(50006));
  EXPECT_EQ(ErrorNumber(
                [&] { Invoke(*closed, "LeerExtractoEx", typelib::Kind::kMethod, {S("4300001")}); }),
            ObjectError(50006));
  Call("CerrarEmpresa");
  EXPECT_EQ(ErrorNumber([&] { Leer("4300001"); }), ObjectError(50006));
}

// On the web a statement is one search of the service.
class StatementWebTest : public WebQueryTest {
 protected:
  static constexpr const char* kHeader = "1\t2\t3\t4\t5\t6\t7\t8\t14\t22\n";
};

TEST_F(StatementWebTest, LeerExtractoLoadsTheAnswerWithAFreshBalance) {
  const std::string rows = std::string(kHeader) +
                           "01/01/24\t4300\t1\tFactura\t1\t100\t0\t1\t001\tF-1\n"
                           "02/01/24\t4300\t2\tCobro\t2\t-40.5\t0\t1\t001\t\n";
  Answer(rows);
  EXPECT_TRUE(ToBool(Call("LeerExtracto", {S("4300"), S("01/01/24"), S("31/01/24")})));
  EXPECT_EQ(Requests().back(),
            Search("CUENTA=4300 AND FECHA=&#62;01/01/24 AND FECHA&#60;=31/01/24", "2"));
  ASSERT_EQ(Count("ContadorExtracto"), 2);
  EXPECT_EQ(Text("Extracto", 1, "Referencia"), "F-1");
  EXPECT_EQ(ToDouble(Item("Extracto", 2, "Haber")), 40.5);
  EXPECT_EQ(ToDouble(Item("Extracto", 2, "Saldo")), 59.5);

  // The next statement starts again from 0; the analytic one names file 10.
  Answer(rows);
  EXPECT_TRUE(ToBool(Call("LeerExtracto", {S("4300"), S(""), S(""), Variant::FromLong(10)})));
  EXPECT_EQ(Requests().back(), Search("CUENTA=4300", "10"));
  EXPECT_EQ(ToDouble(Item("Extracto", 1, "Saldo")), 100);

  Answer(kHeader);
  EXPECT_FALSE(ToBool(Call("LeerExtracto", {S("4301")})));
  EXPECT_EQ(Count("ContadorExtracto"), 0);
}

TEST_F(StatementWebTest, LeerExtractoExWritesOneLinePerRowWithAnAccount) {
  Answer(std::string(kHeader) +
         "01/01/24\t4300\t1\tFactura\t1\t100\t0\t1\t001\tF-1\n"
         "\t \t\t\t\t999\n"
         "02/01/24\t4300\t2\tCobro\t2\t-40.5\t1\tA\t002\t\n");
  EXPECT_EQ(ToStr(Call("LeerExtractoEx", {S("4300"), S(""), S("31/01/24")})),
            " 1\t4300\t01/01/24\t1\tFactura\t100\t0\t 100\t0\t1\t001\tF-1\r\n"
            " 3\t4300\t02/01/24\t2\tCobro\t0\t-40.5\t 59.5\t1\tA\t002\t\r\n");
  EXPECT_EQ(Requests().back(), Search("CUENTA=4300 AND FECHA&#60;=31/01/24", "EXTRA"));

  Answer("ERROR: cuenta bloqueada");
  EXPECT_EQ(ErrorOf([&] { Call("LeerExtractoEx", {S("4300")}); }), kWebRefusal);
}

}  // namespace
}  // namespace qrole::query
