#include "maintenance/master_data.h"

#include <memory>

#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/company_tables.h"
#include "data/definition_file.h"
#include "data/globals.h"
#include "data/index_maintenance.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "ledger/code_field.h"
#include "ledger/web_fields.h"
#include "maintenance/assets.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/enlace.h"
#include "server/process_state.h"
#include "web/web_link.h"

namespace qrole::maintenance {
namespace {

// "DATOS" in the company's keyed file set, and the fields written here.
constexpr int kDatosSlot = 3;
constexpr const char* kDatosTable = "DATOS";
enum DatosField {
  kCuenta = 1,
  kTitulo = 2,
  kNif = 3,
  kDireccion = 4,
  kCp = 5,
  kMunicipio = 6,
  kProvincia = 7,
  kCvp = 8,
  kImporte347 = 9,
  kTelefono = 10,
  kFax = 11,
  kRiesgo = 12,
  kTipoIva = 13,
  kNotas = 14,
  kPais = 15,
  kVencimientos = 16,
  kDiasDePago = 17,
  kEmail = 18,
  kPaginaWeb = 19,
  kOmitir347 = 20,
  kOmitir415 = 21,
  kCriterioCaja = 26,
};

bool Given(const std::string& text) { return text != ledger::kNotGiven; }
bool Given(double amount) { return amount != kImporteNoDado; }
const char* Flag(bool on) { return on ? "1" : "0"; }

// The text fields 2 to 8, 10, 11 and 13 to 19 with their arguments.
struct TextField {
  int field;
  const std::string DatosCuenta::*value;
};
constexpr TextField kTextFields[] = {
    {kTitulo, &DatosCuenta::titulo},
    {kNif, &DatosCuenta::nif},
    {kDireccion, &DatosCuenta::direccion},
    {kCp, &DatosCuenta::cp},
    {kMunicipio, &DatosCuenta::municipio},
    {kProvincia, &DatosCuenta::provincia},
    {kCvp, &DatosCuenta::cvp},
    {kTelefono, &DatosCuenta::telefono},
    {kFax, &DatosCuenta::fax},
    {kTipoIva, &DatosCuenta::tipo_iva},
    {kNotas, &DatosCuenta::notas},
    {kPais, &DatosCuenta::pais},
    {kVencimientos, &DatosCuenta::vencimientos},
    {kDiasDePago, &DatosCuenta::dias_de_pago},
    {kEmail, &DatosCuenta::email},
    {kPaginaWeb, &DatosCuenta::pagina_web},
};

// Puts the fields given into the slot's values; the three flags always.
void AssignFields(data::Slot& slot, const DatosCuenta& d) {
  for (const TextField& f : kTextFields) {
    if (Given(d.*f.value)) slot.SetText(f.field, d.*f.value);
  }
  if (Given(d.importe_347)) slot.SetText(kImporte347, TextoImporte347(d.importe_347));
  if (Given(d.riesgo)) slot.SetText(kRiesgo, TextoRiesgo(d.riesgo));
  slot.SetRaw(kCriterioCaja, Flag(d.criterio_caja));
  slot.SetRaw(kOmitir347, Flag(d.omitir_347));
  slot.SetRaw(kOmitir415, Flag(d.omitir_415));
}

// A new record for the account whose code the slot holds: every other field
// blank (numbers 0), then the fields given.
bool CreateRecord(data::Slot& slot, const DatosCuenta& d) {
  for (int f = kCuenta + 1; f <= slot.num_fields(); ++f) {
    if (data::IsNumericType(slot.field(f).type)) {
      slot.SetNumber(f, 0);
    } else {
      slot.SetRaw(f, "");
    }
  }
  AssignFields(slot, d);
  const platform::Status appended = data::AppendRecord(kDatosSlot);
  return appended.ok() && data::Globals().engine_status == 0;
}

// Rewrites the existing record `record` with the fields given: the title
// first, through the name index, then the rest in one write of the record
// read anew under its lock (so that a change another process made
// meanwhile is not lost).
bool UpdateRecord(data::Slot& slot, int32_t record, const DatosCuenta& d) {
  bool ok = true;
  if (Given(d.titulo)) {
    slot.SetText(kTitulo, d.titulo);
    const std::string title = slot.Value(kTitulo);
    ok = data::UpdateField(kDatosSlot, record, kTitulo, title).ok();
  }
  data::MaintenanceRecordLock lock(kDatosSlot, record);
  if (!lock.status().ok()) return false;
  if (!data::ReadRecord(kDatosSlot, record).ok() || slot.IsCancelled()) return false;
  AssignFields(slot, d);
  return data::WriteRecord(kDatosSlot, record).ok() && ok;
}

// The global register is fed when a NIF is given and the installation has
// a global data directory.
bool FeedsGlobalRegister(const DatosCuenta& d) {
  return Given(d.nif) && !Trim(d.nif).empty() && !Trim(server::Process().global_directory).empty();
}

// The global register's record of the same data.
std::shared_ptr<RecordObject> GlobalRecord(const DatosCuenta& d) {
  std::shared_ptr<RecordObject> r = RecordObject::Create("DatosGlobalClass");
  const auto set = [&](const char* member, const std::string& value) {
    if (Given(value)) r->Set(member, Variant::FromString(value));
  };
  set("G03_ApellidoRazonSocial_String_90", d.titulo);
  if (!Trim(d.nif).empty()) set("G01_NIF_String_18", d.nif);
  set("G05_Direccion_String_99", d.direccion);
  set("G13_CP_String_8", d.cp);
  set("G14_Municipio_String_30", d.municipio);
  set("G15_Provincia_String_22", d.provincia);
  if (Given(d.importe_347)) set("G18_Importe347_Long_12", TextoImporte347(d.importe_347));
  set("G19_Telefono1_String_15", d.telefono);
  set("G21_Fax_String_15", d.fax);
  if (Given(d.riesgo)) set("G26_Riesgo_Long_12", TextoRiesgo(d.riesgo));
  set("G27_Tipo_Iva_String_2", d.tipo_iva);
  set("G30_Notas_String_4", d.notas);
  set("G16_Pais_String_2", d.pais);
  set("G28_Vtos_30_60_90_String_15", d.vencimientos);
  set("G29_Dias_De_Pago_String_15", d.dias_de_pago);
  set("G22_Email_String_99", d.email);
  set("G23_Pagina_Web_String_99", d.pagina_web);
  set("G31_CriterioDeCaja_String_1", Flag(d.criterio_caja));
  if (d.actualizar) r->Set("G66_Actualizar", Variant::FromBool(true));
  return r;
}

[[noreturn]] void RaiseSearchFailure(const std::string& cuenta, const platform::Status& status) {
  RaiseObjectError(50010, "No se pueden grabar los datos de la cuenta\n" + cuenta + " (" +
                              status.ToString() + ")");
}

std::string BoolText(bool b) { return ToStr(Variant::FromBool(b)); }

}  // namespace

std::string TextoImporte347(double importe) {
  return (importe >= 0 ? " " : "") + data::DoubleText(importe);
}

std::string TextoRiesgo(double riesgo) { return DoubleToText(riesgo); }

bool CrearDatos(server::Enlace& e, const DatosCuenta& d) {
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    // The service keeps its own global register: nothing more is sent.
    ledger::CheckWebAnswer(web::ActualizarWeb(e.web_session(), CamposDatosWeb(d), kDatosTable));
    return true;
  }
  // A code the code field cannot hold would be stored cut, and would then
  // name (and overwrite) another account's data.
  if (Trim(d.cuenta).empty() || !ledger::FitsCodeField(kDatosTable, d.cuenta)) return false;

  // Whatever happens, the record code's files are closed; the company stays open.
  struct CloseFiles {
    server::Enlace& e;
    ~CloseFiles() { e.CerrarArchivos(false); }
  } close_files{e};

  e.OpenCompanyFiles();

  data::Slot& slot = data::GetSlot(kDatosSlot);
  slot.SetText(kCuenta, d.cuenta);
  const platform::Result<bool> found = data::SeekEqual(kDatosSlot, 1, data::ComposeKey(slot, 1));
  if (!found.ok()) RaiseSearchFailure(d.cuenta, found.status());

  bool written = false;
  if (!*found) {
    written = CreateRecord(slot, d);
  } else if (!d.actualizar) {
    return false;
  } else {
    written = UpdateRecord(slot, data::Globals().engine_record, d);
  }
  if (FeedsGlobalRegister(d)) CrearDatosGloblales(e, GlobalRecord(d).get());
  return written;
}

std::string CamposDatosWeb(const DatosCuenta& d) {
  return ledger::CampoWeb(kCuenta, d.cuenta) + ledger::CampoWeb(kTitulo, d.titulo) +
         ledger::CampoWeb(kNif, d.nif) + ledger::CampoWeb(kDireccion, d.direccion) +
         ledger::CampoWeb(kCp, d.cp) + ledger::CampoWeb(kMunicipio, d.municipio) +
         ledger::CampoWeb(kProvincia, d.provincia) + ledger::CampoWeb(kCvp, d.cvp) +
         ledger::CampoWeb(kImporte347, DoubleToText(d.importe_347)) +
         ledger::CampoWeb(kTelefono, d.telefono) + ledger::CampoWeb(kFax, d.fax) +
         ledger::CampoWeb(kRiesgo, DoubleToText(d.riesgo)) +
         ledger::CampoWeb(kTipoIva, d.tipo_iva) + ledger::CampoWeb(kNotas, d.notas) +
         ledger::CampoWeb(kPais, d.pais) + ledger::CampoWeb(kVencimientos, d.vencimientos) +
         ledger::CampoWeb(kDiasDePago, d.dias_de_pago) + ledger::CampoWeb(kEmail, d.email) +
         ledger::CampoWeb(kPaginaWeb, d.pagina_web) +
         ledger::CampoWeb(kOmitir347, BoolText(d.omitir_347)) +
         ledger::CampoWeb(kOmitir415, BoolText(d.omitir_415)) +
         ledger::CampoWeb(kCriterioCaja, BoolText(d.criterio_caja));
}

}  // namespace qrole::maintenance
