#include "maintenance/assets.h"

#include <fstream>
#include <map>

#include "automation/record_object.h"
#include "data/table_component.h"
#include "maintenance/global_register_test_util.h"
#include "qrole/error.h"

namespace qrole::maintenance {
namespace {

constexpr int32_t kCreationError = ObjectError(kRecordCreationError);  // 0x8004EA60

// A value for every text member of a record (except the NIF, the image and
// the update flag): its first character differs from member to member, so
// that a narrow field, which keeps that character alone, still tells which
// member it came from. Number members ("_Long_") get numbers.
const std::vector<std::string> kFirstChars = {
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P",
    "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "a", "b", "c", "d", "e", "f",
    "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t", "u", "v",
    "w", "x", "y", "z", "À", "Á", "Â", "Ã", "Ä", "Å", "Ç", "È", "É", "Ê", "Ë", "Ì"};

bool IsNumberMember(const std::string& member) {
  return member.find("_Long_") != std::string::npos;
}

// Fills `r` as above (padded with blanks, which are not stored) and returns
// member -> value.
std::map<std::string, std::string> FillEveryMember(RecordObject& r) {
  std::map<std::string, std::string> values;
  size_t i = 0;
  for (const typelib::FieldInfo& f : r.record_info().fields) {
    if (f.name.starts_with("G01_") || f.name == "I50_ImagenPdf" || f.name == "G66_Actualizar")
      continue;
    const std::string value =
        IsNumberMember(f.name) ? std::to_string(100 + i) : kFirstChars.at(i) + "x";
    r.Set(f.name, Variant::FromString("  " + value + " "));
    values[f.name] = value;
    ++i;
  }
  return values;
}

// True when the field text `stored` holds `value`: the same number, or a
// non-empty beginning of the text.
bool Holds(const Variant& stored, const std::string& member, const std::string& value) {
  if (IsNumberMember(member)) return !stored.IsString() && ToDouble(stored) == Val(value);
  const std::string text = RTrim(ToStr(stored));
  return !text.empty() && value.starts_with(text);
}

// Every member stored in some field of the current record of `t`, and the
// sampled members in their own fields.
void ExpectStored(data::TableComponent& t, const std::map<std::string, std::string>& values,
                  const std::vector<std::pair<std::string, int>>& sample) {
  for (const auto& [member, value] : values) {
    bool found = false;
    for (int position = 1; position < t.FieldCount() && !found; ++position) {
      found = Holds(t.GetFieldAt(position), member, value);
    }
    EXPECT_TRUE(found) << member << " not stored";
  }
  for (const auto& [member, field] : sample) {
    EXPECT_TRUE(Holds(t.GetField(field), member, values.at(member)))
        << member << " not in field " << field << ": " << ToStr(t.GetField(field));
  }
}

class AssetsTest : public GlobalRegisterTest {
 protected:
  std::shared_ptr<RecordObject> Asset(const std::string& code, const std::string& name) {
    auto r = RecordObject::Create("InmoClass");
    r->Set("I01_Codigo_String_10", S(code));
    r->Set("I02_Descripcion_String_40", S(name));
    return r;
  }
  InvokeResult AddAsset(const std::shared_ptr<RecordObject>& r) {
    return Call("CrearInmovilizado", {Variant::FromObject(r)});
  }
  std::shared_ptr<RecordObject> Third(const std::string& nif, bool update) {
    auto r = RecordObject::Create("DatosGlobalClass");
    r->Set("G01_NIF_String_18", S(nif));
    r->Set("G66_Actualizar", Variant::FromBool(update));
    return r;
  }
  InvokeResult Register(const std::shared_ptr<RecordObject>& r) {
    return Call("CrearDatosGloblales", {Variant::FromObject(r)});
  }

  // The asset table opened on the assets with that code.
  void OpenAssets(data::TableComponent& t, const std::string& code) {
    t.OpenCompanyTable("inmo3", e_->state().company_directory, e_->state().company_number);
    t.SetFilter("CODIGO=" + code);
  }
  int Assets(const std::string& code) {
    data::TableComponent t;
    OpenAssets(t, code);
    return t.RecordCount();
  }
  std::string AssetText(const std::string& code, int field) {
    data::TableComponent t;
    OpenAssets(t, code);
    return t.IsEof() ? "<none>" : RTrim(ToStr(t.GetField(field)));
  }
};

TEST_F(AssetsTest, EveryMemberGoesToItsFieldTrimmed) {
  auto asset = RecordObject::Create("InmoClass");
  const auto values = FillEveryMember(*asset);
  const std::string image = dirs_.path() + "/factura.pdf";
  std::ofstream(image, std::ios::binary) << "  %PDF-1.4\n\x01\x02 fin  ";
  asset->Set("I50_ImagenPdf", S(image));
  EXPECT_EQ(AddAsset(asset).value, Variant::FromBool(true));

  data::TableComponent t;
  OpenAssets(t, values.at("I01_Codigo_String_10"));
  ASSERT_EQ(t.RecordCount(), 1);
  ExpectStored(t, values,
               {{"I01_Codigo_String_10", 1},
                {"I03_Material_Inmaterial_String_1", 10},
                {"I06_Cuenta_Proveedor_String_10", 4},
                {"I11_Valor_Inicial_Long_12", 18},
                {"I15_Metodo_ZeroFilled_1", 17},
                {"I16_Porcentaje_Long_5", 16},
                {"I17_Vida_Util_Anos_ZeroFilled_3", 14},
                {"I19_Periodo_Amort_Meses_ZeroFilled_2", 8},
                {"I20_Fecha_Compra_ddmmyy_8", 22},
                {"I34_Restriciones_String_2", 36},
                {"I49_Unidades_Long_12", 51}});
  EXPECT_EQ(t.GetFieldBytes(52), "%PDF-1.4\n\x01\x02 fin");
  EXPECT_EQ(RTrim(ToStr(t.GetField(3))), "");  // no member for it
}

TEST_F(AssetsTest, CodeMustBeGivenAndNew) {
  EXPECT_EQ(AddAsset(Asset("MAQ0010000", "Torno")).value, Variant::FromBool(true));
  EXPECT_EQ(AssetText("MAQ0010000", 52), "");  // no image named

  std::string description;
  EXPECT_EQ(ErrorNumber([&] { AddAsset(Asset("MAQ0010000", "Fresadora")); }, &description),
            kCreationError);
  EXPECT_EQ(description, "Codigo ya existe");
  // Eleven characters are stored as the first ten: the same asset.
  EXPECT_EQ(ErrorNumber([&] { AddAsset(Asset("MAQ0010000X", "Fresadora")); }, &description),
            kCreationError);
  EXPECT_EQ(description, "Codigo ya existe");
  EXPECT_EQ(Assets("MAQ0010000"), 1);
  EXPECT_EQ(AssetText("MAQ0010000", 2), "Torno");

  EXPECT_EQ(ErrorNumber([&] { AddAsset(Asset("   ", "Nada")); }, &description), kCreationError);
  EXPECT_EQ(description, "Codigo sin contenido");
}

TEST_F(AssetsTest, AFailedAdditionLeavesNothingBehind) {
  auto asset = Asset("MAQ2", "Torno");
  asset->Set("I50_ImagenPdf", S(dirs_.path() + "/no-existe.pdf"));
  EXPECT_EQ(ErrorNumber([&] { AddAsset(asset); }), runtime_error::kFileNotFound);
  asset->Set("I50_ImagenPdf", S(""));
  asset->Set("I11_Valor_Inicial_Long_12", S("mil"));
  EXPECT_EQ(ErrorNumber([&] { AddAsset(asset); }), ObjectError(data::kTableError));
  EXPECT_EQ(Assets("MAQ2"), 0);
  // The table was released: the next addition goes through.
  asset->Set("I11_Valor_Inicial_Long_12", S("1500,50"));
  EXPECT_EQ(AddAsset(asset).value, Variant::FromBool(true));
  EXPECT_EQ(AssetText("MAQ2", 18), "1500,5");

  EXPECT_EQ(ErrorNumber([&] { Call("CrearInmovilizado", {Variant::FromObject(nullptr)}); }),
            runtime_error::kObjectNotSet);

  e_->state().web_mode = true;
  EXPECT_EQ(AddAsset(Asset("MAQ3", "Web")).value, Variant::FromBool(false));
  e_->state().web_mode = false;
  EXPECT_EQ(Assets("MAQ3"), 0);

  Call("CerrarEmpresa");
  std::string description;
  EXPECT_EQ(ErrorNumber([&] { AddAsset(Asset("MAQ4", "Cerrada")); }, &description), kCreationError);
  EXPECT_EQ(description, "Empresa no Abierta");
}

TEST_F(AssetsTest, GlobalRecordHasEveryMemberInItsField) {
  UseGlobalDirectory();
  auto third = Third(" B12345678 ", false);
  const auto values = FillEveryMember(*third);
  EXPECT_EQ(Register(third).value, Variant::FromBool(true));
  ASSERT_EQ(GlobalCount("B12345678"), 1);
  data::TableComponent t;
  t.OpenTable(global_dir_ + "Datgl00.QRD");
  ExpectStored(t, values,
               {{"G02_Nombre_String_50", 2},
                {"G03_ApellidoRazonSocial_String_90", 27},
                {"G05_Direccion_String_99", 4},
                {"G10_Administracion_String_6", 60},
                {"G17_Claves347_String_1", 8},
                {"G18_Importe347_Long_12", 9},
                {"G26_Riesgo_Long_12", 12},
                {"G30_Notas_String_4", 14},
                {"G31_CriterioDeCaja_String_1", 26},
                {"G54_MicroEmpresa_String_1", 61},
                {"G59_Licencia_ZeroFilled_6", 68},
                {"G65_Localidad_String_30", 74}});
  EXPECT_EQ(RTrim(ToStr(t.GetField(66))), "");  // G66_Actualizar is not stored
}

TEST_F(AssetsTest, RegisteredNifIsUpdatedOnlyWhenAsked) {
  UseGlobalDirectory();
  auto third = Third("B12345678", false);
  third->Set("G02_Nombre_String_50", S("Ana"));
  third->Set("G19_Telefono1_String_15", S("911"));
  EXPECT_EQ(Register(third).value, Variant::FromBool(true));

  // Not asked to update: False, and nothing changes.
  auto again = Third("B12345678", false);
  again->Set("G02_Nombre_String_50", S("Otra"));
  EXPECT_EQ(Register(again).value, Variant::FromBool(false));
  EXPECT_EQ(GlobalText("B12345678", 2), "Ana");

  // Asked: the members given change, the blank ones keep their values.
  auto update = Third("B12345678", true);
  update->Set("G19_Telefono1_String_15", S("922"));
  update->Set("G02_Nombre_String_50", S("   "));
  EXPECT_EQ(Register(update).value, Variant::FromBool(true));
  EXPECT_EQ(GlobalText("B12345678", 10), "922");
  EXPECT_EQ(GlobalText("B12345678", 2), "Ana");
  EXPECT_EQ(GlobalCount("B12345678"), 1);

  // Asked for a NIF not registered: added.
  EXPECT_EQ(Register(Third("X1234567L", true)).value, Variant::FromBool(true));
  EXPECT_EQ(GlobalCount(""), 2);

  // A NIF longer than its field is looked up as it is stored: no duplicate.
  const std::string long_nif = "ESB1234567890123456";  // 19 characters
  EXPECT_EQ(Register(Third(long_nif, false)).value, Variant::FromBool(true));
  EXPECT_EQ(Register(Third(long_nif, false)).value, Variant::FromBool(false));
  EXPECT_EQ(GlobalCount(""), 3);
}

TEST_F(AssetsTest, GlobalRegisterRefusals) {
  UseGlobalDirectory(/*with_register=*/false);
  env_.TakeMessages();
  EXPECT_EQ(Register(Third("B12345678", false)).value, Variant::FromBool(false));
  auto boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "NOTA");
  EXPECT_NE(boxes[0].text.find("NUM. 21.0001"), std::string::npos);
  EXPECT_NE(Log().find("CrearDatosGlobales. No encuentra el ficheroglobal de esta empresa"),
            std::string::npos);

  std::ofstream(global_dir_ + "datgl00.qrd", std::ios::binary);  // any case will do
  std::string description;
  EXPECT_EQ(ErrorNumber([&] { Register(Third("  ", true)); }, &description), kCreationError);
  EXPECT_EQ(description, "Nif sin contenido");
  EXPECT_EQ(GlobalCount(""), 0);

  e_->state().web_mode = true;
  EXPECT_EQ(Register(Third("B12345678", false)).value, Variant::FromBool(false));
  e_->state().web_mode = false;
  EXPECT_EQ(GlobalCount(""), 0);
}

}  // namespace
}  // namespace qrole::maintenance
