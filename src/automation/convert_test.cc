#include "automation/convert.h"

#include <gtest/gtest.h>

#include <cmath>

#include "qrole/error.h"

namespace qrole {
namespace {

int32_t ErrorNumberOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

class ConvertTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCurrentNumberFormat(NumberFormat{}); }
  void TearDown() override { SetCurrentNumberFormat(NumberFormat{}); }
};

TEST_F(ConvertTest, IntegralConversionsRoundHalvesToEven) {
  EXPECT_EQ(RoundToInteger(2.5), 2);
  EXPECT_EQ(RoundToInteger(3.5), 4);
  EXPECT_EQ(RoundToInteger(-2.5), -2);
  EXPECT_EQ(RoundToInteger(-3.5), -4);
  EXPECT_EQ(RoundToInteger(2.6), 3);
  EXPECT_EQ(RoundToLong(0.5), 0);
  EXPECT_EQ(RoundToLong(1.5), 2);
  EXPECT_EQ(RoundToByte(254.5), 254);
  EXPECT_EQ(ToLong(Variant::FromString("12,5")), 12);
  EXPECT_EQ(ToLong(Variant::FromString("13,5")), 14);
}

TEST_F(ConvertTest, IntegralConversionsOverflow) {
  EXPECT_EQ(RoundToInteger(32767.4), 32767);
  EXPECT_EQ(ErrorNumberOf([] { RoundToInteger(32767.5); }), 6);
  EXPECT_EQ(RoundToInteger(-32768), -32768);
  EXPECT_EQ(ErrorNumberOf([] { RoundToInteger(-32768.6); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { RoundToByte(-1); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { RoundToByte(255.5); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { RoundToLong(2147483647.5); }), 6);
  EXPECT_EQ(RoundToLong(-2147483648.0), INT32_MIN);
  EXPECT_EQ(ErrorNumberOf([] { RoundToLong(NAN); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { ToByte(Variant::FromString("300")); }), 6);
}

TEST_F(ConvertTest, TextThatIsNoNumberIsATypeMismatch) {
  EXPECT_EQ(ErrorNumberOf([] { ToDouble(Variant::FromString("abc")); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { ToDouble(Variant::FromString("")); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { ToLong(Variant::FromString("7x")); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { ToDouble(Variant::Null()); }), 94);
  EXPECT_EQ(ErrorNumberOf([] { ToStr(Variant::Null()); }), 94);
  EXPECT_EQ(ToDouble(Variant()), 0);
  EXPECT_EQ(ToStr(Variant()), "");
}

TEST_F(ConvertTest, LocaleTextToNumber) {
  double d = 0;
  ASSERT_TRUE(ParseLocaleNumber("1,5", &d));
  EXPECT_DOUBLE_EQ(d, 1.5);
  ASSERT_TRUE(ParseLocaleNumber(" -1.234,56 ", &d));
  EXPECT_DOUBLE_EQ(d, -1234.56);
  // The Spanish thousands separator: "1.5" is fifteen.
  ASSERT_TRUE(ParseLocaleNumber("1.5", &d));
  EXPECT_DOUBLE_EQ(d, 15);
  ASSERT_TRUE(ParseLocaleNumber("1,5E3", &d));
  EXPECT_DOUBLE_EQ(d, 1500);
  ASSERT_TRUE(ParseLocaleNumber("&H10", &d));
  EXPECT_DOUBLE_EQ(d, 16);
  ASSERT_TRUE(ParseLocaleNumber("&HFFFF", &d));
  EXPECT_DOUBLE_EQ(d, -1);
  EXPECT_FALSE(ParseLocaleNumber("1,5,5", &d));
  EXPECT_FALSE(ParseLocaleNumber("1E", &d));
  EXPECT_FALSE(ParseLocaleNumber(".", &d));
  EXPECT_FALSE(ParseLocaleNumber("--1", &d));

  NumberFormat english;
  english.decimal = ".";
  english.thousand = ",";
  ASSERT_TRUE(ParseLocaleNumber("1,234.5", &d, english));
  EXPECT_DOUBLE_EQ(d, 1234.5);
}

TEST_F(ConvertTest, NumberToTextUsesTheLocale) {
  EXPECT_EQ(ToStr(Variant::FromDouble(1.5)), "1,5");
  EXPECT_EQ(ToStr(Variant::FromDouble(-0.25)), "-0,25");
  EXPECT_EQ(ToStr(Variant::FromDouble(100)), "100");
  EXPECT_EQ(ToStr(Variant::FromDouble(0)), "0");
  EXPECT_EQ(ToStr(Variant::FromDouble(0.1 + 0.2)), "0,3");
  EXPECT_EQ(ToStr(Variant::FromDouble(123456789012345.0)), "123456789012345");
  EXPECT_EQ(ToStr(Variant::FromDouble(1e16)), "1E+16");
  EXPECT_EQ(ToStr(Variant::FromDouble(1.5e-7)), "1,5E-07");
  EXPECT_EQ(ToStr(Variant::FromSingle(0.1f)), "0,1");
  EXPECT_EQ(ToStr(Variant::FromCurrency(Currency{12345})), "1,2345");
  EXPECT_EQ(ToStr(Variant::FromCurrency(Currency{-20000})), "-2");
  EXPECT_EQ(ToStr(Variant::FromBool(true)), "Verdadero");
  EXPECT_EQ(ToStr(Variant::FromInteger(-7)), "-7");
}

TEST_F(ConvertTest, Booleans) {
  EXPECT_TRUE(ToBool(Variant::FromString("True")));
  EXPECT_TRUE(ToBool(Variant::FromString("Verdadero")));
  EXPECT_FALSE(ToBool(Variant::FromString("Falso")));
  EXPECT_TRUE(ToBool(Variant::FromString("-1")));
  EXPECT_FALSE(ToBool(Variant::FromString("0")));
  EXPECT_TRUE(ToBool(Variant::FromDouble(0.1)));
  EXPECT_EQ(ErrorNumberOf([] { ToBool(Variant::FromString("quizás")); }), 13);
  EXPECT_EQ(ToLong(Variant::FromBool(true)), -1);
}

TEST_F(ConvertTest, ValReadsTheLeadingNumber) {
  EXPECT_EQ(Val("7x"), 7);
  EXPECT_EQ(Val("  12"), 12);
  EXPECT_EQ(Val("abc"), 0);
  EXPECT_EQ(Val(""), 0);
  EXPECT_DOUBLE_EQ(Val("2.6"), 2.6);
  EXPECT_DOUBLE_EQ(Val("2,6"), 2);  // the point is the only decimal separator
  EXPECT_EQ(Val("1 2 3"), 123);
  EXPECT_EQ(Val("-5abc"), -5);
  EXPECT_EQ(Val("1e3x"), 1000);
  EXPECT_EQ(Val("1e"), 1);
  EXPECT_EQ(Val("&H1F"), 31);
  EXPECT_EQ(Val("&O17"), 15);
  EXPECT_EQ(Val("40000"), 40000);
  EXPECT_EQ(Val(".5"), 0.5);
}

TEST_F(ConvertTest, FormatDigitPatterns) {
  EXPECT_EQ(FormatNumber(0, "000"), "000");
  EXPECT_EQ(FormatNumber(12, "000"), "012");
  EXPECT_EQ(FormatNumber(1234, "000"), "1234");
  EXPECT_EQ(FormatNumber(-5, "000"), "-005");
  EXPECT_EQ(FormatNumber(7, "00"), "07");
  EXPECT_EQ(FormatNumber(123, "00"), "123");
  EXPECT_EQ(FormatNumber(2.6, "00"), "03");
  EXPECT_EQ(FormatNumber(2.5, "00"), "03");  // halves away from zero
  EXPECT_EQ(FormatNumber(-0.4, "00"), "00");
  EXPECT_EQ(FormatNumber(42, "0000000000"), "0000000042");
  EXPECT_EQ(FormatNumber(2.675, "0.00"), "2,68");
  EXPECT_THROW(FormatNumber(1, "#,##0"), std::logic_error);
}

TEST_F(ConvertTest, ConvertToDeclaredTypes) {
  EXPECT_EQ(ConvertTo(Variant::FromString("5"), VarType::kInteger), Variant::FromInteger(5));
  EXPECT_EQ(ConvertTo(Variant::FromLong(5), VarType::kString), Variant::FromString("5"));
  EXPECT_EQ(ConvertTo(Variant::FromDouble(1.5), VarType::kCurrency),
            Variant::FromCurrency(Currency{15000}));
  EXPECT_EQ(ConvertTo(Variant(), VarType::kObject), Variant::FromObject(nullptr));
  EXPECT_EQ(ErrorNumberOf([] { ConvertTo(Variant::FromLong(1), VarType::kObject); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { ConvertTo(Variant::FromLong(1), VarType::kArray); }), 13);
  Variant date = ConvertTo(Variant::FromString("31/12/2013"), VarType::kDate);
  EXPECT_EQ(ToStr(date), "31/12/2013");
  EXPECT_EQ(ErrorNumberOf([] { ConvertTo(Variant::FromString("31/02/2013"), VarType::kDate); }),
            13);
}

TEST_F(ConvertTest, Trims) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(LTrim("  a "), "a ");
  EXPECT_EQ(RTrim("  a "), "  a");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");  // only blanks
}

}  // namespace
}  // namespace qrole
