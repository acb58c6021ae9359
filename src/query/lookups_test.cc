#include "query/lookups.h"

#include <fstream>
#include <string>
#include <vector>

#include "data/table_component.h"
#include "maintenance/assets.h"
#include "platform/env.h"
#include "query/entry_test_util.h"
#include "query/web_query_test_util.h"
#include "server/process_state.h"

namespace qrole::query {
namespace {

constexpr int32_t kConditionError = static_cast<int32_t>(0x8004C3F0);

class LookupTest : public EntryTest {
 protected:
  // CrearDatos with the arguments given by position (the others left out).
  void CrearDatos(const std::string& cuenta, const std::string& titulo,
                  std::vector<std::pair<int, Variant>> more = {}) {
    std::vector<Variant> args(23, Variant::Missing());
    args[0] = S(cuenta);
    args[1] = S(titulo);
    for (auto& [position, v] : more) args[static_cast<size_t>(position)] = v;
    ASSERT_EQ(Call("CrearDatos", std::move(args)), Variant::FromBool(true)) << cuenta;
  }
  bool Leer(const std::string& member, std::vector<Variant> args) {
    return ToBool(Call(member, std::move(args)));
  }
  // Member `field` of every item of a collection, through its accessor.
  std::vector<std::string> Column(const std::string& accessor, const std::string& counter,
                                  const std::string& field) {
    std::vector<std::string> out;
    for (int i = 1; i <= Count(counter); ++i) out.push_back(Text(accessor, i, field));
    return out;
  }

  // Points the company at a global data directory of its own (holding an
  // empty register with `with_register`) and opens it again.
  void UseGlobalDirectory(bool with_register) {
    global_dir_ = dirs_.path() + "/global/";
    ASSERT_TRUE(platform::CurrentEnv()->Files().CreateDirectories(global_dir_).ok());
    if (with_register) std::ofstream(global_dir_ + "Datgl00.QRD", std::ios::binary);
    Call("PutTotal", {S("Global_Dir"), S(global_dir_)});
    Call("AbrirEmpresa", {S("Libros")});
    ASSERT_EQ(server::Process().global_directory, global_dir_);
  }
  void AddThirdParty(const std::string& nif, const std::string& name, const std::string& amount) {
    auto r = RecordObject::Create("DatosGlobalClass");
    r->Set("G01_NIF_String_18", S(nif));
    r->Set("G02_Nombre_String_50", S(name));
    r->Set("G18_Importe347_Long_12", S(amount));
    r->Set("G44_FechaConst_Dd_Mm_Yy_8", S("01/02/03"));
    ASSERT_EQ(Call("CrearDatosGloblales", {Variant::FromObject(r)}), Variant::FromBool(true));
  }

  std::string global_dir_;
};

TEST_F(LookupTest, MasterDataOfAnAccountCarriesEveryField) {
  // CrearDatos's text parameters by position, each the member of its name.
  const std::vector<std::pair<int, std::string>> texts = {
      {2, "NIf"},   {3, "Direccion"},     {4, "cp"},          {5, "Municipio"}, {6, "Provincia"},
      {7, "CVP"},   {9, "Telefono"},      {10, "Fax"},        {12, "TipoIva"},  {13, "NOTAS"},
      {15, "Pais"}, {16, "Vencimientos"}, {17, "DiasDePago"}, {18, "email"},    {19, "PaginaWeb"}};
  std::vector<std::pair<int, Variant>> given = {{8, D(1500.5)},
                                                {11, D(2500.75)},
                                                {20, Variant::FromBool(true)},
                                                {22, Variant::FromBool(true)}};
  // One character each: the narrowest field (CVP) holds one.
  for (const auto& [position, member] : texts)
    given.emplace_back(position, S(std::string(1, static_cast<char>('a' + position))));
  CrearDatos("4300000001", "ACME SA", given);

  EXPECT_TRUE(Leer("LeerDatos", {S("4300000001")}));
  ASSERT_EQ(Count("ContadorDatos"), 1);
  EXPECT_EQ(Text("DATOS", 1, "Cuenta"), "4300000001");
  EXPECT_EQ(Text("DATOS", 1, "titulo"), "ACME SA");
  for (const auto& [position, member] : texts)
    EXPECT_EQ(Text("DATOS", 1, member), std::string(1, static_cast<char>('a' + position)))
        << member;
  // The amounts kept as text read back as the numbers written, whatever
  // separator each was stored with.
  EXPECT_EQ(Item("DATOS", 1, "Importe_347"), D(1500.5));
  EXPECT_EQ(Item("DATOS", 1, "Riesgo"), D(2500.75));
  EXPECT_EQ(Item("DATOS", 1, "Trimestre1_347"), D(0));
  EXPECT_EQ(Item("DATOS", 1, "Trimestre4_347"), D(0));
  EXPECT_EQ(Text("DATOS", 1, "EsCriterioCaja"), "1");
  EXPECT_EQ(Text("DATOS", 1, "OMITIR347"), "0");
  EXPECT_EQ(Text("DATOS", 1, "OMITIR415"), "1");
  EXPECT_TRUE(Call("DATOS", {Variant::FromLong(0)}).IsNothing());
  EXPECT_TRUE(Call("DATOS", {Variant::FromLong(2)}).IsNothing());

  // Blank amounts are 0, not an error; blank texts are empty.
  CrearDatos("4300000002", "Beta SL");
  EXPECT_TRUE(Leer("LeerDatos", {S("4300000002")}));
  EXPECT_EQ(Item("DATOS", 1, "Importe_347"), D(0));
  EXPECT_EQ(Item("DATOS", 1, "Riesgo"), D(0));
  EXPECT_EQ(Text("DATOS", 1, "Direccion"), "");
}

TEST_F(LookupTest, MasterDataByCodeOrPattern) {
  CrearDatos("4300000002", "Beta SL");
  CrearDatos("4300000001", "ACME SA");
  CrearDatos("4310000001", "Alfa");
  CrearDatos("4000000001", "Acreedor");

  // A pattern walks the codes in order; with a title pattern, the titles.
  EXPECT_TRUE(Leer("LeerDatos", {S("43*")}));
  EXPECT_EQ(Column("DATOS", "ContadorDatos", "Cuenta"),
            (std::vector<std::string>{"4300000001", "4300000002", "4310000001"}));
  EXPECT_TRUE(Leer("LeerDatos", {S("43*"), S("A*")}));
  EXPECT_EQ(Column("DATOS", "ContadorDatos", "titulo"),
            (std::vector<std::string>{"ACME SA", "Alfa"}));
  EXPECT_TRUE(Leer("LeerDatos", {S("430000000?")}));
  EXPECT_EQ(Count("ContadorDatos"), 2);
  EXPECT_TRUE(Leer("LeerDatos", {S("*"), S("*SL")}));
  EXPECT_EQ(Column("DATOS", "ContadorDatos", "Cuenta"), (std::vector<std::string>{"4300000002"}));

  // A plain code ignores the title and finds one record at most.
  EXPECT_TRUE(Leer("LeerDatos", {S("4300000001"), S("Zeta")}));
  EXPECT_EQ(Column("DATOS", "ContadorDatos", "titulo"), (std::vector<std::string>{"ACME SA"}));

  // Nothing found empties what the last lookup left.
  EXPECT_FALSE(Leer("LeerDatos", {S("4300000009")}));
  EXPECT_EQ(Count("ContadorDatos"), 0);
  EXPECT_FALSE(Leer("LeerDatos", {S("44*")}));
  // A code longer than the field is not another account's, cut.
  EXPECT_FALSE(Leer("LeerDatos", {S("43000000011")}));
  EXPECT_EQ(Count("ContadorDatos"), 0);
}

TEST_F(LookupTest, FixedAssetsReadBackAsWritten) {
  const std::string image = dirs_.path() + "/torno.pdf";
  std::ofstream(image, std::ios::binary) << "%PDF torno";
  // Every member a value of its own: a letter, or a number for the amounts.
  auto first = RecordObject::Create("InmoClass");
  std::vector<std::pair<std::string, std::string>> values;
  int i = 0;
  for (const maintenance::MemberField& f : maintenance::AssetFields()) {
    const std::string member = f.member;
    std::string value = member.find("_Long_") != std::string::npos
                            ? std::to_string(100 + i)
                            : std::string(1, static_cast<char>('A' + i % 26));
    if (i == 0) value = "MAQ1";
    first->Set(member, S(value));
    values.emplace_back(member, value);
    ++i;
  }
  first->Set("I50_ImagenPdf", S(image));
  ASSERT_EQ(Call("CrearInmovilizado", {Variant::FromObject(first)}), Variant::FromBool(true));
  auto second = RecordObject::Create("InmoClass");
  second->Set("I01_Codigo_String_10", S("MAQ2"));
  second->Set("I11_Valor_Inicial_Long_12", S("1500,5"));
  ASSERT_EQ(Call("CrearInmovilizado", {Variant::FromObject(second)}), Variant::FromBool(true));

  EXPECT_TRUE(Leer("LeerInmovilizado", {S("")}));
  EXPECT_EQ(Column("inmovilizado", "ContadorInmovilizado", "I01_Codigo_String_10"),
            (std::vector<std::string>{"MAQ1", "MAQ2"}));
  for (const auto& [member, value] : values) EXPECT_EQ(Text("inmovilizado", 1, member), value);
  EXPECT_EQ(Text("inmovilizado", 1, "I50_ImagenPdf"), "%PDF torno");
  EXPECT_EQ(Text("inmovilizado", 2, "I11_Valor_Inicial_Long_12"), "1500,5");
  EXPECT_EQ(Text("inmovilizado", 2, "I02_Descripcion_String_40"), "");
  EXPECT_EQ(Text("inmovilizado", 2, "I50_ImagenPdf"), "");

  EXPECT_TRUE(Leer("LeerInmovilizado", {S(" MAQ2 ")}));
  EXPECT_EQ(Column("inmovilizado", "ContadorInmovilizado", "I01_Codigo_String_10"),
            (std::vector<std::string>{"MAQ2"}));
  EXPECT_FALSE(Leer("LeerInmovilizado", {S("MAQ")}));
  EXPECT_EQ(Count("ContadorInmovilizado"), 0);
  EXPECT_TRUE(Call("inmovilizado", {Variant::FromLong(1)}).IsNothing());
}

TEST_F(LookupTest, GlobalRegisterByNif) {
  // No global data directory: nothing to read, and no register made.
  EXPECT_FALSE(Leer("LeerDatosGlobales", {S("")}));
  EXPECT_FALSE(Leer("ExisteNifDatosGlobales", {S("B1")}));
  UseGlobalDirectory(false);
  EXPECT_FALSE(Leer("LeerDatosGlobales", {S("")}));
  EXPECT_FALSE(Leer("ExisteNifDatosGlobales", {S("")}));
  EXPECT_FALSE(platform::CurrentEnv()->Files().Exists(global_dir_ + "Datgl00.QRD"));

  UseGlobalDirectory(true);
  EXPECT_FALSE(Leer("LeerDatosGlobales", {S("")}));
  AddThirdParty("B1", "Ana", "1500");
  AddThirdParty("B2", "Beatriz", "20,5");
  EXPECT_TRUE(Leer("LeerDatosGlobales", {S("")}));
  EXPECT_EQ(Column("DatosGlobales", "ContadorDatosGlobal", "G01_NIF_String_18"),
            (std::vector<std::string>{"B1", "B2"}));
  EXPECT_TRUE(Leer("LeerDatosGlobales", {S(" B2 ")}));
  ASSERT_EQ(Count("ContadorDatosGlobal"), 1);
  EXPECT_EQ(Text("DatosGlobales", 1, "G01_NIF_String_18"), "B2");
  EXPECT_EQ(Text("DatosGlobales", 1, "G02_Nombre_String_50"), "Beatriz");
  EXPECT_EQ(Text("DatosGlobales", 1, "G18_Importe347_Long_12"), "20,5");
  EXPECT_EQ(Text("DatosGlobales", 1, "G44_FechaConst_Dd_Mm_Yy_8"), "01/02/03");
  EXPECT_EQ(Text("DatosGlobales", 1, "G05_Direccion_String_99"), "");
  EXPECT_FALSE(Leer("LeerDatosGlobales", {S("B3")}));
  EXPECT_EQ(Count("ContadorDatosGlobal"), 0);

  EXPECT_TRUE(Leer("ExisteNifDatosGlobales", {S(" B1 ")}));
  EXPECT_FALSE(Leer("ExisteNifDatosGlobales", {S("B3")}));
  // A blank NIF asks for a record without one.
  EXPECT_FALSE(Leer("ExisteNifDatosGlobales", {S("  ")}));
  {
    data::TableComponent t;
    t.OpenTable(global_dir_ + "Datgl00.QRD");
    t.AddNew();
    t.SetField(2, 0, S("Sin NIF"));
    t.Update();
  }
  EXPECT_TRUE(Leer("ExisteNifDatosGlobales", {S("")}));
  // A NIF the filter cannot read is not known (and raises nothing).
  EXPECT_FALSE(Leer("ExisteNifDatosGlobales", {S("B1 and NADA=1")}));
}

TEST_F(LookupTest, WithholdingsPostedWithinAccountsAndDates) {
  struct Withholding {
    std::string fecha, cuenta, factura;
    double base;
  };
  for (const Withholding& w : {Withholding{"15/03/24", "4100001", "F-9", 1000},
                               Withholding{"20/04/24", "4100002", "F-10", 500},
                               Withholding{"10/05/24", "4100001", "F-11", 200}}) {
    Start(w.fecha);
    Line("6230000", 1, w.base, "Honorarios");
    Line(w.cuenta, 2, w.base, "Honorarios");
    Call("AñadirRetencion",
         {S(w.cuenta), S("Asesor"), S("B1"), S(w.factura), D(w.base), S("4751000"), D(15), S("28"),
          S(""), S(w.fecha), D(0), D(0), D(w.base * 0.15), D(0), S("G")});
    Post();
  }

  EXPECT_TRUE(Leer("LeerRetenciones", {}));
  EXPECT_EQ(Column("Retencion", "ContadorRetenciones", "FacturaN"),
            (std::vector<std::string>{"F-9", "F-10", "F-11"}));
  EXPECT_EQ(Text("Retencion", 1, "CliPro"), "4100001");
  EXPECT_EQ(Text("Retencion", 1, "NIf"), "B1");
  EXPECT_EQ(Text("Retencion", 1, "NumOrden"), "0000000001");
  EXPECT_EQ(Text("Retencion", 1, "CtaRet"), "4751000");
  EXPECT_EQ(Text("Retencion", 1, "Provincia"), "28");
  EXPECT_EQ(Text("Retencion", 1, "Clave"), "G");
  EXPECT_EQ(Text("Retencion", 1, "FechaFac"), "15/03/24");
  EXPECT_EQ(Item("Retencion", 1, "Base"), D(1000));
  EXPECT_EQ(Item("Retencion", 1, "PRetencion"), D(15));
  EXPECT_EQ(Item("Retencion", 1, "Retencion"), D(150));
  EXPECT_EQ(Text("Retencion", 3, "NumOrden"), "0000000003");

  EXPECT_TRUE(Leer("LeerRetenciones", {S("4100001"), S("4100001")}));
  EXPECT_EQ(Column("Retencion", "ContadorRetenciones", "FacturaN"),
            (std::vector<std::string>{"F-9", "F-11"}));
  EXPECT_TRUE(Leer("LeerRetenciones", {S(""), S(""), S("01/04/24"), S("30/04/24")}));
  EXPECT_EQ(Column("Retencion", "ContadorRetenciones", "FacturaN"),
            (std::vector<std::string>{"F-10"}));
  // A bound left blank among others does not limit the listing.
  EXPECT_TRUE(Leer("LeerRetenciones", {S("4100001"), S(" "), S("01/04/24")}));
  EXPECT_EQ(Column("Retencion", "ContadorRetenciones", "FacturaN"),
            (std::vector<std::string>{"F-10", "F-11"}));
  EXPECT_TRUE(Leer("LeerRetenciones", {S(""), S("4100001"), S(""), S("30/04/24")}));
  EXPECT_EQ(Column("Retencion", "ContadorRetenciones", "FacturaN"),
            (std::vector<std::string>{"F-9"}));
  EXPECT_FALSE(Leer("LeerRetenciones", {S("4200000")}));
  EXPECT_EQ(Count("ContadorRetenciones"), 0);
  EXPECT_EQ(ErrorOf([&] {
              Call("LeerRetenciones", {S(""), S(""), S("32/13/24")});
            }),
            kConditionError);
}

TEST(LookupFilterTest, WithholdingFilterJoinsTheBoundsGiven) {
  EXPECT_EQ(FiltroRetenciones({}), "");
  EXPECT_EQ(FiltroRetenciones({" ", "", "  ", ""}), "");
  EXPECT_EQ(FiltroRetenciones({"", " 4100001 ", "", "31/12/24"}),
            "CLIENTE/PROVEEDOR <= 4100001 and FECHA CONTABLE <= 31/12/24");
  EXPECT_EQ(FiltroRetenciones({"41", "42", "01/01/24", "31/12/24"}),
            "CLIENTE/PROVEEDOR >= 41 and CLIENTE/PROVEEDOR <= 42 and "
            "FECHA CONTABLE >= 01/01/24 and FECHA CONTABLE <= 31/12/24");
}

TEST_F(LookupTest, WithoutACompany) {
  auto closed = server::Enlace::Create();
  auto call = [&](const std::string& member, std::vector<Variant> args = {}) {
    return Invoke(*closed, member, typelib::Kind::kMethod, std::move(args)).value;
  };
  std::string description;
  for (const char* member :
       {"LeerDatos", "BuscarReferencia", "BuscarDescripcion", "ExisteReferencia"}) {
    EXPECT_EQ(ErrorOf([&] { call(member, {S("x")}); }, &description), kNoCompany) << member;
    EXPECT_EQ(description, "Empresa No Abierta ... Abrir Empresa y reintentar");
  }
  EXPECT_EQ(ErrorOf([&] { call("BuscarImporte", {D(1)}); }), kNoCompany);
  // The table reads have no guard: with no company they find nothing.
  EXPECT_EQ(call("LeerInmovilizado"), Variant::FromBool(false));
  EXPECT_EQ(call("LeerRetenciones"), Variant::FromBool(false));
  EXPECT_EQ(call("LeerDatosGlobales"), Variant::FromBool(false));
  EXPECT_EQ(call("ExisteNifDatosGlobales", {S("B1")}), Variant::FromBool(false));
}

// On the web the master data is the service's.
using LookupsWebTest = WebQueryTest;

TEST_F(LookupsWebTest, LeerDatosSearchesByCodeOrTitle) {
  Answer(
      "1\t2\t3\t9\t12\t22\t20\n4300001\tACME SA\tB1\t1500.5\t2500\t10\tS\n\n"
      "4300002\tBeta\n");
  EXPECT_TRUE(ToBool(Call("LeerDatos", {S("43*"), S("A")})));
  EXPECT_EQ(Requests().back(), Search("NOMBRE LIKE *A*", "DATOS"));
  ASSERT_EQ(Count("ContadorDatos"), 2);
  EXPECT_EQ(Text("DATOS", 1, "titulo"), "ACME SA");
  EXPECT_EQ(Text("DATOS", 1, "NIf"), "B1");
  EXPECT_EQ(Text("DATOS", 1, "OMITIR347"), "S");
  EXPECT_EQ(ToDouble(Item("DATOS", 1, "Importe_347")), 1500.5);
  EXPECT_EQ(ToDouble(Item("DATOS", 1, "Riesgo")), 2500);
  EXPECT_EQ(ToDouble(Item("DATOS", 1, "Trimestre1_347")), 10);
  EXPECT_EQ(Text("DATOS", 2, "Cuenta"), "4300002");

  Answer("1\t2\n");
  EXPECT_FALSE(ToBool(Call("LeerDatos", {S("4300009")})));
  EXPECT_EQ(Requests().back(), Search("CUENTA = 4300009", "DATOS"));
  EXPECT_EQ(Count("ContadorDatos"), 0);
}

TEST_F(LookupsWebTest, TheGenericTableReadIsNotOnTheWeb) {
  std::string description;
  EXPECT_EQ(ErrorOf(
                [&] {
                  Call("Util_LeerDatos", {S("PLANC"), S("CUENTA"), S("4300")});
                },
                &description),
            kWebRefusal);
  EXPECT_EQ(description, "Esta opción no está disponible con enlace a svc.example.test");
  EXPECT_TRUE(Requests().empty());
}

}  // namespace
}  // namespace qrole::query
