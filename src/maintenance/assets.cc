#include "maintenance/assets.h"

#include <string_view>

#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/definition_file.h"
#include "data/record_file.h"
#include "data/table_component.h"
#include "ledger/audit_log.h"
#include "platform/env.h"
#include "platform/message_box.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/process_state.h"

namespace qrole::maintenance {
namespace {

// InmoClass, in member order; I50_ImagenPdf (field 52) is apart.
constexpr MemberField kAssetFields[] = {
    {"I01_Codigo_String_10", 1},
    {"I02_Descripcion_String_40", 2},
    {"I03_Material_Inmaterial_String_1", 10},
    {"I04_Tipo_Elemento_ZeroFilled_2", 11},
    {"I05_Centro_Inventario_ZeroFilled_3", 12},
    {"I06_Cuenta_Proveedor_String_10", 4},
    {"I07_Elemento_Tabla_String_7", 13},
    {"I08_Cuenta_Activo_String_10", 5},
    {"I09_Cuenta_Amortizacion_String_10", 6},
    {"I10_Cuenta_Gastos_String_10", 7},
    {"I11_Valor_Inicial_Long_12", 18},
    {"I12_Importe_Amortizado_Long_12", 19},
    {"I13_Valor_Actual_Long_12", 20},
    {"I14_Valor_Residual_Long_12", 21},
    {"I15_Metodo_ZeroFilled_1", 17},
    {"I16_Porcentaje_Long_5", 16},
    {"I17_Vida_Util_Anos_ZeroFilled_3", 14},
    {"I18_Vida_Util_Meses_ZeroFilled_2", 15},
    {"I19_Periodo_Amort_Meses_ZeroFilled_2", 8},
    {"I20_Fecha_Compra_ddmmyy_8", 22},
    {"I21_Fecha_Entrada_Funcion_ddmmyy_8", 23},
    {"I22_Fecha_Ult_Amortizacion_ddmmyy_8", 24},
    {"I23_Fecha_Fin_Amortizacion_ddmmyy_8", 25},
    {"I24_Fecha_Baja_ddmmyy_8", 26},
    {"I25_Notas_String_80", 27},
    {"I26_Valor_Amort_Anterior_Long_12", 28},
    {"I27_Fecha_1_Revision_ddmmyy_8", 29},
    {"I28_Fecha_2_Revision_ddmmyy_8", 30},
    {"I29_Revision_1_Porcentaje_Long_9", 31},
    {"I30_Revision_2_Porcentaje_Long_9", 32},
    {"I31_Centro_Costos_String_10", 33},
    {"I32_Canal_ZeroFilled_3", 34},
    {"I33_Estado_String_1", 35},
    {"I34_Restriciones_String_2", 36},
    {"I35_Valor_Mercado_Long_12", 37},
    {"I36_Valor_Catastral_Long_12", 38},
    {"I37_Descripcion2_String_99", 39},
    {"I38_Proveedor_String_75", 40},
    {"I39_Supervisor_String_3", 41},
    {"I40_Codigo_Talleres_String_15", 42},
    {"I41_Donado_String_1", 43},
    {"I42_Ubicacion_String_3", 44},
    {"I43_Subnivel_String_3", 45},
    {"I44_Flota_String_3", 46},
    {"I45_Instalacion_String_3", 47},
    {"I46_Fecha_Enajenacion_ddmmyy_8", 48},
    {"I47_Precio_Long_12", 49},
    {"I48_Comprador_String_50", 50},
    {"I49_Unidades_Long_12", 51},
};
constexpr const char* kAssetCode = "I01_Codigo_String_10";
constexpr const char* kAssetImage = "I50_ImagenPdf";
constexpr int kAssetCodeField = 1;
constexpr int kAssetImageField = 52;

// DatosGlobalClass after its NIF (G01, field 3), in member order;
// G66_Actualizar is not stored.
constexpr MemberField kGlobalFields[] = {
    {"G02_Nombre_String_50", 2},
    {"G03_ApellidoRazonSocial_String_90", 27},
    {"G04_TipoVia_String_5", 28},
    {"G05_Direccion_String_99", 4},
    {"G06_Numero_String_5", 29},
    {"G07_Escalera_String_3", 30},
    {"G08_Piso_String_3", 31},
    {"G09_Puerta_String_3", 32},
    {"G10_Administracion_String_6", 60},
    {"G11_CodigoINE_String_6", 33},
    {"G12_CodAdmLocal_String_6", 34},
    {"G13_CP_String_8", 5},
    {"G14_Municipio_String_30", 6},
    {"G15_Provincia_String_22", 7},
    {"G16_Pais_String_2", 15},
    {"G17_Claves347_String_1", 8},
    {"G18_Importe347_Long_12", 9},
    {"G19_Telefono1_String_15", 10},
    {"G20_Telefono2_String_15", 35},
    {"G21_Fax_String_15", 11},
    {"G22_Email_String_99", 18},
    {"G23_Pagina_Web_String_99", 19},
    {"G24_CNAE_String_4", 36},
    {"G25_Epigrafe_String_5", 37},
    {"G26_Riesgo_Long_12", 12},
    {"G27_Tipo_Iva_String_2", 13},
    {"G28_Vtos_30_60_90_String_15", 16},
    {"G29_Dias_De_Pago_String_15", 17},
    {"G30_Notas_String_4", 14},
    {"G31_CriterioDeCaja_String_1", 26},
    {"G32_SocDominante_String_40", 38},
    {"G33_NifSocDominante_String_18", 39},
    {"G34_SocDomGrupo_String_40", 40},
    {"G35_NifSocDomGrupo_String_18", 41},
    {"G36_Hombre_Fijo_ZeroFilled_7", 42},
    {"G37_Mujer_Fijo_ZeroFilled_7", 43},
    {"G38_Hombre_No_Fijo_ZeroFilled_7", 44},
    {"G39_Mujer_No_Fijo_ZeroFilled_7", 45},
    {"G40_Registro_Mercantil_String_25", 46},
    {"G41_Tomo_String_9", 47},
    {"G42_Folio_String_9", 48},
    {"G43_Hoja_String_6", 49},
    {"G44_FechaConst_Dd_Mm_Yy_8", 50},
    {"G45_MunicipioConst_String_30", 51},
    {"G46_CapitalSocial_Long_12", 52},
    {"G47_CapitalDesembolsado_Long_12", 53},
    {"G48_AccionParticipacion_Long_11", 54},
    {"G49_ValorAccionParticipa_Long_12", 55},
    {"G50_ObjetoSocial_String_99", 56},
    {"G51_SA_SL_Otros_String_15", 57},
    {"G52_EurosMilesMillones_String_1", 58},
    {"G53_PYME_Abrev_Normal_Mixto_String_1", 59},
    {"G54_MicroEmpresa_String_1", 61},
    {"G55_AutoCartera_String_1", 62},
    {"G56_ImportePrestamos_Long_12", 63},
    {"G57_ImporteProvisiones_Long_12", 64},
    {"G58_ImporteSalarios_Long_12", 65},
    {"G59_Licencia_ZeroFilled_6", 68},
    {"G60_Tipo_Numero_String_5", 69},
    {"G61_Calificador_String_5", 70},
    {"G62_Bloque_String_5", 71},
    {"G63_Portal_String_5", 72},
    {"G64_Complemento_String_40", 73},
    {"G65_Localidad_String_30", 74},
};
constexpr const char* kGlobalNif = "G01_NIF_String_18";
constexpr const char* kGlobalUpdate = "G66_Actualizar";
constexpr int kGlobalNifField = 3;

constexpr const char* kAssetTable = "inmo3";
constexpr const char* kGlobalTable = "Datgl00";
constexpr const char* kNoRegisterMessage =
    "NO EXISTE EL FICHERO DE DATOS GLOBALES\r\nNOTIFIQUE A SU EQUIPO TÉCNICO. NUM. 21.0001";
constexpr const char* kNoRegisterLog =
    "CrearDatosGlobales. No encuentra el ficheroglobal de esta empresa";

[[noreturn]] void RaiseCreation(const std::string& description) {
  RaiseObjectError(kRecordCreationError, description);
}

const RecordObject& Required(const RecordObject* datos) {
  if (datos == nullptr) RaiseRuntimeError(runtime_error::kObjectNotSet);
  return *datos;
}

std::string Member(const RecordObject& r, const char* member) { return Trim(r.GetStr(member)); }

// `value` as text field `code` of `table` stores it: cut to the field's
// width in file bytes. A key looked up in its stored form finds the record
// that a longer value would otherwise duplicate. The value itself when the
// definition cannot be read.
std::string AsStored(std::string_view table, int code, const std::string& value) {
  platform::Result<std::string> bytes =
      platform::CurrentEnv()->Files().ReadAll(data::DefinitionFilePath(table));
  if (!bytes.ok()) return value;
  platform::Result<data::TableLayout> layout = data::ParseFieldEntries(*bytes);
  if (!layout.ok()) return value;
  const int field = layout->FieldByCode(code);
  if (field == 0) return value;
  const size_t width = static_cast<size_t>(layout->fields[static_cast<size_t>(field)].width);
  std::string stored = platform::Utf8ToCp1252(value);
  if (stored.size() <= width) return value;
  stored.resize(width);
  return platform::Cp1252ToUtf8(stored);
}

// The content of the file an asset names, trimmed of blanks at both ends
// (empty when it names none).
std::string ImageContent(const std::string& file) {
  if (file.empty()) return "";
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  if (!fs.Exists(file)) RaiseRuntimeError(runtime_error::kFileNotFound);
  platform::Result<std::string> bytes = fs.ReadAll(file);
  if (!bytes.ok()) RaiseRuntimeError(runtime_error::kFileAccess);
  const size_t first = bytes->find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return bytes->substr(first, bytes->find_last_not_of(' ') - first + 1);
}

void AddAsset(data::TableComponent& t, const RecordObject& datos) {
  t.MoveFirst();
  const std::string code = AsStored(kAssetTable, kAssetCodeField, Member(datos, kAssetCode));
  if (code.empty()) RaiseCreation("Codigo sin contenido");
  t.SetFilter("codigo =" + code);
  t.MoveFirst();
  if (t.RecordCount() > 0) RaiseCreation("Codigo ya existe");
  t.AddNew();
  for (const MemberField& f : kAssetFields) {
    t.SetField(f.field, 0, Variant::FromString(Member(datos, f.member)));
  }
  t.SetFieldBytes(kAssetImageField, 0, ImageContent(Member(datos, kAssetImage)));
  t.Update();
}

// True when the global data directory `dir` holds the register.
bool RegisterExists(const std::string& dir) {
  if (dir.empty()) return false;
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  return fs.Exists(fs.Resolve(platform::JoinPath(dir, "datgl00.qrd")));
}

}  // namespace

std::span<const MemberField> AssetFields() { return kAssetFields; }
std::span<const MemberField> GlobalFields() { return kGlobalFields; }

bool CrearInmovilizado(server::Enlace& e, const RecordObject* datos) {
  const server::EnlaceState& s = e.state();
  if (s.web_mode) return false;
  if (Trim(s.company_number).empty() || Trim(s.company_directory).empty())
    RaiseCreation("Empresa no Abierta");
  data::TableComponent t;
  try {
    t.OpenCompanyTable(kAssetTable, s.company_directory, s.company_number);
    AddAsset(t, Required(datos));
  } catch (...) {
    t.Close();  // drops the record being added
    throw;
  }
  t.Close();
  return true;
}

bool CrearDatosGloblales(server::Enlace& e, const RecordObject* datos) {
  if (e.state().web_mode) return false;
  const std::string dir = Trim(server::Process().global_directory);
  if (!RegisterExists(dir)) {
    platform::CurrentEnv()->Messages().Show(kNoRegisterMessage, "NOTA", platform::MsgIcon::Error,
                                            platform::MsgButtons::Ok);
    ledger::AuditoriaSave(e, kNoRegisterLog);
    return false;
  }
  data::TableComponent t;
  t.OpenTable(platform::JoinPath(dir, std::string(kGlobalTable) + ".QRD"));
  t.MoveFirst();
  const RecordObject& r = Required(datos);
  const std::string nif = AsStored(kGlobalTable, kGlobalNifField, Member(r, kGlobalNif));
  if (Trim(nif).empty()) RaiseCreation("Nif sin contenido");
  t.SetFilter("nif =" + nif);
  t.MoveFirst();
  const bool registered = t.RecordCount() > 0;
  if (registered && !ToBool(r.Get(kGlobalUpdate))) return false;
  if (registered) {
    t.Edit();
  } else {
    t.AddNew();
    t.SetField(kGlobalNifField, 0, Variant::FromString(nif));
  }
  for (const MemberField& f : kGlobalFields) {
    const std::string value = Member(r, f.member);
    if (!value.empty()) t.SetField(f.field, 0, Variant::FromString(value));
  }
  t.Update();
  t.Close();
  return true;
}

}  // namespace qrole::maintenance
