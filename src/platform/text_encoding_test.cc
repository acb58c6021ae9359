#include "platform/text_encoding.h"

#include <string>

#include "gtest/gtest.h"

namespace qrole::platform {
namespace {

TEST(Cp1252Test, EveryByteSurvivesARoundTrip) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = Cp1252ToUtf8(byte);
    bool lossy = true;
    EXPECT_EQ(Utf8ToCp1252(utf8, &lossy), byte) << "byte " << b;
    EXPECT_FALSE(lossy) << "byte " << b;
  }
}

TEST(Cp1252Test, HighBlockMapsToWindowsCharacters) {
  std::string block;
  for (int b = 0x80; b <= 0x9F; ++b) block.push_back(static_cast<char>(b));
  EXPECT_EQ(Cp1252ToUtf8(block),
            "€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F"
            "\u0090‘’“”•–—˜™š›œ\u009DžŸ");
  EXPECT_EQ(Utf8ToCp1252("€"), "\x80");
  EXPECT_EQ(Utf8ToCp1252("Ÿ"), "\x9F");
  EXPECT_EQ(Utf8ToCp1252("—"), "\x97");
}

TEST(Cp1252Test, Latin1AndAscii) {
  EXPECT_EQ(Cp1252ToUtf8("A\xF1o \xE1\xA0\xFF"), "Año á\u00A0ÿ");
  EXPECT_EQ(Utf8ToCp1252("Año: 100 €"), "A\xF1o: 100 \x80");
  EXPECT_EQ(Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1252Test, UnmappableAndInvalidBecomeQuestionMarks) {
  bool lossy = false;
  EXPECT_EQ(Utf8ToCp1252("日本 ok", &lossy), "?? ok");
  EXPECT_TRUE(lossy);
  // U+0080 is a control character that no cp1252 byte stands for.
  EXPECT_EQ(Utf8ToCp1252("\u0080", &lossy), "?");
  EXPECT_TRUE(lossy);

  EXPECT_EQ(Utf8ToCp1252("a\xFFz", &lossy), "a?z");  // Not a lead byte.
  EXPECT_TRUE(lossy);
  EXPECT_EQ(Utf8ToCp1252("a\xC3", &lossy), "a?");               // Truncated.
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF", &lossy), "??");            // Overlong "/".
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80", &lossy), "???");       // Surrogate.
  EXPECT_EQ(Utf8ToCp1252("\xF4\x90\x80\x80", &lossy), "????");  // Beyond U+10FFFF.
  EXPECT_EQ(Utf8ToCp1252("\xC3\xB1", &lossy), "\xF1");
  EXPECT_FALSE(lossy);  // Reset by a clean conversion.
}

TEST(CaseFoldingTest, FoldsAsciiLatin1AndCp1252Letters) {
  EXPECT_EQ(FoldCase("ÁÉÍÓÚ ÑÇÜ ABCxyz 123"), "áéíóú ñçü abcxyz 123");
  EXPECT_EQ(FoldCase("ŠŒŽŸ"), "šœžÿ");
  EXPECT_EQ(FoldCase("×ß÷µ"), "×ß÷µ");  // Not letters, or no other case.
  EXPECT_EQ(FoldCase("ЖΩ"), "ЖΩ");      // Outside the folded range.
  EXPECT_EQ(FoldCase("A\xFF"
                     "B"),
            "a\xFF"
            "b");  // Invalid bytes kept.

  EXPECT_EQ(ToUpperCase("año ÿ šœž ß"), "AÑO Ÿ ŠŒŽ ß");
  EXPECT_EQ(ToUpperCase("×÷"), "×÷");
  EXPECT_EQ(Utf8ToUpperCp1252("compañía"), "COMPAÑÍA");
}

TEST(CaseFoldingTest, EqualsAndCompareIgnoringCase) {
  EXPECT_TRUE(EqualsIgnoreCase("Contabilidad Ñandú", "CONTABILIDAD ñANDÚ"));
  EXPECT_TRUE(EqualsIgnoreCase("", ""));
  EXPECT_FALSE(EqualsIgnoreCase("a", "á"));
  EXPECT_FALSE(EqualsIgnoreCase("abc", "abcd"));
  EXPECT_FALSE(EqualsIgnoreCase("a\xFF", "a\xC3\xBF"));  // Invalid byte is not ÿ.

  EXPECT_LT(CompareIgnoreCase("apple", "BANANA"), 0);
  EXPECT_GT(CompareIgnoreCase("Zeta", "alpha"), 0);
  EXPECT_EQ(CompareIgnoreCase("ÉXITO", "éxito"), 0);
  EXPECT_LT(CompareIgnoreCase("abc", "ABCD"), 0);
}

TEST(Utf8Test, DecodeAndEncode) {
  for (char32_t cp : {U'A', U'ñ', U'€', U'\U0001F600', char32_t{0x7FF}, char32_t{0x800}}) {
    std::string utf8;
    AppendUtf8(cp, &utf8);
    size_t pos = 0;
    char32_t back = 0;
    ASSERT_TRUE(DecodeUtf8(utf8, &pos, &back));
    EXPECT_EQ(back, cp);
    EXPECT_EQ(pos, utf8.size());
  }
}

}  // namespace
}  // namespace qrole::platform
