#include "query/journal_search.h"

#include <algorithm>
#include <string>
#include <vector>

#include "data/number_codec.h"
#include "query/entry_test_util.h"
#include "query/record_scan.h"
#include "query/web_query_test_util.h"

namespace qrole::query {
namespace {

// Journal records, in posting order:
//   1 000001 01/02/24  4300001 debit 100   "Factura 1"           F-1
//   2                  7000000 credit 100  "Venta acme"          F-1
//   3 000002 15/03/24  4300002 debit 80    "factura 10"          F-10
//   4                  7000000 credit 80   "Venta beta"          F-10
//   5 000003 20/03/24  5720    debit 100   "Cobro FACTURA 1"
//   6                  4300001 credit 100  "Cobro"               F-1
//   7 000004 22/03/24  6220000 debit 25.5  "Reparación cañería"
//   8                  5720    credit 25.5 "Reparación cañería"
class JournalSearchTest : public EntryTest {
 protected:
  void SetUp() override {
    Start("01/02/24");
    Line("4300001", 1, 100, "Factura 1", {Variant::FromLong(0), S("000"), S("F-1")});
    Line("7000000", 2, 100, "Venta acme", {Variant::FromLong(0), S("000"), S("F-1")});
    Post();
    Start("15/03/24");
    Line("4300002", 1, 80, "factura 10", {Variant::FromLong(0), S("000"), S("F-10")});
    Line("7000000", 2, 80, "Venta beta", {Variant::FromLong(0), S("000"), S("F-10")});
    Post();
    Start("20/03/24");
    Line("5720", 1, 100, "Cobro FACTURA 1");
    Line("4300001", 2, 100, "Cobro", {Variant::FromLong(0), S("000"), S("F-1")});
    Post();
    Start("22/03/24");
    Line("6220000", 1, 25.5, "Reparación cañería");
    Line("5720", 2, 25.5, "Reparación cañería");
    Post();
  }

  bool Search(const std::string& member, std::vector<Variant> args) {
    return ToBool(Call(member, std::move(args)));
  }
  // The record numbers of the statement lines loaded, in order.
  std::vector<int32_t> Records() {
    std::vector<int32_t> out;
    for (int i = 1; i <= Count("ContadorExtracto"); ++i)
      out.push_back(ToLong(Item("Extracto", i, "REGISTRO")));
    return out;
  }
  using Recs = std::vector<int32_t>;
};

TEST_F(JournalSearchTest, ReferenceFindsTheWholeFieldOnly) {
  EXPECT_TRUE(Search("BuscarReferencia", {S("F-1")}));
  Recs found = Records();
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (Recs{1, 2, 6}));
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(Text("Extracto", i, "Referencia"), "F-1");
  EXPECT_EQ(Item("Extracto", 3, "Saldo"), D(-100));  // 100 - 100 - 100

  EXPECT_TRUE(Search("BuscarReferencia", {S("F-10"), Variant::FromBool(true)}));
  EXPECT_EQ(Records(), (Recs{3, 4}));
  EXPECT_FALSE(Search("BuscarReferencia", {S("F")}));
  EXPECT_EQ(Count("ContadorExtracto"), 0);

  EXPECT_EQ(Call("ExisteReferencia", {S("F-10")}), Variant::FromLong(2));
  EXPECT_EQ(Call("ExisteReferencia", {S("F-1")}), Variant::FromLong(1));
  EXPECT_EQ(Call("ExisteReferencia", {S("F-100")}), Variant::FromLong(0));
}

TEST_F(JournalSearchTest, DescriptionAnywhereWithOrWithoutCase) {
  EXPECT_TRUE(Search("BuscarDescripcion", {S("factura 1")}));
  EXPECT_EQ(Records(), (Recs{1, 3, 5}));
  EXPECT_EQ(Text("Extracto", 1, "Descripción"), "Factura 1");
  EXPECT_EQ(Text("Extracto", 3, "Cuenta"), "5720");
  EXPECT_TRUE(Search("BuscarDescripcion", {S("factura 1"), Variant::FromBool(true)}));
  EXPECT_EQ(Records(), (Recs{3}));
  // Letters outside ASCII fold too.
  EXPECT_TRUE(Search("BuscarDescripcion", {S("CAÑERÍA")}));
  EXPECT_EQ(Records(), (Recs{7, 8}));
  EXPECT_FALSE(Search("BuscarDescripcion", {S("CAÑERÍA"), Variant::FromBool(true)}));
  EXPECT_FALSE(Search("BuscarDescripcion", {S("Abono")}));
  EXPECT_EQ(Count("ContadorExtracto"), 0);
}

TEST_F(JournalSearchTest, AmountOfEitherSign) {
  EXPECT_TRUE(Search("BuscarImporte", {D(100)}));
  EXPECT_EQ(Records(), (Recs{1, 2, 5, 6}));
  EXPECT_EQ(Item("Extracto", 2, "Importe"), D(-100));
  EXPECT_EQ(Item("Extracto", 2, "Haber"), D(100));
  EXPECT_TRUE(Search("BuscarImporte", {D(-25.5)}));
  EXPECT_EQ(Records(), (Recs{7, 8}));
  EXPECT_FALSE(Search("BuscarImporte", {D(100.01)}));
  // The search position ends on the last line found.
  EXPECT_TRUE(Search("BuscarImporte", {D(80)}));
  EXPECT_EQ(e_->state().search_position[0], 4);
  EXPECT_EQ(e_->state().search_position[1], 2);
}

TEST_F(JournalSearchTest, BalanceStartsAfreshAtEverySearch) {
  ASSERT_TRUE(ToBool(Call("LeerExtracto", {S("7000000")})));  // balance -180
  EXPECT_TRUE(Search("BuscarImporte", {D(25.5)}));
  EXPECT_EQ(Item("Extracto", 1, "Saldo"), D(25.5));
  EXPECT_EQ(Item("Extracto", 2, "Saldo"), D(0));
}

TEST_F(JournalSearchTest, CancelledLinesAreNeverFound) {
  Call("AnularAsiento", {S("20/03/24"), S("000003")});
  EXPECT_TRUE(Search("BuscarImporte", {D(100)}));
  EXPECT_EQ(Records(), (Recs{1, 2}));
  // A cancelled line reads as zero: an amount of 0 still finds nothing.
  EXPECT_FALSE(Search("BuscarImporte", {D(0)}));
  EXPECT_FALSE(Search("BuscarDescripcion", {S("Cobro")}));
  EXPECT_TRUE(Search("BuscarReferencia", {S("F-1")}));
  EXPECT_EQ(Count("ContadorExtracto"), 2);
}

TEST(RecordScanTest, MatchingRules) {
  const FieldTest plain = HoldsText("ura 1", true);
  EXPECT_TRUE(plain("Factura 1   "));
  EXPECT_TRUE(plain("Factura 10  "));
  EXPECT_FALSE(plain("FACTURA 1   "));
  EXPECT_TRUE(HoldsText("ura 1", false)("FACTURA 1   "));
  EXPECT_TRUE(HoldsText("", true)("    "));
  // Text is compared as the file stores it: Windows-1252.
  EXPECT_TRUE(HoldsText("ñ", false)("CA\xD1O"));
  EXPECT_FALSE(HoldsText("ñ", true)("CA\xD1O"));

  std::string bytes(8, '\0');
  data::StoreDouble(-12.5, bytes.data());
  EXPECT_TRUE(HoldsAmount(12.5)(bytes));
  EXPECT_TRUE(HoldsAmount(-12.5)(bytes));
  EXPECT_FALSE(HoldsAmount(12.50001)(bytes));
  data::StoreDouble(0, bytes.data());
  EXPECT_TRUE(HoldsAmount(0)(bytes));
}

// On the web the searches are the service's, loaded as statement lines.
class JournalSearchWebTest : public WebQueryTest {
 protected:
  static constexpr const char* kRows =
      "3\t2\t6\t5\t22\n000004\t4300\t100\t1\tF-1\n000009\t4300\t-100\t2\tF-10\n";
};

TEST_F(JournalSearchWebTest, SearchesSendTheirFilterAndLoadTheLines) {
  Answer(kRows);
  EXPECT_TRUE(ToBool(Call("BuscarReferencia", {S("F-1")})));
  EXPECT_EQ(Requests().back(), Search("REFERENCIA LIKE *F-1*", ""));
  ASSERT_EQ(Count("ContadorExtracto"), 2);
  EXPECT_EQ(Text("Extracto", 2, "Referencia"), "F-10");
  EXPECT_EQ(ToDouble(Item("Extracto", 2, "Saldo")), 0);

  // Each search starts its balance again.
  Answer(kRows);
  EXPECT_TRUE(ToBool(Call("BuscarDescripcion", {S("Fra & cía")})));
  EXPECT_EQ(Requests().back(), Search("DESCRIPCION LIKE *Fra &#38; c&#237;a*", ""));
  EXPECT_EQ(ToDouble(Item("Extracto", 1, "Saldo")), 100);

  Answer("3\n");
  EXPECT_FALSE(ToBool(Call("BuscarImporte", {Variant::FromDouble(100.5)})));
  EXPECT_EQ(Requests().back(), Search("ABS(IMPORTE)=  100.5", ""));
  EXPECT_EQ(Count("ContadorExtracto"), 0);
  // A negative amount is searched by its size, as the lines of either sign.
  Answer(kRows);
  EXPECT_TRUE(ToBool(Call("BuscarImporte", {Variant::FromDouble(-100)})));
  EXPECT_EQ(Requests().back(), Search("ABS(IMPORTE)=  100", ""));
}

TEST_F(JournalSearchWebTest, ExisteReferenciaReadsTheEntryOfTheFirstRow) {
  Answer(kRows);
  EXPECT_EQ(ToLong(Call("ExisteReferencia", {S("F-1")})), 4);
  EXPECT_EQ(Requests().back(), Search("REFERENCIA=F-1", "EXTRA"));
  Answer("3\t22\n");
  EXPECT_EQ(ToLong(Call("ExisteReferencia", {S("F-2")})), 0);
  Answer("ERROR: tabla no encontrada");
  EXPECT_EQ(ErrorOf([&] { Call("ExisteReferencia", {S("F-2")}); }), kWebRefusal);
}

}  // namespace
}  // namespace qrole::query
