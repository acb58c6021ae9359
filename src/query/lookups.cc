#include "query/lookups.h"

#include <memory>
#include <string>
#include <vector>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/date_codec.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/slot.h"
#include "data/table_component.h"
#include "maintenance/assets.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "query/keyed_files_internal.h"
#include "query/web_rows.h"
#include "server/enlace.h"
#include "server/process_state.h"
#include "util/like.h"
#include "web/web_link.h"

namespace qrole::query {

namespace {

using internal::Current;
using internal::KeyedFiles;
using server::Col;

// --- Master data ("DATOS", keyed file 3) -----------------------------------

constexpr int kDatosSlot = 3;
constexpr int kCodeIndex = 1;
constexpr int kTitleIndex = 2;
constexpr const char* kDatosTable = "DATOS";

enum : int {
  kCuenta = 1,
  kTitulo = 2,
  kImporte347 = 9,
  kRiesgo = 12,
  kTrimestre1 = 22,
};

// DatosClass text members and their fields.
struct TextMember {
  const char* member;
  int code;
};
constexpr TextMember kDatosTexts[] = {
    {"Cuenta", 1},     {"titulo", 2},        {"NIf", 3},         {"Direccion", 4},
    {"cp", 5},         {"Municipio", 6},     {"Provincia", 7},   {"CVP", 8},
    {"Telefono", 10},  {"Fax", 11},          {"TipoIva", 13},    {"NOTAS", 14},
    {"Pais", 15},      {"Vencimientos", 16}, {"DiasDePago", 17}, {"email", 18},
    {"PaginaWeb", 19}, {"OMITIR347", 20},    {"OMITIR415", 21},  {"EsCriterioCaja", 26},
};

std::string Text(const data::Slot& s, int code) { return s.TrimmedText(s.FieldByCode(code)); }

// The risk is stored as the runtime writes a number in the user's locale
// ("2500,75"); a text in another form is read by its leading number.
double RiskAmount(const std::string& text) {
  const std::string t = Trim(text);
  double value = 0;
  if (t.empty()) return 0;
  if (ParseLocaleNumber(t, &value)) return value;
  return Val(t);
}

// The master-data record in the slot as a DatosClass. The amounts kept as
// text are read as the master data writes them: the 347 amount with "." as
// decimal separator, the risk in the locale's form; blank ones are 0.
Variant DatosRecord(const data::Slot& s) {
  auto d = RecordObject::Create("DatosClass");
  for (const TextMember& m : kDatosTexts) d->Set(m.member, Variant::FromString(Text(s, m.code)));
  d->Set("Importe_347", Variant::FromDouble(Val(Text(s, kImporte347))));
  d->Set("Riesgo", Variant::FromDouble(RiskAmount(Text(s, kRiesgo))));
  for (int q = 0; q < 4; ++q) {
    d->Set("Trimestre" + std::to_string(q + 1) + "_347",
           Variant::FromDouble(s.Number(s.FieldByCode(kTrimestre1 + q))));
  }
  return Variant::FromObject(d);
}

// Row `r` of the web service's master-data answer as a DatosClass, read as
// the record in the slot is.
Variant DatosRecordWeb(const WebRows& rows, size_t r) {
  auto d = RecordObject::Create("DatosClass");
  for (const TextMember& m : kDatosTexts)
    d->Set(m.member, Variant::FromString(rows.Field(r, m.code)));
  d->Set("Importe_347", Variant::FromDouble(Val(rows.Field(r, kImporte347))));
  d->Set("Riesgo", Variant::FromDouble(RiskAmount(rows.Field(r, kRiesgo))));
  for (int q = 0; q < 4; ++q) {
    d->Set("Trimestre" + std::to_string(q + 1) + "_347",
           Variant::FromDouble(Val(rows.Field(r, kTrimestre1 + q))));
  }
  return Variant::FromObject(d);
}

bool IsPattern(const std::string& code) { return code.find_first_of("*?") != std::string::npos; }

// True when `code` takes no more bytes of the file than the code field.
bool FitsCodeField(const data::Slot& s, const std::string& code) {
  const int width = s.field(s.FieldByCode(kCuenta)).width;
  return width > 0 && platform::Utf8ToCp1252(code).size() <= static_cast<size_t>(width);
}

// --- Table component reads ------------------------------------------------

constexpr const char* kAssetTable = "inmo3";
constexpr const char* kGlobalTable = "Datgl00";
constexpr const char* kWithholdingTable = "Ret01";
constexpr const char* kAssetImage = "I50_ImagenPdf";
constexpr int kAssetImageField = 52;
constexpr const char* kGlobalNif = "G01_NIF_String_18";
constexpr int kGlobalNifField = 3;

// A field as a text member holds it: text without trailing blanks, a number
// as the runtime writes it.
std::string FieldText(data::TableComponent& t, int code) {
  const Variant v = t.GetField(code);
  return v.IsString() ? RTrim(v.str()) : ToStr(v);
}

bool CompanyOpen(const server::EnlaceState& s) {
  return !Trim(s.company_number).empty() && !Trim(s.company_directory).empty();
}

Variant AssetRecord(data::TableComponent& t) {
  auto r = RecordObject::Create("InmoClass");
  for (const maintenance::MemberField& f : maintenance::AssetFields())
    r->Set(f.member, Variant::FromString(FieldText(t, f.field)));
  r->Set(kAssetImage, Variant::FromString(FieldText(t, kAssetImageField)));
  return Variant::FromObject(r);
}

Variant GlobalRecord(data::TableComponent& t) {
  auto r = RecordObject::Create("DatosGlobalClass");
  r->Set(kGlobalNif, Variant::FromString(FieldText(t, kGlobalNifField)));
  for (const maintenance::MemberField& f : maintenance::GlobalFields())
    r->Set(f.member, Variant::FromString(FieldText(t, f.field)));
  return Variant::FromObject(r);
}

// The register of the installation's global data directory; the empty text
// when there is no directory or it holds no register.
std::string GlobalRegisterPath() {
  const std::string dir = Trim(server::Process().global_directory);
  if (dir.empty()) return "";
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  const std::string path = fs.Resolve(platform::JoinPath(dir, std::string(kGlobalTable) + ".QRD"));
  return fs.Exists(path) ? path : "";
}

// RetClass members and the fields posting writes them to.
constexpr TextMember kWithholdingTexts[] = {
    {"CliPro", 1},     {"NIf", 3},       {"FacturaN", 5},   {"Clave", 7},       {"CtaRet", 9},
    {"CtaRetEsp", 10}, {"NumOrden", 12}, {"Provincia", 15}, {"CtaBaseEsp", 17},
};
constexpr TextMember kWithholdingAmounts[] = {
    {"Base", 6},     {"PRetencion", 13}, {"PRetEspecie", 14},
    {"BaseEsp", 27}, {"Retencion", 29},  {"Retesp", 30},
};
constexpr int kInvoiceDate = 11;

Variant WithholdingRecord(data::TableComponent& t) {
  auto r = RecordObject::Create("RetClass");
  for (const TextMember& m : kWithholdingTexts)
    r->Set(m.member, Variant::FromString(FieldText(t, m.code)));
  for (const TextMember& m : kWithholdingAmounts)
    r->Set(m.member, Variant::FromDouble(ToDouble(t.GetField(m.code))));
  // The invoice date as the client gave it: dd/mm/yy.
  const std::string stored = FieldText(t, kInvoiceDate);
  r->Set("FechaFac",
         Variant::FromString(Trim(stored).empty() ? "" : data::ConvertirFechaCodec(stored)));
  return Variant::FromObject(r);
}

// Appends every record of the set of `t` to `c`, built by `build`.
template <class Build>
void LoadSet(data::TableComponent& t, Collection& c, Build build) {
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) c.Add(build(t));
}

}  // namespace

bool LeerDatos(server::Enlace& e, const std::string& cuenta, const std::string& titulo) {
  e.ComprobarEmpresaAbierta();
  Collection& datos = e.collection(Col::kDatos);
  datos.Clear();
  if (e.state().web_mode) {
    const std::string filter =
        titulo.empty() ? "CUENTA = " + cuenta : "NOMBRE LIKE *" + titulo + "*";
    const WebRows rows(web::BuscarWebTexto(e.web_session(), filter, "DATOS"));
    for (size_t r = 0; r < rows.size(); ++r)
      if (!rows.IsEmpty(r)) datos.Add(DatosRecordWeb(rows, r));
    return datos.Count() > 0;
  }

  KeyedFiles files(e);
  data::Slot& s = data::GetSlot(kDatosSlot);
  if (IsPattern(cuenta)) {
    const std::string pattern = Trim(cuenta);
    const std::string title_pattern = Trim(titulo);
    const int index = title_pattern.empty() ? kCodeIndex : kTitleIndex;
    for (bool on = Current(data::MoveFirst(kDatosSlot, index), kDatosTable); on;
         on = Current(data::MoveNext(kDatosSlot), kDatosTable)) {
      if (!util::Like(Text(s, kCuenta), pattern)) continue;
      if (!title_pattern.empty() && !util::Like(Text(s, kTitulo), title_pattern)) continue;
      datos.Add(DatosRecord(s));
    }
  } else if (FitsCodeField(s, cuenta)) {
    s.SetText(s.FieldByCode(kCuenta), cuenta);
    if (Current(data::SeekEqual(kDatosSlot, kCodeIndex, data::ComposeKey(s, kCodeIndex)),
                kDatosTable))
      datos.Add(DatosRecord(s));
  }
  return datos.Count() > 0;
}

bool LeerInmovilizado(server::Enlace& e, const std::string& codigo) {
  Collection& assets = e.collection(Col::kInmovilizado);
  assets.Clear();
  const server::EnlaceState& s = e.state();
  if (!CompanyOpen(s)) return false;
  data::TableComponent t;
  t.OpenCompanyTable(kAssetTable, s.company_directory, s.company_number);
  t.MoveFirst();
  if (!Trim(codigo).empty()) t.SetFilter("codigo =" + Trim(codigo));
  LoadSet(t, assets, AssetRecord);
  t.Close();
  return assets.Count() > 0;
}

bool LeerDatosGlobales(server::Enlace& e, const std::string& nif) {
  Collection& third_parties = e.collection(Col::kDatosGlobales);
  third_parties.Clear();
  const std::string path = GlobalRegisterPath();
  if (path.empty()) return false;
  data::TableComponent t;
  t.OpenTable(path);
  t.MoveFirst();
  if (!Trim(nif).empty()) t.SetFilter("NIF = " + Trim(nif));
  LoadSet(t, third_parties, GlobalRecord);
  t.Close();
  return third_parties.Count() > 0;
}

bool ExisteNifDatosGlobales(server::Enlace&, const std::string& nif) {
  bool exists = false;
  try {
    const std::string path = GlobalRegisterPath();
    if (path.empty()) return false;
    data::TableComponent t;
    t.OpenTable(path);
    t.MoveFirst();
    if (!Trim(nif).empty()) {
      t.SetFilter("nif =" + Trim(nif));
      t.MoveFirst();
      exists = t.RecordCount() > 0;
    } else {
      for (; !t.IsEof() && !exists; t.MoveNext())
        exists = Trim(FieldText(t, kGlobalNifField)).empty();
    }
  } catch (...) {
    // A register that cannot be read knows no NIF.
  }
  return exists;
}

std::string FiltroRetenciones(const RangoRetenciones& rango) {
  const struct {
    const char* field_and_operator;
    const std::string& bound;
  } kTerms[] = {
      {"CLIENTE/PROVEEDOR >= ", rango.desde_cuenta},
      {"CLIENTE/PROVEEDOR <= ", rango.hasta_cuenta},
      {"FECHA CONTABLE >= ", rango.desde_fecha},
      {"FECHA CONTABLE <= ", rango.hasta_fecha},
  };
  std::string filter;
  for (const auto& term : kTerms) {
    const std::string bound = Trim(term.bound);
    if (bound.empty()) continue;
    if (!filter.empty()) filter += " and ";
    filter += term.field_and_operator + bound;
  }
  return filter;
}

bool LeerRetenciones(server::Enlace& e, const RangoRetenciones& rango) {
  Collection& withholdings = e.collection(Col::kRetenciones);
  withholdings.Clear();
  const server::EnlaceState& s = e.state();
  if (!CompanyOpen(s)) return false;
  data::SetCompany(s.company_directory, s.company_number);
  const std::string filter = FiltroRetenciones(rango);
  data::TableComponent t;
  t.OpenCompanyTable(kWithholdingTable, s.company_directory, s.company_number);
  t.MoveFirst();
  t.SetFilter(filter);
  LoadSet(t, withholdings, WithholdingRecord);
  t.Close();
  return withholdings.Count() > 0;
}

}  // namespace qrole::query
