#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "data/globals.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_catalogue.h"
#include "server/company_header.h"
#include "server/dates.h"
#include "server/enlace.h"
#include "server/process_state.h"
#include "server/test_env.h"

namespace qrole::server {
namespace {

using typelib::Kind;

std::string Scramble(const std::string& clear) {
  std::string out;
  for (unsigned char c : platform::Utf8ToCp1252(clear))
    out += static_cast<char>(c < 129 ? c + 127 : c - 127);
  return out;
}

struct CompanySpec {
  std::string number = "01";
  std::string year = "13";
  std::string opening = "01";
  std::string levels = "43000";
  std::string password;
  std::string settings;  // text after the header (without the final character 26)
  float version = 7.5f;

  CompanySpec& Number(std::string v) {
    number = std::move(v);
    return *this;
  }
  CompanySpec& Year(std::string v) {
    year = std::move(v);
    return *this;
  }
  CompanySpec& Opening(std::string v) {
    opening = std::move(v);
    return *this;
  }
  CompanySpec& Password(std::string v) {
    password = std::move(v);
    return *this;
  }
  CompanySpec& Settings(std::string v) {
    settings = std::move(v);
    return *this;
  }
};

void WriteCompany(const std::string& path, const CompanySpec& c) {
  std::string header(kHeaderSize, ' ');
  SetHeaderText(&header, "COMUN", c.number);
  SetHeaderText(&header, "AÑO", c.year);
  SetHeaderText(&header, "APERTURA", c.opening);
  SetHeaderText(&header, "NIVEL", c.levels);
  std::string pw = c.password.empty() ? std::string(4, ' ') : Scramble(c.password);
  pw.resize(4, '\0');
  header.replace(95, 4, pw);
  uint32_t bits;
  std::memcpy(&bits, &c.version, 4);
  for (int i = 0; i < 4; ++i)
    header[static_cast<size_t>(176 + i)] = static_cast<char>(bits >> (8 * i));
  double cargos = 1234.5;
  uint64_t dbits;
  std::memcpy(&dbits, &cargos, 8);
  for (int i = 0; i < 8; ++i)
    header[static_cast<size_t>(49 + i)] = static_cast<char>(dbits >> (8 * i));
  header[2] = 7;  // ANALITICA, one byte
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << header;
  if (!c.settings.empty()) out << platform::Utf8ToCp1252(c.settings) << '\x1a';
}

class CompanyTest : public ::testing::Test {
 protected:
  CompanyTest() : env_(Registry()) {}
  std::string Registry() {
    data_dir_ = home_.path() + "/datos/";
    platform::CurrentEnv()->Files().CreateDirectories(data_dir_).IgnoreError();
    return "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ + "\n";
  }
  Variant Call(const std::string& m, std::vector<Variant> args = {}) {
    return Invoke(*e_, m, Kind::kMethod, std::move(args)).value;
  }
  Variant Get(const std::string& m, std::vector<Variant> args = {}) {
    return Invoke(*e_, m, Kind::kGet, std::move(args)).value;
  }
  AutomationError ErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const AutomationError& e) {
      return e;
    }
    return AutomationError(0, "", "");
  }
  void Open(const std::string& name, const std::string& password = "") {
    Call("AbrirEmpresa", {Variant::FromString(name), Variant::FromString(password)});
  }

  platform::ScopedTempDir home_;
  std::string data_dir_;
  TestEnv env_;
  std::shared_ptr<Enlace> e_ = Enlace::Create();
};

TEST_F(CompanyTest, CatalogueListsTheDataDirectory) {
  WriteCompany(data_dir_ + "EMPRE01.QRT", {});
  WriteCompany(data_dir_ + "otra02.qrt", CompanySpec().Number("02"));
  std::ofstream(data_dir_ + "EXTRA01.QRD") << "x";
  Call("LoadEmpresas");
  auto list = std::dynamic_pointer_cast<Collection>(Get("Empresas").object());
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->Item(1), Variant::FromString(platform::NativePath(data_dir_ + "EMPRE01.QRT")));
  EXPECT_EQ(list->Item(2), Variant::FromString(platform::NativePath(data_dir_ + "otra02.qrt")));
  // A new object loads it on creation.
  auto other = Enlace::Create();
  EXPECT_EQ(other->empresas()->Count(), 2);
}

TEST_F(CompanyTest, OpensByBareNameLowerCaseExtensionAndFullPath) {
  WriteCompany(data_dir_ + "EMPRE01.QRT", {});
  Open("EMPRE01");
  EXPECT_EQ(Call("NumeroEmpresa"), Variant::FromString("01"));
  EXPECT_EQ(Call("Empresa"), Variant::FromString(platform::NativePath(data_dir_ + "EMPRE01.QRT")));
  // A bare name opens the company of the data directory, whose files are there.
  EXPECT_EQ(e_->state().company_directory, data_dir_);
  Open("empre01.qrt");
  EXPECT_EQ(Call("NumeroEmpresa"), Variant::FromString("01"));
  EXPECT_EQ(e_->state().company_directory, data_dir_);
  Open(data_dir_ + "EMPRE01.QRT");
  EXPECT_EQ(e_->state().company_directory, data_dir_);
  EXPECT_EQ(data::Globals().company_directory, data_dir_);
  EXPECT_EQ(data::Globals().company_number, "01");
  EXPECT_TRUE(data::Globals().index_maintenance);
  EXPECT_EQ(Process().account_levels[1], 4);
  EXPECT_EQ(Process().account_levels[2], 3);
  // Windows separators are accepted.
  std::string windows_path = data_dir_ + "EMPRE01.QRT";
  for (char& c : windows_path)
    if (c == '/') c = '\\';
  Open(windows_path);
  EXPECT_EQ(Call("NumeroEmpresa"), Variant::FromString("01"));
}

TEST_F(CompanyTest, OpensTheActiveCompanyWhenNoNameIsGiven) {
  WriteCompany(data_dir_ + "ACTIVA05.QRT", CompanySpec().Number("05"));
  env_.Settings().Write("SOFTWARE\\QRN\\Valdrix\\Settings", "Active", "ACTIVA05");
  Open("");
  EXPECT_EQ(Call("NumeroEmpresa"), Variant::FromString("05"));
}

TEST_F(CompanyTest, Refusals) {
  AutomationError missing = ErrorOf([&] { Open("NOEXISTE"); });
  EXPECT_EQ(missing.number(), static_cast<int32_t>(0x8004C351));
  EXPECT_EQ(missing.source(), "QROLE");
  EXPECT_EQ(missing.description(), "Empresa Valdrix no existe: \nNOEXISTE");

  WriteCompany(data_dir_ + "CERO.QRT", CompanySpec().Number("00"));
  AutomationError zero = ErrorOf([&] { Open("CERO"); });
  EXPECT_EQ(zero.number(), static_cast<int32_t>(0x8004C352));
  EXPECT_EQ(zero.description(), "Número Empresa Valdrix no válido: \nCERO");
  EXPECT_FALSE(e_->company_open());  // a refused number is not kept
  WriteCompany(data_dir_ + "BLANCO.QRT", CompanySpec().Number("  "));
  EXPECT_EQ(ErrorOf([&] { Open("BLANCO"); }).number(), static_cast<int32_t>(0x8004C352));

  std::ofstream(data_dir_ + "VACIA.QRT").close();
  EXPECT_EQ(ErrorOf([&] { Open("VACIA"); }).number(), static_cast<int32_t>(0x8004C351));

  std::ofstream(data_dir_ + "CORTA.QRT") << "01 short";
  AutomationError version = ErrorOf([&] { Open("CORTA"); });
  EXPECT_EQ(version.number(), 59999);
  EXPECT_NE(version.description().find(" - Debe actualizar Valdrix en todos los equipos"),
            std::string::npos);
}

TEST_F(CompanyTest, PasswordCheck) {
  WriteCompany(data_dir_ + "CLAVE01.QRT", CompanySpec().Password("Ab1z"));
  AutomationError wrong = ErrorOf([&] { Open("CLAVE01", "ab1z"); });
  EXPECT_EQ(wrong.number(), static_cast<int32_t>(0x8004C354));
  EXPECT_EQ(wrong.source(), "QROLE");
  EXPECT_EQ(wrong.description(), "Password Empresa Valdrix no válido: \nCLAVE01");
  Open("CLAVE01", "Ab1z");
  EXPECT_EQ(Call("NumeroEmpresa"), Variant::FromString("01"));
  WriteCompany(data_dir_ + "LIBRE01.QRT", {});
  Open("LIBRE01", "cualquiera");
  EXPECT_EQ(Call("NumeroEmpresa"), Variant::FromString("01"));
  EXPECT_EQ(DescifrarClave(std::string("\xE0\0\xB0\xB1", 4)), "a12");
  EXPECT_EQ(DescifrarClave(std::string("\0abc", 4)), "");
  EXPECT_EQ(DescifrarClave("    "), "");
}

TEST_F(CompanyTest, YearOfAMonth) {
  WriteCompany(data_dir_ + "JULIO01.QRT", CompanySpec().Year("23").Opening("07"));
  Open("JULIO01");
  auto anio = [&](int mes) { return ToStr(Call("año", {Variant::FromLong(mes)})); };
  EXPECT_EQ(anio(0), "23");
  EXPECT_EQ(anio(3), "24");
  EXPECT_EQ(anio(7), "23");
  EXPECT_EQ(anio(13), "24");
  EXPECT_EQ(ToStr(Call("Elyear", {Variant::FromLong(3)})), "24");
  EXPECT_EQ(Call("MesInicioEjercicio"), Variant::FromString("07"));
  WriteCompany(data_dir_ + "ENERO01.QRT", CompanySpec().Year("99").Opening("01"));
  Open("ENERO01");
  EXPECT_EQ(anio(13), "99");
  EXPECT_EQ(anio(0), "99");
  WriteCompany(data_dir_ + "MARZO01.QRT", CompanySpec().Year("99").Opening("03"));
  Open("MARZO01");
  EXPECT_EQ(anio(1), "100");
}

TEST_F(CompanyTest, CloseKeepsThePath) {
  WriteCompany(data_dir_ + "EMPRE01.QRT", {});
  Open("EMPRE01");
  Call("CerrarEmpresa");
  EXPECT_EQ(Call("NumeroEmpresa"), Variant::FromString(""));
  EXPECT_EQ(Call("Empresa"), Variant::FromString(platform::NativePath(data_dir_ + "EMPRE01.QRT")));
  EXPECT_EQ(ErrorOf([&] {
              Invoke(*e_, "Fecha", Kind::kLet, {Variant::FromString("31/12/13")});
            }).number(),
            static_cast<int32_t>(0x8004C356));
}

TEST_F(CompanyTest, PreviousYearCompany) {
  WriteCompany(data_dir_ + "E2013.QRT", CompanySpec().Settings("Empresa Anterior=E2012.QRT\r\n"));
  Open(data_dir_ + "E2013.QRT");
  EXPECT_EQ(Call("EmpresaAñoAnterior"),
            Variant::FromString(platform::NativePath(data_dir_ + "E2012.QRT")));
  WriteCompany(data_dir_ + "E2014.QRT",
               CompanySpec().Settings("EMPRESA ANTERIOR=C:\\otra\\E2013.QRT\r\n"));
  Open(data_dir_ + "E2014.QRT");
  EXPECT_EQ(Call("PreviousYearCompany"), Variant::FromString("C:\\otra\\E2013.QRT"));
  WriteCompany(data_dir_ + "E2015.QRT", {});
  Open(data_dir_ + "E2015.QRT");
  EXPECT_EQ(Call("EmpresaAñoAnterior"), Variant::FromString(""));
}

TEST_F(CompanyTest, CostCentreLevelsAndGlobalDirectory) {
  WriteCompany(data_dir_ + "COSTE01.QRT",
               CompanySpec().Settings("NivelesCosto=1234507\r\nGlobal_Dir=/srv/global/\r\n"));
  Open("COSTE01");
  EXPECT_EQ(Process().cost_centre_levels[1], 1);
  EXPECT_EQ(Process().cost_centre_levels[3], 3);
  EXPECT_EQ(Process().cost_centre_levels[5], 5);
  EXPECT_EQ(Process().cost_centre_levels[0], 7);
  EXPECT_EQ(Process().global_directory, "/srv/global/");
  // Written as the system spells paths.
  EXPECT_EQ(env_.Settings().Read("SOFTWARE\\QRN\\Valdrix\\Settings", "Global_Dir"),
            platform::NativePath("/srv/global/"));
}

TEST_F(CompanyTest, ConfigurationFileIsCopiedIntoTheSettings) {
  WriteCompany(data_dir_ + "CONF07.QRT", CompanySpec().Number("07"));
  std::ofstream(data_dir_ + "VdfOl07.qrf", std::ios::binary)
      << "Moneda\tEUR\r\nroto\r\nUno\tDos\tTres\r\nSerie\tA\r\n";
  Open(data_dir_ + "CONF07.QRT");
  EXPECT_EQ(env_.Settings().Read("SOFTWARE\\QRN\\Valdrix\\Settings", "Moneda"), "EUR");
  EXPECT_EQ(env_.Settings().Read("SOFTWARE\\QRN\\Valdrix\\Settings", "Serie"), "A");
  EXPECT_FALSE(env_.Settings().Read("SOFTWARE\\QRN\\Valdrix\\Settings", "Uno").has_value());
}

}  // namespace
}  // namespace qrole::server
