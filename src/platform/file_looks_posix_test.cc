#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "gtest/gtest.h"
#include "platform/file_identity.h"
#include "platform/file_looks.h"
#include "platform/file_system.h"
#include "platform/scoped_temp_dir.h"

namespace qrole::platform {
namespace {

class FileLooksTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.Child(name); }
  void Make(const std::string& name, const std::string& content) {
    ASSERT_TRUE(fs_->WriteAllAtomic(Path(name), content).ok()) << name;
  }
  // Another program's change, behind the platform layer's back.
  static void ReplaceBehindOurBack(const std::string& path, const std::string& content) {
    const std::string temp = path + ".other";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ::close(fd);
    ASSERT_EQ(std::rename(temp.c_str(), path.c_str()), 0);
  }

  ScopedTempDir dir_{testing::TempDir()};
  FileSystem* fs_ = NativeFileSystem();
};

TEST_F(FileLooksTest, OutsideAScopeEveryLookIsFresh) {
  Make("t.QRD", "one");
  const std::string stamp = FileStamp(Path("t.QRD"));
  ReplaceBehindOurBack(Path("t.QRD"), "two");
  EXPECT_NE(FileStamp(Path("t.QRD")), stamp);
}

TEST_F(FileLooksTest, AScopeLooksOnceAndTheNextScopeSeesOthersChanges) {
  Make("t.QRD", "one");
  std::string stamp;
  {
    FileLookScope scope;
    stamp = FileStamp(Path("t.QRD"));
    ReplaceBehindOurBack(Path("t.QRD"), "two");
    EXPECT_EQ(FileStamp(Path("t.QRD")), stamp);  // the call's own view
  }
  FileLookScope next;
  EXPECT_NE(FileStamp(Path("t.QRD")), stamp);
}

TEST_F(FileLooksTest, OwnChangesAreSeenAtOnce) {
  Make("a.QRA", "definition");
  FileLookScope scope;
  // A write through the platform layer changes the version.
  const std::string version = FileVersion(Path("a.QRA"));
  {
    auto f = fs_->Open(Path("a.QRA"), OpenMode::ReadWrite);
    ASSERT_TRUE(f.ok());
    ASSERT_TRUE((*f)->WriteAt(100, "longer now").ok());
  }
  EXPECT_NE(FileVersion(Path("a.QRA")), version);

  // A rename over it gives another file.
  const std::string stamp = FileStamp(Path("a.QRA"));
  Make("b.QRA", "other");
  ASSERT_TRUE(fs_->Rename(Path("b.QRA"), Path("a.QRA")).ok());
  EXPECT_NE(FileStamp(Path("a.QRA")), stamp);
  EXPECT_FALSE(fs_->Exists(Path("b.QRA")));

  // Removed, then made again by an opening that creates.
  ASSERT_TRUE(fs_->Exists(Path("a.QRA")));
  ASSERT_TRUE(fs_->Remove(Path("a.QRA")).ok());
  EXPECT_FALSE(fs_->Exists(Path("a.QRA")));
  EXPECT_EQ(FileStamp(Path("a.QRA")), "");
  ASSERT_TRUE(fs_->Open(Path("a.QRA"), OpenMode::ReadWriteCreate).ok());
  EXPECT_TRUE(fs_->Exists(Path("a.QRA")));
  EXPECT_NE(FileStamp(Path("a.QRA")), "");
}

TEST_F(FileLooksTest, AFileAwaitedIsLookedForEveryTime) {
  FileLookScope scope;
  EXPECT_FALSE(fs_->Exists(Path("late.QRD")));
  EXPECT_EQ(FileStamp(Path("late.QRD")), "");
  ReplaceBehindOurBack(Path("late.QRD"), "here");
  EXPECT_TRUE(fs_->Exists(Path("late.QRD")));
  EXPECT_NE(FileStamp(Path("late.QRD")), "");
}

TEST_F(FileLooksTest, ForgettingDropsWhatWasSeen) {
  Make("t.QRD", "one");
  FileLookScope scope;
  const std::string stamp = FileStamp(Path("t.QRD"));
  ReplaceBehindOurBack(Path("t.QRD"), "two");
  ForgetFileLooks();  // as when a company's lock is taken
  EXPECT_NE(FileStamp(Path("t.QRD")), stamp);
}

TEST_F(FileLooksTest, ANameSpelledInOtherLettersResolvesToTheFileOnDisk) {
  Make("EXTRA01.QRD", "x");
  FileLookScope scope;
  EXPECT_EQ(fs_->Resolve(Path("extra01.qrd")), Path("EXTRA01.QRD"));
  EXPECT_EQ(fs_->Resolve(Path("extra01.qrd")), Path("EXTRA01.QRD"));
  // Removed through this process: the name is looked for again.
  ASSERT_TRUE(fs_->Remove(Path("EXTRA01.QRD")).ok());
  Make("Extra01.qrd", "y");
  EXPECT_EQ(fs_->Resolve(Path("extra01.qrd")), Path("Extra01.qrd"));
}

TEST_F(FileLooksTest, ADirectoryStampChangesWithItsNamesNotWithTheirContents) {
  Make("t.QRD", "one");
  Make("u.QRD", "two");
  // Just changed: its times cannot yet tell the next change from this one.
  EXPECT_EQ(DirectoryStamp(dir_.path()), "");
  ::usleep(150 * 1000);
  const std::string settled = DirectoryStamp(dir_.path());
  ASSERT_NE(settled, "");
  EXPECT_EQ(DirectoryStamp(dir_.path()), settled);
  EXPECT_EQ(DirectoryStamp(Path("t.QRD")), "") << "not a directory";
  EXPECT_EQ(DirectoryStamp(Path("none")), "");

  // A file written in place: the names are the same.
  {
    auto f = fs_->Open(Path("t.QRD"), OpenMode::ReadWrite);
    ASSERT_TRUE(f.ok());
    ASSERT_TRUE((*f)->WriteAt(0, "ONE").ok());
  }
  EXPECT_EQ(DirectoryStamp(dir_.path()), settled);

  // A file put in another's place by another program.
  ReplaceBehindOurBack(Path("t.QRD"), "three");
  EXPECT_EQ(DirectoryStamp(dir_.path()), "");
  ::usleep(150 * 1000);
  const std::string after = DirectoryStamp(dir_.path());
  EXPECT_NE(after, "");
  EXPECT_NE(after, settled);
}

TEST_F(FileLooksTest, SymbolicLinksAreToldFromFiles) {
  Make("t.QRD", "one");
  ASSERT_EQ(::symlink(Path("t.QRD").c_str(), Path("l.QRD").c_str()), 0);
  EXPECT_FALSE(IsSymbolicLink(Path("t.QRD")));
  EXPECT_TRUE(IsSymbolicLink(Path("l.QRD")));
  EXPECT_FALSE(IsSymbolicLink(Path("none")));
}

}  // namespace
}  // namespace qrole::platform
