#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "data/catalogue.h"
#include "data/currency_table.h"
#include "platform/path.h"
#include "qrole/error.h"
#include "server/company_creation.h"
#include "server/company_header.h"
#include "server/enlace.h"
#include "server/test_env.h"
#include "web/scripted_client_test_util.h"
#include "web/web_session.h"

namespace qrole::server {
namespace {

using typelib::Kind;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CreationTest : public ::testing::Test {
 protected:
  CreationTest() : env_(Registry()) {}
  std::string Registry() {
    data_dir_ = dirs_.path() + "/datos/";
    program_dir_ = dirs_.path() + "/programa/";
    conceptos_ = dirs_.path() + "/conceptos/";
    for (const std::string& d : {data_dir_, program_dir_, conceptos_})
      platform::CurrentEnv()->Files().CreateDirectories(d).IgnoreError();
    for (const char* family : {"00", "01", "02"}) {
      std::ofstream(program_dir_ + "PLANC" + family + ".QRD") << "chart " << family;
      std::ofstream(program_dir_ + "PLANC" + family + ".QRC") << "index " << family;
    }
    return "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ +
           "\nDirectory=" + program_dir_ + "\nVersion=7.5\nCon_Dir=" + conceptos_ + "\n";
  }
  std::string Create(std::vector<Variant> args) {
    return ToStr(Invoke(*e_, "CrearEmpresa", Kind::kMethod, std::move(args)).value);
  }
  AutomationError ErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const AutomationError& e) {
      return e;
    }
    return AutomationError(0, "", "");
  }
  void WriteCurrencies(const std::string& file, double second_rate, int decimals0, int decimals1) {
    std::string bytes;
    data::CurrencySlot euro{"Euro", "EUR", decimals0, 1.0};
    data::CurrencySlot peseta{"Peseta", "PTA", decimals1, second_rate};
    bytes += data::EncodeCurrencyRecord(euro) + data::EncodeCurrencyRecord(peseta);
    for (int i = 2; i < 10; ++i) bytes += data::EncodeCurrencyRecord({});
    std::ofstream(conceptos_ + file, std::ios::binary) << bytes;
  }

  platform::ScopedTempDir dirs_;
  std::string data_dir_, program_dir_, conceptos_;
  TestEnv env_;
  std::shared_ptr<Enlace> e_ = Enlace::Create();
};

TEST_F(CreationTest, CreatesACompanyWithItsHeaderAndChart) {
  std::string path = Create({Variant::FromString("Nueva"), Variant::FromString("2024")});
  EXPECT_EQ(path, platform::NativePath(data_dir_ + "Nueva.QRT"));
  std::string header = FileBytes(path);
  ASSERT_EQ(header.size(), kHeaderSize);
  EXPECT_EQ(HeaderText(header, "COMUN"), "01");
  EXPECT_EQ(HeaderText(header, "AÑO"), "24");
  EXPECT_EQ(HeaderText(header, "NIVEL"), "12345");
  EXPECT_EQ(HeaderText(header, "AUX"), "0010");
  EXPECT_EQ(HeaderText(header, "APERTURA"), "01");
  EXPECT_EQ(HeaderText(header, "DOCUMENTO"), "000001");
  EXPECT_EQ(HeaderText(header, "PASSWORD1"), "    ");
  EXPECT_EQ(header[172], 1);  // ARCHIVOMONEDABASE
  float version;
  std::memcpy(&version, &header[176], 4);
  EXPECT_FLOAT_EQ(version, 7.5f);
  EXPECT_EQ(FileBytes(data_dir_ + "PLANC01.QRD"), "chart 01");
  EXPECT_EQ(FileBytes(data_dir_ + "PLANC01.QRC"), "index 01");
  // The new company is in the catalogue, and not open.
  EXPECT_EQ(e_->empresas()->Count(), 1);
  EXPECT_FALSE(e_->company_open());
  // It opens.
  Invoke(*e_, "AbrirEmpresa", Kind::kMethod, {Variant::FromString(path)});
  EXPECT_EQ(ToStr(Invoke(*e_, "NumeroEmpresa", Kind::kMethod, {}).value), "01");
}

TEST_F(CreationTest, NumbersNamesAndTemplates) {
  std::ofstream(data_dir_ + "PLANC01.QRD") << "x";
  std::ofstream(data_dir_ + "EXTRA02.QRD") << "x";
  std::string path =
      Create({Variant::FromString("Nueva"), Variant::FromString("24"), Variant::FromString("43000"),
              Variant::FromString("0010"), Variant::FromString("0"), Variant::FromString("07"),
              Variant::FromLong(5), Variant::FromLong(1)});
  std::string header = FileBytes(path);
  EXPECT_EQ(HeaderText(header, "COMUN"), "03");
  EXPECT_EQ(HeaderText(header, "APERTURA"), "07");
  EXPECT_EQ(HeaderText(header, "IVAIGIC"), "1");
  EXPECT_EQ(header[172], 0);
  EXPECT_EQ(FileBytes(data_dir_ + "PLANC03.QRD"), "chart 02");  // Portuguese family
  // The same name again: a free header name.
  std::string second =
      Create({Variant::FromString("Nueva"), Variant::FromString("24"), Variant::FromString("12340"),
              Variant::FromString("0010"), Variant::FromString("1"), Variant::FromString("01"),
              Variant::FromLong(0)});
  EXPECT_EQ(second, platform::NativePath(data_dir_ + "Nueva~1.QRt"));
  EXPECT_EQ(HeaderText(FileBytes(second), "COMUN"), "04");
  EXPECT_EQ(FileBytes(data_dir_ + "PLANC04.QRD"), "chart 00");
}

TEST_F(CreationTest, OptionsText) {
  CreationArgs a;
  a.year = "2024";
  EXPECT_EQ(CreationOptions(a), "/A:24 /N:12345 /X:0010 /M:1 /P:01 /Z:-1 /I:0");
  a.year = "24";
  EXPECT_EQ(CreationOptions(a).substr(0, 6), "/A:24 ");
  a.year = "Actual: Formato= 12";
  std::string year = FormatNumber(platform::CurrentEnv()->GetClock().Now().year % 100, "00");
  EXPECT_EQ(CreationOptions(a).substr(0, 6), "/A:" + year + " ");
}

TEST_F(CreationTest, CreationThroughTheOpeningPassword) {
  std::vector<Variant> args = {Variant::FromString("PorClave"),
                               Variant::FromString("/C/A:23 /N:43000 /Z:0")};
  InvokeResult r = Invoke(*e_, "AbrirEmpresa", Kind::kMethod, args);
  ASSERT_EQ(r.byref.size(), 2u);
  EXPECT_EQ(r.byref[1].second,
            Variant::FromString(platform::NativePath(data_dir_ + "PorClave.QRT")));
  EXPECT_EQ(HeaderText(FileBytes(data_dir_ + "PorClave.QRT"), "AÑO"), "23");
  EXPECT_FALSE(e_->company_open());
}

TEST_F(CreationTest, NoFreeNumber) {
  for (int n = 1; n <= 99; ++n)
    std::ofstream(data_dir_ + "EMPRE" + FormatNumber(n, "00") + ".QRT") << "x";
  AutomationError e = ErrorOf([&] { Create({Variant::FromString("Otra")}); });
  EXPECT_EQ(e.number(), 50011);
  EXPECT_EQ(e.source(), "QROLE");
  EXPECT_EQ(e.description(),
            "No hay espacio en el directorio " + data_dir_ + "  para crear otra empresa");
  AutomationError no_dir = ErrorOf([] { data::FindFreeCompanyNumber("", "", ""); });
  EXPECT_EQ(no_dir.number(), 50012);
  EXPECT_EQ(no_dir.description(), "RUTA= " + data_dir_);
  EXPECT_EQ(data::FindFreeCompanyNumber(dirs_.path() + "/conceptos", "01", ""), "02");
}

TEST_F(CreationTest, NamesWithControlCharactersAreRefused) {
  // A NUL would end the file name before ".QRT"; a line feed or a tab has
  // no place in a company name either. Nothing is created, by CrearEmpresa
  // or by the opening password.
  for (const std::string& name :
       {std::string("Cortada\0Oculta", 15), std::string("Dos\nLineas"), std::string("Tab\tX")}) {
    AutomationError e = ErrorOf([&] { Create({Variant::FromString(name)}); });
    EXPECT_EQ(e.number(), runtime_error::kFileAccess);
    EXPECT_EQ(e.source(), kRuntimeSource);
    EXPECT_EQ(e.description().rfind("Nombre de empresa no válido (caracteres de control): ", 0), 0u)
        << e.description();
    EXPECT_EQ(ErrorOf([&] {
                Invoke(*e_, "AbrirEmpresa", Kind::kMethod,
                       {Variant::FromString("Clave" + name), Variant::FromString("/C/A:24")});
              }).number(),
              runtime_error::kFileAccess);
  }
  auto listed = platform::CurrentEnv()->Files().List(data_dir_, "*");
  ASSERT_TRUE(listed.ok());
  EXPECT_TRUE(listed->empty());
  EXPECT_EQ(e_->empresas()->Count(), 0);
}

TEST_F(CreationTest, CurrencyConversion) {
  WriteCurrencies("Moneda1.qrf", 0.006, 2, 0);
  std::string path = Create({Variant::FromString("Euros")});
  Invoke(*e_, "AbrirEmpresa", Kind::kMethod, {Variant::FromString(path)});
  // Right after opening, before any table was opened.
  InvokeResult r =
      Invoke(*e_, "CalcularMoneda", Kind::kMethod,
             {Variant::FromDouble(100), Variant::FromDouble(0), Variant::FromDouble(0)});
  ASSERT_EQ(r.byref.size(), 3u);
  EXPECT_EQ(r.byref[2].second, Variant::FromDouble(100));    // pesetas: 2 decimals of slot 0
  EXPECT_EQ(r.byref[1].second, Variant::FromDouble(16639));  // 100 / (1/166.386), 0 decimals
  EXPECT_DOUBLE_EQ(data::Currencies().rate, 1 / 166.386);
  EXPECT_TRUE(env_.TakeMessages().empty());
  // With the object's exchange rate equal to the table's.
  Invoke(*e_, "CambioMoneda", Kind::kLet, {Variant::FromDouble(1 / 166.386)});
  r = Invoke(*e_, "CalcularMoneda", Kind::kMethod,
             {Variant::FromDouble(50), Variant::FromDouble(0), Variant::FromDouble(0)});
  EXPECT_EQ(r.byref[1].second, Variant::FromDouble(50));
  Invoke(*e_, "CambioMoneda", Kind::kLet, {Variant::FromDouble(0)});
}

TEST_F(CreationTest, CurrencyConversionWithoutARate) {
  WriteCurrencies("Moneda1.qrf", 0, 2, 0);
  std::string path = Create({Variant::FromString("SinCambio")});
  Invoke(*e_, "AbrirEmpresa", Kind::kMethod, {Variant::FromString(path)});
  InvokeResult r =
      Invoke(*e_, "CalcularMoneda", Kind::kMethod,
             {Variant::FromDouble(10.005), Variant::FromDouble(7), Variant::FromDouble(0)});
  EXPECT_EQ(r.byref[1].second, Variant::FromDouble(7));  // unchanged
  EXPECT_EQ(r.byref[2].second, Variant::FromDouble(10.01));
  auto boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "No está definida el cambio de moneda");
  EXPECT_EQ(boxes[0].icon, platform::MsgIcon::Warning);
}

TEST_F(CreationTest, SharedFileFallsBackToTheDefaultFolder) {
  env_.Settings().Write("SOFTWARE\\QRN\\Valdrix\\Settings", "Con_Dir",
                        dirs_.path() + "/no/existe/");
  std::ofstream(program_dir_ + "Moneda1.qrf") << "shipped";
  std::string path = data::ResolveSharedFile("Con_Dir", "Moneda1.qrf", "", "");
  std::string fallback = data::DefaultSharedFolder("Con_Dir");
  EXPECT_EQ(path, fallback + "Moneda1.qrf");
  EXPECT_EQ(FileBytes(path), "shipped");
  auto boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Archivo " + dirs_.path() +
                               "/no/existe/Moneda1.qrf no está disponible "
                               "... se utilizará " +
                               fallback + "Moneda1.qrf");
  EXPECT_EQ(env_.Settings().Read("SOFTWARE\\QRN\\Valdrix\\Settings", "Con_Dir"),
            platform::NativePath(fallback));
  // A file of the open company comes from the company directory.
  EXPECT_EQ(data::ResolveSharedFile("Con_Dir", "VdfOl07.qrf", "/empresa/", "07"),
            "/empresa/VdfOl07.qrf");
}

TEST_F(CreationTest, OnTheWebTheServiceCreatesTheCompany) {
  auto log = std::make_shared<web::testing::ClientLog>();
  std::string answer = "OK: creada";
  e_->web_session().client = std::make_unique<web::testing::ScriptedClient>(
      log, [&](const std::string& method, std::vector<web::WebArg>& args) -> std::string {
        if (method == "ID") return "W1\tx\t00\t07\t\tE1";
        if (args[1].value.find("<CREAREMPRESA>") != std::string::npos) return answer;
        return "<Empresas/>";
      });
  Invoke(*e_, "Login", Kind::kMethod,
         {Variant::FromString("ana"), Variant::FromString("x"),
          Variant::FromString("https://svc.example.test/valdrix")});
  log->calls.clear();
  auto create = [&] {
    return Create({Variant::FromString("Nueva & Cía"), Variant::FromString("2024"),
                   Variant::FromString("12340"), Variant::FromString("0010"),
                   Variant::FromString("1"), Variant::FromString("07"), Variant::FromLong(2),
                   Variant::FromLong(1)});
  };
  EXPECT_EQ(create(), "OK: creada");
  EXPECT_EQ(log->Documents(),
            std::vector<std::string>{
                "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<CREAREMPRESA>Nueva &#38; "
                "C&#237;a<ID>W1</ID><VALOR>/A:24 /N:12340 /X:0010 /M:1 /P:07 /Z:2 "
                "/I:1</VALOR>\r\n</CREAREMPRESA>"});
  // Nothing local is created.
  EXPECT_FALSE(platform::CurrentEnv()->Files().Exists(data_dir_ + "Nueva & Cía.QRT"));

  answer = "ERROR: sin permiso";
  AutomationError err = ErrorOf(create);
  EXPECT_EQ(err.number(), static_cast<int32_t>(0x8004C35D));
  EXPECT_EQ(err.source(), "Valdrix OLE Server");
  EXPECT_EQ(err.description(), "Esta opción no está disponible con enlace a svc.example.test");
}

}  // namespace
}  // namespace qrole::server
