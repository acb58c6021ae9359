#include "query/table_utilities.h"

#include <gtest/gtest.h>

#include "automation/dispatcher.h"
#include "platform/scoped_temp_dir.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace qrole::query {
namespace {

using typelib::Kind;

int32_t ErrorNumber(const std::function<void()>& f, std::string* description = nullptr) {
  try {
    f();
  } catch (const AutomationError& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

TEST(TableUtilitiesTest, ListsTheShippedTablesWithTheirDescriptions) {
  server::TestEnv env;  // the program directory this build ships
  std::string tables = LeerTablas();
  EXPECT_NE(tables.find("PLANC\tPlan de cuentas y saldos\r\n"), std::string::npos) << tables;
  EXPECT_NE(tables.find("EXTRA\tApuntes del diario\r\n"), std::string::npos);
  EXPECT_NE(tables.find("Datgl00\t"), std::string::npos);
  size_t lines = 0;
  for (size_t p = tables.find("\r\n"); p != std::string::npos; p = tables.find("\r\n", p + 2))
    ++lines;
  EXPECT_EQ(lines, 13u);
}

TEST(TableUtilitiesTest, FieldNamesOfATable) {
  server::TestEnv env;
  auto names = LeerCampos("PLANC");
  ASSERT_EQ(names->dims(), 1u);
  EXPECT_EQ(names->bounds()[0].lower, 1);
  EXPECT_EQ(names->bounds()[0].count, 46);  // the period arrays count one name per element
  EXPECT_EQ(names->At({1}), Variant::FromString("CUENTA" + std::string(17, ' ')));
  EXPECT_EQ(names->At({2}), Variant::FromString("TITULO" + std::string(17, ' ')));
  auto lower = LeerCampos("planc");
  EXPECT_EQ(lower->At({1}), names->At({1}));
}

TEST(TableUtilitiesTest, RefusesMissingAndUnsafeTableNames) {
  server::TestEnv env;
  std::string text;
  EXPECT_EQ(ErrorNumber([] { LeerCampos("  "); }, &text), static_cast<int32_t>(0x8004EA60));
  EXPECT_EQ(text, "Tabla Obligatorio");
  for (const char* bad : {"../../etc/passwd", "sub/PLANC", "..\\PLANC", "C:PLANC"}) {
    EXPECT_EQ(ErrorNumber([&] { LeerCampos(bad); }, &text), static_cast<int32_t>(0x8004EA60))
        << bad;
    EXPECT_EQ(text, std::string("Nombre de tabla no válido\n") + bad);
  }
  EXPECT_EQ(ErrorNumber([] { LeerCampos("NOEXISTE"); }), 53);
}

TEST(TableUtilitiesTest, ThroughTheObject) {
  server::TestEnv env;
  auto e = server::Enlace::Create();
  Variant v = Invoke(*e, "Util_LeerCampos", Kind::kMethod, {Variant::FromString("EFECT")}).value;
  ASSERT_TRUE(v.IsArray());
  EXPECT_GT(v.array()->size(), 5u);
  Variant t = Invoke(*e, "util_leertablas", Kind::kMethod, {}).value;
  EXPECT_NE(t.str().find("Presu\tPresupuestos\r\n"), std::string::npos);
}

}  // namespace
}  // namespace qrole::query

namespace qrole::query {
namespace {

class LeerDatosTest : public ::testing::Test {
 protected:
  LeerDatosTest() : env_(Registry()) {}
  std::string Registry() {
    data_dir_ = dirs_.path() + "/datos/";
    platform::CurrentEnv()->Files().CreateDirectories(data_dir_).IgnoreError();
    return "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ + "\nVersion=7.5\n";
  }
  std::string Datos(std::vector<Variant> args) {
    return Invoke(*e_, "Util_LeerDatos", Kind::kMethod, std::move(args)).value.str();
  }
  platform::ScopedTempDir dirs_;
  std::string data_dir_;
  server::TestEnv env_;
  std::shared_ptr<server::Enlace> e_ = server::Enlace::Create();
};

TEST_F(LeerDatosTest, RowsOfACompanyTable) {
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Datos({Variant::FromString("PLANC")}); }, &text),
            static_cast<int32_t>(0x8004EA60));
  EXPECT_EQ(text, "Empresa no Abierta");
  EXPECT_EQ(ErrorNumber([&] { Datos({Variant::FromString("")}); }, &text),
            static_cast<int32_t>(0x8004EA60));
  EXPECT_EQ(text, "Tabla Obligatorio");

  // A new company gets the 2007 chart; open it by its bare name.
  Invoke(*e_, "CrearEmpresa", Kind::kMethod,
         {Variant::FromString("Datos"), Variant::FromString("24")});
  Invoke(*e_, "AbrirEmpresa", Kind::kMethod, {Variant::FromString("Datos")});
  std::string row = Datos(
      {Variant::FromString("PLANC"), Variant::FromString("CUENTA"), Variant::FromString("100")});
  ASSERT_EQ(row.substr(0, 11), "100       \t") << row;
  EXPECT_NE(row.find("Capital social"), std::string::npos);
  EXPECT_EQ(row.substr(row.size() - 3), "\t\r\n");
  size_t lines = 0;
  std::string groups = Datos({Variant::FromString("PLANC"), Variant::Missing(), Variant::Missing(),
                              Variant::FromString("NIVEL = 1")});
  for (size_t p = groups.find("\r\n"); p != std::string::npos; p = groups.find("\r\n", p + 2))
    ++lines;
  EXPECT_EQ(lines, 9u);  // the nine groups of the chart
  // A condition the table cannot read comes back with its number and text.
  EXPECT_EQ(ErrorNumber(
                [&] {
                  Datos({Variant::FromString("PLANC"), Variant::Missing(), Variant::Missing(),
                         Variant::FromString("NOCAMPO = 1")});
                },
                &text),
            static_cast<int32_t>(0x8004C3F0));
  EXPECT_NE(text.find("NOCAMPO = 1"), std::string::npos);
  EXPECT_EQ(ErrorNumber([&] { Datos({Variant::FromString("../PLANC")}); }),
            static_cast<int32_t>(0x8004EA60));
}

}  // namespace
}  // namespace qrole::query
