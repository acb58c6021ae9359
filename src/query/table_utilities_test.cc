#include "query/table_utilities.h"

#include <gtest/gtest.h>

#include "automation/dispatcher.h"
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
  for (size_t p = tables.find("\r\n"); p != std::string::npos; p = tables.find("\r\n", p + 2)) ++lines;
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
