#include "platform/system_info.h"

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "platform/scoped_temp_dir.h"
#include "platform/test_env_var_internal.h"

namespace qrole::platform {
namespace {

using internal::ScopedEnvVar;

TEST(SystemInfoTest, UserAndComputerNames) {
  EXPECT_FALSE(UserName().empty());
  const std::string computer = ComputerName();
  EXPECT_FALSE(computer.empty());
  EXPECT_EQ(computer.find('.'), std::string::npos);
  EXPECT_EQ(ShortPathName("C:\\QRN\\datos\\"), "C:/QRN/datos/");
}

TEST(SystemInfoTest, KnownFoldersFollowXdgVariables) {
  ScopedEnvVar home("HOME", "/home/ana");
  ScopedEnvVar config("XDG_CONFIG_HOME", "/cfg/");
  ScopedEnvVar data("XDG_DATA_HOME", "relative/ignored");
  ScopedEnvVar docs("XDG_DOCUMENTS_DIR", "/docs");
  ScopedEnvVar desktop("XDG_DESKTOP_DIR", std::nullopt);
  ScopedEnvVar tmp("TMPDIR", "/scratch");

  EXPECT_EQ(KnownFolderPath(KnownFolder::AppData), "/cfg");
  EXPECT_EQ(KnownFolderPath(KnownFolder::LocalAppData), "/home/ana/.local/share");
  EXPECT_EQ(KnownFolderPath(KnownFolder::Documents), "/docs");
  EXPECT_EQ(KnownFolderPath(KnownFolder::Desktop), "/home/ana/Desktop");
  EXPECT_EQ(KnownFolderPath(KnownFolder::Temp), "/scratch");
  EXPECT_EQ(KnownFolderPath(KnownFolder::CommonAppData), "/var/lib");
  EXPECT_EQ(KnownFolderPath(KnownFolder::ProgramFiles), "/opt");
}

TEST(SystemInfoTest, UserDirsFileIsConsulted) {
  ScopedTempDir dir(testing::TempDir());
  ASSERT_TRUE(NativeFileSystem()
                  ->WriteAllAtomic(dir.Child("user-dirs.dirs"),
                                   "# comment\nXDG_DESKTOP_DIR=\"$HOME/Escritorio\"\n")
                  .ok());
  ScopedEnvVar home("HOME", "/home/ana");
  ScopedEnvVar config("XDG_CONFIG_HOME", dir.path());
  ScopedEnvVar desktop("XDG_DESKTOP_DIR", std::nullopt);
  ScopedEnvVar docs("XDG_DOCUMENTS_DIR", std::nullopt);
  EXPECT_EQ(KnownFolderPath(KnownFolder::Desktop), "/home/ana/Escritorio");
  EXPECT_EQ(KnownFolderPath(KnownFolder::Documents), "/home/ana/Documents");
}

TEST(SystemInfoTest, ParseUserDirs) {
  const char* text =
      "XDG_DOCUMENTS_DIR=\"$HOME/Documentos/\"\n"
      "  XDG_DESKTOP_DIR=\"/abs/desk\"\r\n"
      "XDG_MUSIC_DIR=\"relative\"\n"
      "XDG_VIDEOS_DIR=unquoted\n";
  EXPECT_EQ(ParseUserDirs(text, "XDG_DOCUMENTS_DIR", "/home/u"), "/home/u/Documentos");
  EXPECT_EQ(ParseUserDirs(text, "XDG_DESKTOP_DIR", "/home/u"), "/abs/desk");
  EXPECT_EQ(ParseUserDirs(text, "XDG_MUSIC_DIR", "/home/u"), std::nullopt);
  EXPECT_EQ(ParseUserDirs(text, "XDG_VIDEOS_DIR", "/home/u"), std::nullopt);
  EXPECT_EQ(ParseUserDirs(text, "XDG_DOCUMENTS", "/home/u"), std::nullopt);
}

}  // namespace
}  // namespace qrole::platform
