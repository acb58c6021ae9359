// Account master data, fixed assets and the global register through
// qrole-server's socket: CrearDatos with positional and named arguments,
// CrearInmovilizado and CrearDatosGloblales with record objects the client
// fills.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;
using Kind = qrole::Client::Kind;

constexpr int32_t kCreationError = -2147161504;  // 0x8004EA60

class MasterDataSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = c_.Call(e_, "CrearEmpresa", {"Datos", "24"}).get<std::string>();
    c_.Call(e_, "AbrirEmpresa", {path_});
  }
  // The fields of the first row of a table whose field `field` is `value`,
  // as Util_LeerDatos gives them, without trailing blanks.
  std::vector<std::string> Row(const std::string& table, const std::string& field,
                               const std::string& value) {
    std::string rows = c_.Call(e_, "Util_LeerDatos", {table, field, value}).get<std::string>();
    std::vector<std::string> fields;
    std::istringstream in(rows.substr(0, rows.find("\r\n")));
    for (std::string f; std::getline(in, f, '\t');) {
      fields.push_back(f.substr(0, f.find_last_not_of(' ') + 1));
    }
    return fields;
  }
  // Points the company at a global data directory holding an empty register.
  std::string UseGlobalDirectory() {
    std::string dir = server_.dir() + "/global/";
    std::filesystem::create_directories(dir);
    WriteFileText(dir + "Datgl00.QRD", "");
    c_.Call(e_, "PutTotal", {"Global_Dir", dir});
    c_.Call(e_, "AbrirEmpresa", {path_});
    return dir;
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
  std::string path_;
};

TEST_F(MasterDataSocketTest, CreatesAndUpdatesTheMasterDataOfAnAccount) {
  EXPECT_EQ(c_.Call(e_, "CrearDatos", {"4300000001", "ACME SA", "B12345678"}), true);
  std::vector<std::string> row = Row("DATOS", "CUENTA", "4300000001");
  ASSERT_GE(row.size(), 26u);
  EXPECT_EQ(row[1], "ACME SA");
  EXPECT_EQ(row[2], "B12345678");
  EXPECT_EQ(row[3], "");
  EXPECT_EQ(row[19], "0");
  EXPECT_EQ(row[25], "0");
  EXPECT_EQ(c_.Call(e_, "CrearDatos", {"4300000001", "Otro"}), false);
  EXPECT_EQ(Row("DATOS", "CUENTA", "4300000001")[1], "ACME SA");

  // By name: the telephone and the 347 amount change, the flag is set.
  json r = c_.Invoke(e_, "CrearDatos", Kind::kMethod, {"4300000001"},
                     {{"Telefono", "912345678"},
                      {"Importe_347", 1500.5},
                      {"OMITIR347", true},
                      {"Actualizar", true}});
  EXPECT_EQ(r["value"], true);
  row = Row("DATOS", "CUENTA", "4300000001");
  EXPECT_EQ(row[1], "ACME SA");
  EXPECT_EQ(row[8], " 1500.5");
  EXPECT_EQ(row[9], "912345678");
  EXPECT_EQ(row[19], "1");
  EXPECT_EQ(row[25], "0");

  // A code longer than the field would be another account's.
  EXPECT_EQ(c_.Call(e_, "CrearDatos",
                    {"43000000011", "Intruso", "-1", "-1", "-1", "-1", "-1", "-1", -1, "-1", "-1",
                     -1, "-1", "-1", true}),
            false);
  EXPECT_EQ(Row("DATOS", "CUENTA", "4300000001")[1], "ACME SA");

  int64_t closed = c_.Create("Enlace");
  EXPECT_EQ(ErrorOf([&] { c_.Call(closed, "CrearDatos", {"4300000001"}); }).number(),
            -2147171498);  // 0x8004C356
}

TEST_F(MasterDataSocketTest, AddsFixedAssetsOnce) {
  int64_t asset = c_.Create("InmoClass");
  c_.Let(asset, "I01_Codigo_String_10", " MAQ1 ");
  c_.Let(asset, "I02_Descripcion_String_40", "Torno");
  c_.Let(asset, "I11_Valor_Inicial_Long_12", "1500,50");
  c_.Let(asset, "I20_Fecha_Compra_ddmmyy_8", "15/03/24");
  EXPECT_EQ(c_.Call(e_, "CrearInmovilizado", {ObjectArg(asset)}), true);
  std::vector<std::string> row = Row("inmo3", "CODIGO", "MAQ1");
  ASSERT_GE(row.size(), 22u);
  EXPECT_EQ(row[0], "MAQ1");
  EXPECT_EQ(row[1], "Torno");
  EXPECT_EQ(row[17], "1500,5");
  EXPECT_EQ(row[21], "15/03/24");

  c_.Let(asset, "I02_Descripcion_String_40", "Fresadora");
  RemoteError again = ErrorOf([&] { c_.Call(e_, "CrearInmovilizado", {ObjectArg(asset)}); });
  EXPECT_EQ(again.number(), kCreationError);
  EXPECT_EQ(again.source(), "Valdrix OLE Server");
  EXPECT_EQ(again.description(), "Codigo ya existe");
  EXPECT_EQ(Row("inmo3", "CODIGO", "MAQ1")[1], "Torno");

  c_.Let(asset, "I01_Codigo_String_10", "");
  EXPECT_EQ(ErrorOf([&] { c_.Call(e_, "CrearInmovilizado", {ObjectArg(asset)}); }).description(),
            "Codigo sin contenido");
}

TEST_F(MasterDataSocketTest, KeepsTheGlobalRegisterOfThirdParties) {
  // Without a register: False, and the user is told.
  int64_t third = c_.Create("DatosGlobalClass");
  c_.Let(third, "G01_NIF_String_18", "B12345678");
  c_.Let(third, "G02_Nombre_String_50", "Ana");
  json r = c_.Invoke(e_, "CrearDatosGloblales", Kind::kMethod, {ObjectArg(third)});
  EXPECT_EQ(r["value"], false);
  ASSERT_TRUE(r.contains("messages"));
  EXPECT_EQ(r["messages"][0]["title"], "NOTA");

  std::string dir = UseGlobalDirectory();
  EXPECT_EQ(c_.Call(e_, "CrearDatosGloblales", {ObjectArg(third)}), true);
  EXPECT_EQ(c_.Call(e_, "CrearDatosGloblales", {ObjectArg(third)}), false);  // registered
  c_.Let(third, "G02_Nombre_String_50", "Beatriz");
  c_.Let(third, "G66_Actualizar", true);
  EXPECT_EQ(c_.Call(e_, "CrearDatosGloblales", {ObjectArg(third)}), true);
  std::string file = ReadFileText(dir + "Datgl00.QRD");
  EXPECT_NE(file.find("Beatriz"), std::string::npos);
  EXPECT_EQ(file.find("Ana "), std::string::npos);

  // The master data of an account with a NIF goes to the register too.
  EXPECT_EQ(c_.Call(e_, "CrearDatos", {"4300000002", "Comercial Norte SL", "X1234567L"}), true);
  file = ReadFileText(dir + "Datgl00.QRD");
  EXPECT_NE(file.find("X1234567L"), std::string::npos);
  EXPECT_NE(file.find("Comercial Norte SL"), std::string::npos);

  c_.Let(third, "G01_NIF_String_18", " ");
  RemoteError blank = ErrorOf([&] { c_.Call(e_, "CrearDatosGloblales", {ObjectArg(third)}); });
  EXPECT_EQ(blank.number(), kCreationError);
  EXPECT_EQ(blank.description(), "Nif sin contenido");
}

}  // namespace
}  // namespace qrole::testing
