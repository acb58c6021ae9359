#include "maintenance/accounts.h"

#include "data/globals.h"
#include "data/slot.h"
#include "data/table_component.h"
#include "maintenance/maintenance_test_util.h"
#include "platform/file_identity.h"
#include "qrole/error.h"

namespace qrole::maintenance {
namespace {

constexpr int32_t kNoCompany = static_cast<int32_t>(0x8004C356);

class AccountsTest : public MaintenanceTest {
 protected:
  void SetUp() override { OpenCompany(); }

  // CrearCuenta(code, title, level) and the code it leaves in the caller's
  // variable.
  bool Create(const std::string& member, const std::string& code, const std::string& title,
              const std::string& level = "0", std::string* code_after = nullptr) {
    InvokeResult r = Call(member, {S(code), S(title), S(level)});
    if (code_after) *code_after = ByRef(r, 0).str();
    return r.value.boolean();
  }
};

TEST_F(AccountsTest, NewAccountGetsTitleLevelZeroBalancesAndFlags) {
  InvokeResult r = Call("CrearCuenta", {S("5720001"), S("Banco Uno")});
  EXPECT_EQ(r.value, Variant::FromBool(true));
  EXPECT_EQ(ByRef(r, 0), S("5720001"));
  EXPECT_EQ(Count("PLANC", "5720001"), 1);
  EXPECT_EQ(Text("PLANC", "5720001", 2), "Banco Uno");
  EXPECT_EQ(Text("PLANC", "5720001", 3), "0");
  EXPECT_EQ(Text("PLANC", "5720001", 6), "0");
  EXPECT_EQ(Text("PLANC", "5720001", 14), "");  // the NIF "-1" is not written
  for (int period : {0, 6, 14}) {
    EXPECT_EQ(Text("PLANC", "5720001", 12, period), "0");
    EXPECT_EQ(Text("PLANC", "5720001", 13, period), "0");
  }

  r = Call("CrearCuenta",
           {S("4300009"), S("Cliente Nueve"), S("2"), Variant::FromBool(true), S("B12345678")});
  EXPECT_EQ(r.value, Variant::FromBool(true));
  EXPECT_EQ(Text("PLANC", "4300009", 3), "2");
  EXPECT_EQ(Text("PLANC", "4300009", 6), "1");
  EXPECT_EQ(Text("PLANC", "4300009", 14), "B12345678");
  EXPECT_EQ(Count("Costo", "4300009"), 0);
  EXPECT_EQ(Count("PLANA", "4300009"), 0);
}

TEST_F(AccountsTest, ExistingAccountChangesOnlyForTheLevelCodes) {
  const std::string title = Text("PLANC", "4300", 2);
  const std::string level = Text("PLANC", "4300", 3);
  const std::string analytic = Text("PLANC", "4300", 6);
  ASSERT_NE(analytic, "1");
  ASSERT_EQ(Count("PLANC", "4300"), 1);

  // An ordinary level: nothing written, and True.
  EXPECT_TRUE(Create("CrearCuenta", "4300", "Otro titulo", "3"));
  EXPECT_EQ(Text("PLANC", "4300", 2), title);
  EXPECT_EQ(Text("PLANC", "4300", 3), level);

  // -1: the title alone; the caller's level stays as it was.
  InvokeResult r = Call("CrearCuenta", {S("4300"), S("Clientes nacionales"), S("-1")});
  EXPECT_EQ(r.value, Variant::FromBool(true));
  EXPECT_EQ(ByRef(r, 2), S("-1"));
  EXPECT_EQ(Text("PLANC", "4300", 2), "Clientes nacionales");
  EXPECT_EQ(Text("PLANC", "4300", 3), level);
  EXPECT_EQ(Text("PLANC", "4300", 6), analytic);

  // -6: marked analytic; the title stays.
  EXPECT_TRUE(Create("CrearCuenta", "4300", "Ignorado", "-6"));
  EXPECT_EQ(Text("PLANC", "4300", 6), "1");
  EXPECT_EQ(Text("PLANC", "4300", 2), "Clientes nacionales");
  EXPECT_EQ(Count("PLANC", "4300"), 1);
}

TEST_F(AccountsTest, LevelCodesOnAMissingAccountCreateItWithLevelZero) {
  InvokeResult r = Call("CrearCuenta", {S("5720002"), S("Banco Dos"), S("-1")});
  EXPECT_EQ(r.value, Variant::FromBool(true));
  EXPECT_EQ(ByRef(r, 2), S("0"));
  EXPECT_EQ(Text("PLANC", "5720002", 2), "Banco Dos");
  EXPECT_EQ(Text("PLANC", "5720002", 3), "0");
  EXPECT_EQ(Text("PLANC", "5720002", 6), "0");

  r = Call("CrearCuenta", {S("6000001"), S("Compras"), S("-6")});
  EXPECT_EQ(r.value, Variant::FromBool(true));
  EXPECT_EQ(ByRef(r, 2), S("0"));
  EXPECT_EQ(Text("PLANC", "6000001", 3), "0");
  EXPECT_EQ(Text("PLANC", "6000001", 6), "1");
}

TEST_F(AccountsTest, NumbersAfterTheLastMatchingAccount) {
  std::string code;
  EXPECT_TRUE(Create("CrearCuenta", "4300*", "Cliente", "0", &code));
  EXPECT_EQ(code, "4300000001");  // only "4300" matched: padded to 10
  EXPECT_EQ(Text("PLANC", "4300000001", 2), "Cliente");
  EXPECT_TRUE(Create("CrearCuenta", "4300*", "Cliente", "0", &code));
  EXPECT_EQ(code, "4300000002");
  EXPECT_TRUE(Create("CrearCuenta", "4300000007", "Cliente Siete"));
  EXPECT_TRUE(Create("CrearCuenta", "4300*", "Cliente", "0", &code));
  EXPECT_EQ(code, "4300000008");
  EXPECT_EQ(Count("PLANC", "4300000008"), 1);
  EXPECT_EQ(Count("PLANC", "4300"), 1);
}

TEST_F(AccountsTest, NumberingPadsToTheFirstWidthOfTheAuxiliarySetting) {
  Call("PutTotal", {S("AUX"), S("4600")});
  std::string code;
  // "4400" is not shorter than 4: the second width, 6, applies.
  EXPECT_TRUE(Create("CrearCuenta", "4400*", "Deudor", "0", &code));
  EXPECT_EQ(code, "440001");
  EXPECT_TRUE(Create("CrearCuenta", "4400*", "Deudor", "0", &code));
  EXPECT_EQ(code, "440002");
  // The last match in code order is "4409" (above "440002"), padded to 6.
  EXPECT_TRUE(Create("CrearCuenta", "440*", "Deudor", "0", &code));
  EXPECT_EQ(code, "440901");
  // "12" is shorter than 4: the first width applies.
  ASSERT_TRUE(Create("CrearAlterna", "12", "Reservas"));
  EXPECT_TRUE(Create("CrearAlterna", "12*", "Reserva", "0", &code));
  EXPECT_EQ(code, "1201");
  Call("PutTotal", {S("AUX"), S("0000")});
  EXPECT_TRUE(Create("CrearCuenta", "4404*", "Deudor", "0", &code));
  EXPECT_EQ(code, "4405");  // no width applies: the code itself plus one
}

TEST_F(AccountsTest, NumberingWithoutAMatchStartsFromThePattern) {
  std::string code;
  EXPECT_TRUE(Create("CrearAlterna", "1*", "Capital", "0", &code));
  EXPECT_EQ(code, "1000000001");
  EXPECT_EQ(Text("PLANA", "1000000001", 2), "Capital");
  // Leading zeros of cost-centre codes are kept.
  EXPECT_TRUE(Create("CrearAnalitica", "001*", "Taller", "0", &code));
  EXPECT_EQ(code, "0010000001");
  EXPECT_TRUE(Create("CrearAnalitica", "001*", "Taller", "0", &code));
  EXPECT_EQ(code, "0010000002");
  EXPECT_EQ(Count("Costo", "0010000002"), 1);
}

TEST_F(AccountsTest, GeneratedCodeAlreadyInTheChartOrTooLongWritesNothing) {
  ASSERT_TRUE(Create("CrearCuenta", "4399999999", "Ultimo"));
  ASSERT_TRUE(Create("CrearCuenta", "4400000000", "Existente"));
  std::string code;
  EXPECT_FALSE(Create("CrearCuenta", "4399*", "Nuevo", "0", &code));
  EXPECT_EQ(code, "4400000000");
  EXPECT_EQ(Count("PLANC", "4400000000"), 1);
  EXPECT_EQ(Text("PLANC", "4400000000", 2), "Existente");

  // 9999999999 + 1 does not fit the code field; cut, it would be 1000000000.
  ASSERT_TRUE(Create("CrearCuenta", "9999999999", "Ultima"));
  EXPECT_FALSE(Create("CrearCuenta", "99999*", "Nueva", "0", &code));
  EXPECT_EQ(Count("PLANC", "1000000000"), 0);
}

TEST_F(AccountsTest, CodesThatCannotBeStoredAsWrittenAreRefused) {
  ASSERT_TRUE(Create("CrearCuenta", "4300000000", "Diez"));
  EXPECT_FALSE(Create("CrearCuenta", "43000000001", "Once"));
  EXPECT_EQ(Count("PLANC", "4300000000"), 1);
  EXPECT_EQ(Text("PLANC", "4300000000", 2), "Diez");
  EXPECT_FALSE(Create("CrearCuenta", "", "Nada"));
  EXPECT_FALSE(Create("CrearCuenta", "   ", "Nada"));
  EXPECT_EQ(Count("PLANC", ""), 0);
}

TEST_F(AccountsTest, CostCentresNeverCarryTheAnalyticFlag) {
  std::string code;
  EXPECT_TRUE(Create("CrearAnalitica", "0001", "Taller", "-6", &code));
  EXPECT_EQ(Text("Costo", "0001", 3), "0");
  EXPECT_EQ(Text("Costo", "0001", 6), "");
  EXPECT_TRUE(Create("CrearAnalitica", "0001", "Otro", "-6"));
  EXPECT_EQ(Text("Costo", "0001", 6), "");
  EXPECT_EQ(Text("Costo", "0001", 2), "Taller");
  EXPECT_TRUE(Create("CrearAnalitica", "0001", "Taller mecanico", "-1"));
  EXPECT_EQ(Text("Costo", "0001", 2), "Taller mecanico");
  EXPECT_EQ(Count("PLANC", "0001"), 0);

  EXPECT_TRUE(Create("CrearAlterna", "5720001", "Banco", "1"));
  EXPECT_EQ(Text("PLANA", "5720001", 6), "0");
  EXPECT_EQ(Count("PLANC", "5720001"), 0);
}

TEST_F(AccountsTest, TheRoutineGrabarAsientoCallsTakesAnyLevelValue) {
  std::string code = "7000*";
  Variant level = Variant::FromLong(-1);  // a number, not a text
  EXPECT_TRUE(CrearEnPlan(*e_, kPlanContable, &code, "Ventas", &level, false, "-1"));
  EXPECT_EQ(code, "7000000001");
  EXPECT_EQ(level, S("0"));
  std::string existing = "7000000001";
  Variant minus_one = S(" -1 ");
  EXPECT_TRUE(
      CrearEnPlan(*e_, kPlanContable, &existing, "Ventas nacionales", &minus_one, false, "-1"));
  EXPECT_EQ(Text("PLANC", "7000000001", 2), "Ventas nacionales");
  EXPECT_EQ(ErrorNumber([&] { CrearEnPlan(*e_, 2, &code, "x", &level, false, "-1"); }),
            runtime_error::kInvalidCall);
}

TEST_F(AccountsTest, ErrorsOfTheChartTableReachTheCaller) {
  env_.faults().FailOpen(TablePath("PLANC"), platform::Status::Busy("en uso"));
  EXPECT_EQ(ErrorNumber([&] { Create("CrearCuenta", "5720003", "Banco"); }),
            ObjectError(data::kTableError));
  env_.faults().Reset();
  EXPECT_EQ(Count("PLANC", "5720003"), 0);
}

TEST_F(AccountsTest, AnularCuentaDeletesTheAccountAndItsMasterData) {
  ASSERT_TRUE(Create("CrearCuenta", "4300001", "Cliente Uno"));
  AddRecord("DATOS", "4300001", "Cliente Uno S.L.");
  AddRecord("DATOS", "4300002", "Solo datos");

  EXPECT_EQ(Call("AnularCuenta", {S("4300001")}).value, Variant::FromBool(true));
  EXPECT_EQ(Count("PLANC", "4300001"), 0);
  EXPECT_EQ(Count("DATOS", "4300001"), 0);
  EXPECT_EQ(Count("PLANC", "4300"), 1);
  // The files of the record code are closed (where files stay open between
  // calls, the company's tables are kept for the next one); the company
  // stays open.
  EXPECT_EQ(data::GetSlot(1).is_open(), platform::KeepFilesOpenBetweenCalls());
  EXPECT_EQ(data::GetSlot(3).is_open(), platform::KeepFilesOpenBetweenCalls());
  EXPECT_TRUE(e_->company_open());
  EXPECT_TRUE(env_.TakeMessages().empty());

  // Only in the master data: nothing goes.
  EXPECT_EQ(Call("AnularCuenta", {S("4300002")}).value, Variant::FromBool(false));
  EXPECT_EQ(Count("DATOS", "4300002"), 1);
  EXPECT_EQ(Call("AnularCuenta", {S("4300001")}).value, Variant::FromBool(false));

  // The code can be used again.
  EXPECT_TRUE(Create("CrearCuenta", "4300001", "Cliente Nuevo"));
  EXPECT_EQ(Count("PLANC", "4300001"), 1);
  EXPECT_EQ(Call("AnularCuenta", {S("4300001")}).value, Variant::FromBool(true));
  EXPECT_EQ(Count("PLANC", "4300001"), 0);
}

TEST_F(AccountsTest, AnularCuentaNeverDeletesAnotherAccount) {
  ASSERT_TRUE(Create("CrearCuenta", "4300000010", "Diez"));
  EXPECT_EQ(Call("AnularCuenta", {S("43000000101")}).value, Variant::FromBool(false));
  EXPECT_EQ(Call("AnularCuenta", {S("430000001")}).value, Variant::FromBool(false));
  EXPECT_EQ(Call("AnularCuenta", {S("")}).value, Variant::FromBool(false));
  EXPECT_EQ(Count("PLANC", "4300000010"), 1);
}

// The members with arguments that would otherwise succeed.
std::vector<std::pair<std::string, std::vector<Variant>>> EveryMember() {
  auto s = [](const char* t) { return Variant::FromString(t); };
  return {
      {"CrearCuenta", {s("4300001"), s("x")}},
      {"CrearAnalitica", {s("0001"), s("x")}},
      {"CrearAlterna", {s("4300001"), s("x")}},
      {"CrearPresupuesto", {s("6000"), s("x")}},
      {"ModificarPresupuesto", {s("6000"), Variant::FromLong(13), Variant::FromDouble(1)}},
      {"AnularCuenta", {s("4300001")}},
  };
}

TEST(AccountsGuardTest, EveryMemberNeedsAnOpenCompany) {
  server::TestEnv env;
  auto e = server::Enlace::Create();
  for (const auto& [name, args] : EveryMember()) {
    std::string text;
    EXPECT_EQ(ErrorNumber([&] { Invoke(*e, name, typelib::Kind::kMethod, args); }, &text),
              kNoCompany)
        << name;
    EXPECT_EQ(text, "Empresa No Abierta ... Abrir Empresa y reintentar");
  }
}

// In web mode the accounts go to the service as remote updates of the
// chart's file ("1", "8" or "9") or of "PRESU"; no local file is touched.
class AccountsWebTest : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    web_ = std::make_unique<ScriptedWeb>(*e_);
  }
  static std::string Update(const std::string& fields, const std::string& file) {
    return ScriptedWeb::Document("UPDATE", {{"CAMPOS", fields}, {"ARCHIVO", file}});
  }
  // What the local chart holds, looked at outside web mode.
  int LocalCount(const std::string& table, const std::string& code) {
    e_->state().web_mode = false;
    const int n = Count(table, code);
    e_->state().web_mode = true;
    return n;
  }
  std::unique_ptr<ScriptedWeb> web_;
};

TEST_F(AccountsWebTest, AccountsAreSentAsUpdatesOfTheirChart) {
  InvokeResult r = Call("CrearCuenta", {S("4300*"), S("Cañas & Co")});
  EXPECT_EQ(r.value, Variant::FromBool(true));
  // No numbering on this side: the pattern goes as written and stays.
  EXPECT_EQ(ByRef(r, 0), S("4300*"));
  EXPECT_EQ(web_->OnlyDocument(), Update("1=4300*\t2=Ca&#241;as &#38; Co\t3=0\t", "1"));
  EXPECT_EQ(LocalCount("PLANC", "4300000001"), 0);

  Call("CrearCuenta",
       {S("5720001"), S("Banco=Uno"), S("2"), Variant::FromBool(true), S("B12345678")});
  Call("CrearAnalitica", {S("0001"), S("Taller"), S("3")});
  Call("CrearAlterna", {S("4300001"), S("Cliente")});
  // The title level code -1 and the NIF "-1" are left out.
  Call("CrearCuenta", {S("5720001"), S("Banco Dos"), S("-1")});
  const std::vector<std::string> docs = web_->Documents();
  ASSERT_EQ(docs.size(), 5u);
  EXPECT_EQ(docs[1], Update("1=5720001\t2=Banco-Uno\t3=2\t6=1\t14=B12345678\t", "1"));
  EXPECT_EQ(docs[2], Update("1=0001\t2=Taller\t3=3\t", "8"));
  EXPECT_EQ(docs[3], Update("1=4300001\t2=Cliente\t3=0\t", "9"));
  EXPECT_EQ(docs[4], Update("1=5720001\t2=Banco Dos\t", "1"));
  EXPECT_EQ(LocalCount("PLANC", "5720001"), 0);
  EXPECT_EQ(LocalCount("Costo", "0001"), 0);
}

TEST_F(AccountsWebTest, RefusalsOfTheServiceAreRaised) {
  web_->answer = [](const std::string&) { return std::string("ERROR: cuenta bloqueada"); };
  for (const auto& [name, args] : EveryMember()) {
    if (name == "AnularCuenta") continue;
    std::string text;
    EXPECT_EQ(ErrorNumber([&] { Call(name, args); }, &text), static_cast<int32_t>(0x8004C35D))
        << name;
    EXPECT_EQ(text, "ERROR: cuenta bloqueada") << name;
  }
  EXPECT_EQ(web_->Documents().size(), 5u);
}

TEST_F(AccountsWebTest, BudgetsAreSentAsUpdatesOfPresu) {
  EXPECT_EQ(Call("CrearPresupuesto", {S("6000"), S("Compras"), S("3")}).value,
            Variant::FromBool(true));
  // Any month goes: the service judges it.
  EXPECT_EQ(
      Call("ModificarPresupuesto", {S("6000"), Variant::FromLong(13), Variant::FromDouble(1500.5)})
          .value,
      Variant::FromBool(true));
  const std::vector<std::string> docs = web_->Documents();
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(docs[0], Update("1=6000\t2=Compras\t4=3\t5=0\t", "PRESU"));
  EXPECT_EQ(docs[1], Update("1=6000\t2+13=1500,5\t", "PRESU"));
  EXPECT_EQ(LocalCount("PRESU", "6000"), 0);
}

TEST_F(AccountsWebTest, AccountDeletionAnswersFalseAndRaisesOnlyARefusal) {
  EXPECT_EQ(Call("AnularCuenta", {S("4300")}).value, Variant::FromBool(false));
  EXPECT_EQ(web_->OnlyDocument(),
            "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<BORRARCUENTA>4300<ID>W1</ID>"
            "<EMPRESA>E1</EMPRESA>\r\n</BORRARCUENTA>");
  EXPECT_EQ(LocalCount("PLANC", "4300"), 1);

  // Only an answer that begins with "ERROR" in capitals is a refusal.
  web_->answer = [](const std::string&) { return std::string("Error leve"); };
  EXPECT_EQ(Call("AnularCuenta", {S("4300")}).value, Variant::FromBool(false));
  web_->answer = [](const std::string&) { return std::string("ERROR: no existe"); };
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Call("AnularCuenta", {S("4300")}); }, &text),
            static_cast<int32_t>(0x8004C35A));
  EXPECT_EQ(text, "ERROR: no existe");
}

TEST_F(AccountsWebTest, StillNeedsAnOpenCompany) {
  Call("CerrarEmpresa");
  for (const auto& [name, args] : EveryMember())
    EXPECT_EQ(ErrorNumber([&] { Call(name, args); }), kNoCompany) << name;
  EXPECT_TRUE(web_->Documents().empty());
}

}  // namespace
}  // namespace qrole::maintenance
