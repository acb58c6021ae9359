// The entry being built, through qrole-server's socket: its lines, the
// posting log they go to, and entry numbers with their conflicts.

#include <gtest/gtest.h>

#include <ctime>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;
using Kind = qrole::Client::Kind;

class EntrySocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = c_.Call(e_, "CrearEmpresa", {"Diario", "24"}).get<std::string>();
    c_.Call(e_, "AbrirEmpresa", {path_});
  }
  // The company's posting log of this year.
  std::string Log() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string dir = server_.data_dir();
    if (dir.back() != '/') dir += '/';
    return ReadFileText(dir + "QROLE_01_" + std::to_string(1900 + local.tm_year) + ".log");
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
  std::string path_;
};

TEST_F(EntrySocketTest, LinesOfAnEntryAndTheirLog) {
  json r = c_.Invoke(e_, "AñadirApunte", Kind::kMethod,
                     {"4300001", "Factura 12", 1, 1210.5, "1", "", "002", "R-12"});
  EXPECT_EQ(r["byref"]["5"], 0);  // the empty Punteo comes back as 0
  int64_t line = HandleOf(r["value"]);
  EXPECT_EQ(c_.Get(line, "Cuenta"), "4300001");
  EXPECT_EQ(c_.Get(line, "Canal"), "002");
  c_.Let(line, "Importe", 1210.75);  // the pending line itself
  EXPECT_EQ(c_.Get(HandleOf(c_.Call(e_, "Apunte", {1})), "Importe"), 1210.75);

  EXPECT_TRUE(c_.Call(e_, "AddEntry", {"7000000", "Factura 12", 2, 1000, "1"}).is_null());
  json iva =
      c_.Call(e_, "AñadirIVA", {"4300001", "4770000", "12", "15/03/2024", "G", "R", 1000, 1210});
  EXPECT_EQ(c_.Get(HandleOf(iva), "FechaFactura"), "C40315");
  EXPECT_EQ(c_.Get(HandleOf(iva), "SII_Codigo"), "0000");
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 2);
  EXPECT_EQ(c_.Get(e_, "ContadorIva"), 1);
  EXPECT_EQ(c_.Call(e_, "Apunte", {3}), json({{"$object", nullptr}}));  // Nothing

  std::string log = Log();
  EXPECT_NE(log.find("\t7.5.1\t"), std::string::npos);
  EXPECT_NE(log.find("\t01\t"), std::string::npos);
  EXPECT_NE(log.find("\t" + path_ +
                     "\tSe a\xF1"
                     "ade un apunte: Cuenta=4300001;"
                     "Descripci\xF3n=Factura 12;Tipo=1;Importe=1210,5;Diario=1;Punteo=0;"
                     "Canal=002;Referencia=R-12;Notas=;Archivo=\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("FechaFactura=15/03/2024;"), std::string::npos);
  // A bad Punteo adds nothing.
  RemoteError bad = ErrorOf([&] { c_.Call(e_, "AñadirApunte", {"4300001", "x", 1, 1, "1", 256}); });
  EXPECT_EQ(bad.number(), 6);
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 2);
}

TEST_F(EntrySocketTest, NumbersFromTheCounterAndTheirConflicts) {
  c_.Call(e_, "PutTotal", {"CONTADORASIENTOS", "000041"});
  c_.Let(e_, "Número", "");
  EXPECT_EQ(c_.Get(e_, "Número"), "000042");
  // A proposal reserves its number: the counter has moved on already, and
  // another object (or process) is offered the next one.
  EXPECT_EQ(c_.Call(e_, "GetTotal", {"CONTADORASIENTOS"}), "000042");
  int64_t second = c_.Create("Enlace");
  c_.Call(second, "AbrirEmpresa", {path_});
  c_.Let(second, "Número", "");
  EXPECT_EQ(c_.Get(second, "Número"), "000043");
  // Storing an older number never takes the counter back.
  c_.Call(e_, "GrabarNuevoNumeroAsiento");
  EXPECT_EQ(c_.Call(e_, "GetTotal", {"CONTADORASIENTOS"}), "000043");
  c_.Let(e_, "Number", "");
  EXPECT_EQ(c_.Get(e_, "Number"), "000044");

  c_.Call(e_, "AñadirApunte", {"4300001", "x", 1, 1, "1"});
  EXPECT_EQ(c_.Call(e_, "IsNumeroAsiento", {"000044", false}), false);
  EXPECT_EQ(c_.Call(e_, "IsNumeroAsiento", {"  ", false}), false);  // the current one, 000044
  // An object that has no number yet checks a blank one, which is never
  // free: the user is told and posting stops.
  int64_t other = c_.Create("Enlace");
  c_.Call(other, "AbrirEmpresa", {path_});
  c_.Call(other, "AñadirApunte", {"4300001", "x", 1, 1, "1"});
  json r = c_.Invoke(other, "IsNumeroAsiento", Kind::kMethod, {"", true});
  EXPECT_EQ(r["value"], true);
  ASSERT_TRUE(r.contains("messages")) << r;
  EXPECT_EQ(r["messages"][0]["title"], "NOTA");
  EXPECT_EQ(r["messages"][0]["icon"], "information");
  EXPECT_EQ(c_.Get(other, "ContadorApuntes"), 0);  // closed and emptied
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 1);     // another object's entry stays
  EXPECT_NE(Log().find("N\xDAMERO ASIENTO EN CONFLICTO:\r\n"), std::string::npos);

  c_.Let(e_, "Número", "A-7");
  EXPECT_EQ(c_.Get(e_, "Número"), "A-7");
  c_.Call(e_, "GrabarNuevoNumeroAsiento");  // a client's own number is not stored
  EXPECT_EQ(c_.Call(e_, "GetTotal", {"CONTADORASIENTOS"}), "000044");

  int64_t closed = c_.Create("Enlace");
  RemoteError none = ErrorOf([&] { c_.Let(closed, "Número", ""); });
  EXPECT_EQ(none.number(), -2147171498);  // 0x8004C356
}

TEST_F(EntrySocketTest, PostingsRefusedWhileStoppedAreErrors) {
  c_.Let(e_, "Fecha", "15/03/24");
  c_.Let(e_, "Número", "");
  c_.Call(e_, "AñadirApunte", {"5720", "Uno", 1, 10, "1"});
  c_.Call(e_, "GrabarAsiento");
  // A counter set back makes the next proposal a number the journal holds:
  // posting stops for the process, and every posting of every object is
  // refused with an error from then on.
  int64_t other = c_.Create("Enlace");
  c_.Call(other, "AbrirEmpresa", {path_});
  c_.Let(other, "Fecha", "15/03/24");
  c_.Call(other, "PutTotal", {"CONTADORASIENTOS", "000000"});
  c_.Let(other, "Número", "");
  c_.Call(other, "AñadirApunte", {"5720", "Dos", 1, 10, "1"});
  for (int64_t object : {other, e_}) {
    c_.Call(object, "AñadirApunte", {"5720", "Tres", 1, 10, "1"});
    RemoteError stopped = ErrorOf([&] { c_.Call(object, "GrabarAsiento"); });
    EXPECT_EQ(stopped.number(), -2147171334);  // 0x8004C3FA
    EXPECT_EQ(stopped.source(), "Valdrix OLE Server");
    EXPECT_EQ(stopped.description().rfind("Grabaci\xC3\xB3n detenida", 0), 0u)
        << stopped.description();
  }
  std::string rows = c_.Call(e_, "Util_LeerDatos", {"EXTRA"}).get<std::string>();
  EXPECT_EQ(rows.find("Dos"), std::string::npos);
  EXPECT_EQ(rows.find("Tres"), std::string::npos);
}

TEST_F(EntrySocketTest, AHugeAccountCodeIsRefusedAtOnce) {
  c_.Let(e_, "Fecha", "15/03/24");
  c_.Let(e_, "Número", "");
  c_.Call(e_, "AñadirApunte", {"5720", "Cobro", 1, 10, "1"});
  c_.Call(e_, "AñadirApunte", {std::string(10 << 20, '5'), "Cobro", 2, 10, "1"});
  // The answer comes within a generous bound (a code walked character by
  // character held the server for far longer), and it is a refusal.
  c_.SendRaw(json{{"jsonrpc", "2.0"},
                  {"id", 77},
                  {"method", "invoke"},
                  {"params", {{"object", e_}, {"member", "GrabarAsiento"}, {"kind", "method"}}}}
                 .dump() +
             "\n");
  json answer = c_.ReadMessage(60000);
  ASSERT_TRUE(answer.contains("error")) << answer.dump().substr(0, 300);
  EXPECT_EQ(answer["error"]["code"], -2147171494);  // 0x8004C35A
  EXPECT_EQ(answer["error"]["data"]["description"].get<std::string>().rfind(
                "Cuenta demasiado larga para el plan contable", 0),
            0u);
  // Nothing was written, and the server goes on serving.
  EXPECT_EQ(c_.Call(e_, "Util_LeerDatos", {"EXTRA"}).get<std::string>().find("Cobro"),
            std::string::npos);
  c_.Call(e_, "AñadirApunte", {"5720", "Cobro", 1, 10, "1"});
  EXPECT_EQ(c_.Call(e_, "GrabarAsiento"), 0);
  c_.Call(e_, "LeerPlan", {"5"});
  EXPECT_EQ(c_.Call(e_, "PlanDebe", {1, 3}), 10);
}

TEST_F(EntrySocketTest, AnAmountThatCannotBeStoredIsAnOverflow) {
  c_.Let(e_, "Fecha", "15/03/24");
  c_.Let(e_, "Número", "");
  c_.Call(e_, "AñadirApunte", {"5720", "Enorme", 1, 1e307, "1"});
  c_.Call(e_, "AñadirApunte", {"4300", "Enorme", 2, 1e307, "1"});
  RemoteError overflow = ErrorOf([&] { c_.Call(e_, "GrabarAsiento"); });
  EXPECT_EQ(overflow.number(), 6);
  EXPECT_EQ(overflow.description(), "Overflow");
  EXPECT_EQ(c_.Call(e_, "Util_LeerDatos", {"EXTRA"}).get<std::string>().find("Enorme"),
            std::string::npos);
  c_.Call(e_, "LeerPlan", {"5720"});
  EXPECT_EQ(c_.Call(e_, "PlanDebe", {1, 3}), 0);
}

TEST_F(EntrySocketTest, AuditLinesOfTheClient) {
  c_.Call(e_, "AuditoriaSave", {"  Cierre de caja 3  "});
  std::string log = Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.substr(log.size() - 19), "\tCierre de caja 3\r\n");
  std::string own = server_.data_dir() + "/caja.log";
  c_.Call(e_, "AuditoriaSave", {12.5, own});
  std::string text = ReadFileText(own);
  EXPECT_EQ(text.substr(text.size() - 7), "\t12,5\r\n");
}

TEST_F(EntrySocketTest, PostsAnEntryAndItsBalancesReadBack) {
  c_.Let(e_, "Fecha", "15/03/24");
  c_.Let(e_, "Número", "");
  EXPECT_EQ(c_.Get(e_, "Número"), "000001");
  c_.Call(e_, "AñadirApunte", {"5720", "Cobro 12", 1, 121, "1"});
  c_.Call(e_, "AñadirApunte", {"4300", "Cobro 12", 2, 121, "1"});
  EXPECT_EQ(c_.Call(e_, "GrabarAsiento"), 0);
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 0);
  EXPECT_EQ(c_.Call(e_, "GetTotal", {"CONTADORASIENTOS"}), "000001");

  EXPECT_EQ(c_.Call(e_, "LeerPlan", {"5720,4300"}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorPlan"), 2);
  int64_t bank = HandleOf(c_.Call(e_, "Plan", {1}));
  EXPECT_EQ(c_.Get(bank, "Cuenta"), "5720");
  EXPECT_EQ(c_.Get(bank, "DebeMarzo"), 121);
  EXPECT_EQ(c_.Call(e_, "PlanDebe", {1, 3}), 121);
  EXPECT_EQ(c_.Call(e_, "PlanHaber", {2, 3}), -121);
  // The parents hold the amounts too.
  c_.Call(e_, "LeerPlan", {"57"});
  EXPECT_EQ(c_.Call(e_, "PlanDebe", {1, 3}), 121);

  // Lines of another entry go under the next number.
  c_.Let(e_, "Número", "");
  c_.Call(e_, "AñadirApunte", {"5720", "Cobro 13", 1, 10, "1"});
  c_.Call(e_, "AñadirApunte", {"4300", "Cobro 13", 2, 10, "1"});
  c_.Call(e_, "GrabarAsiento");
  std::string rows = c_.Call(e_, "Util_LeerDatos", {"EXTRA"}).get<std::string>();
  EXPECT_NE(rows.find("\t000002\t"), std::string::npos) << rows;
  c_.Call(e_, "LeerPlan", {"5720"});
  EXPECT_EQ(c_.Call(e_, "PlanDebe", {1, 3}), 131);
}

}  // namespace
}  // namespace qrole::testing
