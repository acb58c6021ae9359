#include "gtest/gtest.h"
#include "platform/ini_document_internal.h"

namespace qrole::platform::internal {
namespace {

constexpr char kText[] =
    "; written by hand\n"
    "[SOFTWARE\\QRN\\Valdrix\\Settings]\n"
    "DATOS_DIR=/srv/conta/datos/\n"
    "  Blank = \n"
    "# a comment\n"
    "junk line without equals\n"
    "\n"
    "[Other]\n"
    "k=v=w\n";

TEST(IniDocumentTest, ParsesAndWritesBackUnchanged) {
  const IniDocument doc = IniDocument::Parse(kText);
  EXPECT_EQ(doc.Serialize(), kText);
  EXPECT_EQ(doc.Get("software\\qrn\\valdrix\\settings", "datos_dir"), "/srv/conta/datos/");
  EXPECT_EQ(doc.Get("SOFTWARE\\QRN\\Valdrix\\Settings", "Blank"), " ");
  EXPECT_EQ(doc.Get("Other", "k"), "v=w");
  EXPECT_EQ(doc.Get("Other", "missing"), std::nullopt);
  EXPECT_EQ(doc.Get("Missing", "k"), std::nullopt);
  EXPECT_FALSE(doc.Get("SOFTWARE\\QRN\\Valdrix\\Settings", "# a comment").has_value());
  EXPECT_TRUE(doc.HasSection("OTHER"));
}

TEST(IniDocumentTest, KeepsCrLfAndByteOrderMark) {
  const std::string text = "\xEF\xBB\xBF[A]\r\nx=1\r\n";
  IniDocument doc = IniDocument::Parse(text);
  EXPECT_EQ(doc.Get("a", "X"), "1");
  EXPECT_EQ(doc.Serialize(), text);
  ASSERT_TRUE(doc.Set("A", "y", "2"));
  EXPECT_EQ(doc.Serialize(), "\xEF\xBB\xBF[A]\r\nx=1\r\ny=2\r\n");
}

TEST(IniDocumentTest, SetReplacesOrInsertsInPlace) {
  IniDocument doc = IniDocument::Parse(kText);
  ASSERT_TRUE(doc.Set("software\\QRN\\valdrix\\SETTINGS", "datos_dir", "/new/"));
  ASSERT_TRUE(doc.Set("SOFTWARE\\QRN\\Valdrix\\Settings", "Directory", "/opt/qrole/share/"));
  ASSERT_TRUE(doc.Set("Third", "z", ""));
  EXPECT_EQ(doc.Serialize(),
            "; written by hand\n"
            "[SOFTWARE\\QRN\\Valdrix\\Settings]\n"
            "DATOS_DIR=/new/\n"  // The spelling of the name is kept.
            "  Blank = \n"
            "# a comment\n"
            "junk line without equals\n"
            "Directory=/opt/qrole/share/\n"  // Before the blank separator line.
            "\n"
            "[Other]\n"
            "k=v=w\n"
            "\n"
            "[Third]\n"
            "z=\n");
}

TEST(IniDocumentTest, FirstOfDuplicatesWins) {
  IniDocument doc = IniDocument::Parse("[a]\nx=1\nx=2\n[A]\nx=3\n");
  EXPECT_EQ(doc.Get("a", "x"), "1");
  ASSERT_TRUE(doc.Set("A", "X", "9"));
  EXPECT_EQ(doc.Serialize(), "[a]\nx=9\nx=2\n[A]\nx=3\n");
}

TEST(IniDocumentTest, RefusesWhatALineCannotHold) {
  IniDocument doc = IniDocument::Parse("[a]\nx=1\n");
  EXPECT_FALSE(doc.Set("a", "x", "two\nlines"));
  EXPECT_FALSE(doc.Set("a", "x", "cr\r"));
  EXPECT_FALSE(doc.Set("a", "x", std::string("nul\0", 4)));
  EXPECT_FALSE(doc.Set("a", "x=y", "1"));
  EXPECT_FALSE(doc.Set("a", "", "1"));
  EXPECT_FALSE(doc.Set("a", "[b]", "1"));
  EXPECT_FALSE(doc.Set("a", ";c", "1"));
  EXPECT_FALSE(doc.Set("a]b", "x", "1"));
  EXPECT_FALSE(doc.Set("  ", "x", "1"));
  EXPECT_FALSE(doc.AddSection("a\nb"));
  EXPECT_EQ(doc.Serialize(), "[a]\nx=1\n");
}

}  // namespace
}  // namespace qrole::platform::internal
