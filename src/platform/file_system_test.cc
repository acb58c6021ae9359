#include "platform/file_system.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "platform/scoped_temp_dir.h"

namespace qrole::platform {
namespace {

using ::testing::ElementsAre;

class FileSystemTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.Child(name); }
  void Touch(const std::string& name, const std::string& content = "") {
    ASSERT_TRUE(fs_->WriteAllAtomic(Path(name), content).ok()) << name;
  }
  std::unique_ptr<File> OpenOrDie(const std::string& name, OpenMode mode) {
    Result<std::unique_ptr<File>> file = fs_->Open(Path(name), mode);
    EXPECT_TRUE(file.ok()) << file.status().ToString();
    return file.ok() ? std::move(*file) : nullptr;
  }

  ScopedTempDir dir_{testing::TempDir()};
  FileSystem* fs_ = NativeFileSystem();
};

TEST_F(FileSystemTest, OpenModes) {
  EXPECT_TRUE(fs_->Open(Path("none"), OpenMode::ReadOnly).status().IsNotFound());
  EXPECT_TRUE(fs_->Open(Path("none"), OpenMode::ReadWrite).status().IsNotFound());
  EXPECT_TRUE(fs_->Open(Path("no/dir/f"), OpenMode::ReadWriteCreate).status().IsNotFound());
  EXPECT_TRUE(fs_->Open(dir_.path(), OpenMode::ReadOnly).status().IsInvalidArgument());

  {
    std::unique_ptr<File> f = OpenOrDie("f", OpenMode::ReadWriteCreate);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->WriteAt(0, "hello").ok());
  }
  std::unique_ptr<File> again = OpenOrDie("f", OpenMode::ReadWriteCreate);  // Keeps content.
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(*again->Size(), 5u);

  std::unique_ptr<File> reader = OpenOrDie("f", OpenMode::ReadOnly);
  ASSERT_NE(reader, nullptr);
  EXPECT_TRUE(reader->WriteAt(0, "x").IsInvalidArgument());
  EXPECT_TRUE(reader->Truncate(0).IsInvalidArgument());

  std::unique_ptr<File> truncating = OpenOrDie("f", OpenMode::CreateTruncate);
  ASSERT_NE(truncating, nullptr);
  EXPECT_EQ(*reader->Size(), 0u);  // Shared: the reader sees the truncation.
}

TEST_F(FileSystemTest, PositionalReadsAndWrites) {
  std::unique_ptr<File> f = OpenOrDie("data.qrd", OpenMode::CreateTruncate);
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(f->WriteAt(0, "0123456789").ok());
  ASSERT_TRUE(f->WriteAt(4, "ab").ok());
  std::string out;
  ASSERT_TRUE(f->ReadAt(2, 4, &out).ok());
  EXPECT_EQ(out, "23ab");
  ASSERT_TRUE(f->ReadAt(8, 100, &out).ok());  // Short read at the end.
  EXPECT_EQ(out, "89");
  ASSERT_TRUE(f->ReadAt(50, 10, &out).ok());
  EXPECT_EQ(out, "");
  ASSERT_TRUE(f->ReadAt(7, SIZE_MAX / 2, &out).ok());  // A bogus length.
  EXPECT_EQ(out, "789");

  ASSERT_TRUE(f->WriteAt(12, "Z").ok());  // A gap reads as zero bytes.
  ASSERT_TRUE(f->ReadAt(9, 10, &out).ok());
  EXPECT_EQ(out, std::string("9\0\0Z", 4));
  EXPECT_EQ(*f->Size(), 13u);

  ASSERT_TRUE(f->Truncate(3).ok());
  ASSERT_TRUE(f->ReadAt(0, 10, &out).ok());
  EXPECT_EQ(out, "012");
  ASSERT_TRUE(f->Truncate(5).ok());
  EXPECT_EQ(*f->Size(), 5u);
  EXPECT_TRUE(f->Sync().ok());

  // Two Files on one file see each other's writes.
  std::unique_ptr<File> g = OpenOrDie("DATA.QRD", OpenMode::ReadWrite);
  ASSERT_NE(g, nullptr);
  ASSERT_TRUE(g->WriteAt(0, "X").ok());
  ASSERT_TRUE(f->ReadAt(0, 1, &out).ok());
  EXPECT_EQ(out, "X");
}

TEST_F(FileSystemTest, ListMatchesWindowsWildcardsIgnoringCase) {
  for (const char* name : {"VENTAS.QRT", "compras.qrt", "EXTRA01.QRD", "extra02.qrd", "Stock01.qrd",
                           "LEEME", "notas.txt", "A01.QRD"}) {
    Touch(name);
  }
  ASSERT_TRUE(fs_->CreateDirectory(Path("DIR01.QRD")).ok());  // Directories are not listed.

  EXPECT_THAT(*fs_->List(dir_.path(), "*.QRT"), ElementsAre("compras.qrt", "VENTAS.QRT"));
  EXPECT_THAT(*fs_->List(dir_.path(), "?????01.*"), ElementsAre("EXTRA01.QRD", "Stock01.qrd"));
  EXPECT_THAT(*fs_->List(dir_.path(), "extra*.qrd"), ElementsAre("EXTRA01.QRD", "extra02.qrd"));
  EXPECT_THAT(*fs_->List(dir_.path(), "*.*"),
              ElementsAre("A01.QRD", "compras.qrt", "EXTRA01.QRD", "extra02.qrd", "LEEME",
                          "notas.txt", "Stock01.qrd", "VENTAS.QRT"));
  EXPECT_EQ(fs_->List(dir_.path(), "*").value().size(), 8u);
  EXPECT_TRUE(fs_->List(dir_.path(), "*.zip")->empty());
  EXPECT_TRUE(fs_->List(Path("missing"), "*").status().IsNotFound());
}

TEST_F(FileSystemTest, ResolveFindsExistingCaseWithEitherSeparator) {
  ASSERT_TRUE(fs_->CreateDirectories(Path("Datos/Empresa01")).ok());
  Touch("Datos/Empresa01/extra01.qrd", "content");

  const std::string expected = Path("Datos/Empresa01/extra01.qrd");
  EXPECT_EQ(fs_->Resolve(dir_.path() + "\\DATOS\\empresa01\\EXTRA01.QRD"), expected);
  EXPECT_EQ(fs_->Resolve(dir_.path() + "/datos//EMPRESA01/Extra01.qrd"), expected);
  EXPECT_EQ(fs_->Resolve(expected), expected);
  // Missing parts are kept as given; existing parents are still corrected.
  EXPECT_EQ(fs_->Resolve(dir_.path() + "/DATOS/New/X.QRD"), Path("Datos/New/X.QRD"));
  EXPECT_EQ(fs_->Resolve(dir_.path() + "\\DATOS\\"), Path("Datos") + "/");

  // Every path-taking call resolves.
  EXPECT_TRUE(fs_->Exists(dir_.path() + "\\datos\\EMPRESA01\\EXTRA01.QRD"));
  EXPECT_TRUE(fs_->IsDirectory(dir_.path() + "/DATOS/empresa01"));
  EXPECT_EQ(*fs_->ReadAll(dir_.path() + "/DATOS/EMPRESA01/EXTRA01.QRD"), "content");
  EXPECT_THAT(*fs_->List(dir_.path() + "\\DATOS\\EMPRESA01", "*.QRD"), ElementsAre("extra01.qrd"));
  {
    Result<std::unique_ptr<File>> f =
        fs_->Open(dir_.path() + "/datos/empresa01/EXTRA01.QRD", OpenMode::ReadWriteCreate);
    ASSERT_TRUE(f.ok());
    EXPECT_EQ((*f)->path(), expected);  // The existing file, not a new twin.
  }
  EXPECT_THAT(*fs_->List(Path("Datos/Empresa01"), "*"), ElementsAre("extra01.qrd"));
}

TEST_F(FileSystemTest, ResolveRelativePaths) {
  Result<std::string> cwd = fs_->CurrentDirectory();
  ASSERT_TRUE(cwd.ok());
  Touch("Lower.txt");
  ASSERT_TRUE(fs_->SetCurrentDirectory(dir_.path()).ok());
  EXPECT_EQ(fs_->Resolve("LOWER.TXT"), "Lower.txt");
  EXPECT_EQ(fs_->Resolve(".\\lower.txt"), "./Lower.txt");
  EXPECT_TRUE(fs_->Exists("lower.TXT"));
  EXPECT_EQ(*fs_->CurrentDirectory(), dir_.path());
  ASSERT_TRUE(fs_->SetCurrentDirectory(*cwd).ok());
  EXPECT_TRUE(fs_->SetCurrentDirectory(Path("missing")).IsNotFound());
}

TEST_F(FileSystemTest, DirectoriesRemoveAndRename) {
  ASSERT_TRUE(fs_->CreateDirectory(Path("one")).ok());
  EXPECT_TRUE(fs_->CreateDirectory(Path("one")).ok());  // Already there.
  EXPECT_TRUE(fs_->CreateDirectory(Path("a/b")).IsNotFound());
  ASSERT_TRUE(fs_->CreateDirectories(Path("a/b/c")).ok());
  EXPECT_TRUE(fs_->IsDirectory(Path("a/b/c")));
  ASSERT_TRUE(fs_->CreatePrivateDirectories(Path("p/q")).ok());
  struct stat st;
  ASSERT_EQ(::stat(Path("p/q").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  Touch("file");
  EXPECT_FALSE(fs_->CreateDirectory(Path("file")).ok());
  EXPECT_FALSE(fs_->IsDirectory(Path("file")));

  ASSERT_TRUE(fs_->Rename(Path("FILE"), Path("one/moved")).ok());
  EXPECT_FALSE(fs_->Exists(Path("file")));
  EXPECT_TRUE(fs_->Exists(Path("one/moved")));
  EXPECT_TRUE(fs_->Rename(Path("nothing"), Path("x")).IsNotFound());

  EXPECT_FALSE(fs_->Remove(Path("one")).ok());  // Not empty.
  ASSERT_TRUE(fs_->Remove(Path("ONE/MOVED")).ok());
  ASSERT_TRUE(fs_->Remove(Path("one")).ok());
  EXPECT_FALSE(fs_->Exists(Path("one")));
  EXPECT_TRUE(fs_->Remove(Path("one")).IsNotFound());
}

TEST_F(FileSystemTest, WriteAllAtomicReplacesWholeAndKeepsMode) {
  ASSERT_TRUE(fs_->WriteAllAtomic(Path("cfg"), "first version, long").ok());
  ASSERT_EQ(::chmod(Path("cfg").c_str(), 0640), 0);
  ASSERT_TRUE(fs_->WriteAllAtomic(Path("CFG"), "second").ok());
  EXPECT_EQ(*fs_->ReadAll(Path("cfg")), "second");
  struct stat st;
  ASSERT_EQ(::stat(Path("cfg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // No temporary file is left behind, and a missing directory is an error.
  EXPECT_THAT(*fs_->List(dir_.path(), "*"), ElementsAre("cfg"));
  EXPECT_TRUE(fs_->WriteAllAtomic(Path("no/such/dir/f"), "x").IsNotFound());
  EXPECT_THAT(*fs_->List(dir_.path(), "*"), ElementsAre("cfg"));
  EXPECT_TRUE(fs_->ReadAll(Path("absent")).status().IsNotFound());

  const std::string big(300000, 'q');
  ASSERT_TRUE(fs_->WriteAllAtomic(Path("big"), big).ok());
  EXPECT_EQ(*fs_->ReadAll(Path("big")), big);
}

}  // namespace
}  // namespace qrole::platform
