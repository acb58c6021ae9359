#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "automation/convert.h"
#include "data/globals.h"
#include "data/table_component.h"
#include "posting/posting_context.h"
#include "posting/posting_test_util.h"
#include "posting/vat_book.h"

namespace qrole::posting {
namespace {

using typelib::Kind;

// The temporary SII identifier of the first line posted at the fixture's
// clock (08/12/2026 09:05:07): the time, the month and second again, the
// line counter.
constexpr char kFirstSiiId[] = "202612080905071270";
const std::string kNuls(4, '\0');

class VatBookTest : public PostingTest {
 protected:
  void SetUp() override {
    OpenCompany();
    AddChartAccount("4300001", "Cliente Uno", "B12345678");
  }

  const std::string& Dir() { return e_->state().company_directory; }
  const std::string& Number() { return e_->state().company_number; }

  void AddChartAccount(const std::string& account, const std::string& title,
                       const std::string& nif) {
    data::TableComponent chart;
    chart.OpenCompanyTable("PLANC", Dir(), Number());
    chart.AddNew();
    chart.SetField(1, 0, S(account));
    chart.SetField(2, 0, S(title));
    chart.SetField(14, 0, S(nif));
    chart.Update();
  }

  // Adds a pending VAT line of invoice `factura` (dated 15/03/2024, VAT
  // account 4770000) through AñadirIVA; `named` gives further arguments.
  Variant AddLine(const std::string& factura, const std::string& tipo, double base, double total,
                  const NamedArgs& named = {}, const std::string& srtc = "S",
                  const std::string& account = "4300001") {
    return Invoke(*e_, "AñadirIVA", Kind::kMethod,
                  {S(account), S("4770000"), S(factura), S("15/03/2024"), S(tipo), S(srtc), D(base),
                   D(total)},
                  named)
        .value;
  }

  // Posts the pending VAT lines as entry `number` of 15/03/2024, with the
  // chart open as posting keeps it.
  PostingContext& Post(const std::string& number = "000007") {
    data::TableComponent chart;
    chart.OpenCompanyTable("PLANC", Dir(), Number());
    ctx_ = std::make_unique<PostingContext>(*e_);
    ctx_->chart = &chart;
    ctx_->accounting_date = "C40315";
    ctx_->entry_number = number;
    PostVatLines(*ctx_);
    ctx_->chart = nullptr;
    e_->LimpiarAsiento();
    return *ctx_;
  }

  // Every field of VAT-book record `record`, by code.
  std::map<int, Variant> Record(int32_t record) {
    data::TableComponent book;
    book.OpenCompanyTable("IVA01", Dir(), Number());
    book.GoToRecord(record);
    EXPECT_EQ(book.RecordNumber(), record) << "no VAT-book record " << record;
    std::map<int, Variant> fields;
    for (int code = 1; code <= 42; ++code) fields[code] = book.GetField(code);
    return fields;
  }
  int32_t BookSize() {
    data::TableComponent book;
    book.OpenCompanyTable("IVA01", Dir(), Number());
    return book.RecordCount();
  }
  static std::string Str(const Variant& v) { return Trim(v.str()); }
  static double Dbl(const Variant& v) { return v.dbl(); }

  std::unique_ptr<PostingContext> ctx_;
};

TEST_F(VatBookTest, RecordOfAnInvoiceLine) {
  AddLine("F-1", "21", 100, 121,
          {{"Referencia", S("Ref 1")},
           {"Seriefacturas", S("A")},
           {"CLAVEOPERACION", S("Z")},
           {"RegimenEspecial", S("01")},
           {"CodigoSII", S(" F1 ")},
           {"SII_Pais", S("ES")},
           {"CuotaImplicita", D(3.5)},
           {"CuotaRecargoMinorista", D(1.25)},
           {"CuotaIIEE", D(7)}});
  PostingContext& ctx = Post();
  EXPECT_EQ(ctx.deferred_status, 0);
  EXPECT_TRUE(ctx.vat_posted);
  ASSERT_EQ(BookSize(), 1);
  auto r = Record(1);
  EXPECT_EQ(Str(r[1]), "4300001");
  EXPECT_EQ(Str(r[2]), "Cliente Uno") << "the chart's title";
  EXPECT_EQ(Str(r[3]), "B12345678") << "the chart's NIF";
  EXPECT_EQ(Str(r[5]), "F-1");
  EXPECT_DOUBLE_EQ(Dbl(r[6]), 100);
  EXPECT_EQ(Str(r[7]), "21");
  EXPECT_EQ(Str(r[8]), "000007");
  EXPECT_EQ(Str(r[9]), "4770000");
  EXPECT_EQ(Str(r[10]), "S");
  EXPECT_EQ(Str(r[11]), "C40315");
  EXPECT_EQ(Str(r[12]), "0000000001");
  EXPECT_EQ(r[13], Variant::FromSingle(21));
  EXPECT_EQ(r[14], Variant::FromSingle(0));
  EXPECT_DOUBLE_EQ(Dbl(r[15]), 121);
  EXPECT_EQ(Str(r[16]), "") << "no prorata";
  EXPECT_DOUBLE_EQ(Dbl(r[17]), 21);
  EXPECT_DOUBLE_EQ(Dbl(r[18]), 0);
  EXPECT_EQ(Str(r[20]), "ES");
  EXPECT_EQ(Str(r[21]), "C40315");
  EXPECT_EQ(Str(r[22]), "Ref 1");
  EXPECT_DOUBLE_EQ(Dbl(r[23]), 0);
  EXPECT_EQ(Str(r[24]), "A");
  EXPECT_EQ(Str(r[25]), "Z");
  EXPECT_DOUBLE_EQ(Dbl(r[29]), 0) << "no withholding";
  EXPECT_EQ(Str(r[30]), "01");
  EXPECT_DOUBLE_EQ(Dbl(r[31]), 121) << "net amount without withholding: the total";
  EXPECT_EQ(Str(r[33]), "F1");
  EXPECT_EQ(r[34].str().substr(0, 4), kNuls);
  EXPECT_EQ(Str(r[35]), kFirstSiiId);
  EXPECT_EQ(Str(r[36]), "F-1") << "the invoice as extended invoice";
  EXPECT_EQ(r[37].str().substr(0, 4), kNuls);
  EXPECT_EQ(Str(r[38]), "");
  EXPECT_DOUBLE_EQ(Dbl(r[40]), 3.5);
  EXPECT_DOUBLE_EQ(Dbl(r[41]), 1.25);
  EXPECT_DOUBLE_EQ(Dbl(r[42]), 7);
  ASSERT_EQ(ctx.sii_pending.size(), 1u);
  EXPECT_EQ(ctx.sii_pending[0].text, std::string(kFirstSiiId) + "~~~~");
  EXPECT_EQ(ctx.sii_pending[0].record, 1) << "the record written, for the completion";
}

TEST_F(VatBookTest, AmountsAgainstTheClientsTotal) {
  AddLine("F-1", "21", 100, 121);     // adds up
  AddLine("F-2", "21", 100, 121.01);  // within 0.02: VAT takes the cent
  AddLine("F-3", "21", 100, 121.02);  // exactly 0.02
  AddLine("F-4", "21", 100, 0);       // no total: computed
  AddLine("F-5", "51", 100, 126.2);   // with surcharge
  EXPECT_EQ(Post().deferred_status, 0);
  EXPECT_DOUBLE_EQ(Dbl(Record(1)[17]), 21);
  EXPECT_DOUBLE_EQ(Dbl(Record(2)[17]), 21.01);
  EXPECT_DOUBLE_EQ(Dbl(Record(2)[15]), 121.01);
  EXPECT_DOUBLE_EQ(Dbl(Record(3)[17]), 21.02);
  EXPECT_DOUBLE_EQ(Dbl(Record(4)[15]), 121);
  auto r = Record(5);
  EXPECT_DOUBLE_EQ(Dbl(r[17]), 21);
  EXPECT_DOUBLE_EQ(Dbl(r[18]), 5.2);
  EXPECT_EQ(r[14], Variant::FromSingle(5.2f));
  EXPECT_EQ(Str(r[7]), "51");

  // More than 0.02 apart: posted adding up to TOTAL, and reported.
  AddLine("F-6", "21", 100, 125);
  PostingContext& ctx = Post();
  EXPECT_EQ(ctx.deferred_status, kStatusVatMismatch);
  EXPECT_EQ(ctx.deferred_text, "");
  EXPECT_DOUBLE_EQ(Dbl(Record(6)[17]), 25);
  EXPECT_DOUBLE_EQ(Dbl(Record(6)[15]), 125);
  AddLine("F-7", "21", 100, 120.97);
  EXPECT_EQ(Post().deferred_status, kStatusVatMismatch);
  EXPECT_DOUBLE_EQ(Dbl(Record(7)[17]), 20.97);
}

TEST_F(VatBookTest, BaseDerivedFromTheTotal) {
  AddLine("F-1", "21", 0, 121);
  AddLine("F-2", "21", 0, 100);  // 82.64 + 17.35 is a cent short: VAT takes it
  AddLine("F-3", "51", 0, 126.2);
  AddLine("F-4", "21", 0, -121);
  EXPECT_EQ(Post().deferred_status, 0);
  auto r = Record(1);
  EXPECT_DOUBLE_EQ(Dbl(r[6]), 100);
  EXPECT_DOUBLE_EQ(Dbl(r[17]), 21);
  EXPECT_DOUBLE_EQ(Dbl(r[15]), 121);
  r = Record(2);
  EXPECT_DOUBLE_EQ(Dbl(r[6]), 82.64);
  EXPECT_DOUBLE_EQ(Dbl(r[17]), 17.36);
  EXPECT_DOUBLE_EQ(Dbl(r[15]), 100);
  r = Record(3);
  EXPECT_DOUBLE_EQ(Dbl(r[6]), 100);
  EXPECT_DOUBLE_EQ(Dbl(r[17]), 21);
  EXPECT_DOUBLE_EQ(Dbl(r[18]), 5.2);
  r = Record(4);
  EXPECT_DOUBLE_EQ(Dbl(r[6]), -100);
  EXPECT_DOUBLE_EQ(Dbl(r[17]), -21);
}

TEST_F(VatBookTest, TypeCodes) {
  AddLine("F-1", "7", 100, 0);      // one character: its number
  AddLine("F-2", "A0", 100, 0);     // a code text, kept as given
  AddLine("F-3", "26,2", 100, 0);   // a percentage: type 51
  AddLine("F-4", "21.00", 100, 0);  // a percentage: type 21
  PostingContext& ctx = Post();
  EXPECT_EQ(ctx.deferred_status, 0);
  EXPECT_EQ(Str(Record(1)[7]), "07");
  EXPECT_DOUBLE_EQ(Dbl(Record(1)[17]), 7);
  EXPECT_EQ(Str(Record(2)[7]), "A0");
  EXPECT_DOUBLE_EQ(Dbl(Record(2)[17]), 0);
  EXPECT_EQ(Str(Record(3)[7]), "51");
  EXPECT_DOUBLE_EQ(Dbl(Record(3)[18]), 5.2);
  EXPECT_EQ(Str(Record(4)[7]), "21");
}

TEST_F(VatBookTest, TypesWithoutUsablePercentages) {
  // Type 0: exempt "00" and the warning.
  AddLine("F-1", "0", 100, 0);
  PostingContext& ctx = Post();
  EXPECT_EQ(ctx.deferred_status, kStatusExemptVatType);
  EXPECT_EQ(ctx.deferred_text, "");
  auto r = Record(1);
  EXPECT_EQ(Str(r[7]), "00");
  EXPECT_EQ(r[13], Variant::FromSingle(0));
  EXPECT_DOUBLE_EQ(Dbl(r[17]), 0);
  EXPECT_DOUBLE_EQ(Dbl(r[15]), 100);

  // A negative code keeps the percentages of the type read before it; the
  // last status set is the one reported.
  AddLine("F-2", "51", 100, 0);
  AddLine("F-3", "-1", 200, 0);
  AddLine("F-4", "0", 100, 0);
  AddLine("F-5", "-2", 100, 0);
  PostingContext& second = Post();
  EXPECT_EQ(second.deferred_status, kStatusUnknownVatType);
  EXPECT_EQ(second.deferred_text, "-2");
  r = Record(3);
  EXPECT_EQ(Str(r[7]), "-1");
  EXPECT_EQ(r[13], Variant::FromSingle(21));
  EXPECT_DOUBLE_EQ(Dbl(r[17]), 42);
  EXPECT_DOUBLE_EQ(Dbl(r[18]), 10.4);
  // After an exempt line there is nothing left to keep.
  EXPECT_DOUBLE_EQ(Dbl(Record(5)[17]), 0);

  // An empty type is no type: exempt with the warning, not a 0 % type.
  AddLine("F-6", "", 100, 0);
  PostingContext& third = Post();
  EXPECT_EQ(third.deferred_status, kStatusExemptVatType);
  EXPECT_EQ(Str(Record(6)[7]), "00");
}

TEST_F(VatBookTest, OrderNumbersPerInvoiceAndBook) {
  AddLine("F-1", "21", 100, 0);
  AddLine("F-1", "10", 50, 0);                                    // same invoice: same number
  AddLine("F-2", "21", 100, 0);                                   // next invoice: next number
  AddLine("F-2", "21", 100, 0, {}, "R");                          // another book starts at 1
  AddLine("F-3", "21", 100, 0, {{"NumeroOrden", S("77")}}, "T");  // the client's own
  // The number is shared by the consecutive lines of an invoice: after the
  // R line, this F-2 line of book S is numbered anew.
  AddLine("F-2", "21", 100, 0);
  Post();
  EXPECT_EQ(Str(Record(1)[12]), "0000000001");
  EXPECT_EQ(Str(Record(2)[12]), "0000000001");
  EXPECT_EQ(Str(Record(3)[12]), "0000000002");
  EXPECT_EQ(Str(Record(4)[12]), "0000000001");
  EXPECT_EQ(Str(Record(5)[12]), "77");
  EXPECT_EQ(Str(Record(6)[12]), "0000000003");

  // A later entry goes on from the last number of each book; a client's
  // number counts as the last of its book.
  AddLine("F-9", "21", 100, 0);
  AddLine("F-9", "21", 100, 0, {}, "R");
  AddLine("F-9", "21", 100, 0, {}, "T");
  Post("000008");
  EXPECT_EQ(Str(Record(7)[12]), "0000000004");
  EXPECT_EQ(Str(Record(8)[12]), "0000000002");
  EXPECT_EQ(Str(Record(9)[12]), "0000000078");
}

TEST_F(VatBookTest, TitleAndNifFromTheChartUnlessGiven) {
  AddLine("F-1", "21", 100, 0, {{"titulo", S("Cliente de mostrador")}});
  AddLine("F-2", "21", 100, 0, {{"NIf", S("X1234567L")}});
  AddLine("F-3", "21", 100, 0, {{"titulo", S("Otro")}, {"NIf", S("Y7654321")}});
  AddLine("F-4", "21", 100, 0, {}, "S", "4300999");  // not in the chart
  Post();
  EXPECT_EQ(Str(Record(1)[2]), "Cliente de mostrador");
  EXPECT_EQ(Str(Record(1)[3]), "B12345678");
  EXPECT_EQ(Str(Record(2)[2]), "Cliente Uno");
  EXPECT_EQ(Str(Record(2)[3]), "X1234567L");
  EXPECT_EQ(Str(Record(3)[2]), "Otro");
  EXPECT_EQ(Str(Record(3)[3]), "Y7654321");
  EXPECT_EQ(Str(Record(4)[2]), "");
  EXPECT_EQ(Str(Record(4)[3]), "");
}

TEST_F(VatBookTest, ProrataWithholdingAndNetAmount) {
  Variant prorated = AddLine("F-1", "21", 100, 121, {{"Prorata", S("50")}});
  Variant withheld = AddLine("F-2", "21", 100, 121, {{"PorcRetencion", D(15)}});
  Variant regime =
      AddLine("F-3", "21", 100, 121, {{"PorcRetencion", D(15)}, {"RegimenEspecial", S("07")}});
  Variant given = AddLine("F-4", "21", 100, 121, {{"PorcRetencion", D(15)}});
  Invoke(*given.object(), "Liquido", Kind::kLet, {D(50)});
  Variant derived = AddLine("F-5", "21", 0, 121, {{"PorcRetencion", D(15)}});
  Post();

  EXPECT_DOUBLE_EQ(Field(prorated, "CuotaProrrata").dbl(), 10.5);
  EXPECT_EQ(Str(Record(1)[16]), "50");
  EXPECT_DOUBLE_EQ(Dbl(Record(1)[23]), 10.5);
  EXPECT_EQ(Field(withheld, "CuotaProrrata"), D(0));

  EXPECT_DOUBLE_EQ(Dbl(Record(2)[29]), 15);
  EXPECT_DOUBLE_EQ(Field(withheld, "Liquido").dbl(), 106);
  EXPECT_DOUBLE_EQ(Dbl(Record(2)[31]), 106);
  EXPECT_DOUBLE_EQ(Field(regime, "Liquido").dbl(), 121 - 121 * 0.15);
  EXPECT_DOUBLE_EQ(Dbl(Record(3)[31]), 102.85);
  EXPECT_EQ(Field(given, "Liquido"), D(50));
  EXPECT_DOUBLE_EQ(Dbl(Record(4)[31]), 50);
  // The line's own base counts, and it was 0.
  EXPECT_DOUBLE_EQ(Dbl(Record(5)[29]), 0);
  EXPECT_DOUBLE_EQ(Dbl(Record(5)[31]), 121);
}

TEST_F(VatBookTest, ExtendedInvoiceAndClientFields) {
  Variant plain = AddLine(" F-1 ", "21", 100, 0);
  Invoke(*plain.object(), "SII_FacturaExtendida", Kind::kLet, {S("  ")});
  AddLine("F-2", "21", 100, 0, {{"Factura60Caracteres", S("FACTURA-2-DE-UNA-SERIE-MUY-LARGA")}});
  AddLine("F-3", "21", 100, 0,
          {{"Referencia", S("R-3")}, {"OtrosCampos", S("4=NI| REFERENCIA = R-9 = x ||")}});
  Post();
  EXPECT_EQ(Str(Record(1)[36]), "F-1");
  EXPECT_EQ(Str(Record(2)[36]), "FACTURA-2-DE-UNA-SERIE-MUY-LARGA");
  EXPECT_EQ(Str(Record(3)[4]), "NI");
  EXPECT_EQ(Str(Record(3)[22]), "R-9");

  AddLine("F-4", "21", 100, 0, {{"OtrosCampos", S("4=NI|sin igual")}});
  EXPECT_EQ(ErrorNumber([&] { Post(); }), runtime_error::kInvalidCall);
}

TEST_F(VatBookTest, NothingToPost) {
  PostingContext& ctx = Post();
  EXPECT_FALSE(ctx.vat_posted);
  EXPECT_TRUE(ctx.sii_pending.empty());
  EXPECT_EQ(BookSize(), 0);
  CompletarSii(ctx);  // nothing remembered: nothing to do
  EXPECT_EQ(BookSize(), 0);
}

TEST_F(VatBookTest, WithoutTheChartOrTheBooksSlotOpen) {
  ASSERT_FALSE(data::GetSlot(4).is_open());
  AddLine("F-1", "21", 100, 0);
  PostingContext ctx(*e_);
  ctx.accounting_date = "C40315";
  ctx.entry_number = "000007";
  PostVatLines(ctx);
  EXPECT_EQ(Str(Record(1)[2]), "Cliente Uno");
  EXPECT_EQ(Str(Record(1)[12]), "0000000001");
}

TEST_F(VatBookTest, SiiCompletion) {
  // A record of another entry that happens to carry the first identifier.
  {
    data::TableComponent book;
    book.OpenCompanyTable("IVA01", Dir(), Number());
    book.AddNew();
    book.SetField(8, 0, S("000099"));
    book.SetField(35, 0, S(kFirstSiiId));
    book.Update();
  }
  AddLine("F-1", "21", 100, 0,
          {{"DescripcionSII", S(" Factura simplificada ")},
           {"NoFacturaRectificativa_DUA", S(" DUA-7 ")},
           {"SII_Pais", S("FR")},
           {"CuotaImplicita", D(2)}});
  AddLine("F-2", "21", 100, 0, {{"DescripcionSII", S("Con ~ en medio")}});
  PostingContext& ctx = Post();
  ASSERT_EQ(ctx.sii_pending.size(), 2u);
  EXPECT_EQ(ctx.sii_pending[0].text, std::string(kFirstSiiId) + "~Factura simplificada~~~DUA-7");
  EXPECT_EQ(ctx.sii_pending[0].record, 2);
  EXPECT_EQ(ctx.sii_pending[1].record, 3);
  EXPECT_EQ(Str(Record(3)[35]), "202612080905071271");

  env_.clock().Set(platform::LocalDateTime{2026, 12, 9, 10, 0, 0});
  CompletarSii(ctx);
  auto r = Record(2);
  EXPECT_EQ(Str(r[35]), "");
  EXPECT_EQ(Str(r[34]), "Factura simplificada");
  EXPECT_EQ(Str(r[37]), "DUA-7");
  EXPECT_EQ(Str(r[38]), "");
  EXPECT_EQ(Str(r[39]), "C61209");
  EXPECT_EQ(Str(r[20]), "FR") << "the client's country stays";
  EXPECT_DOUBLE_EQ(Dbl(r[40]), 2) << "the client's implicit tax stays";
  r = Record(3);
  EXPECT_EQ(Str(r[35]), "");
  EXPECT_EQ(Str(r[34]), "Con ~ en medio");
  EXPECT_EQ(Str(r[37]), "");
  // The other entry's record is left as it was.
  r = Record(1);
  EXPECT_EQ(Str(r[35]), kFirstSiiId);
  EXPECT_EQ(Str(r[39]), "");
}

TEST_F(VatBookTest, InvoiceCount) {
  EXPECT_EQ(Call("ExisteIva", {S("F-1")}).value, Variant::FromLong(0)) << "an empty book";
  AddLine("F-1", "21", 100, 0);
  AddLine("F-1", "10", 100, 0);
  AddLine("F-10", "21", 100, 0);
  AddLine("F-2", "21", 100, 0, {}, "R");
  Post();
  EXPECT_EQ(Call("ExisteIva", {S("F-1")}).value, Variant::FromLong(2));
  EXPECT_EQ(Call("ExisteIva", {S("F-10")}).value, Variant::FromLong(1));
  EXPECT_EQ(Call("ExisteIva", {S("F-2")}).value, Variant::FromLong(1));
  EXPECT_EQ(Call("ExisteIva", {S("F-")}).value, Variant::FromLong(0));
  EXPECT_EQ(Call("ExisteIva", {S("F-3")}).value, Variant::FromLong(0));
  EXPECT_FALSE(data::GetSlot(4).is_open()) << "every file closed";
}

// The whole road: the stage inside GrabarAsiento, the SII fields completed
// and the exempt type reported once the entry is written.
TEST_F(VatBookTest, WithinAPostedEntry) {
  Let("Fecha", S("15/03/24"));
  Let("Número", S(""));
  Call("AñadirApunte", {S("4300001"), S("Factura F-1"), Variant::FromByte(1), D(221), S("1")});
  AddLine("F-1", "21", 100, 121, {{"DescripcionSII", S("Normal")}});
  AddLine("F-1", "0", 100, 100);
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Call("GrabarAsiento"); }, &text), 50011);
  EXPECT_EQ(text,
            "Se ha introducido un porcentaje de IVA/IGIC que no existe en la contabilidad, se "
            "grabará con tipo 00 por favor corrijalo.");
  ASSERT_EQ(BookSize(), 2);
  auto r = Record(1);
  EXPECT_EQ(Str(r[8]), "000001");
  EXPECT_EQ(Str(r[21]), "C40315");
  EXPECT_EQ(Str(r[12]), "0000000001");
  EXPECT_EQ(Str(r[34]), "Normal");
  EXPECT_EQ(Str(r[35]), "");
  EXPECT_EQ(Str(r[39]), "C61208");
  r = Record(2);
  EXPECT_EQ(Str(r[7]), "00");
  EXPECT_EQ(Str(r[12]), "0000000001");
  EXPECT_EQ(Str(r[35]), "");
  EXPECT_EQ(Get("ContadorIva"), Variant::FromLong(0));
  EXPECT_EQ(Call("ExisteIva", {S("F-1")}).value, Variant::FromLong(2));
}

}  // namespace
}  // namespace qrole::posting
