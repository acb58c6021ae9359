#include "platform/fault_injection.h"

#include <memory>
#include <string>

#include "gtest/gtest.h"
#include "platform/scoped_temp_dir.h"

namespace qrole::platform {
namespace {

class FaultInjectionTest : public testing::Test {
 protected:
  std::unique_ptr<File> Open(const std::string& name) {
    Result<std::unique_ptr<File>> file = fs_.Open(dir_.Child(name), OpenMode::ReadWriteCreate);
    EXPECT_TRUE(file.ok()) << file.status().ToString();
    return file.ok() ? std::move(*file) : nullptr;
  }
  std::string Content(const std::string& name) {
    Result<std::string> text = NativeFileSystem()->ReadAll(dir_.Child(name));
    return text.ok() ? *text : "<missing>";
  }

  ScopedTempDir dir_{testing::TempDir()};
  FaultInjectingFileSystem fs_{NativeFileSystem()};
};

TEST_F(FaultInjectionTest, FailsWritesAfterTheGivenNumber) {
  std::unique_ptr<File> f = Open("t.qrd");
  ASSERT_NE(f, nullptr);
  fs_.FailWritesAfter(2, Status::NoSpace("disk full"));
  EXPECT_TRUE(f->WriteAt(0, "a").ok());
  EXPECT_TRUE(f->WriteAt(1, "b").ok());
  const Status third = f->WriteAt(2, "c");
  EXPECT_TRUE(third.IsNoSpace());
  EXPECT_EQ(third.message(), "disk full");
  EXPECT_TRUE(f->WriteAt(2, "d").IsNoSpace());  // Keeps failing.
  EXPECT_TRUE(fs_.WriteAllAtomic(dir_.Child("other"), "x").IsNoSpace());
  EXPECT_EQ(Content("t.qrd"), "ab");  // Failed writes change nothing.
  EXPECT_FALSE(NativeFileSystem()->Exists(dir_.Child("other")));
  EXPECT_EQ(fs_.write_count(), 5);
  EXPECT_EQ(fs_.failed_write_count(), 3);

  fs_.StopFailingWrites();
  EXPECT_TRUE(f->WriteAt(2, "c").ok());
  EXPECT_EQ(Content("t.qrd"), "abc");
}

TEST_F(FaultInjectionTest, FailsALimitedNumberOfWritesAcrossFiles) {
  std::unique_ptr<File> a = Open("a");
  std::unique_ptr<File> b = Open("b");
  fs_.FailWritesAfter(1, Status::IOError("bad sector"), /*failures=*/1);
  EXPECT_TRUE(a->WriteAt(0, "1").ok());
  EXPECT_TRUE(b->WriteAt(0, "2").IsIOError());  // The second write, on another file.
  EXPECT_TRUE(a->WriteAt(1, "3").ok());
  EXPECT_EQ(Content("a"), "13");
  EXPECT_EQ(Content("b"), "");

  fs_.FailWritesAfter(0, Status::Ok(), 1);  // An ok error still fails.
  EXPECT_FALSE(a->WriteAt(0, "x").ok());
}

TEST_F(FaultInjectionTest, ReportsLocksBusy) {
  std::unique_ptr<File> f = Open("l");
  fs_.FailLocks(2);
  EXPECT_TRUE(f->LockRange(0, 1, true).IsBusy());
  EXPECT_TRUE(f->LockWhole().IsBusy());
  EXPECT_TRUE(f->LockRange(0, 1, true).ok());
  EXPECT_EQ(fs_.lock_count(), 3);

  // The failed attempts took no lock.
  Result<std::unique_ptr<File>> other =
      NativeFileSystem()->Open(dir_.Child("l"), OpenMode::ReadWrite);
  ASSERT_TRUE(other.ok());
  EXPECT_TRUE((*other)->LockRange(5, 1, true).ok());
}

TEST_F(FaultInjectionTest, FailsOpenOfOnePath) {
  ASSERT_TRUE(NativeFileSystem()->WriteAllAtomic(dir_.Child("EXTRA01.QRD"), "x").ok());
  fs_.FailOpen(dir_.Child("extra01.qrd"), Status::Busy("used by the desktop"));
  EXPECT_TRUE(fs_.Open(dir_.path() + "\\Extra01.QRD", OpenMode::ReadOnly).status().IsBusy());
  EXPECT_TRUE(fs_.ReadAll(dir_.Child("EXTRA01.QRD")).status().IsBusy());
  EXPECT_TRUE(fs_.WriteAllAtomic(dir_.Child("EXTRA01.QRD"), "y").IsBusy());
  EXPECT_NE(Open("other"), nullptr);  // Other paths open.

  fs_.FailOpen(dir_.Child("missing"), Status::NotFound("gone"));
  EXPECT_TRUE(fs_.Open(dir_.Child("missing"), OpenMode::ReadWriteCreate).status().IsNotFound());

  fs_.ClearOpenFailure(dir_.Child("EXTRA01.qrd"));
  EXPECT_EQ(*fs_.ReadAll(dir_.Child("EXTRA01.QRD")), "x");
  EXPECT_TRUE(fs_.Open(dir_.Child("missing"), OpenMode::ReadOnly).status().IsNotFound());
  fs_.Reset();
  EXPECT_TRUE(fs_.Open(dir_.Child("missing"), OpenMode::ReadWriteCreate).ok());
}

// A test may also override a single call of a wrapper.
class RenameRefusingFileSystem : public FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  Status Rename(const std::string&, const std::string&) override { return Status::Busy("refused"); }
};

TEST_F(FaultInjectionTest, WrappersForwardEverythingElse) {
  RenameRefusingFileSystem fs(NativeFileSystem());
  ASSERT_TRUE(fs.WriteAllAtomic(dir_.Child("f"), "data").ok());
  EXPECT_TRUE(fs.Rename(dir_.Child("f"), dir_.Child("g")).IsBusy());
  EXPECT_TRUE(fs.Exists(dir_.Child("F")));
  EXPECT_EQ(*fs.ReadAll(dir_.Child("f")), "data");
}

}  // namespace
}  // namespace qrole::platform
