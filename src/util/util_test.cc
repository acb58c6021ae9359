#include <gtest/gtest.h>

#include "automation/convert.h"
#include "util/amounts.h"
#include "util/like.h"
#include "util/str_builder.h"
#include "util/text_table.h"

namespace qrole::util {
namespace {

TEST(RedondearTest, HalvesAwayFromZero) {
  EXPECT_EQ(Redondear(2.5, 0), 3);
  EXPECT_EQ(Redondear(-2.5, 0), -3);
  EXPECT_EQ(Redondear(0.125, 2), 0.13);
  EXPECT_EQ(Redondear(-0.125, 2), -0.13);
  EXPECT_EQ(Redondear(1.004, 2), 1.0);
  EXPECT_EQ(Redondear(1234.5678, 3), 1234.568);
  EXPECT_EQ(Redondear(0, 2), 0);
}

TEST(RedondearTest, DefaultsToTheLocaleCurrencyDecimals) {
  NumberFormat f;
  f.currency_digits = 0;
  SetCurrentNumberFormat(f);
  EXPECT_EQ(Redondear(10.5), 11);
  f.currency_digits = 2;
  SetCurrentNumberFormat(f);
  EXPECT_EQ(Redondear(10.555), 10.56);
  SetCurrentNumberFormat(NumberFormat{});
}

TEST(ValorNumericoTest, TolerantParse) {
  SetCurrentNumberFormat(NumberFormat{});
  EXPECT_EQ(ValorNumerico("1E3"), 0);
  EXPECT_EQ(ValorNumerico("ERROR"), 0);
  EXPECT_EQ(ValorNumerico("1e3"), 1000);  // only an upper-case E gives 0
  EXPECT_EQ(ValorNumerico(" 12,5 "), 12.5);
  EXPECT_EQ(ValorNumerico("-1,#QNAN"), 0);
  EXPECT_EQ(ValorNumerico("-1.#IND"), 0);
  EXPECT_EQ(ValorNumerico("abc"), 0);
  EXPECT_EQ(ValorNumerico(""), 0);
  EXPECT_EQ(ValorNumerico("1.234,5"), 1234.5);
}

TEST(StrBuilderTest, AppendAndPrepend) {
  StrBuilder b;
  EXPECT_EQ(b.ToString(), "");
  b.Append("ab");
  b.PrePend("x");
  EXPECT_EQ(b.ToString(), "xab");
  b.Append("");
  EXPECT_EQ(b.ToString(), "xab");
  b.Clear();
  EXPECT_EQ(b.ToString(), "");
  EXPECT_EQ(b.buffer_size(), 0u);
}

TEST(StrBuilderTest, GrowsInBothDirectionsWithoutLosingContent) {
  StrBuilder b;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    std::string piece = std::to_string(i) + ",";
    if (i % 3 == 0) {
      b.PrePend(piece);
      expected = piece + expected;
    } else {
      b.Append(piece);
      expected += piece;
    }
  }
  EXPECT_EQ(b.ToString(), expected);
  b.Append("tail");
  EXPECT_EQ(b.ToString(), expected + "tail");
}

TEST(StrBuilderTest, FirstGrowthAddsTwoKilobytes) {
  StrBuilder b;
  b.Append("a");
  EXPECT_EQ(b.buffer_size(), 2048u);
  b.Append(std::string(3000, 'z'));
  EXPECT_EQ(b.buffer_size(), 2048u + 4096u);
}

TEST(StrBuilderTest, FoundSeesSpareRoomAsSpaces) {
  StrBuilder b;
  b.Append("ab");
  EXPECT_TRUE(b.Found(" "));
  EXPECT_TRUE(b.Found("ab"));
  EXPECT_FALSE(b.Found("abc"));
  StrBuilder empty;
  EXPECT_FALSE(empty.Found(" "));
}

TEST(TextoATablaTest, RowsAndColumns) {
  auto t = TextoATabla("a\tb\r\nc\r\n", 0, 0, "\t");
  ASSERT_EQ(t->dims(), 2u);
  EXPECT_EQ(t->bounds()[0].count, 3);  // the empty line after the last CR LF counts
  EXPECT_EQ(t->bounds()[1].count, 2);
  EXPECT_EQ(t->At({0, 0}), Variant::FromString("a"));
  EXPECT_EQ(t->At({0, 1}), Variant::FromString("b"));
  EXPECT_EQ(t->At({1, 0}), Variant::FromString("c"));
  EXPECT_TRUE(t->At({1, 1}).IsEmpty());
  EXPECT_EQ(t->At({2, 0}), Variant::FromString(""));
}

TEST(TextoATablaTest, EmptyTextAndLoneCarriageReturns) {
  auto e = TextoATabla("", 0, 0, "\t");
  ASSERT_EQ(e->size(), 1u);
  EXPECT_TRUE(e->At({0, 0}).IsEmpty());
  auto t = TextoATabla("x\ry\nz", 1, 1, "\t");
  EXPECT_EQ(t->bounds()[0].lower, 1);
  EXPECT_EQ(t->bounds()[0].count, 2);
  EXPECT_EQ(t->At({2, 1}), Variant::FromString("y\nz"));  // a lone LF is no line end
}

TEST(LikeTest, WildcardsSetsAndDigits) {
  EXPECT_TRUE(Like("4300001", "43*"));
  EXPECT_TRUE(Like("43", "43*"));
  EXPECT_FALSE(Like("4", "43*"));
  EXPECT_TRUE(Like("4", "?"));
  EXPECT_FALSE(Like("", "?"));
  EXPECT_FALSE(Like("12", "?"));
  EXPECT_TRUE(Like("4370", "43#0"));
  EXPECT_FALSE(Like("43x0", "43#0"));
  EXPECT_TRUE(Like("4300", "4[0-3]*"));
  EXPECT_FALSE(Like("4500", "4[0-3]*"));
  EXPECT_TRUE(Like("4500", "4[!0-3]*"));
  EXPECT_TRUE(Like("a-b", "a[-]b"));
  EXPECT_FALSE(Like("abc", "a[bc"));   // a set never closed
  EXPECT_TRUE(Like("Banco Ñ", "*Ñ"));  // one character, not two bytes
  EXPECT_TRUE(Like("Ñu", "?u"));
  EXPECT_FALSE(Like("Clientes", "clientes"));  // letter case matters
  EXPECT_TRUE(Like("x*y", "*[*]*"));
  EXPECT_TRUE(Like("", "*"));
  EXPECT_TRUE(Like("abcabc", "*b*c"));
}

}  // namespace
}  // namespace qrole::util
