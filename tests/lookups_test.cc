// Master-data lookups and journal searches through qrole-server's socket:
// LeerDatos, LeerInmovilizado, LeerDatosGlobales, ExisteNifDatosGlobales and
// LeerRetenciones with their collections, and BuscarReferencia,
// BuscarDescripcion, BuscarImporte and ExisteReferencia over posted entries.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

constexpr int32_t kNoCompany = -2147171498;  // 0x8004C356

// A 2024 company with two entries:
//   000001 01/02/24  4300001 debit 100 "Factura 1" ref "F-1", 7000000 credit
//                    100 "Venta" ref "F-10"
//   000002 20/03/24  6230000 debit 500 "Honorarios", 4100001 credit 500
//                    "honorarios marzo", with a withholding of 75 on invoice
//                    "F-9"
class LookupSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = c_.Call(e_, "CrearEmpresa", {"Consultas", "24"}).get<std::string>();
    c_.Call(e_, "AbrirEmpresa", {path_});
    c_.Let(e_, "Fecha", "01/02/24");
    c_.Let(e_, "Número", "");
    c_.Call(e_, "AñadirApunte", {"4300001", "Factura 1", 1, 100, "1", 0, "000", "F-1"});
    c_.Call(e_, "AñadirApunte", {"7000000", "Venta", 2, 100, "1", 0, "000", "F-10"});
    c_.Call(e_, "GrabarAsiento");
    c_.Let(e_, "Fecha", "20/03/24");
    c_.Let(e_, "Número", "");
    c_.Call(e_, "AñadirApunte", {"6230000", "Honorarios", 1, 500, "1"});
    c_.Call(e_, "AñadirApunte", {"4100001", "honorarios marzo", 2, 500, "1"});
    c_.Call(e_, "AñadirRetencion",
            {"4100001", "Asesor", "B1", "F-9", 500, "4751000", 15, "28", "", "20/03/24", 0, 0, 75,
             0, "G"});
    c_.Call(e_, "GrabarAsiento");
  }
  // Property `name` of item `i` of a collection, through its accessor.
  json ItemOf(const std::string& accessor, int i, const std::string& name) {
    return c_.Get(HandleOf(c_.Call(e_, accessor, {i})), name);
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
  std::string path_;
};

TEST_F(LookupSocketTest, MasterDataAssetsAndWithholdings) {
  c_.Call(e_, "CrearDatos", {"4300000001", "ACME SA", "B12345678"});
  c_.Call(e_, "CrearDatos", {"4300000002", "Beta SL"});
  EXPECT_EQ(c_.Call(e_, "LeerDatos", {"43*", "B*"}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorDatos"), 1);
  EXPECT_EQ(ItemOf("DATOS", 1, "Cuenta"), "4300000002");
  EXPECT_EQ(c_.Call(e_, "LeerDatos", {"4300000001"}), true);
  EXPECT_EQ(ItemOf("DATOS", 1, "NIf"), "B12345678");
  EXPECT_EQ(ItemOf("DATOS", 1, "Riesgo"), 0);
  EXPECT_EQ(c_.Call(e_, "DATOS", {2}), json({{"$object", nullptr}}));
  EXPECT_EQ(c_.Call(e_, "LeerDatos", {"4400000001"}), false);
  EXPECT_EQ(c_.Get(e_, "ContadorDatos"), 0);

  int64_t asset = c_.Create("InmoClass");
  c_.Let(asset, "I01_Codigo_String_10", "MAQ1");
  c_.Let(asset, "I02_Descripcion_String_40", "Torno");
  c_.Let(asset, "I11_Valor_Inicial_Long_12", "1500,50");
  c_.Call(e_, "CrearInmovilizado", {ObjectArg(asset)});
  EXPECT_EQ(c_.Call(e_, "LeerInmovilizado", {"MAQ1"}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorInmovilizado"), 1);
  EXPECT_EQ(ItemOf("inmovilizado", 1, "I02_Descripcion_String_40"), "Torno");
  EXPECT_EQ(ItemOf("inmovilizado", 1, "I11_Valor_Inicial_Long_12"), "1500,5");
  EXPECT_EQ(c_.Call(e_, "LeerInmovilizado", {"MAQ2"}), false);

  EXPECT_EQ(c_.Call(e_, "LeerRetenciones", {"4100001", "4100001", "01/03/24", "31/03/24"}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorRetenciones"), 1);
  EXPECT_EQ(ItemOf("Retencion", 1, "FacturaN"), "F-9");
  EXPECT_EQ(ItemOf("Retencion", 1, "Retencion"), 75);
  EXPECT_EQ(ItemOf("Retencion", 1, "FechaFac"), "20/03/24");
  EXPECT_EQ(c_.Call(e_, "LeerRetenciones", {"", "", "01/04/24"}), false);
}

TEST_F(LookupSocketTest, GlobalRegister) {
  EXPECT_EQ(c_.Call(e_, "LeerDatosGlobales"), false);  // no global data directory
  std::string dir = server_.dir() + "/global/";
  std::filesystem::create_directories(dir);
  WriteFileText(dir + "Datgl00.QRD", "");
  c_.Call(e_, "PutTotal", {"Global_Dir", dir});
  c_.Call(e_, "AbrirEmpresa", {path_});
  c_.Call(e_, "CrearDatos", {"4300000001", "ACME SA", "B12345678"});
  EXPECT_EQ(c_.Call(e_, "ExisteNifDatosGlobales", {"B12345678"}), true);
  EXPECT_EQ(c_.Call(e_, "ExisteNifDatosGlobales", {"B00000000"}), false);
  EXPECT_EQ(c_.Call(e_, "LeerDatosGlobales", {"B12345678"}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorDatosGlobal"), 1);
  EXPECT_EQ(ItemOf("DatosGlobales", 1, "G03_ApellidoRazonSocial_String_90"), "ACME SA");
}

TEST_F(LookupSocketTest, JournalSearches) {
  EXPECT_EQ(c_.Call(e_, "BuscarReferencia", {"F-1"}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorExtracto"), 1);
  EXPECT_EQ(ItemOf("Extracto", 1, "Descripción"), "Factura 1");
  EXPECT_EQ(c_.Call(e_, "ExisteReferencia", {"F-10"}), 1);
  EXPECT_EQ(c_.Call(e_, "ExisteReferencia", {"F-2"}), 0);

  EXPECT_EQ(c_.Call(e_, "BuscarImporte", {100}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorExtracto"), 2);
  EXPECT_EQ(ItemOf("Extracto", 2, "Haber"), 100);
  EXPECT_EQ(c_.Call(e_, "BuscarDescripcion", {"HONORARIOS"}), true);
  EXPECT_EQ(c_.Get(e_, "ContadorExtracto"), 2);
  EXPECT_EQ(c_.Call(e_, "BuscarDescripcion", {"HONORARIOS", true}), false);
  EXPECT_EQ(c_.Get(e_, "ContadorExtracto"), 0);

  int64_t closed = c_.Create("Enlace");
  EXPECT_EQ(ErrorOf([&] { c_.Call(closed, "BuscarImporte", {100}); }).number(), kNoCompany);
  EXPECT_EQ(c_.Call(closed, "LeerInmovilizado"), false);
}

}  // namespace
}  // namespace qrole::testing
