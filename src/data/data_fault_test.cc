// The retry rule under injected faults: reads and writes that fail, locks
// held by another opener of the file.

#include <memory>
#include <string>

#include "data/data_errors.h"
#include "data/data_test_util.h"
#include "data/file_retry_internal.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/reindex.h"
#include "gtest/gtest.h"
#include "platform/fault_injection.h"
#include "platform/file_system_wrapper.h"
#include "qrole/error.h"

namespace qrole::data {
namespace {

using internal::kRetryMaxFailures;
using internal::kRetryPauseMs;
using internal::kRetryWarnAfter;

// Fails the next `read_failures` reads of every file it opened.
class FlakyReads : public platform::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;

  int read_failures = 0;

  platform::Result<std::unique_ptr<platform::File>> Open(const std::string& path,
                                                         platform::OpenMode mode) override {
    platform::Result<std::unique_ptr<platform::File>> file = target()->Open(path, mode);
    if (!file.ok()) return file;
    return std::unique_ptr<platform::File>(new File(std::move(*file), this));
  }

 private:
  class File : public platform::FileWrapper {
   public:
    File(std::unique_ptr<platform::File> target, FlakyReads* owner)
        : FileWrapper(std::move(target)), owner_(owner) {}
    platform::Status ReadAt(uint64_t offset, size_t n, std::string* out) override {
      if (owner_->read_failures > 0) {
        --owner_->read_failures;
        out->clear();
        return platform::Status::IOError("device not ready");
      }
      return FileWrapper::ReadAt(offset, n, out);
    }

   private:
    FlakyReads* owner_;
  };
};

class DataFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.UseFileSystem(&faults_);
    env_.WriteJournalDefinition();
    SetIndexMaintenance(true);
    ASSERT_TRUE(OpenTableFile(2, "TESTT", 1, env_.data_dir(), "01").ok());
    Slot& s = GetSlot(2);
    s.ClearValues();
    s.SetRaw(1, "B31231");
    s.SetText(2, "4300001");
    s.SetText(9, "R1");
    ASSERT_TRUE(AppendRecord(2).ok());
    env_.TakeMessages();
  }
  int Boxes153() {
    int n = 0;
    for (const platform::MessageBoxRecord& box : env_.TakeMessages()) {
      EXPECT_EQ(box.text, "Archivo en uso por otro proceso");
      EXPECT_EQ(box.icon, platform::MsgIcon::Warning);
      ++n;
    }
    return n;
  }
  void ExpectFileInUse(const std::function<void()>& operation) {
    try {
      operation();
      ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), ObjectError(50153));
      EXPECT_EQ(static_cast<uint32_t>(e.number()), 0x8004C3E9u);
      EXPECT_EQ(e.source(), "Valdrix OLE Server");
      EXPECT_EQ(e.description(), "Archivo en uso por otro proceso\n" + GetSlot(2).data_path());
    }
  }

  test::DataTestEnv env_;
  FlakyReads flaky_{platform::NativeFileSystem()};
  platform::FaultInjectingFileSystem faults_{&flaky_};
};

TEST_F(DataFaultTest, FailedReadsAreRetriedQuietly) {
  flaky_.read_failures = 3;
  ASSERT_TRUE(ReadRecord(2, 1).ok());
  EXPECT_EQ(GetSlot(2).TrimmedText(2), "4300001");
  EXPECT_EQ(Boxes153(), 0);
  EXPECT_EQ(env_.clock().slept_ms(), 0);
}

TEST_F(DataFaultTest, The501stFailureWarnsAndEveryLaterOneAgain) {
  flaky_.read_failures = kRetryWarnAfter + 1;
  ASSERT_TRUE(ReadRecord(2, 1).ok());
  EXPECT_EQ(Boxes153(), 1);
  flaky_.read_failures = kRetryWarnAfter + 2;
  ASSERT_TRUE(ReadFieldText(2, 1, 2).ok());
  EXPECT_EQ(Boxes153(), 2);  // the counter is per call
  EXPECT_EQ(env_.clock().slept_ms(), 3 * kRetryPauseMs);
}

TEST_F(DataFaultTest, TheRetryIsBounded) {
  flaky_.read_failures = 100000;
  ExpectFileInUse([] { ReadRecord(2, 1).IgnoreError(); });
  EXPECT_EQ(Boxes153(), kRetryMaxFailures - kRetryWarnAfter);
  EXPECT_EQ(flaky_.read_failures, 100000 - kRetryMaxFailures);
  EXPECT_EQ(env_.clock().slept_ms(), (kRetryMaxFailures - kRetryWarnAfter - 1) * kRetryPauseMs);
  flaky_.read_failures = 0;
  EXPECT_TRUE(ReadRecord(2, 1).ok());
}

TEST_F(DataFaultTest, AWriteThatFailsThenSucceeds) {
  GetSlot(2).SetText(4, "corregido");
  faults_.FailWritesAfter(0, platform::Status::IOError("bad sector"), 3);
  ASSERT_TRUE(WriteRecord(2, 1).ok());
  EXPECT_EQ(faults_.failed_write_count(), 3);
  EXPECT_EQ(Boxes153(), 0);
  ASSERT_TRUE(ReadRecord(2, 1).ok());
  EXPECT_EQ(GetSlot(2).TrimmedText(4), "corregido");
}

TEST_F(DataFaultTest, AnAppendWhoseRecordCannotBeWrittenLeavesNoKey) {
  Slot& s = GetSlot(2);
  s.SetText(2, "5720000");
  s.SetText(9, "R2");
  faults_.FailWritesAfter(0, platform::Status::NoSpace("disk full"));
  ExpectFileInUse([] { AppendRecord(2).IgnoreError(); });
  faults_.StopFailingWrites();
  EXPECT_EQ(RecordCount(2).value(), 1);
  EXPECT_EQ(SendEngineCommand("S\\2\\2\\5720000"), engine_status::kKeyNotFound);
  platform::Result<IndexCheck> check = VerifyIndex(2);
  ASSERT_TRUE(check.ok());
  EXPECT_TRUE(check->ok()) << (check->problems.empty() ? "" : check->problems[0]);
  // The number was not spent: the next append takes it.
  env_.TakeMessages();
  ASSERT_TRUE(AppendRecord(2).ok());
  EXPECT_EQ(Globals().engine_record, 2);
}

TEST_F(DataFaultTest, ARecordLockedByAnotherOpenerIsWaitedForThenGivenUp) {
  platform::Result<std::unique_ptr<platform::File>> other =
      platform::NativeFileSystem()->Open(GetSlot(2).data_path(), platform::OpenMode::ReadWrite);
  ASSERT_TRUE(other.ok());
  // Another opener holds one byte in the middle of record 1.
  ASSERT_TRUE((*other)->LockRange(20, 1, true).ok());
  ExpectFileInUse([] { CancelRecord(2, 1).IgnoreError(); });
  EXPECT_EQ(Boxes153(), kRetryMaxFailures - kRetryWarnAfter);
  // Nothing changed: not cancelled, keys in place.
  ASSERT_TRUE(ReadRecord(2, 1).ok());
  EXPECT_FALSE(GetSlot(2).IsCancelled());
  EXPECT_EQ(SendEngineCommand("S\\2\\2\\4300001"), engine_status::kOk);
  // Released: the cancellation goes through.
  ASSERT_TRUE((*other)->UnlockWhole().ok());
  ASSERT_TRUE(CancelRecord(2, 1).ok());
  ASSERT_TRUE(ReadRecord(2, 1).ok());
  EXPECT_TRUE(GetSlot(2).IsCancelled());
}

TEST_F(DataFaultTest, ALockFreedAfterTheWarningsIsTaken) {
  faults_.FailLocks(kRetryWarnAfter + 20);
  ASSERT_TRUE(LockRecord(2, 1).ok());
  EXPECT_EQ(Boxes153(), 20);
  ASSERT_TRUE(UnlockRecord(2, 1).ok());
  // Without the index maintenance flag a cancellation takes no lock.
  SetIndexMaintenance(false);
  faults_.FailLocks(100000);
  const int locks = faults_.lock_count();
  ASSERT_TRUE(CancelRecord(2, 1).ok());
  EXPECT_EQ(faults_.lock_count(), locks);
  faults_.Reset();
}

}  // namespace
}  // namespace qrole::data
