#include "ledger/web_fields.h"

#include <gtest/gtest.h>

#include "qrole/error.h"

namespace qrole::ledger {
namespace {

TEST(WebFieldsTest, OneFieldItem) {
  EXPECT_EQ(CampoWeb(14, "A=B", 0), "14=A-B\t");
  EXPECT_EQ(CampoWeb(2, "150", 3), "2+3=150\t");
  EXPECT_EQ(CampoWeb(2, "=a==b=", 12), "2+12=-a--b-\t");
  EXPECT_EQ(CampoWeb(1, "", 0), "1=\t");
  EXPECT_EQ(CampoWeb(3, "x", -2), "3=x\t");
  // Only exactly "-1" means "not given".
  EXPECT_EQ(CampoWeb(5, "-1", 0), "");
  EXPECT_EQ(CampoWeb(5, "-1", 4), "");
  EXPECT_EQ(CampoWeb(5, " -1", 0), "5= -1\t");
  EXPECT_EQ(CampoWeb(5, "-10", 0), "5=-10\t");
}

TEST(WebFieldsTest, FieldListsOfAccountsAndBudgets) {
  EXPECT_EQ(CamposCuentaWeb("4300001", "Cliente", "0", false, "-1"), "1=4300001\t2=Cliente\t3=0\t");
  EXPECT_EQ(CamposCuentaWeb("4300*", "A=B", "-1", true, "B12345678"),
            "1=4300*\t2=A-B\t6=1\t14=B12345678\t");
  EXPECT_EQ(CamposPresupuestoWeb("6000", "Compras", "3", "-1"), "1=6000\t2=Compras\t4=3\t");
  EXPECT_EQ(CamposImportePresupuestoWeb("6000", 13, 1500), "1=6000\t2+13=1500\t");
  EXPECT_EQ(CamposImportePresupuestoWeb("6000", 2, -1), "1=6000\t");
}

TEST(WebFieldsTest, OnlyAnAnswerBeginningWithErrorIsARefusal) {
  EXPECT_NO_THROW(CheckWebAnswer("OK"));
  EXPECT_NO_THROW(CheckWebAnswer(""));
  EXPECT_NO_THROW(CheckWebAnswer("Error: minúsculas"));
  EXPECT_NO_THROW(CheckWebAnswer(" ERROR"));
  try {
    CheckWebAnswer("ERROR: no existe");
    ADD_FAILURE() << "no error raised";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C35A));
    EXPECT_EQ(e.description(), "ERROR: no existe");
    EXPECT_EQ(e.source(), "Valdrix OLE Server");
  }
}

}  // namespace
}  // namespace qrole::ledger
