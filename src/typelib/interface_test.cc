#include "typelib/interface.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

namespace qrole::typelib {
namespace {

// The index of the interface: every member of Enlace with its accessors.
const char* const kIndex[] = {
    "Empresas get set",
    "m_TableName get let",
    "m_TableDescripcion get let",
    "Version method",
    "Canal get let",
    "Moneda get let",
    "CambioMoneda get let",
    "Usuario get let",
    "CerrarEmpresa method",
    "MASTER method",
    "LoadEmpresas method",
    "AbrirEmpresa method",
    "Empresa method",
    "NumeroEmpresa method",
    "EmpresaAñoAnterior method",
    "PreviousYearCompany method",
    "año method",
    "Elyear method",
    "MesInicioEjercicio method",
    "Config get let",
    "LeerConfig get",
    "PutTotal method",
    "PUT_TOTAL method",
    "GetTotal method",
    "GET_TOTAL method",
    "Fecha get let",
    "AñadirApunte method",
    "AñadirIVA method",
    "AñadirCartera method",
    "AñadirAnalitica method",
    "AñadirRetencion method",
    "AddEntry method",
    "AddVAT method",
    "AddPortfolio method",
    "AddCostCenter method",
    "Apunte method",
    "iva method",
    "cartera method",
    "Analitica method",
    "Retencion method",
    "ContadorApuntes get",
    "ContadorIva get",
    "ContadorCartera get",
    "ContadorAnalitica get",
    "ContadorRetenciones get",
    "GrabarAsiento method",
    "TIPOSIVA method",
    "ValTIVA method",
    "ExisteIva method",
    "Número get let",
    "Number get let",
    "IsNumeroAsiento method",
    "GrabarNuevoNumeroAsiento method",
    "AuditoriaSave method",
    "LeerAsiento method",
    "LeerPrimerAsiento method",
    "LeerUltimoAsiento method",
    "LeerProximoAsiento method",
    "LeerAnteriorAsiento method",
    "LeerReferencia method",
    "LeerExtracto method",
    "LeerExtractoEx method",
    "Extracto method",
    "ContadorExtracto get",
    "LeerPlan method",
    "LeerPlanEx method",
    "Plan method",
    "PlanDebe method",
    "PlanHaber method",
    "ContadorPlan get",
    "LeerDatos method",
    "DATOS method",
    "LeerCartera method",
    "LeerRetenciones method",
    "LeerInmovilizado method",
    "inmovilizado method",
    "LeerDatosGlobales method",
    "DatosGlobales method",
    "BuscarReferencia method",
    "BuscarDescripcion method",
    "BuscarImporte method",
    "ExisteReferencia method",
    "ExisteNifDatosGlobales method",
    "Util_LeerTablas method",
    "Util_LeerCampos method",
    "Util_LeerDatos method",
    "ContadorDatos get",
    "ContadorInmovilizado get",
    "ContadorDatosGlobal get",
    "CrearCuenta method",
    "CrearAnalitica method",
    "CrearAlterna method",
    "CrearPresupuesto method",
    "ModificarPresupuesto method",
    "AnularCuenta method",
    "CrearDatos method",
    "AnularAsiento method",
    "AnularApuntePorRegistro method",
    "AnularApuntePorReferencia method",
    "MarcarCartera method",
    "AnularCartera method",
    "CrearEmpresa method",
    "CrearInmovilizado method",
    "CrearDatosGloblales method",
    "PagoFacturaCriterioCaja method",
    "CobroFacturaCriterioCaja method",
    "EsCriterioCaja method",
    "AñadirIvaCriterioCaja method",
    "AddVATCashBased method",
    "TotalPendiente get",
    "GetFechas method",
    "GetAsientos method",
    "Guid get let",
    "Login method",
    "LeerCarpetas method",
    "Carpeta get let",
    "CalcularMoneda method",
    "Util_TextoToArray method",
};

TEST(InterfaceTest, EnlaceHasEveryIndexEntryAndNothingElse) {
  const ClassInfo& enlace = Library::Get().enlace();
  EXPECT_EQ(enlace.NameCount(), 118u);
  EXPECT_EQ(enlace.members().size(), 131u);

  std::set<std::pair<std::string, std::string>> expected;
  for (const char* line : kIndex) {
    std::istringstream in(line);
    std::string name, kind;
    in >> name;
    while (in >> kind) expected.insert({name, kind});
  }
  ASSERT_EQ(expected.size(), 131u);
  std::set<std::pair<std::string, std::string>> actual;
  for (const MemberInfo& m : enlace.members()) actual.insert({m.name, KindName(m.kind)});
  EXPECT_EQ(actual, expected);
}

TEST(InterfaceTest, LookupIgnoresCaseButNotAccents) {
  const ClassInfo& enlace = Library::Get().enlace();
  ASSERT_NE(enlace.Find("añadirapunte", Kind::kMethod), nullptr);
  EXPECT_EQ(enlace.Find("AÑADIRAPUNTE", Kind::kMethod)->name, "AñadirApunte");
  EXPECT_EQ(enlace.Find("AnadirApunte", Kind::kMethod), nullptr);
  EXPECT_NE(enlace.Find("NÚMERO", Kind::kLet), nullptr);
  EXPECT_TRUE(enlace.FindByName("NoSuchMember").empty());
}

TEST(InterfaceTest, AccessorsOfOnePropertyShareTheirDispatchId) {
  const ClassInfo& enlace = Library::Get().enlace();
  EXPECT_EQ(enlace.Find("Canal", Kind::kGet)->dispid, enlace.Find("Canal", Kind::kLet)->dispid);
  EXPECT_NE(enlace.Find("Canal", Kind::kGet)->dispid, enlace.Find("Moneda", Kind::kGet)->dispid);
  std::map<int32_t, std::string> names;
  for (const MemberInfo& m : enlace.members()) {
    auto [it, fresh] = names.emplace(m.dispid, m.name);
    EXPECT_EQ(it->second, m.name) << "dispid shared by two names";
  }
}

std::string Signature(const MemberInfo& m) {
  std::string s = m.name + "(";
  for (size_t i = 0; i < m.params.size(); ++i) {
    const ParamInfo& p = m.params[i];
    if (i) s += "; ";
    if (p.optional) s += "optional ";
    s += p.name + ": " + p.type.spelling;
    if (!p.byref) s += " byval";
    if (p.default_value) {
      const Variant& d = *p.default_value;
      s += " = ";
      if (d.IsString())
        s += "\"" + d.str() + "\"";
      else if (d.type() == VarType::kBoolean)
        s += d.boolean() ? "True" : "False";
      else if (d.type() == VarType::kLong)
        s += std::to_string(d.long_value());
      else
        s += "?";
    }
  }
  return s + ") -> " + m.type.spelling;
}

TEST(InterfaceTest, SignaturesAsTheInterfaceDeclaresThem) {
  const ClassInfo& e = Library::Get().enlace();
  EXPECT_EQ(Signature(*e.Find("MASTER", Kind::kMethod)),
            "MASTER(NUMFUNCION: Integer; Parametros: String; CLAVE_MASTER: String; "
            "optional Reservado: String) -> Variant");
  EXPECT_EQ(Signature(*e.Find("AñadirApunte", Kind::kMethod)),
            "AñadirApunte(Cuenta: String; Descripción: String; TIPO: Byte; Importe: Double; "
            "Diario: String; optional Punteo: Variant = 0; optional Canal: String = \"000\"; "
            "optional Referencia: String = \"\"; optional NOTAS: String = \"\"; "
            "optional ArchivoImagen: String = \"\"; optional CodigoBloqueo: String = \"\"; "
            "optional OtrosCampos: String = \"\") -> Variant");
  EXPECT_EQ(Signature(*e.Find("CrearPresupuesto", Kind::kMethod)),
            "CrearPresupuesto(Cuenta: String byval; titulo: String byval; "
            "optional Nivel: String byval = \"0\"; optional Analitica: String byval = \"0\") "
            "-> Boolean");
  EXPECT_EQ(Signature(*e.Find("CrearCuenta", Kind::kMethod)),
            "CrearCuenta(Cuenta: String; titulo: String; optional Nivel: String = \"0\"; "
            "optional IsAnalitica: Boolean = False; optional NIf: String = \"-1\") -> Boolean");
  EXPECT_EQ(Signature(*e.Find("LeerCartera", Kind::kMethod)),
            "LeerCartera(optional cartera: String = \"\"; optional DesdeFechaVencimiento: "
            "String = \"\"; optional HastaFechaVencimiento: String = \"\"; optional Cuenta: "
            "String = \"\"; optional Asiento: String = \"\") -> Collection");
  EXPECT_EQ(Signature(*e.Find("ModificarPresupuesto", Kind::kMethod)),
            "ModificarPresupuesto(Cuenta: String byval; mes: Long byval; Importe: Double byval) "
            "-> Boolean");
  EXPECT_EQ(Signature(*e.Find("Version", Kind::kMethod)), "Version() -> String");
  EXPECT_EQ(Signature(*e.Find("Util_TextoToArray", Kind::kMethod)),
            "Util_TextoToArray(Txt: String) -> Variant[]");
  EXPECT_EQ(Signature(*e.Find("Canal", Kind::kLet)), "Canal() -> Variant");
  EXPECT_EQ(Signature(*e.Find("Config", Kind::kGet)), "Config(Descripcion: String) -> String");
  EXPECT_EQ(Signature(*e.Find("CrearInmovilizado", Kind::kMethod)),
            "CrearInmovilizado(DatosInm: InmoClass) -> Boolean");
  EXPECT_EQ(Signature(*e.Find("TIPOSIVA", Kind::kMethod)),
            "TIPOSIVA(Index: Variant) -> TipoIvaClass");
  EXPECT_EQ(Signature(*e.Find("Plan", Kind::kMethod)), "Plan(Index: Variant) -> PlanClass");
}

TEST(InterfaceTest, EveryRecordClassWithItsFields) {
  const Library& lib = Library::Get();
  for (const char* name : {"ApunteClass", "IVAClass", "CarteraClass", "AnaliticaClass", "RetClass",
                           "ExtractoClass", "PlanClass", "DebeClass", "HaberClass", "DatosClass",
                           "DatosGlobalClass", "InmoClass", "TipoIvaClass", "FechaAsto"}) {
    const RecordInfo* r = lib.FindRecord(name);
    ASSERT_NE(r, nullptr) << name;
    EXPECT_FALSE(r->fields.empty()) << name;
    ASSERT_NE(lib.FindClass(name), nullptr) << name;
  }
  auto field_type = [&](const char* rec, const char* field) -> std::string {
    for (const FieldInfo& f : lib.FindRecord(rec)->fields)
      if (f.name == field) return f.type.spelling;
    return "<none>";
  };
  EXPECT_EQ(field_type("ApunteClass", "Descripción"), "String");
  EXPECT_EQ(field_type("ApunteClass", "Importe"), "Double");
  EXPECT_EQ(field_type("IVAClass", "CuentaIVA"), "Variant");
  EXPECT_EQ(field_type("AnaliticaClass", "CuentaAnalitica"), "Variant");
  EXPECT_EQ(field_type("PlanClass", "coldebe"), "Collection");
  EXPECT_EQ(field_type("PlanClass", "HaberCierre"), "Double");
  EXPECT_EQ(field_type("PlanClass", "EsAnalitica"), "Integer");
  EXPECT_EQ(field_type("DebeClass", "Importe"), "Double");
  EXPECT_EQ(field_type("TipoIvaClass", "Recargo"), "Double");
  EXPECT_EQ(field_type("DatosGlobalClass", "G66_Actualizar"), "Boolean");
  EXPECT_EQ(field_type("DatosGlobalClass", "G74_Localidad_String_30"), "<none>");
  EXPECT_EQ(field_type("DatosGlobalClass", "G65_Localidad_String_30"), "String");
  // Plan fields: 30 period amounts.
  int periods = 0;
  for (const FieldInfo& f : lib.FindRecord("PlanClass")->fields)
    if (f.name.rfind("Debe", 0) == 0 || f.name.rfind("Haber", 0) == 0) ++periods;
  EXPECT_EQ(periods, 30);
}

TEST(InterfaceTest, RecordFieldsAreProperties) {
  const ClassInfo* apunte = Library::Get().FindClass("ApunteClass");
  ASSERT_NE(apunte, nullptr);
  EXPECT_NE(apunte->Find("Cuenta", Kind::kGet), nullptr);
  EXPECT_NE(apunte->Find("Cuenta", Kind::kLet), nullptr);
  EXPECT_EQ(apunte->Find("Cuenta", Kind::kSet), nullptr);
  const ClassInfo* plan = Library::Get().FindClass("PlanClass");
  EXPECT_NE(plan->Find("coldebe", Kind::kSet), nullptr);
  EXPECT_EQ(plan->Find("coldebe", Kind::kLet), nullptr);
}

TEST(InterfaceTest, EnumerationsAndStrBuilder) {
  const Library& lib = Library::Get();
  for (const char* name :
       {"QRPlanes", "QRExtractos", "PlanContableNuevo", "Iva_Igic", "MedioPago", "ClavesOperacion"})
    EXPECT_NE(lib.FindEnum(name), nullptr) << name;
  std::map<std::string, int32_t> planes;
  for (const EnumValue& v : lib.FindEnum("QRPlanes")->values) planes[v.name] = v.value;
  EXPECT_EQ(planes["PlanContable"], 1);
  EXPECT_EQ(planes["Presupuestos"], 6);
  EXPECT_EQ(planes["CentrosDeCosto"], 8);
  EXPECT_EQ(planes["PlanAlterna"], 9);
  const ClassInfo* sb = lib.FindClass("StrBuilder");
  ASSERT_NE(sb, nullptr);
  EXPECT_EQ(sb->interface_name(), "_StrBuilder");
  for (const char* m : {"Append", "PrePend", "ToString", "Found", "Clear"})
    EXPECT_FALSE(sb->FindByName(m).empty()) << m;
}

TEST(InterfaceTest, BrokenDescriptionsAreRefused) {
  EXPECT_THROW(Library::Parse("{"), std::runtime_error);
  EXPECT_THROW(Library::Parse(R"({"library":"X","enums":[],"records":[],"interfaces":[
      {"name":"_A","coclass":"A","members":[{"name":"M","kind":"method","type":"Strng"}]}]})"),
               std::runtime_error);
  EXPECT_THROW(Library::Parse(R"({"library":"X","enums":[],"records":[],"interfaces":[
      {"name":"_A","coclass":"A","members":[{"name":"M","kind":"call","type":"String"}]}]})"),
               std::runtime_error);
  EXPECT_THROW(Library::Parse(R"({"library":"X","enums":[],"records":[],"interfaces":[
      {"name":"_A","coclass":"A","members":[{"name":"M","kind":"method","type":"void",
       "params":[{"name":"p","type":"String","default":""}]}]}]})"),
               std::runtime_error);
}

}  // namespace
}  // namespace qrole::typelib
