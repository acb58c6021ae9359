#include "posting/vat_types.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/env.h"
#include "posting/posting_test_util.h"

namespace qrole::posting {
namespace {

using typelib::Kind;

// A 33-byte VAT-type record.
std::string TypeRecord(const std::string& description, const std::string& key, float vat,
                       float surcharge) {
  std::string r = description;
  r.resize(21, ' ');
  std::string k = key;
  k.resize(2, ' ');
  r += "  " + k;
  char b[8];
  std::memcpy(b, &vat, 4);
  std::memcpy(b + 4, &surcharge, 4);
  return r + std::string(b, 8);
}

TEST(VatCodesTest, TextsAndCodesOfTypes) {
  EXPECT_EQ(ValTIVA("7"), 7);
  EXPECT_EQ(ValTIVA("07"), 7);
  EXPECT_EQ(ValTIVA("21"), 21);
  EXPECT_EQ(ValTIVA("A0"), 100);
  EXPECT_EQ(ValTIVA("B3"), 113);
  EXPECT_EQ(ValTIVA("Z9"), 359);
  EXPECT_EQ(ValTIVA("-1"), -1);
  EXPECT_EQ(ValTIVA("AX"), 100);  // a letter then no digit: the tens alone
  EXPECT_EQ(ValTIVA("123"), 0);
  EXPECT_EQ(ValTIVA(""), 0);
  // "ñ" is one character (one byte of the file's code page), code 241.
  EXPECT_EQ(ValTIVA("ñ1"), (241 - 65) * 10 + 101);

  EXPECT_EQ(TextoTipoIva(0), "00");
  EXPECT_EQ(TextoTipoIva(7), "07");
  EXPECT_EQ(TextoTipoIva(99), "99");
  EXPECT_EQ(TextoTipoIva(100), "A0");
  EXPECT_EQ(TextoTipoIva(105), "A5");
  EXPECT_EQ(TextoTipoIva(110), "B0");
  EXPECT_EQ(TextoTipoIva(359), "Z9");
  // Every code a type file can hold reads back from its text.
  for (int32_t code = 1; code <= 600; ++code)
    ASSERT_EQ(ValTIVA(TextoTipoIva(code)), code) << TextoTipoIva(code);
}

TEST(VatTypeFileTest, RecordsAndPercentages) {
  std::string bytes = TypeRecord("IVA 0%", "01", 0, 0) + TypeRecord("General", "01", 21, 0) +
                      TypeRecord("Con recargo", "01", 21, 5.2f) +
                      TypeRecord("Otro 21", "02", 21, 0);
  bytes += "partial";  // a torn last record is not a record
  VatTypeFile file(bytes);
  EXPECT_EQ(file.record_count(), 4);
  ASSERT_TRUE(file.Find(3).has_value());
  EXPECT_EQ(file.Find(3)->description, "Con recargo          ");
  EXPECT_EQ(file.Find(3)->key, "01");
  EXPECT_EQ(file.Find(3)->second_key, "");
  EXPECT_FLOAT_EQ(file.Find(3)->surcharge, 5.2f);
  EXPECT_FALSE(file.Find(0).has_value());
  EXPECT_FALSE(file.Find(5).has_value());
  EXPECT_EQ(file.Read(5).vat, 0);

  // The first type whose VAT and surcharge add up to the number.
  EXPECT_EQ(file.CodeByPercentage("21"), 2);
  EXPECT_EQ(file.CodeByPercentage("21.00"), 2);
  EXPECT_EQ(file.CodeByPercentage("26,2"), 3);
  EXPECT_EQ(file.CodeByPercentage("26.2"), 3);
  EXPECT_EQ(file.CodeByPercentage("0"), 1);
  EXPECT_EQ(file.CodeByPercentage("16"), 0);
  EXPECT_EQ(VatTypeFile("").CodeByPercentage("0"), 0);
}

TEST(VatTypeFileTest, OnlyTheFirstThreeHundredRecordsAreLookedAt) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += TypeRecord("", "", 1, 0);
  bytes += TypeRecord("Tipo 301", "01", 33, 0);
  VatTypeFile file(bytes);
  EXPECT_EQ(file.CodeByPercentage("33"), 0);
  EXPECT_EQ(file.Read(301).vat, 33);
}

class VatTypesTest : public PostingTest {
 protected:
  Variant Tipo(const Variant& index) { return Call("TIPOSIVA", {index}).value; }
  std::string OwnTypesPath() {
    return e_->state().company_directory + "IVA03" + e_->state().company_number + ".QRF";
  }
};

TEST_F(VatTypesTest, MembersThroughTheInterface) {
  OpenCompany();
  EXPECT_EQ(Call("ValTIVA", {S("B3")}).value, Variant::FromLong(113));
  EXPECT_EQ(Call("ValTIVA", {S("07")}).value, Variant::FromLong(7));
  EXPECT_EQ(Call("ValTIVA", {S("100")}).value, Variant::FromLong(0));

  // The shipped types: 21 % without surcharge, 21 % + 5.2 % as type 51.
  Variant t = Tipo(Variant::FromInteger(21));
  ASSERT_TRUE(t.IsObject());
  EXPECT_EQ(t.object()->class_name(), "TipoIvaClass");
  EXPECT_EQ(Field(t, "TIPO"), S("21"));
  EXPECT_EQ(Field(t, "Descripción"), S("IVA general 21%      "));
  EXPECT_EQ(Field(t, "Cuota"), D(21));
  EXPECT_EQ(Field(t, "Recargo"), D(0));
  EXPECT_EQ(Field(t, "ClaveOp"), S("01"));
  EXPECT_EQ(Field(t, "ClaveOp2"), S(""));
  t = Tipo(S("51"));
  EXPECT_EQ(Field(t, "TIPO"), S("51"));
  EXPECT_EQ(Field(t, "Recargo"), D(5.2f));
  EXPECT_EQ(Field(t, "Cuota"), D(21));
  t = Tipo(S("7"));
  EXPECT_EQ(Field(t, "TIPO"), S("07"));
  EXPECT_EQ(Field(t, "Cuota"), D(7));
  // A code text names its record; the type gets that code's text.
  t = Tipo(S("A0"));
  EXPECT_EQ(Field(t, "TIPO"), S("A0"));
  EXPECT_EQ(Field(t, "Cuota"), D(0));

  // Nothing to read: an empty type.
  t = Tipo(S(std::string("\0\0", 2)));
  ASSERT_TRUE(t.IsObject());
  EXPECT_EQ(Field(t, "TIPO"), S(""));
  EXPECT_EQ(Field(t, "Descripción"), S(""));

  // A record the file does not have.
  const int32_t no_company = ObjectError(50006);
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Tipo(Variant::FromInteger(0)); }, &text), no_company);
  EXPECT_EQ(text, "Empresa No Abierta ... Abrir Empresa y reintentar");
  EXPECT_EQ(ErrorNumber([&] { Tipo(Variant::FromLong(301)); }), no_company);
  EXPECT_EQ(ErrorNumber([&] { Tipo(S("Z9")); }), no_company);
}

TEST_F(VatTypesTest, NoCompanyNoTypes) {
  EXPECT_EQ(ErrorNumber([&] { Tipo(S("21")); }), ObjectError(50006));
  EXPECT_EQ(ErrorNumber([&] { Call("ExisteIva", {S("F1")}); }), ObjectError(50006));
  EXPECT_TRUE(Tipo(S("")).IsObject());
  EXPECT_EQ(Call("ValTIVA", {S("A5")}).value, Variant::FromLong(105));
}

TEST_F(VatTypesTest, CompanyKeepsItsOwnTypesWhenItsSettingSaysSo) {
  OpenCompany();
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  EXPECT_EQ(Field(Tipo(S("21")), "Cuota"), D(21));
  EXPECT_FALSE(fs.Exists(OwnTypesPath()));

  Call("PUT_TOTAL", {S("IvaporEmpresa"), S("1")});
  EXPECT_EQ(Field(Tipo(S("21")), "Cuota"), D(21));
  ASSERT_TRUE(fs.Exists(OwnTypesPath())) << "copied from the shared file";
  // Its own copy is the one read from then on.
  std::string bytes = *fs.ReadAll(OwnTypesPath());
  bytes.replace(20 * kVatTypeRecordSize, kVatTypeRecordSize, TypeRecord("Propio", "01", 22, 0));
  ASSERT_TRUE(fs.WriteAllAtomic(OwnTypesPath(), bytes).ok());
  EXPECT_EQ(Field(Tipo(S("21")), "Cuota"), D(22));
  EXPECT_EQ(VatTypeFile::Open(RutaTiposIva(*e_, "IVA03"))->Read(21).vat, 22);

  Call("PUT_TOTAL", {S("IvaporEmpresa"), S("0")});
  EXPECT_EQ(Field(Tipo(S("21")), "Cuota"), D(21));
}

TEST_F(VatTypesTest, CompanyThreeReadsTheSharedTypes) {
  // The shared file's name, "IVA03", ends in the number of company 03.
  Call("CrearEmpresa", {S("Uno"), S("24")});
  Call("CrearEmpresa", {S("Dos"), S("24")});
  Call("CrearEmpresa", {S("Tres"), S("24")});
  Call("AbrirEmpresa", {S("Tres")});
  ASSERT_EQ(e_->state().company_number, "03");
  EXPECT_EQ(Field(Tipo(S("21")), "Cuota"), D(21));
  EXPECT_TRUE(env_.TakeMessages().empty());
}

TEST_F(VatTypesTest, PercentagesOfTheShippedTypes) {
  OpenCompany();
  auto file = VatTypeFile::Open(RutaTiposIva(*e_, "IVA03"));
  ASSERT_TRUE(file.ok());
  EXPECT_EQ(file->record_count(), 300);
  EXPECT_EQ(file->CodeByPercentage("21"), 21);
  EXPECT_EQ(file->CodeByPercentage("26,2"), 51);
  EXPECT_EQ(file->CodeByPercentage("11.4"), 52);
  EXPECT_EQ(file->CodeByPercentage("4,5"), 53);
  EXPECT_EQ(file->CodeByPercentage("9,5"), 61);
  EXPECT_EQ(file->CodeByPercentage("0,00"), 1);
  EXPECT_EQ(file->CodeByPercentage("16"), 0);
}

}  // namespace
}  // namespace qrole::posting
