#include "data/number_codec.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "gtest/gtest.h"

namespace qrole::data {
namespace {

std::string Encoded(int type, int width, const std::string& text) {
  std::string out(static_cast<size_t>(width), '#');
  EXPECT_TRUE(EncodeElement(type, width, text, out.data()).ok()) << text;
  return out;
}

std::string RoundTrip(int type, int width, const std::string& text) {
  std::string decoded;
  DecodeElement(type, Encoded(type, width, text), &decoded);
  return decoded;
}

TEST(NumberTextTest, WritesTheRecordTextForm) {
  EXPECT_EQ(DoubleText(0), "0");
  EXPECT_EQ(DoubleText(-0.0), "0");
  EXPECT_EQ(DoubleText(0.5), ".5");
  EXPECT_EQ(DoubleText(-0.5), "-.5");
  EXPECT_EQ(DoubleText(0.25), ".25");
  EXPECT_EQ(DoubleText(-3), "-3");
  EXPECT_EQ(DoubleText(1234.5), "1234.5");
  EXPECT_EQ(DoubleText(0.1 + 0.2), ".3");  // 15 significant digits
  EXPECT_EQ(DoubleText(123456789012345.0), "123456789012345");
  EXPECT_EQ(DoubleText(1e16), "1E+16");
  EXPECT_EQ(DoubleText(1234567890123456.0), "1.23456789012346E+15");
  EXPECT_EQ(DoubleText(0.0001), ".0001");
  EXPECT_EQ(DoubleText(0.00001), "1E-05");
  EXPECT_EQ(DoubleText(-0.000012), "-1.2E-05");
  EXPECT_EQ(SingleText(0.1f), ".1");
  EXPECT_EQ(SingleText(1.0f / 3.0f), ".3333333");  // 7 significant digits
  EXPECT_EQ(SingleText(12345678.0f), "1.234568E+07");
  EXPECT_EQ(SingleText(-2.5f), "-2.5");
}

TEST(PlainDecimalTest, ParsesAsTheRecordCodeDoes) {
  EXPECT_EQ(ParsePlainDecimal(""), 0);
  EXPECT_EQ(ParsePlainDecimal("   "), 0);
  EXPECT_EQ(ParsePlainDecimal("abc"), 0);
  EXPECT_EQ(ParsePlainDecimal("12"), 12);
  EXPECT_EQ(ParsePlainDecimal("  12  "), 12);
  EXPECT_EQ(ParsePlainDecimal("-.5"), -0.5);
  EXPECT_EQ(ParsePlainDecimal(".5"), 0.5);
  EXPECT_EQ(ParsePlainDecimal("+3"), 3);
  EXPECT_EQ(ParsePlainDecimal("1 000"), 1000);    // blanks anywhere are skipped
  EXPECT_EQ(ParsePlainDecimal("1000,50"), 1000);  // stops at the comma
  EXPECT_EQ(ParsePlainDecimal("12abc"), 12);
  EXPECT_EQ(ParsePlainDecimal("1.5.5"), 1.5);
  EXPECT_EQ(ParsePlainDecimal("1E+16"), 1e16);
  EXPECT_EQ(ParsePlainDecimal("1.5e-3"), 0.0015);
  EXPECT_EQ(ParsePlainDecimal("2D2"), 200);
  EXPECT_EQ(ParsePlainDecimal("3E"), 3);  // an exponent without digits is not taken
  EXPECT_EQ(ParsePlainDecimal("3E+x"), 3);
  EXPECT_EQ(ParsePlainDecimal("-"), 0);
  EXPECT_EQ(ParsePlainDecimal(" - 12 . 5"), -12.5);
  EXPECT_EQ(ParsePlainDecimal("0.1"), 0.1);  // exact: the nearest double
  EXPECT_TRUE(std::isinf(ParsePlainDecimal("1E999")));
  EXPECT_EQ(ParsePlainDecimal("1E-999"), 0);
}

TEST(NumberTextTest, EveryTextReadsBackAsTheSameNumber) {
  for (double v : {0.01, 1234567.89, -98765.43, 1e-7, 3.14159265358979, 1e300}) {
    EXPECT_EQ(ParsePlainDecimal(DoubleText(v)),
              std::stod(DoubleText(v).starts_with(".") || DoubleText(v).starts_with("-.")
                            ? "0" + DoubleText(v)
                            : DoubleText(v)))
        << v;
  }
  // Amounts rounded to cents survive the 15-digit text exactly.
  for (double v : {0.07, 1234567.89, -0.01, 99999999.99}) {
    EXPECT_EQ(ParsePlainDecimal(DoubleText(v)), v) << v;
  }
}

TEST(FieldCodecTest, IntegersAreLittleEndianAndRoundHalfToEven) {
  EXPECT_EQ(Encoded(1, 2, "-3"), std::string("\xFD\xFF", 2));
  EXPECT_EQ(RoundTrip(1, 2, "-3"), "-3");
  EXPECT_EQ(RoundTrip(1, 2, "2.5"), "2");
  EXPECT_EQ(RoundTrip(1, 2, "3.5"), "4");
  EXPECT_EQ(RoundTrip(1, 2, "-2.5"), "-2");
  EXPECT_EQ(RoundTrip(1, 2, "32767"), "32767");
  EXPECT_EQ(RoundTrip(1, 2, ""), "0");
  EXPECT_EQ(Encoded(4, 4, "258"), std::string("\x02\x01\x00\x00", 4));
  EXPECT_EQ(RoundTrip(4, 4, "-2147483648"), "-2147483648");
  EXPECT_EQ(RoundTrip(4, 4, "1E+5"), "100000");
}

TEST(FieldCodecTest, RefusesValuesTheTypeCannotHold) {
  char out[8] = "xxxxxxx";
  EXPECT_TRUE(EncodeElement(1, 2, "32768", out).IsInvalidArgument());
  EXPECT_TRUE(EncodeElement(1, 2, "-32769", out).IsInvalidArgument());
  EXPECT_TRUE(EncodeElement(4, 4, "2147483648", out).IsInvalidArgument());
  EXPECT_TRUE(EncodeElement(2, 4, "1E+39", out).IsInvalidArgument());
  EXPECT_TRUE(EncodeElement(3, 8, "1E+999", out).IsInvalidArgument());
  EXPECT_EQ(std::string(out), "xxxxxxx");  // untouched
}

TEST(FieldCodecTest, FloatsKeepTheirDigits) {
  EXPECT_EQ(RoundTrip(2, 4, "0.25"), ".25");
  EXPECT_EQ(RoundTrip(6, 4, "-1.5"), "-1.5");
  EXPECT_EQ(RoundTrip(3, 8, "0.25"), ".25");
  for (int type : {3, 7, 80, 85}) EXPECT_EQ(RoundTrip(type, 8, "1234567.89"), "1234567.89");
  EXPECT_EQ(RoundTrip(3, 8, "1E+16"), "1E+16");
  const std::string bytes = Encoded(3, 8, "0.1");
  EXPECT_EQ(LoadDouble(bytes.data()), 0.1);
  double expected = 0.1;
  EXPECT_EQ(std::memcmp(bytes.data(), &expected, 8), 0);  // IEEE, little-endian host
}

TEST(FieldCodecTest, TextIsPaddedOrCutToItsWidth) {
  EXPECT_EQ(Encoded(0, 5, "ab"), "ab   ");
  EXPECT_EQ(Encoded(0, 3, "abcdef"), "abc");
  EXPECT_EQ(Encoded(5, 6, "B31231"), "B31231");
  EXPECT_EQ(RoundTrip(0, 4, "x"), "x   ");
  std::string raw("\x00\x01 z", 4);
  std::string decoded;
  DecodeElement(9, raw, &decoded);  // unknown types are text
  EXPECT_EQ(decoded, raw);
}

}  // namespace
}  // namespace qrole::data
