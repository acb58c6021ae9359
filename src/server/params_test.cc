#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/company_params.h"
#include "server/dates.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace qrole::server {
namespace {

using typelib::Kind;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = env_.home() + "/EMPRE01.QRT";
    Write(path_, "");
    Invoke(*e_, "AbrirEmpresa", Kind::kMethod, {Variant::FromString(path_)});
  }
  // A company file with year 13, opening month `opening` and the settings text.
  void Write(const std::string& path, const std::string& settings,
             const std::string& opening = "01") {
    std::string header(kHeaderSize, ' ');
    SetHeaderText(&header, "COMUN", "01");
    SetHeaderText(&header, "AÑO", "13");
    SetHeaderText(&header, "APERTURA", opening);
    float version = 7.5f;
    std::memcpy(&header[176], &version, 4);
    double cargos = 1234.5;
    std::memcpy(&header[49], &cargos, 8);
    header[2] = 7;
    int32_t counter = -42;
    std::memcpy(&header[153], &counter, 4);
    header.replace(140, 6, "B31231");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << header << platform::Utf8ToCp1252(settings);
  }
  std::string Call(const std::string& m, std::vector<Variant> args) {
    return ToStr(Invoke(*e_, m, Kind::kMethod, std::move(args)).value);
  }
  std::string Settings() { return FileBytes(path_).substr(kHeaderSize); }
  void SetDate(const std::string& d) { Invoke(*e_, "Fecha", Kind::kLet, {Variant::FromString(d)}); }
  std::string GetDate() { return ToStr(Invoke(*e_, "Fecha", Kind::kGet, {}).value); }
  AutomationError DateError(const std::string& d) {
    try {
      SetDate(d);
    } catch (const AutomationError& e) {
      return e;
    }
    return AutomationError(0, "", "");
  }
  void Reopen(const std::string& opening) {
    Write(path_, "", opening);
    Invoke(*e_, "AbrirEmpresa", Kind::kMethod, {Variant::FromString(path_)});
  }

  TestEnv env_;
  std::shared_ptr<Enlace> e_ = Enlace::Create();
  std::string path_;
};

TEST_F(ParamsTest, HeaderFieldsByType) {
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("año")}), "13");
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("PASSWORD1")}), "");
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("CARGOSA")}), "1234,5");
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("ANALITICA")}), "7");
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("VERSION")}), "7,5");
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("CONTADOR1")}), "-42");
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("FECHALIMITE")}), "31/12/13");
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("nivel1")}), " ");
}

TEST_F(ParamsTest, WritingHeaderFields) {
  Call("PutTotal", {Variant::FromString("CARGOSA"), Variant::FromString("99,25")});
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("CARGOSA")}), "99,25");
  Call("PutTotal", {Variant::FromString("analitica"), Variant::FromString("")});
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("ANALITICA")}), "0");
  Call("PutTotal", {Variant::FromString("DIRECCION"), Variant::FromString("Calle Mayor, 1")});
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("DIRECCION")}),
            "Calle Mayor, 1" + std::string(21, ' '));
  // Byte overflow and a value that is no number write nothing, and raise nothing.
  Call("PutTotal", {Variant::FromString("CANAL"), Variant::FromString("300")});
  Call("PutTotal", {Variant::FromString("CARGOSA"), Variant::FromString("mucho")});
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("CARGOSA")}), "99,25");
  // The hidden fields are never written.
  Call("PutTotal", {Variant::FromString("PASSWORD1"), Variant::FromString("abcd")});
  EXPECT_EQ(FileBytes(path_).substr(95, 4), "    ");
  // The date field is stored in the stored form whatever form it is given in.
  Call("PutTotal", {Variant::FromString("FECHALIMITE"), Variant::FromString("15/03/14")});
  EXPECT_EQ(FileBytes(path_).substr(140, 6), "B40315");
  Call("PutTotal", {Variant::FromString("FECHALIMITE"), Variant::FromString("01/02/2015")});
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("FECHALIMITE")}), "01/02/15");
  Call("PutTotal", {Variant::FromString("FECHALIMITE"), Variant::FromString("32/13/15")});
  EXPECT_EQ(FileBytes(path_).substr(140, 6), "B50201");
  // Config goes the same way.
  Invoke(*e_, "Config", Kind::kLet, {Variant::FromString("CP"), Variant::FromString("28001")});
  EXPECT_EQ(ToStr(Invoke(*e_, "Config", Kind::kGet, {Variant::FromString("cp")}).value), "28001");
}

TEST_F(ParamsTest, SettingsTextRewrite) {
  Call("PUT_TOTAL", {Variant::FromString("Moneda"), Variant::FromString("EUR")});
  EXPECT_EQ(Settings(), "MONEDA=EUR\r\n\x1a");
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("moneda")}), "EUR");
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("MONEDA")}), "EUR");
  Call("PUT_TOTAL", {Variant::FromString("Serie"), Variant::FromString("Año A")});
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("SERIE")}), "Año A");
  EXPECT_EQ(Settings(), "MONEDA=EUR\r\nSERIE=A\xF1o A\r\n\x1a");
  // Shrinking pads the old tail with character 0.
  Call("PUT_TOTAL", {Variant::FromString("MONEDA"), Variant::FromString("")});
  EXPECT_EQ(Settings(), std::string("SERIE=A\xF1o A\r\n\x1a") + std::string(12, '\0'));
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("MONEDA")}), "");
  // Growing again.
  Call("PUT_TOTAL", {Variant::FromString("Larga"), Variant::FromString(std::string(40, 'x'))});
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("LARGA")}), std::string(40, 'x'));
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("SERIE")}), "Año A");
}

TEST_F(ParamsTest, LineBreaksInSettingsAreRefused) {
  Call("PUT_TOTAL", {Variant::FromString("Serie"), Variant::FromString("A")});
  const std::string before = Settings();
  auto refused = [&](const std::function<void()>& f) {
    try {
      f();
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), runtime_error::kInvalidCall);
      EXPECT_EQ(e.source(), kRuntimeSource);
      EXPECT_NE(e.description().find("saltos de línea"), std::string::npos) << e.description();
      return true;
    }
    return false;
  };
  // A value that would smuggle a setting line of its own, by each member
  // that writes settings, and a key with a line break.
  const Variant smuggled = Variant::FromString("x\r\nGLOBAL_DIR=/tmp/otro");
  EXPECT_TRUE(refused([&] { Call("PUT_TOTAL", {Variant::FromString("Serie"), smuggled}); }));
  EXPECT_TRUE(refused([&] { Call("PutTotal", {Variant::FromString("Serie"), smuggled}); }));
  EXPECT_TRUE(refused([&] {
    Invoke(*e_, "Config", Kind::kLet, {Variant::FromString("Global_Dir"), smuggled});
  }));
  EXPECT_TRUE(refused([&] {
    Call("PUT_TOTAL", {Variant::FromString("A\nB"), Variant::FromString("1")});
  }));
  EXPECT_TRUE(refused([&] {
    Call("PutTotal", {Variant::FromString("DIRECCION"), Variant::FromString("Calle\rMayor")});
  }));
  EXPECT_EQ(Settings(), before);
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("GLOBAL_DIR")}), "");
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("SERIE")}), "A");
}

TEST_F(ParamsTest, KeysMatchOnlyWholeKeys) {
  Write(path_, "IVAPOREMPRESA=1\r\nXNOTA=otra\r\n\x1a");
  Call("PUT_TOTAL", {Variant::FromString("IVA"), Variant::FromString("21")});
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("IVAPOREMPRESA")}), "1");
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("IVA")}), "21");
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("NOTA")}), "");
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("XNOTA")}), "otra");
}

TEST_F(ParamsTest, AnotherCompanyFileAndShortFiles) {
  std::string other = env_.home() + "/OTRA02.QRT";
  std::ofstream(other, std::ios::binary) << std::string(100, ' ');
  Call("PUT_TOTAL",
       {Variant::FromString("Clave"), Variant::FromString("v"), Variant::FromString(other)});
  EXPECT_EQ(FileBytes(other).size(), kHeaderSize + std::string("CLAVE=v\r\n\x1a").size());
  EXPECT_EQ(FileBytes(other).substr(kHeaderSize), "CLAVE=v\r\n\x1a");
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("CLAVE")}), "");
}

TEST_F(ParamsTest, ValueWithoutLineEndReadsEmpty) {
  Write(path_, "A=1\r\nB=2");
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("A")}), "1");
  EXPECT_EQ(Call("GET_TOTAL", {Variant::FromString("B")}), "");
}

TEST_F(ParamsTest, NoCompanyOpen) {
  Invoke(*e_, "CerrarEmpresa", Kind::kMethod, {});
  EXPECT_EQ(Call("GetTotal", {Variant::FromString("AÑO")}), "No hay una empresa abierta");
  Call("PutTotal", {Variant::FromString("CP"), Variant::FromString("1")});
  EXPECT_EQ(FileBytes(path_).substr(547, 5), "     ");
}

TEST_F(ParamsTest, LeerConfigListsEveryParameterThenTheSettings) {
  Write(path_, "Uno=1=b\r\n\x01raro=x\r\nsin igual\r\nUno=2\r\n\r\nDos=2\r\n\x1aTres=3\r\n");
  auto col = std::dynamic_pointer_cast<Collection>(
      Invoke(*e_, "LeerConfig", Kind::kGet, {}).value.object());
  ASSERT_EQ(col->Count(), 71 + 2);
  EXPECT_EQ(col->Item(1), Variant::FromString("Comun_Qrole\t"));
  EXPECT_EQ(col->Item(21), Variant::FromString("AÑO\t13"));
  EXPECT_EQ(col->Item(72), Variant::FromString("Uno\t1\tb"));
  EXPECT_EQ(col->Item(73), Variant::FromString("Dos\t2"));
}

TEST_F(ParamsTest, AccountingDate) {
  SetDate("31/12/13");
  EXPECT_EQ(e_->state().accounting_date, "B31231");
  EXPECT_EQ(GetDate(), "131231");
  SetDate("131231");
  EXPECT_EQ(e_->state().accounting_date, "B31231");
  SetDate("31/12/2013");
  EXPECT_EQ(e_->state().accounting_date, "B31231");
  AutomationError outside = DateError("01/01/14");
  EXPECT_EQ(outside.number(), static_cast<int32_t>(0x8004C353));
  EXPECT_EQ(outside.source(), "Valdrix OLE Server");
  EXPECT_EQ(outside.description(), "Año contable: 13\r\nFecha no válida: 01/01/14");
  EXPECT_EQ(e_->state().accounting_date, "B31231");  // nothing stored
}

TEST_F(ParamsTest, AccountingDateWithJulyOpening) {
  Reopen("07");
  SetDate("15/03/14");
  EXPECT_EQ(GetDate(), "140315");
  AutomationError e = DateError("15/09/14");
  EXPECT_EQ(e.description(), "Año contable: 13\r\nApertura: 07\r\nFecha no válida: 15/09/14");
}

TEST_F(ParamsTest, CalendarChecks) {
  const std::string format =
      "Formato Fecha no válido: %s\nFormatos aceptados son: 31/12/13 o 131231";
  for (const char* bad : {"30/02/13", "31/13/13", "00/12/13", "3x/12/13", "31/04/13", "31-12-1z"}) {
    AutomationError e = DateError(bad);
    EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C353)) << bad;
    std::string expected = format;
    expected.replace(expected.find("%s"), 2, bad);
    EXPECT_EQ(e.description(), expected) << bad;
  }
  EXPECT_EQ(ConvertirFecha("29/02/13"), "B30229");
  EXPECT_EQ(ConvertirFecha("851231"), "851231");
  EXPECT_EQ(ConvertirFecha("791231"), "H91231");
  EXPECT_EQ(ConvertirFecha("B31231"), "B31231");
  EXPECT_EQ(ConvertirFecha("31/12/1960"), "601231");
  EXPECT_EQ(ConvertirFecha("31/12/2050"), "F01231");
  EXPECT_EQ(ConvertirFecha("1/1/3"), "");  // neither 6, 8 nor 10 characters
  EXPECT_EQ(ConvertirFechaGuardada("B31231"), "31/12/13");
  EXPECT_EQ(ConvertirFechaGuardada("851231"), "31/12/85");
  EXPECT_EQ(ConvertirFechaGuardada(std::string("\0\0\0\0\0\0", 6)), "00/00/00");
  EXPECT_EQ(ConvertirFechaGuardada("31/12/13"), "B31231");
  EXPECT_EQ(ConvertirFechaGuardada("31/12/85"), "851231");
  EXPECT_EQ(ConvertirFechaGuardada(""), "");
}

TEST_F(ParamsTest, ADateOfNoAcceptedLengthIsRefused) {
  SetDate("31/12/13");
  AutomationError e = DateError("1/1/3");
  EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C353));
  EXPECT_EQ(e.description(),
            "Formato Fecha no válido: 1/1/3\nFormatos aceptados son: 31/12/13 o 131231");
  EXPECT_EQ(GetDate(), "131231");  // the date set before stays
}

TEST_F(ParamsTest, EmptyDateIsRefused) {
  for (const char* empty : {"", "   "}) {
    AutomationError e = DateError(empty);
    EXPECT_EQ(e.number(), 5000);
    EXPECT_EQ(e.source(), "Let Fecha");
    EXPECT_EQ(e.description(), "La fecha está vacía");
  }
}

}  // namespace
}  // namespace qrole::server
