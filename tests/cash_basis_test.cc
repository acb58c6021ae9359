// Cash-basis collections and payments through qrole-server's socket: the
// entry and VAT-book lines of a collection, what is left of the invoice,
// the refusals, and the accounts under the scheme.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;
using Kind = qrole::Client::Kind;

constexpr char kServer[] = "Valdrix OLE Server";

class CashBasisSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = c_.Call(e_, "CrearEmpresa", {"Caja", "24"}).get<std::string>();
    c_.Call(e_, "AbrirEmpresa", {path_});
    c_.Let(e_, "Fecha", "15/03/24");
    c_.Let(e_, "Config", "40,41", {"iva2"});
  }
  // Posts invoice `factura` of 4300001: base 100, 21 % VAT, total 121.
  void PostInvoice(const std::string& factura) {
    c_.Let(e_, "Número", "");
    c_.Call(e_, "AñadirApunte", {"4300001", "Factura " + factura, 1, 121, "1"});
    c_.Call(e_, "AñadirApunte", {"7000000", "Factura " + factura, 2, 121, "1"});
    c_.Call(e_, "AñadirIVA", {"4300001", "4770000", factura, "15/03/24", "21", "S", 100, 121});
    c_.Call(e_, "GrabarAsiento");
  }
  // CobroFacturaCriterioCaja of `importe` on 20/03/24 through 5720000.
  json Cobro(const std::string& factura, double importe, json named = json::object()) {
    return c_.Invoke(e_, "CobroFacturaCriterioCaja", Kind::kMethod,
                     {"4300001", factura, importe, "5720000", 0, "20/03/24", 0, "Banco", "", "1",
                      "001", "", "", "", ""},
                     named);
  }
  // The rows Util_LeerDatos gives for `filter`, each split at TAB, fields
  // without trailing blanks (field n at index n - 1).
  std::vector<std::vector<std::string>> Rows(const std::string& table, const std::string& filter) {
    std::string text = c_.Call(e_, "Util_LeerDatos", {table, "", "", filter}).get<std::string>();
    std::vector<std::vector<std::string>> rows;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      std::vector<std::string> fields;
      std::istringstream in(text.substr(start, end - start));
      for (std::string f; std::getline(in, f, '\t');)
        fields.push_back(f.substr(0, f.find_last_not_of(' ') + 1));
      rows.push_back(fields);
    }
    return rows;
  }
  double Pendiente(const std::string& factura) {
    return c_.Get(e_, "TotalPendiente", {"4300001", factura, "15/03/24"}).get<double>();
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
  std::string path_;
};

TEST_F(CashBasisSocketTest, CollectionsOfAnInvoice) {
  PostInvoice("F-1");
  EXPECT_EQ(Pendiente("F-1"), 121);
  json r = Cobro("F-1", 60);
  EXPECT_EQ(r["byref"]["11"], "F-1");     // the reference: the invoice
  EXPECT_EQ(r["byref"]["14"], "C40315");  // the invoice's date
  EXPECT_EQ(c_.Get(e_, "Número"), "000002");

  auto entry = Rows("EXTRA", "ASIENTO = 000002");
  ASSERT_EQ(entry.size(), 2u);
  EXPECT_EQ(entry[0][1], "4300001");
  EXPECT_EQ(entry[0][3], "Cobro Factura F-1");
  EXPECT_EQ(entry[0][4], "2");
  EXPECT_EQ(entry[1][1], "5720000");
  EXPECT_EQ(entry[1][4], "1");

  auto lines = Rows("IVA01", "S/R/T/C = V");
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_GE(lines[0].size(), 31u);
  EXPECT_EQ(lines[0][5], "49,59");   // base
  EXPECT_EQ(lines[0][14], "60");     // total
  EXPECT_EQ(lines[0][16], "10,41");  // VAT
  EXPECT_EQ(lines[0][7], "000002");  // the entry
  EXPECT_EQ(lines[0][11], "0000000001");
  EXPECT_EQ(lines[0][24], "Z");  // operation key 0
  EXPECT_EQ(lines[0][25], "C40320");
  EXPECT_EQ(lines[0][26], "C");  // medium 0
  EXPECT_EQ(lines[0][27], "Banco");
  EXPECT_EQ(Pendiente("F-1"), 61);

  RemoteError too_much = ErrorOf([&] { Cobro("F-1", 62); });
  EXPECT_EQ(too_much.number(), 50027);
  EXPECT_EQ(too_much.source(), kServer);
  EXPECT_EQ(too_much.description(),
            "El Importe del cobro es superior al importe restante de la factura");
  Cobro("F-1", 61);
  lines = Rows("IVA01", "S/R/T/C = V");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1][5], "50,41");
  EXPECT_EQ(lines[1][16], "10,59");
  EXPECT_EQ(Pendiente("F-1"), 0);
}

TEST_F(CashBasisSocketTest, RefusalsAndVatLinesAlone) {
  PostInvoice("F-1");
  RemoteError pdf = ErrorOf([&] { Cobro("F-1", 60, {{"ArchivoImagen", "scan.jpg"}}); });
  EXPECT_EQ(pdf.number(), 55000);
  EXPECT_EQ(pdf.description(), "Solo se puede importar archivos PDF");
  RemoteError missing = ErrorOf([&] { Cobro("F-9", 60); });
  EXPECT_EQ(missing.number(), 50021);
  EXPECT_EQ(missing.description(), "No existe la factura F-9 para el cliente/proveedor 4300001");
  RemoteError no_medium = ErrorOf([&] {
    c_.Call(e_, "AñadirIvaCriterioCaja", {"4300001", "F-1", 60, 0, " "});
  });
  EXPECT_EQ(no_medium.number(), 50026);
  EXPECT_EQ(no_medium.description(), "Descripcion del Medio de cobro incorrecta");
  EXPECT_TRUE(Rows("IVA01", "S/R/T/C = V").empty());

  // The VAT-book lines alone: no entry, the accounting date as collection date.
  json r = c_.Invoke(e_, "AddVATCashBased", Kind::kMethod,
                     {"4300001", "F-1", 60, 5, "Recibo", true, 0, ""});
  EXPECT_EQ(r["byref"]["7"], "240315");
  EXPECT_EQ(Rows("EXTRA", "ASIENTO = 000002").size(), 0u);
  auto lines = Rows("IVA01", "S/R/T/C = V");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0][25], "C40315");
  EXPECT_EQ(lines[0][26], "D");  // medium 5
  EXPECT_EQ(Pendiente("F-1"), 61);
}

TEST_F(CashBasisSocketTest, AccountsUnderTheScheme) {
  c_.Call(e_, "CrearCuenta", {"4300005", "Cliente Cinco"});
  EXPECT_EQ(c_.Call(e_, "EsCriterioCaja", {"4300005"}), false);
  c_.Invoke(e_, "CrearDatos", Kind::kMethod, {"4300005"}, {{"CriterioCaja", true}});
  EXPECT_EQ(Rows("PLANC", "CUENTA = 4300005").at(0).at(45), "");
  EXPECT_EQ(c_.Call(e_, "EsCriterioCaja", {"4300005"}), true);
  // The chart took the flag over (field 26, the record's 46th position).
  auto chart = Rows("PLANC", "CUENTA = 4300005");
  ASSERT_EQ(chart.size(), 1u);
  ASSERT_GE(chart[0].size(), 46u);
  EXPECT_EQ(chart[0][45], "1");
  c_.Call(e_, "PUT_TOTAL", {"CriteriodeCaja", "1"});
  EXPECT_EQ(c_.Call(e_, "EsCriterioCaja", {"6000000"}), true);
}

}  // namespace
}  // namespace qrole::testing
