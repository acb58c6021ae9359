// Companies through qrole-server's socket, as an integrating program uses
// them: creation, the catalogue, opening with its refusals, parameters and
// settings, the accounting date and currency conversion.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <vector>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;
using Kind = qrole::Client::Kind;

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

class CompanySocketTest : public ::testing::Test {
 protected:
  std::string Create(const std::string& name, json more = json::array()) {
    json args = json::array({name});
    for (auto& a : more) args.push_back(a);
    return c_.Call(e_, "CrearEmpresa", args).get<std::string>();
  }
  void Open(const std::string& name, const std::string& password = "") {
    c_.Call(e_, "AbrirEmpresa", {name, password});
  }
  std::string Total(const std::string& name) {
    return c_.Call(e_, "GetTotal", {name}).get<std::string>();
  }

  ServerProcess server_;
  qrole::Client c_ = server_.Connect();
  int64_t e_ = c_.Create("Enlace");
};

TEST_F(CompanySocketTest, CreatesCompaniesWithFreshNumbersAndTheirChart) {
  std::string dir = server_.data_dir();
  if (dir.back() != '/') dir += '/';
  std::string first = Create("Alfa", {"2024"});
  EXPECT_EQ(first, dir + "Alfa.QRT");
  EXPECT_TRUE(Exists(dir + "PLANC01.QRD"));
  EXPECT_TRUE(Exists(dir + "PLANC01.QRC"));
  std::string second = Create("Beta", {"2024", "43000", "0010", "1", "07", 0});
  EXPECT_EQ(second, dir + "Beta.QRT");
  EXPECT_TRUE(Exists(dir + "PLANC02.QRD"));
  std::string again = Create("Alfa");
  EXPECT_EQ(again, dir + "Alfa~1.QRt");

  json empresas = c_.Get(e_, "Empresas");
  int64_t list = HandleOf(empresas);
  EXPECT_EQ(c_.Get(list, "Count"), 3);

  Open(second);
  EXPECT_EQ(c_.Call(e_, "NumeroEmpresa"), "02");
  EXPECT_EQ(c_.Call(e_, "MesInicioEjercicio"), "07");
  EXPECT_EQ(Total("AÑO"), "24");
  EXPECT_EQ(Total("NIVEL"), "43000");
  EXPECT_EQ(Total("DOCUMENTO"), "000001");
}

TEST_F(CompanySocketTest, OpensByBareNameLowerCaseExtensionFullPathAndActive) {
  std::string path = Create("Gamma", {"23"});
  Open("Gamma");
  EXPECT_EQ(c_.Call(e_, "NumeroEmpresa"), "01");
  EXPECT_EQ(c_.Call(e_, "Empresa"), path);
  c_.Call(e_, "CerrarEmpresa");
  EXPECT_EQ(c_.Call(e_, "NumeroEmpresa"), "");
  Open("gamma.qrt");
  EXPECT_EQ(c_.Call(e_, "NumeroEmpresa"), "01");
  Open(path);
  EXPECT_EQ(c_.Call(e_, "NumeroEmpresa"), "01");
  // The "Active" setting names the company when none is given.
  int64_t other = c_.Create("Enlace");
  std::string ini = ReadFileText(server_.home() + "/registry.ini");
  const std::string section = "[SOFTWARE\\QRN\\Valdrix\\Settings]\n";
  ASSERT_NE(ini.find(section), std::string::npos);
  ini.insert(ini.find(section) + section.size(), "Active=Gamma\n");
  WriteFileText(server_.home() + "/registry.ini", ini);
  c_.Call(other, "AbrirEmpresa", {""});
  EXPECT_EQ(c_.Call(other, "NumeroEmpresa"), "01");
}

TEST_F(CompanySocketTest, Refusals) {
  RemoteError missing = ErrorOf([&] { Open("NoExiste"); });
  EXPECT_EQ(missing.number(), -2147171503);  // 0x8004C351
  EXPECT_EQ(missing.source(), "QROLE");
  EXPECT_EQ(missing.description(), "Empresa Valdrix no existe: \nNoExiste");

  WriteFileText(server_.data_dir() + "/CERO.QRT", "00" + std::string(1022, ' '));
  RemoteError zero = ErrorOf([&] { Open("CERO"); });
  EXPECT_EQ(zero.number(), -2147171502);  // 0x8004C352
  EXPECT_EQ(zero.description(), "Número Empresa Valdrix no válido: \nCERO");

  RemoteError closed = ErrorOf([&] { c_.Let(e_, "Fecha", "31/12/24"); });
  EXPECT_EQ(closed.number(), -2147171498);  // 0x8004C356
  EXPECT_EQ(closed.source(), "Valdrix OLE Server");
  EXPECT_EQ(closed.description(), "Empresa No Abierta ... Abrir Empresa y reintentar");
  EXPECT_EQ(c_.Call(e_, "GetTotal", {"AÑO"}), "No hay una empresa abierta");
}

TEST_F(CompanySocketTest, ParametersAndSettingsText) {
  std::string path = Create("Delta", {"24"});
  Open(path);
  EXPECT_EQ(Total("año"), "24");
  EXPECT_EQ(Total("PASSWORD1"), "");
  EXPECT_EQ(Total("CARGOSA"), "0");
  c_.Call(e_, "PutTotal", {"CARGOSA", "1234,56"});
  EXPECT_EQ(Total("CARGOSA"), "1234,56");
  c_.Let(e_, "Config", "28001", {"CP"});
  EXPECT_EQ(c_.Get(e_, "Config", {"cp"}), "28001");

  c_.Call(e_, "PUT_TOTAL", {"IvaPorEmpresa", "1"});
  c_.Call(e_, "PUT_TOTAL", {"Iva", "21"});
  EXPECT_EQ(c_.Call(e_, "GET_TOTAL", {"IVAPOREMPRESA"}), "1");
  EXPECT_EQ(c_.Call(e_, "GET_TOTAL", {"iva"}), "21");
  std::string text = ReadFileText(path).substr(1024);
  EXPECT_EQ(text, "IVAPOREMPRESA=1\r\nIVA=21\r\n\x1a");
  c_.Call(e_, "PUT_TOTAL", {"IVAPOREMPRESA", ""});
  text = ReadFileText(path).substr(1024);
  EXPECT_EQ(text, std::string("IVA=21\r\n\x1a") + std::string(17, '\0'));

  json config = c_.Get(e_, "LeerConfig");
  int64_t list = HandleOf(config);
  EXPECT_EQ(c_.Get(list, "Count"), 72);
  EXPECT_EQ(c_.Call(list, "Item", {72}), "IVA\t21");
}

TEST_F(CompanySocketTest, SettingsAndNamesCannotSmuggleLinesOrCutFileNames) {
  std::string path = Create("Eta", {"24"});
  Open(path);
  c_.Call(e_, "PUT_TOTAL", {"Serie", "A"});
  const std::string before = ReadFileText(path);
  // A value with CR LF would have written a "GLOBAL_DIR" line of its own.
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { c_.Let(e_, "Config", "x\r\nGLOBAL_DIR=/tmp/otro", {"Serie"}); },
           [&] {
             c_.Call(e_, "PUT_TOTAL", {"Serie", "x\r\nGLOBAL_DIR=/tmp/otro"});
           },
           [&] {
             c_.Call(e_, "PutTotal", {"Serie\nGLOBAL_DIR", "x"});
           }}) {
    RemoteError e = ErrorOf(call);
    EXPECT_EQ(e.number(), 5);
    EXPECT_NE(e.description().find("saltos de l\xC3\xADnea"), std::string::npos) << e.description();
  }
  EXPECT_EQ(ReadFileText(path), before);
  EXPECT_EQ(c_.Get(e_, "Config", {"Global_Dir"}), "");

  // A NUL in a company name would cut the file name before ".QRT".
  RemoteError cut = ErrorOf([&] { Create(std::string("Theta\0Oculta", 12)); });
  EXPECT_EQ(cut.number(), 75);
  EXPECT_FALSE(Exists(server_.data_dir() + "/Theta"));
  EXPECT_EQ(c_.Get(HandleOf(c_.Get(e_, "Empresas")), "Count"), 1);
}

TEST_F(CompanySocketTest, AccountingDateWithAJulyOpening) {
  Open(Create("Julio", {"23", "12340", "0010", "1", "07"}));
  c_.Let(e_, "Fecha", "15/03/24");
  EXPECT_EQ(c_.Get(e_, "Fecha"), "240315");
  RemoteError outside = ErrorOf([&] { c_.Let(e_, "Fecha", "15/09/24"); });
  EXPECT_EQ(outside.number(), -2147171501);  // 0x8004C353
  EXPECT_EQ(outside.description(), "Año contable: 23\r\nApertura: 07\r\nFecha no válida: 15/09/24");
  RemoteError format = ErrorOf([&] { c_.Let(e_, "Fecha", "31/02/24"); });
  EXPECT_EQ(format.description(),
            "Formato Fecha no válido: 31/02/24\nFormatos aceptados son: 31/12/13 o 131231");
  RemoteError empty = ErrorOf([&] { c_.Let(e_, "Fecha", " "); });
  EXPECT_EQ(empty.number(), 5000);
  EXPECT_EQ(empty.source(), "Let Fecha");
  EXPECT_EQ(c_.Call(e_, "año", {3}), "24");
  EXPECT_EQ(c_.Call(e_, "Elyear", {13}), "24");
  EXPECT_EQ(c_.Get(e_, "Fecha"), "240315");  // a refused date stores nothing
}

TEST_F(CompanySocketTest, CurrencyConversionRightAfterOpening) {
  Open(Create("Euros", {"24"}));
  json r = c_.Invoke(e_, "CalcularMoneda", Kind::kMethod, {100, 0, 0});
  EXPECT_EQ(r["byref"]["2"], 100.0);
  EXPECT_EQ(r["byref"]["1"], 16639.0);  // pesetas, no decimals
  EXPECT_FALSE(r.contains("messages"));
}

TEST_F(CompanySocketTest, CreationThroughTheOpeningPassword) {
  json r = c_.Invoke(e_, "AbrirEmpresa", Kind::kMethod, {"PorClave", "/C/A:22 /N:43000"});
  std::string dir = server_.data_dir();
  if (dir.back() != '/') dir += '/';
  EXPECT_EQ(r["byref"]["1"], dir + "PorClave.QRT");
  EXPECT_EQ(c_.Call(e_, "NumeroEmpresa"), "");
}

TEST_F(CompanySocketTest, PasswordCheckIsCaseSensitive) {
  std::string path = Create("Clave", {"24"});
  // The stored password "Ab1z", scrambled as the product stores it.
  std::string header = ReadFileText(path);
  const std::string clear = "Ab1z";
  for (size_t i = 0; i < clear.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(clear[i]);
    header[95 + i] = static_cast<char>(c < 129 ? c + 127 : c - 127);
  }
  WriteFileText(path, header);
  RemoteError wrong = ErrorOf([&] { Open(path, "ab1z"); });
  EXPECT_EQ(wrong.number(), -2147171500);  // 0x8004C354
  EXPECT_EQ(wrong.source(), "QROLE");
  EXPECT_EQ(wrong.description(), "Password Empresa Valdrix no válido: \n" + path);
  Open(path, "Ab1z");
  EXPECT_EQ(c_.Call(e_, "NumeroEmpresa"), "01");
}

TEST_F(CompanySocketTest, TableUtilitiesOnTheNewCompany) {
  Open(Create("Tablas", {"24"}));
  std::string tables = c_.Call(e_, "Util_LeerTablas").get<std::string>();
  EXPECT_NE(tables.find("PLANC\tPlan de cuentas y saldos\r\n"), std::string::npos);
  json fields = c_.Call(e_, "Util_LeerCampos", {"PLANC"});
  EXPECT_EQ(fields["lbound"], json::array({1}));
  EXPECT_EQ(fields["$array"][0], "CUENTA                 ");
  std::string rows = c_.Call(e_, "Util_LeerDatos", {"PLANC", "CUENTA", "4770"}).get<std::string>();
  EXPECT_EQ(rows.substr(0, 11), "4770      \t");
  EXPECT_NE(rows.find("IVA repercutido"), std::string::npos);
  RemoteError unsafe = ErrorOf([&] { c_.Call(e_, "Util_LeerDatos", {"../../PLANC"}); });
  EXPECT_EQ(unsafe.number(), -2147161504);  // 0x8004EA60
}

}  // namespace
}  // namespace qrole::testing
