// Byte-range locks of File: between two Files of this process, and between
// processes.

#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "platform/scoped_temp_dir.h"

namespace qrole::platform {
namespace {

class FileLockTest : public testing::Test {
 protected:
  std::unique_ptr<File> Open(OpenMode mode = OpenMode::ReadWriteCreate) {
    Result<std::unique_ptr<File>> file = NativeFileSystem()->Open(path_, mode);
    EXPECT_TRUE(file.ok()) << file.status().ToString();
    return file.ok() ? std::move(*file) : nullptr;
  }

  // Runs `probe` in a child process and returns its exit code.
  template <class Probe>
  int InChild(Probe probe) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(probe());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  ScopedTempDir dir_{testing::TempDir()};
  std::string path_ = dir_.Child("locks.qrd");
};

TEST_F(FileLockTest, TwoFilesInOneProcessConflict) {
  std::unique_ptr<File> a = Open();
  std::unique_ptr<File> b = Open();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);

  ASSERT_TRUE(a->LockRange(100, 10, /*exclusive=*/true).ok());
  EXPECT_TRUE(b->LockRange(105, 1, true).IsBusy());
  EXPECT_TRUE(b->LockRange(95, 10, false).IsBusy());  // Overlaps the first byte.
  EXPECT_TRUE(b->LockRange(110, 5, true).ok());       // Adjacent, not overlapping.
  EXPECT_TRUE(b->LockRange(90, 10, true).ok());

  // The holder may lock over its own range again.
  EXPECT_TRUE(a->LockRange(100, 10, true).ok());

  ASSERT_TRUE(a->UnlockRange(100, 10).ok());
  EXPECT_TRUE(b->LockRange(100, 10, true).ok());
  EXPECT_TRUE(a->LockRange(100, 1, false).IsBusy());
}

TEST_F(FileLockTest, SharedLocksCoexistExclusiveDoesNot) {
  std::unique_ptr<File> a = Open();
  std::unique_ptr<File> b = Open();
  std::unique_ptr<File> c = Open();
  ASSERT_TRUE(a->LockRange(0, 4, false).ok());
  ASSERT_TRUE(b->LockRange(0, 4, false).ok());
  EXPECT_TRUE(c->LockRange(2, 1, true).IsBusy());
  ASSERT_TRUE(a->UnlockRange(0, 4).ok());
  EXPECT_TRUE(c->LockRange(2, 1, true).IsBusy());  // b still holds it.
  b.reset();                                       // Closing releases.
  EXPECT_TRUE(c->LockRange(2, 1, true).ok());
}

TEST_F(FileLockTest, WholeFileLock) {
  std::unique_ptr<File> a = Open();
  std::unique_ptr<File> b = Open();
  ASSERT_TRUE(b->LockRange(1u << 30, 1, false).ok());  // Far past the end.
  EXPECT_TRUE(a->LockWhole().IsBusy());
  ASSERT_TRUE(b->UnlockRange(1u << 30, 1).ok());
  ASSERT_TRUE(a->LockWhole().ok());
  EXPECT_TRUE(b->LockRange(0, 1, false).IsBusy());
  EXPECT_TRUE(b->LockRange(kMaxLockEnd - 1, 1, false).IsBusy());
  EXPECT_TRUE(b->LockWhole().IsBusy());
  ASSERT_TRUE(a->UnlockWhole().ok());
  EXPECT_TRUE(b->LockWhole().ok());
}

TEST_F(FileLockTest, InvalidRequests) {
  std::unique_ptr<File> a = Open();
  EXPECT_TRUE(a->LockRange(0, 0, true).IsInvalidArgument());
  EXPECT_TRUE(a->LockRange(kMaxLockEnd, 1, true).IsInvalidArgument());
  EXPECT_TRUE(a->LockRange(UINT64_MAX - 1, 10, true).IsInvalidArgument());
  EXPECT_TRUE(a->UnlockRange(0, 0).IsInvalidArgument());
  EXPECT_TRUE(a->LockRange(kMaxLockEnd - 1, 1, true).ok());
  EXPECT_TRUE(a->UnlockRange(5, 5).ok());  // Nothing locked there: fine.

  std::unique_ptr<File> reader = Open(OpenMode::ReadOnly);
  ASSERT_NE(reader, nullptr);
  EXPECT_TRUE(reader->LockRange(0, 1, true).IsInvalidArgument());
  EXPECT_TRUE(reader->LockRange(0, 1, false).ok());
}

TEST_F(FileLockTest, LocksConflictBetweenProcesses) {
  std::unique_ptr<File> a = Open();
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(a->LockRange(0, 8, true).ok());
  ASSERT_TRUE(a->LockRange(100, 8, false).ok());

  // Exit codes: 0 as expected, 1 open failed, 2+ a lock gave the wrong answer.
  auto probe = [this](bool first_range_free) {
    return [this, first_range_free] {
      Result<std::unique_ptr<File>> file = NativeFileSystem()->Open(path_, OpenMode::ReadWrite);
      if (!file.ok()) return 1;
      File& f = **file;
      const Status first = f.LockRange(4, 1, false);
      if (first_range_free ? !first.ok() : !first.IsBusy()) return 2;
      if (!f.LockRange(100, 8, false).ok()) return 3;  // Shared with the parent.
      if (!f.LockRange(100, 1, true).IsBusy()) return 4;
      if (!f.LockRange(50, 8, true).ok()) return 5;  // Free range.
      return 0;
    };
  };
  EXPECT_EQ(InChild(probe(/*first_range_free=*/false)), 0);
  ASSERT_TRUE(a->UnlockRange(0, 8).ok());
  EXPECT_EQ(InChild(probe(/*first_range_free=*/true)), 0);

  // And the other way round: a lock the child holds stops the parent.
  int to_parent[2];
  int to_child[2];
  ASSERT_EQ(::pipe(to_parent), 0);
  ASSERT_EQ(::pipe(to_child), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    Result<std::unique_ptr<File>> file = NativeFileSystem()->Open(path_, OpenMode::ReadWrite);
    const char ready = file.ok() && (*file)->LockRange(200, 4, true).ok() ? 'y' : 'n';
    char done;
    if (::write(to_parent[1], &ready, 1) != 1 || ::read(to_child[0], &done, 1) != 1) _exit(1);
    _exit(0);
  }
  char ready = 0;
  ASSERT_EQ(::read(to_parent[0], &ready, 1), 1);
  EXPECT_EQ(ready, 'y');
  EXPECT_TRUE(a->LockRange(202, 1, false).IsBusy());
  const char done = 'd';
  ASSERT_EQ(::write(to_child[1], &done, 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(a->LockRange(202, 1, false).ok());  // Released when the child ended.
  for (int fd : {to_parent[0], to_parent[1], to_child[0], to_child[1]}) ::close(fd);
}

}  // namespace
}  // namespace qrole::platform
