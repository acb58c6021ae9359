#include "rpc/json_writer.h"

#include <gtest/gtest.h>

#include <limits>

namespace qrole::rpc {
namespace {

using nlohmann::json;

TEST(JsonWriterTest, NumbersKeepTheirKindAndShortestForm) {
  EXPECT_EQ(ToJsonText(json(5)), "5");
  EXPECT_EQ(ToJsonText(json(-2147171498)), "-2147171498");
  EXPECT_EQ(ToJsonText(json(std::numeric_limits<uint64_t>::max())), "18446744073709551615");
  EXPECT_EQ(ToJsonText(json(5.0)), "5.0");
  EXPECT_EQ(ToJsonText(json(-0.5)), "-0.5");
  EXPECT_EQ(ToJsonText(json(0.1)), "0.1");
  EXPECT_EQ(ToJsonText(json(1e300)), "1e+300");
  EXPECT_EQ(ToJsonText(json(166.386)), "166.386");
  // The shortest text is also exact: it reads back as the same double.
  for (double d : {0.1 + 0.2, 1.0 / 3.0, 123456789.123456789, 5e-324}) {
    EXPECT_EQ(json::parse(ToJsonText(json(d))).get<double>(), d);
  }
  EXPECT_EQ(ToJsonText(json(std::numeric_limits<double>::quiet_NaN())), "null");
  EXPECT_EQ(ToJsonText(json(std::numeric_limits<double>::infinity())), "null");
}

TEST(JsonWriterTest, StringsAreEscapedAndRepaired) {
  EXPECT_EQ(ToJsonText(json("a\"b\\c\n\t\x01\x7f")), R"("a\"b\\c\n\t\u0001\u007f")");
  EXPECT_EQ(ToJsonText(json("Añadir €")), "\"Añadir €\"");
  // A lone Windows-1252 byte and a truncated sequence each become U+FFFD.
  EXPECT_EQ(ToJsonText(json(std::string("a\xF1"
                                        "b"))),
            "\"a\xEF\xBF\xBD"
            "b\"");
  EXPECT_EQ(ToJsonText(json(std::string("\xE2\x82"))), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  // Overlong forms and surrogates: every byte is replaced, and the output
  // is JSON that a strict reader accepts.
  std::string five_bad =
      json::parse(ToJsonText(json(std::string("\xC0\x80\xED\xA0\x80")))).get<std::string>();
  EXPECT_EQ(five_bad, "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
}

TEST(JsonWriterTest, StructuresAreCompact) {
  json v = {{"b", json::array({1, "x", nullptr, true})}, {"a", json::object()}};
  EXPECT_EQ(ToJsonText(v), R"({"a":{},"b":[1,"x",null,true]})");
  EXPECT_EQ(json::parse(ToJsonText(v)), v);
}

TEST(JsonWriterTest, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("Número \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xFF"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(IsValidUtf8("ab\xC3"));            // truncated
}

}  // namespace
}  // namespace qrole::rpc
