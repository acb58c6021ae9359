#include <gtest/gtest.h>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "automation/record_object.h"
#include "data/globals.h"
#include "data/registry.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/member_table.h"
#include "server/object_factory.h"
#include "server/process_state.h"
#include "server/test_env.h"
#include "util/str_builder.h"

namespace qrole::server {
namespace {

using typelib::Kind;

struct CallError {
  int32_t number = 0;
  std::string source, description;
};

CallError ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return {e.number(), e.source(), e.description()};
  }
  return {};
}

class EnlaceTest : public ::testing::Test {
 protected:
  Variant Get(const std::string& m, std::vector<Variant> args = {}) {
    return Invoke(*e_, m, Kind::kGet, std::move(args)).value;
  }
  void Let(const std::string& m, Variant v) { Invoke(*e_, m, Kind::kLet, {std::move(v)}); }
  Variant Call(const std::string& m, std::vector<Variant> args = {}) {
    return Invoke(*e_, m, Kind::kMethod, std::move(args)).value;
  }

  TestEnv env_;
  std::shared_ptr<Enlace> e_ = Enlace::Create();
};

TEST_F(EnlaceTest, NewObjectState) {
  EXPECT_EQ(Get("Usuario"), Variant::FromString("98"));
  EXPECT_EQ(Get("Canal"), Variant::FromString("000"));
  EXPECT_EQ(Call("Version"), Variant::FromString("7.5.1"));
  EXPECT_FALSE(e_->company_open());
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
  EXPECT_TRUE(Call("Apunte", {Variant::FromLong(1)}).IsNothing());
  EXPECT_EQ(Get("m_TableName"), Variant::FromString(""));
}

TEST_F(EnlaceTest, OpenCompanyGuard) {
  CallError err = ErrorOf([&] { e_->ComprobarEmpresaAbierta(); });
  EXPECT_EQ(err.number, -2147171498);
  EXPECT_EQ(err.source, "Valdrix OLE Server");
  EXPECT_EQ(err.description, "Empresa No Abierta ... Abrir Empresa y reintentar");
  e_->state().company_number = "01";
  EXPECT_NO_THROW(e_->ComprobarEmpresaAbierta());
}

TEST_F(EnlaceTest, Channel) {
  Let("Canal", Variant::FromString("7x"));
  EXPECT_EQ(Get("Canal"), Variant::FromString("007"));
  Let("Canal", Variant::FromLong(12));
  EXPECT_EQ(Get("Canal"), Variant::FromString("012"));
  Let("Canal", Variant::FromLong(1234));
  EXPECT_EQ(Get("Canal"), Variant::FromString("1234"));
  Let("Canal", Variant::FromString("2.5"));  // halves to even
  EXPECT_EQ(Get("Canal"), Variant::FromString("002"));
  Let("Canal", Variant::FromString("abc"));
  EXPECT_EQ(Get("Canal"), Variant::FromString("000"));
  Let("Canal", Variant::FromLong(-5));
  EXPECT_EQ(Get("Canal"), Variant::FromString("-005"));
  Let("Canal", Variant::FromLong(9));
  CallError err = ErrorOf([&] { Let("Canal", Variant::FromString("40000")); });
  EXPECT_EQ(err.number, 6);
  EXPECT_EQ(err.description, "Overflow");
  EXPECT_EQ(Get("Canal"), Variant::FromString("009"));  // unchanged
  EXPECT_EQ(ErrorOf([&] { Let("Canal", Variant::Null()); }).number, 94);
}

TEST_F(EnlaceTest, Currency) {
  Let("Moneda", Variant::FromString("EURO"));
  EXPECT_EQ(Get("Moneda"), Variant::FromString("EUR"));
  Let("Moneda", Variant::FromString("E"));
  EXPECT_EQ(Get("Moneda"), Variant::FromString("E  "));
  Let("Moneda", Variant::FromString("€x"));
  EXPECT_EQ(Get("Moneda"), Variant::FromString("€x "));
  // Shared by every object of the process.
  auto other = Enlace::Create();
  EXPECT_EQ(Invoke(*other, "Moneda", Kind::kGet, {}).value, Variant::FromString("€x "));
  Let("CambioMoneda", Variant::FromString("166,386"));
  EXPECT_EQ(Invoke(*other, "CambioMoneda", Kind::kGet, {}).value, Variant::FromDouble(166.386));
}

TEST_F(EnlaceTest, User) {
  Let("Usuario", Variant::FromString("5"));
  EXPECT_EQ(Get("Usuario"), Variant::FromString("05"));
  Let("Usuario", Variant::FromString("abc"));
  EXPECT_EQ(Get("Usuario"), Variant::FromString("00"));
  Let("Usuario", Variant::FromString("123"));
  EXPECT_EQ(Get("Usuario"), Variant::FromString("123"));
  Let("Usuario", Variant::FromString("2.6"));
  EXPECT_EQ(Get("Usuario"), Variant::FromString("03"));
  Let("Usuario", Variant::FromLong(7));
  EXPECT_EQ(Get("Usuario"), Variant::FromString("07"));
}

TEST_F(EnlaceTest, CloseCompanyKeepsPathAndQueries) {
  e_->state().company_number = "01";
  e_->state().company_path = "/datos/EMPRE01.QRT";
  e_->SetEntryStarted(true);
  e_->collection(Col::kApuntes).Add(Variant::FromLong(1));
  e_->collection(Col::kExtracto).Add(Variant::FromLong(2));
  e_->collection(Col::kPlan).Add(Variant::FromLong(3));
  Call("CerrarEmpresa");
  EXPECT_FALSE(e_->company_open());
  EXPECT_EQ(e_->state().company_path, "/datos/EMPRE01.QRT");
  EXPECT_FALSE(e_->state().entry_started);
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
  EXPECT_EQ(Get("ContadorExtracto"), Variant::FromLong(1));
  EXPECT_EQ(Get("ContadorPlan"), Variant::FromLong(1));
}

TEST_F(EnlaceTest, StartingAnEntryEmptiesThePendingCollections) {
  for (int c = 0; c < kCollectionCount; ++c)
    e_->collection(static_cast<Col>(c)).Add(Variant::FromLong(c));
  e_->SetEntryStarted(true);
  // The seven pending collections are emptied; extracts, plan and master data stay.
  for (Col c : {Col::kApuntes, Col::kIva, Col::kCartera, Col::kAnalitica, Col::kRetenciones,
                Col::kInmovilizado, Col::kDatosGlobales})
    EXPECT_EQ(e_->collection(c).Count(), 0);
  for (Col c : {Col::kExtracto, Col::kPlan, Col::kDatos}) EXPECT_EQ(e_->collection(c).Count(), 1);
  // Setting it again while started does not clear.
  e_->collection(Col::kApuntes).Add(Variant::FromLong(1));
  e_->SetEntryStarted(true);
  EXPECT_EQ(e_->collection(Col::kApuntes).Count(), 1);
}

TEST_F(EnlaceTest, AccessorsReturnNothingOutsideTheCollection) {
  auto rec = RecordObject::Create("ExtractoClass");
  e_->collection(Col::kExtracto).Add(Variant::FromObject(rec));
  EXPECT_EQ(Call("Extracto", {Variant::FromLong(1)}).object(), rec);
  EXPECT_EQ(Call("Extracto", {Variant::FromString("1")}).object(), rec);
  EXPECT_TRUE(Call("Extracto", {Variant::FromLong(0)}).IsNothing());
  EXPECT_TRUE(Call("Extracto", {Variant::FromLong(2)}).IsNothing());
  EXPECT_TRUE(Call("Extracto", {Variant::FromDouble(0.2)}).IsNothing());
  EXPECT_TRUE(Call("DATOS", {Variant::FromLong(1)}).IsNothing());
  EXPECT_EQ(ErrorOf([&] { Call("Extracto", {Variant::FromString("uno")}); }).number, 13);
}

TEST_F(EnlaceTest, FreeSlotsAndCatalogue) {
  Let("m_TableName", Variant::FromString("PLANC"));
  Let("m_TableDescripcion", Variant::FromLong(5));
  EXPECT_EQ(Get("m_TableName"), Variant::FromString("PLANC"));
  EXPECT_EQ(Get("m_TableDescripcion"), Variant::FromString("5"));
  Variant empresas = Get("Empresas");
  ASSERT_TRUE(empresas.IsObject());
  EXPECT_EQ(empresas.object()->class_name(), "Collection");
  auto replacement = Collection::Create();
  replacement->Add(Variant::FromString("X"));
  Invoke(*e_, "Empresas", Kind::kSet, {Variant::FromObject(replacement)});
  EXPECT_EQ(Get("Empresas").object(), replacement);
}

TEST_F(EnlaceTest, MasterShowsABoxOnlyForTheServiceCode) {
  env_.TakeMessages();
  Variant r = Call("MASTER",
                   {Variant::FromLong(12), Variant::FromString(""), Variant::FromString("AB1234")});
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_TRUE(env_.TakeMessages().empty());
  r = Call("MASTER",
           {Variant::FromString("12"), Variant::FromString(""), Variant::FromString("QV7501")});
  EXPECT_TRUE(r.IsEmpty());
  auto boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "FUNCIÓN 12");
  EXPECT_EQ(boxes[0].buttons, platform::MsgButtons::Ok);
}

TEST_F(EnlaceTest, TextToArray) {
  Variant v = Call("Util_TextoToArray", {Variant::FromString("a\tb\r\nc")});
  ASSERT_TRUE(v.IsArray());
  EXPECT_EQ(v.array()->At({1, 0}), Variant::FromString("c"));
  Variant e = Call("Util_TextoToArray", {Variant::FromString("")});
  EXPECT_EQ(e.array()->size(), 1u);
  EXPECT_TRUE(e.array()->At({0, 0}).IsEmpty());
}

TEST_F(EnlaceTest, UnbuiltMembersSayNotImplemented) {
  // A table without handlers stands for members not built yet.
  MemberTable unbuilt(typelib::Library::Get().enlace());
  InstallMemberTable(&unbuilt);
  CallError err = ErrorOf([&] { Call("LeerCarpetas"); });
  InstallMemberTable(&EnlaceMembers());
  EXPECT_EQ(err.number, static_cast<int32_t>(0x80004001u));
  EXPECT_EQ(err.description, "Not implemented: LeerCarpetas");
  // Argument errors come first, as the runtime checks them before the call.
  EXPECT_EQ(ErrorOf([&] { Call("AñadirApunte"); }).number, 449);
}

TEST_F(EnlaceTest, EveryRegisteredMemberIsAnInterfaceEntry) {
  // Building the table throws on a name or kind the interface lacks.
  EXPECT_GE(EnlaceMembers().implemented(), 30u);
}

TEST(ObjectFactoryTest, CreatesEveryPublicClass) {
  TestEnv env;
  for (const char* name : {"Enlace", "QROLE75.Enlace", "qrole75.enlace", "StrBuilder", "Collection",
                           "ApunteClass", "IVAClass", "CarteraClass", "AnaliticaClass", "RetClass",
                           "ExtractoClass", "PlanClass", "DebeClass", "HaberClass", "DatosClass",
                           "DatosGlobalClass", "InmoClass", "TipoIvaClass", "FechaAsto"}) {
    auto obj = CreateObjectByName(name);
    ASSERT_NE(obj, nullptr) << name;
  }
  EXPECT_EQ(CreateObjectByName("NoSuchClass"), nullptr);
  EXPECT_EQ(CreateObjectByName("QROLE75."), nullptr);
  auto sb = CreateObjectByName("StrBuilder");
  Invoke(*sb, "Append", Kind::kMethod, {Variant::FromString("ab")});
  Invoke(*sb, "PrePend", Kind::kMethod, {Variant::FromString("x")});
  EXPECT_EQ(Invoke(*sb, "ToString", Kind::kMethod, {}).value, Variant::FromString("xab"));
  EXPECT_EQ(Invoke(*sb, "Found", Kind::kMethod, {Variant::FromString(" ")}).value,
            Variant::FromBool(true));
}

TEST(RegistryTest, ReadRules) {
  TestEnv env(
      "[SOFTWARE\\QRN\\Valdrix\\Settings]\n"
      "DATOS_DIR=/srv/datos/\n"
      "Blank= \n"
      "Flag=Verdadero\n"
      "Off=Falso\n"
      "Long=" +
      std::string(300, 'x') +
      "\n"
      "[SOFTWARE\\QRN\\Valdrix\\Otra]\n"
      "Clave=1\n");
  EXPECT_EQ(data::LeerRegistro("datos_dir"), Variant::FromString("/srv/datos/"));
  EXPECT_EQ(data::LeerRegistro("Missing", "Settings", Variant::FromString("def")),
            Variant::FromString("def"));
  EXPECT_EQ(data::LeerRegistro("Missing"), Variant::FromString(""));
  EXPECT_EQ(data::LeerRegistro("Blank", "Settings", Variant::FromString("d")),
            Variant::FromString("d"));
  EXPECT_EQ(data::LeerRegistro("Flag"), Variant::FromBool(true));
  EXPECT_EQ(data::LeerRegistro("Off"), Variant::FromBool(false));
  EXPECT_EQ(ToStr(data::LeerRegistro("Long")).size(), 255u);
  EXPECT_EQ(data::LeerRegistro("Clave", "otra"), Variant::FromString("1"));
  EXPECT_EQ(data::LeerRegistro("Clave"), Variant::FromString(""));
}

TEST(RegistryTest, WriteRulesAndDirectoryDefault) {
  TestEnv env;
  data::GrabarRegistro("Active", Variant::FromString(""));
  EXPECT_EQ(env.Settings().Read("SOFTWARE\\QRN\\Valdrix\\Settings", "Active"), " ");
  EXPECT_EQ(data::LeerRegistro("Active", "Settings", Variant::FromString("x")),
            Variant::FromString("x"));
  data::GrabarRegistro("Flag", Variant::FromBool(true));
  EXPECT_EQ(data::LeerRegistro("Flag"), Variant::FromBool(true));
  data::GrabarRegistro("Otro", Variant::FromLong(5), "Seccion", "Producto");
  EXPECT_EQ(env.Settings().Read("SOFTWARE\\QRN\\Producto\\Seccion", "Otro"), "5");
  // No "Directory" written: the program directory this build ships.
  std::string dir = ToStr(data::LeerRegistro("Directory"));
  EXPECT_EQ(dir, data::ShippedProgramDirectory());
  EXPECT_EQ(data::Globals().program_directory, dir);
  EXPECT_EQ(dir.back(), '/');
  data::GrabarRegistro("Directory", Variant::FromString("/opt/qrole/"));
  EXPECT_EQ(data::LeerRegistro("Directory"), Variant::FromString("/opt/qrole/"));
}

TEST(StartupTest, LocaleFromTheProfile) {
  {
    TestEnv env;  // no win.ini: a Spanish desktop
    EXPECT_EQ(Process().currency_decimals, 2);
    EXPECT_EQ(CurrentNumberFormat().decimal, ",");
  }
  {
    TestEnv env("", "[intl]\nicurrdigits=0\nsDecimal=.\nsThousand=,\n");
    EXPECT_EQ(Process().currency_decimals, 0);
    EXPECT_EQ(ToDouble(Variant::FromString("1,234.5")), 1234.5);
  }
  TestEnv restore;
}

}  // namespace
}  // namespace qrole::server
