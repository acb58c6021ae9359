#include "maintenance/master_data.h"

#include "data/globals.h"
#include "data/slot.h"
#include "data/table_component.h"
#include "maintenance/global_register_test_util.h"
#include "platform/file_identity.h"
#include "qrole/error.h"

namespace qrole::maintenance {
namespace {

constexpr int32_t kNoCompany = static_cast<int32_t>(0x8004C356);
const std::string kAccount = "4300000001";

// The parameters of CrearDatos by position.
enum Param {
  kCuenta = 0,
  kTitulo = 1,
  kNif = 2,
  kDireccion = 3,
  kImporte347 = 8,
  kTelefono = 9,
  kRiesgo = 11,
  kNotas = 13,
  kActualizar = 14,
  kEmail = 18,
  kCriterioCaja = 20,
  kOmitir347 = 21,
  kOmitir415 = 22,
};

class MasterDataTest : public GlobalRegisterTest {
 protected:
  // CrearDatos with the arguments given (the others left out).
  InvokeResult Crear(const std::string& cuenta, std::vector<std::pair<Param, Variant>> given) {
    std::vector<Variant> args(23, Variant::Missing());
    args[kCuenta] = S(cuenta);
    for (auto& [p, v] : given) args[static_cast<size_t>(p)] = v;
    return Call("CrearDatos", std::move(args));
  }
  std::string Field(int field, const std::string& cuenta = kAccount) {
    return Text("DATOS", cuenta, field);
  }
  // Every record of the master data.
  int Records() {
    data::TableComponent t;
    t.OpenCompanyTable("DATOS", e_->state().company_directory, e_->state().company_number);
    return t.RecordCount();
  }
  static Variant B(bool b) { return Variant::FromBool(b); }
  static Variant D(double d) { return Variant::FromDouble(d); }
};

TEST_F(MasterDataTest, NewRecordHasBlankFieldsAndIsNotOverwrittenWithoutUpdate) {
  InvokeResult r = Crear(kAccount, {{kTitulo, S("ACME SA")}, {kNif, S("B12345678")}});
  EXPECT_EQ(r.value, B(true));
  EXPECT_EQ(Count("DATOS", kAccount), 1);
  EXPECT_EQ(Field(2), "ACME SA");
  EXPECT_EQ(Field(3), "B12345678");
  for (int field : {4, 5, 8, 9, 12, 14, 19}) EXPECT_EQ(Field(field), "") << field;
  for (int field : {20, 21, 26}) EXPECT_EQ(Field(field), "0") << field;
  for (int field : {22, 25}) EXPECT_EQ(Field(field), "0") << field;  // the quarterly amounts

  // Again without Actualizar: False, and nothing changes.
  r = Crear(kAccount, {{kTitulo, S("Otro")}, {kCriterioCaja, B(true)}});
  EXPECT_EQ(r.value, B(false));
  EXPECT_EQ(Field(2), "ACME SA");
  EXPECT_EQ(Field(26), "0");
  EXPECT_EQ(Count("DATOS", kAccount), 1);
}

TEST_F(MasterDataTest, UpdateKeepsTheTextsNotGivenAndRewritesTheFlags) {
  Crear(kAccount, {{kTitulo, S("ACME SA")},
                   {kDireccion, S("Calle Mayor 1")},
                   {kEmail, S("acme@example.com")},
                   {kCriterioCaja, B(true)},
                   {kOmitir347, B(true)},
                   {kOmitir415, B(true)}});
  for (int field : {20, 21, 26}) EXPECT_EQ(Field(field), "1") << field;

  InvokeResult r = Crear(kAccount, {{kTelefono, S("912345678")}, {kActualizar, B(true)}});
  EXPECT_EQ(r.value, B(true));
  EXPECT_EQ(Field(10), "912345678");
  EXPECT_EQ(Field(2), "ACME SA");
  EXPECT_EQ(Field(4), "Calle Mayor 1");
  EXPECT_EQ(Field(18), "acme@example.com");
  // The flags are written on every call.
  for (int field : {20, 21, 26}) EXPECT_EQ(Field(field), "0") << field;
  EXPECT_EQ(Count("DATOS", kAccount), 1);

  // A text given blank is stored blank; only OMITIR415 passed again.
  Crear(kAccount, {{kDireccion, S("")}, {kOmitir415, B(true)}, {kActualizar, B(true)}});
  EXPECT_EQ(Field(4), "");
  EXPECT_EQ(Field(21), "1");
  EXPECT_EQ(Field(20), "0");
}

TEST_F(MasterDataTest, AmountsAreStoredAsTextAndMinusOneKeepsThem) {
  Crear(kAccount, {{kImporte347, D(1500.5)}, {kRiesgo, D(2500.75)}});
  EXPECT_EQ(Field(9), " 1500.5");   // a leading blank, "." whatever the locale
  EXPECT_EQ(Field(12), "2500,75");  // as the runtime writes it (Spanish locale)
  Crear(kAccount, {{kNotas, S("Sin cambios")}, {kActualizar, B(true)}});
  EXPECT_EQ(Field(9), " 1500.5");
  EXPECT_EQ(Field(12), "2500,75");
  Crear(kAccount, {{kImporte347, D(-200)}, {kRiesgo, D(0.5)}, {kActualizar, B(true)}});
  EXPECT_EQ(Field(9), "-200");
  EXPECT_EQ(Field(12), "0,5");
  EXPECT_EQ(TextoImporte347(0.25), " .25");
}

TEST_F(MasterDataTest, NewTitleMovesTheRecordInTheNameIndex) {
  Crear(kAccount, {{kTitulo, S("Viejo Nombre")}});
  Crear(kAccount, {{kTitulo, S("Nuevo Nombre")}, {kActualizar, B(true)}});
  EXPECT_EQ(Field(2), "Nuevo Nombre");
  data::TableComponent t;
  t.OpenCompanyTable("DATOS", e_->state().company_directory, e_->state().company_number);
  t.SetFilter("NOMBRE=Nuevo Nombre");  // answered through the name index
  EXPECT_EQ(t.RecordCount(), 1);
  t.SetFilter("NOMBRE=Viejo Nombre");
  EXPECT_EQ(t.RecordCount(), 0);
}

TEST_F(MasterDataTest, RefusesCodesTheFieldCannotHoldAndClosesItsFiles) {
  Crear(kAccount, {{kTitulo, S("ACME SA")}});
  // Eleven characters: cut, it would be 4300000001 and overwrite its data.
  InvokeResult r = Crear(kAccount + "1", {{kTitulo, S("Intruso")}, {kActualizar, B(true)}});
  EXPECT_EQ(r.value, B(false));
  EXPECT_EQ(Field(2), "ACME SA");
  EXPECT_EQ(Crear("   ", {{kTitulo, S("Nadie")}}).value, B(false));
  EXPECT_EQ(Records(), 1);

  // The record code's files are closed (where files stay open between calls,
  // the company's tables are kept for the next one); the company stays open.
  Crear("4300000002", {{kTitulo, S("Otro")}});
  EXPECT_EQ(data::GetSlot(3).is_open(), platform::KeepFilesOpenBetweenCalls());
  EXPECT_TRUE(e_->company_open());

  Call("CerrarEmpresa");
  std::string description;
  EXPECT_EQ(ErrorNumber([&] { Crear(kAccount, {}); }, &description), kNoCompany);
  EXPECT_EQ(description, "Empresa No Abierta ... Abrir Empresa y reintentar");
}

TEST_F(MasterDataTest, GivesTheNifToTheGlobalRegister) {
  UseGlobalDirectory();
  Crear(kAccount, {{kTitulo, S("ACME SA")},
                   {kNif, S("B12345678")},
                   {kDireccion, S("Calle Mayor 1")},
                   {kImporte347, D(1500.5)},
                   {kRiesgo, D(2500.75)},
                   {kOmitir347, B(true)}});
  EXPECT_EQ(GlobalCount("B12345678"), 1);
  EXPECT_EQ(GlobalText("B12345678", 27), "ACME SA");  // surname or company name
  EXPECT_EQ(GlobalText("B12345678", 2), "");
  EXPECT_EQ(GlobalText("B12345678", 4), "Calle Mayor 1");
  EXPECT_EQ(GlobalText("B12345678", 9), "1500,5");    // a number field
  EXPECT_EQ(GlobalText("B12345678", 12), "2500,75");  // a number field
  EXPECT_EQ(GlobalText("B12345678", 26), "0");
  EXPECT_EQ(GlobalText("B12345678", 20), "");  // OMITIR347 is the account's own

  // With Actualizar the register's record is updated too.
  Crear(kAccount, {{kNif, S("B12345678")}, {kTelefono, S("911")}, {kActualizar, B(true)}});
  EXPECT_EQ(GlobalText("B12345678", 10), "911");
  EXPECT_EQ(GlobalText("B12345678", 27), "ACME SA");
  EXPECT_EQ(GlobalCount("B12345678"), 1);

  // A blank NIF is stored but registers nothing.
  Crear("4300000002", {{kTitulo, S("Sin NIF")}, {kNif, S("  ")}});
  EXPECT_EQ(Count("DATOS", "4300000002"), 1);
  EXPECT_EQ(GlobalCount(""), 1);
}

TEST_F(MasterDataTest, MissingRegisterIsReportedAndTheMasterDataStillWritten) {
  UseGlobalDirectory(/*with_register=*/false);
  env_.TakeMessages();
  InvokeResult r = Crear(kAccount, {{kTitulo, S("ACME SA")}, {kNif, S("B12345678")}});
  EXPECT_EQ(r.value, B(true));
  EXPECT_EQ(Field(3), "B12345678");
  auto boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "NOTA");
  EXPECT_EQ(boxes[0].icon, platform::MsgIcon::Error);
  EXPECT_EQ(boxes[0].text,
            "NO EXISTE EL FICHERO DE DATOS GLOBALES\r\n"
            "NOTIFIQUE A SU EQUIPO TÉCNICO. NUM. 21.0001");
  EXPECT_NE(Log().find("\tCrearDatosGlobales. No encuentra el ficheroglobal de esta empresa"),
            std::string::npos);
}

TEST_F(MasterDataTest, WebModeSendsTheFieldsGivenAndWritesNothingHere) {
  UseGlobalDirectory();
  ScriptedWeb web(*e_);
  const std::vector<std::pair<Param, Variant>> given = {
      {kTitulo, S("Cañas SA")},       {kNif, S("B12345678")},   {kImporte347, D(1500.5)},
      {kEmail, S("a=b@example.com")}, {kCriterioCaja, B(true)}, {kActualizar, B(false)}};
  EXPECT_EQ(Crear(kAccount, given).value, B(true));
  // Whether the account had data is the service's matter: True again.
  EXPECT_EQ(Crear(kAccount, given).value, B(true));
  const std::vector<std::string> docs = web.Documents();
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(docs[0], docs[1]);
  EXPECT_EQ(docs[0], ScriptedWeb::Document(
                         "UPDATE", {{"CAMPOS",
                                     "1=4300000001\t2=Ca&#241;as SA\t3=B12345678\t9=1500,5\t"
                                     "18=a-b@example.com\t20=Falso\t21=Falso\t26=Verdadero\t"},
                                    {"ARCHIVO", "DATOS"}}));

  web.answer = [](const std::string&) { return std::string("ERROR: sin permiso"); };
  std::string description;
  EXPECT_EQ(ErrorNumber([&] { Crear(kAccount, given); }, &description),
            static_cast<int32_t>(0x8004C35D));
  EXPECT_EQ(description, "ERROR: sin permiso");

  // Neither the company's master data nor the global register were written.
  e_->state().web_mode = false;
  EXPECT_EQ(Records(), 0);
  EXPECT_EQ(GlobalCount("B12345678"), 0);
}

TEST(MasterDataWebFields, ListsTheFieldsGivenWithFlagsAsBooleanTexts) {
  DatosCuenta d;
  d.cuenta = kAccount;
  d.titulo = "A=B";
  d.riesgo = 100;
  d.omitir_347 = true;
  d.actualizar = true;
  EXPECT_EQ(CamposDatosWeb(d), "1=4300000001\t2=A-B\t12=100\t20=Verdadero\t21=Falso\t26=Falso\t");
}

}  // namespace
}  // namespace qrole::maintenance
