#include "platform/profile.h"

#include "gtest/gtest.h"
#include "platform/scoped_temp_dir.h"

namespace qrole::platform {
namespace {

class IniProfileTest : public testing::Test {
 protected:
  void WriteFile(const std::string& text) {
    ASSERT_TRUE(NativeFileSystem()->WriteAllAtomic(path_, text).ok());
  }

  ScopedTempDir dir_{testing::TempDir()};
  std::string path_ = dir_.Child("win.ini");
  IniProfile profile_{path_};
};

TEST_F(IniProfileTest, MissingFileGivesSpanishNumberFormats) {
  EXPECT_EQ(profile_.GetString("intl", "icurrdigits", "9"), "2");
  EXPECT_EQ(profile_.GetString("intl", "sDecimal", "."), ",");
  EXPECT_EQ(profile_.GetString("INTL", "STHOUSAND", ","), ".");
  // Other keys take the caller's default.
  EXPECT_EQ(profile_.GetString("intl", "sCurrency", "EUR"), "EUR");
  EXPECT_EQ(profile_.GetString("windows", "device", ""), "");
}

TEST_F(IniProfileTest, FileValuesWinAndMissingKeysFallBack) {
  WriteFile("[Intl]\nsDecimal=.\nsThousand= \nsCurrency=\n[other]\nkey=value\n");
  EXPECT_EQ(profile_.GetString("intl", "sdecimal", ","), ".");
  EXPECT_EQ(profile_.GetString("intl", "sThousand", "."), " ");    // A blank separator.
  EXPECT_EQ(profile_.GetString("intl", "icurrdigits", "0"), "2");  // Missing key.
  EXPECT_EQ(profile_.GetString("intl", "sCurrency", "EUR"), "");   // Present, empty.
  EXPECT_EQ(profile_.GetString("OTHER", "KEY", "d"), "value");
  EXPECT_EQ(profile_.GetString("other", "absent", "d"), "d");

  // Read afresh on every call.
  WriteFile("[intl]\nicurrdigits=0\n");
  EXPECT_EQ(profile_.GetString("intl", "icurrdigits", "5"), "0");
  EXPECT_EQ(profile_.GetString("intl", "sDecimal", "."), ",");
}

}  // namespace
}  // namespace qrole::platform
