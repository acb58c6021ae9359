#include "platform/path.h"

#include "gtest/gtest.h"

namespace qrole::platform {
namespace {

TEST(PathTest, SeparatorsAndJoin) {
  EXPECT_EQ(NormalizeSeparators("C:\\QRN\\datos/x"), "C:/QRN/datos/x");
  EXPECT_TRUE(IsAbsolutePath("/a"));
  EXPECT_TRUE(IsAbsolutePath("\\a"));
  EXPECT_FALSE(IsAbsolutePath("a/b"));
  EXPECT_TRUE(IsAbsolutePath("C:/datos"));
  EXPECT_TRUE(IsAbsolutePath("c:\\datos"));
  EXPECT_FALSE(IsAbsolutePath("C:datos"));
  EXPECT_FALSE(IsAbsolutePath(""));

  EXPECT_EQ(JoinPath("/srv/datos", "EXTRA01.QRD"), "/srv/datos/EXTRA01.QRD");
  EXPECT_EQ(JoinPath("/srv/datos/", "EXTRA01.QRD"), "/srv/datos/EXTRA01.QRD");
  EXPECT_EQ(JoinPath("\\srv\\datos\\", "sub\\f"), "/srv/datos/sub/f");
  EXPECT_EQ(JoinPath("", "f"), "f");
  EXPECT_EQ(JoinPath("/a", ""), "/a");
  EXPECT_EQ(JoinPath("/a", "/b"), "/b");
  EXPECT_EQ(JoinPath("/", "b"), "/b");
}

TEST(PathTest, NativePathSpellsThePathAsTheSystemDoes) {
#ifdef _WIN32
  EXPECT_EQ(NativePath("C:/q/datos/Alfa.QRT"), "C:\\q\\datos\\Alfa.QRT");
  EXPECT_EQ(NativePath("//srv/datos\\A.QRT"), "\\\\srv\\datos\\A.QRT");
#else
  EXPECT_EQ(NativePath("C:\\q\\datos\\Alfa.QRT"), "C:\\q\\datos\\Alfa.QRT");
  EXPECT_EQ(NativePath("/srv/datos/A.QRT"), "/srv/datos/A.QRT");
#endif
  EXPECT_EQ(NativePath("Alfa"), "Alfa");
  EXPECT_EQ(NativePath(""), "");
}

TEST(PathTest, DirNameAndBaseName) {
  struct Case {
    const char* path;
    const char* dir;
    const char* base;
  };
  const Case cases[] = {
      {"a/b/c.txt", "a/b", "c.txt"},
      {"a\\b\\c", "a/b", "c"},
      {"/c", "/", "c"},
      {"c", "", "c"},
      {"a/b/", "a", "b"},
      {"/", "/", ""},
      {"", "", ""},
      {"/x//y", "/x", "y"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirName(c.path), c.dir) << c.path;
    EXPECT_EQ(BaseName(c.path), c.base) << c.path;
  }
}

TEST(WildcardTest, StarsAndQuestionMarks) {
  EXPECT_TRUE(WildcardMatch("*.QRT", "ventas.qrt", true));
  EXPECT_FALSE(WildcardMatch("*.QRT", "ventas.qrt", false));
  EXPECT_TRUE(WildcardMatch("*.QRT", "VENTAS.QRT", false));
  EXPECT_FALSE(WildcardMatch("*.QRT", "ventas.qrt.bak", true));

  EXPECT_TRUE(WildcardMatch("?????01.*", "EXTRA01.QRD", true));
  EXPECT_TRUE(WildcardMatch("?????01.*", "extra01.qrd", true));
  EXPECT_FALSE(WildcardMatch("?????01.*", "EXTR01.QRD", true));
  EXPECT_FALSE(WildcardMatch("?????01.*", "EXTRAS01.QRD", true));
  EXPECT_FALSE(WildcardMatch("?????01.*", "EXTRA02.QRD", true));

  EXPECT_TRUE(WildcardMatch("*", "anything.at.all", true));
  EXPECT_TRUE(WildcardMatch("a*b*c", "aXXbYYc", true));
  EXPECT_FALSE(WildcardMatch("a*b*c", "aXXbYY", true));
  EXPECT_TRUE(WildcardMatch("*ab", "aab", true));
  EXPECT_FALSE(WildcardMatch("", "x", true));
  EXPECT_FALSE(WildcardMatch("abc", "ab", true));
}

TEST(WildcardTest, WindowsDotStarRules) {
  EXPECT_TRUE(WildcardMatch("*.*", "README", true));
  EXPECT_TRUE(WildcardMatch("*.*", "a.b.c", true));
  EXPECT_TRUE(WildcardMatch("DATA.*", "data", true));
  EXPECT_TRUE(WildcardMatch("DATA.*", "data.x", true));
  EXPECT_FALSE(WildcardMatch("DATA.*", "datax", true));
  EXPECT_FALSE(WildcardMatch("*.Q*", "README", true));  // Only a bare ".*" tail.
}

TEST(WildcardTest, CharactersNotBytes) {
  EXPECT_TRUE(WildcardMatch("A?O", "AÑO", true));
  EXPECT_TRUE(WildcardMatch("añ*", "AÑOS", true));
  EXPECT_FALSE(WildcardMatch("A??O", "AÑO", true));
}

}  // namespace
}  // namespace qrole::platform
