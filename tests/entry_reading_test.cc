// Reading posted entries back through qrole-server's socket, walking the
// journal, and the identifiers and dates of entry numbers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

class EntryReadingSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string path = c_.Call(e_, "CrearEmpresa", {"Lectura", "24"}).get<std::string>();
    c_.Call(e_, "AbrirEmpresa", {path});
  }
  // A balanced entry of two lines under the next number.
  void PostEntry(const std::string& fecha, const std::string& descripcion) {
    c_.Let(e_, "Fecha", fecha);
    c_.Let(e_, "Número", "");
    c_.Call(e_, "AñadirApunte", {"5720", descripcion, 1, 121, "1"});
    c_.Call(e_, "AñadirApunte", {"4300001", descripcion, 2, 121, "1"});
    c_.Call(e_, "GrabarAsiento");
  }
  json Field(const std::string& accessor, int i, const std::string& field) {
    json item = c_.Call(e_, accessor, {i});
    return c_.Get(HandleOf(item), field);
  }
  std::string Cursor() {
    return c_.Get(e_, "Fecha").get<std::string>() + " " + c_.Get(e_, "Número").get<std::string>();
  }
  std::vector<std::string> Items(const json& collection) {
    int64_t c = HandleOf(collection);
    std::vector<std::string> out;
    for (int i = 1; i <= c_.Get(c, "Count").get<int>(); ++i)
      out.push_back(c_.Call(c, "Item", {i}).get<std::string>());
    return out;
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
};

TEST_F(EntryReadingSocketTest, ReadsAPostedEntryBack) {
  c_.Let(e_, "Fecha", "15/03/24");
  c_.Let(e_, "Número", "");
  c_.Call(e_, "AñadirApunte", {"4300001", "Factura 12", 1, 1210, "1", "", "002", "R-12"});
  c_.Call(e_, "AñadirApunte", {"7000000", "Factura 12", 2, 1000, "1"});
  c_.Call(e_, "AñadirApunte", {"4770000", "Factura 12", 2, 210, "1"});
  c_.Call(e_, "AñadirIVA", {"4300001", "4770000", "F-12", "10/03/24", "21", "R", 1000, 1210});
  c_.Call(e_, "AñadirCartera", {"15/04/24", "4300001", "Banco", "Recibo 1", 1210});
  EXPECT_EQ(c_.Call(e_, "GrabarAsiento"), 0);
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 0);

  c_.Call(e_, "LeerAsiento", {"15/03/24", "000001"});
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 3);
  EXPECT_EQ(c_.Get(e_, "ContadorIva"), 1);
  EXPECT_EQ(c_.Get(e_, "ContadorCartera"), 1);
  EXPECT_EQ(c_.Get(e_, "ContadorAnalitica"), 0);
  EXPECT_EQ(Field("Apunte", 1, "Cuenta"), "4300001");
  EXPECT_EQ(Field("Apunte", 1, "Canal"), "002");
  EXPECT_EQ(Field("Apunte", 1, "Referencia"), "R-12");
  EXPECT_EQ(Field("Apunte", 2, "TIPO"), 2);
  EXPECT_EQ(Field("Apunte", 2, "Importe"), -1000);
  EXPECT_EQ(Field("iva", 1, "Factura"), "F-12");
  EXPECT_EQ(Field("iva", 1, "FechaFactura"), "C40310");
  EXPECT_EQ(Field("iva", 1, "TOTAL"), 1210);
  EXPECT_EQ(Field("iva", 1, "NumeroOrden"), "0000000001");
  EXPECT_EQ(Field("cartera", 1, "Importe"), 1210);
  EXPECT_EQ(Field("cartera", 1, "FechaVencimiento"), "C40415");
  EXPECT_EQ(Cursor(), "240315 000001");

  // What was read gives way to the next entry's first line.
  c_.Call(e_, "AñadirApunte", {"5720", "Nuevo", 1, 5, "1"});
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 1);
  EXPECT_EQ(c_.Get(e_, "ContadorIva"), 0);

  c_.Call(e_, "LeerAsiento", {"16/03/24", "000001"});
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 0);
  RemoteError bad = ErrorOf([&] { c_.Call(e_, "LeerAsiento", {"32/03/24"}); });
  EXPECT_EQ(bad.number(), -2147171501);  // 0x8004C353
}

TEST_F(EntryReadingSocketTest, ShortDateForms) {
  PostEntry("05/03/24", "Cinco");
  PostEntry("20/03/24", "Veinte");
  c_.Call(e_, "LeerAsiento", {"5/03/24", "000001"});
  EXPECT_EQ(Cursor(), "240305 000001");
  EXPECT_EQ(Field("Apunte", 1, "Descripción"), "Cinco");
  c_.Call(e_, "LeerAsiento", {"20/03", "000002"});
  EXPECT_EQ(Cursor(), "240320 000002");
  EXPECT_EQ(Field("Apunte", 1, "Descripción"), "Veinte");
  RemoteError bad = ErrorOf([&] { c_.Call(e_, "LeerAsiento", {"20/3x", "000002"}); });
  EXPECT_EQ(bad.number(), -2147171501);  // 0x8004C353
}

TEST_F(EntryReadingSocketTest, WalksTheJournal) {
  PostEntry("15/03/24", "Uno");
  PostEntry("10/03/24", "Dos");
  c_.Call(e_, "LeerPrimerAsiento");
  EXPECT_EQ(Cursor(), "240310 000002");
  EXPECT_EQ(Field("Apunte", 1, "Descripción"), "Dos");
  c_.Call(e_, "LeerProximoAsiento");
  EXPECT_EQ(Cursor(), "240315 000001");
  c_.Call(e_, "LeerProximoAsiento");
  EXPECT_EQ(c_.Get(e_, "ContadorApuntes"), 0);
  EXPECT_EQ(Cursor(), "240315 000001");
  c_.Call(e_, "LeerUltimoAsiento");
  EXPECT_EQ(Field("Apunte", 2, "Descripción"), "Uno");
  c_.Call(e_, "LeerAnteriorAsiento");
  EXPECT_EQ(Cursor(), "240310 000002");

  RemoteError none = ErrorOf([&] { c_.Call(e_, "LeerReferencia", {"R-1"}); });
  EXPECT_EQ(none.number(), -2147171491);  // 0x8004C35D
  EXPECT_EQ(none.description(), "Esta opción no está activada");
  int64_t closed = c_.Create("Enlace");
  RemoteError no_company = ErrorOf([&] { c_.Call(closed, "LeerPrimerAsiento"); });
  EXPECT_EQ(no_company.number(), -2147171498);  // 0x8004C356
}

TEST_F(EntryReadingSocketTest, IdentifiersAndDatesOfEntries) {
  const std::string guid = "{0F8FAD5B-D9CB-469F-A165-70867728950E}";
  EXPECT_EQ(c_.Get(e_, "Guid", {"000001"}), "");
  c_.Let(e_, "Guid", guid, {"000001"});
  c_.Let(e_, "Guid", guid, {"000002"});
  EXPECT_EQ(c_.Get(e_, "Guid", {"000001"}), guid);
  EXPECT_EQ(Items(c_.Call(e_, "GetAsientos", {guid})),
            (std::vector<std::string>{"000001", "000002"}));
  c_.Let(e_, "Guid", "", {"000001"});
  EXPECT_EQ(c_.Get(e_, "Guid", {"000001"}), "");
  EXPECT_EQ(Items(c_.Call(e_, "GetAsientos", {guid})), (std::vector<std::string>{"000002"}));
  RemoteError too_long = ErrorOf([&] { c_.Let(e_, "Guid", std::string(41, 'x'), {"000003"}); });
  EXPECT_EQ(too_long.number(), 50200);
  EXPECT_EQ(too_long.description(), "Error al crear un GUID");

  c_.Let(e_, "Fecha", "20/03/24");
  c_.Let(e_, "Número", "000007");
  c_.Call(e_, "AñadirApunte", {"5720", "Tarde", 1, 5, "1"});
  c_.Call(e_, "GrabarAsiento");
  c_.Let(e_, "Fecha", "05/03/24");
  c_.Let(e_, "Número", "000007");
  c_.Call(e_, "AñadirApunte", {"5720", "Pronto", 1, 5, "1"});
  c_.Call(e_, "AñadirApunte", {"5720", "Pronto", 1, 5, "1"});
  c_.Call(e_, "GrabarAsiento");
  EXPECT_EQ(Items(c_.Call(e_, "GetFechas", {"000007"})),
            (std::vector<std::string>{"C40305", "C40320"}));
}

}  // namespace
}  // namespace qrole::testing
