// Company transactions: changes held back until the commit, dropped on
// failure, completed after a crash at any write, and kept through a power cut
// once the commit has answered.

#include "data/transaction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/reindex.h"
#include "data/transaction_internal.h"
#include "platform/fault_injection.h"
#include "platform/path.h"
#include "platform/power_cut.h"
#include "qrole/error.h"

namespace qrole::data {
namespace {

constexpr int kSlot = 2;

// The test environment with a boot identifier the test can change (a
// machine that restarts).
class TxEnv : public test::DataTestEnv {
 public:
  std::string BootId() override { return boot_; }
  void Reboot() { boot_ += "+"; }

 private:
  std::string boot_ = "boot-1";
};

// Fills the slot with the values of line `line` of operation `op`.
void Fill(Slot& s, int op, int line) {
  s.ClearValues();
  s.SetRaw(1, "C40315");
  s.SetText(2, "4300" + std::to_string(op));
  s.SetNumber(3, op);
  s.SetText(4, "Operation " + std::to_string(op) + " line " + std::to_string(line));
  s.SetRaw(5, line == 0 ? "D" : "H");
  s.SetNumber(6, 100.25 * (line + 1));
  s.SetNumber(7, line);
  s.SetText(9, "R" + std::to_string(op) + "-" + std::to_string(line));
}

// The raw size of the table's record file, as another program sees it.
uint64_t SizeOnDisk(const TxEnv& env) {
  auto f = platform::NativeFileSystem()->Open(env.data_dir() + "/TESTT01.QRD",
                                              platform::OpenMode::ReadOnly);
  if (!f.ok()) return 0;
  auto size = (*f)->Size();
  return size.ok() ? *size : 0;
}

// Operation `op`: three lines appended in one transaction.
void PostOperation(const std::string& dir, int op) {
  CompanyTransaction tx(dir, "01");
  Slot& s = GetSlot(kSlot);
  for (int line = 0; line < 3; ++line) {
    Fill(s, op, line);
    platform::Status status = AppendRecord(kSlot);
    if (!status.ok()) throw std::runtime_error(status.ToString());
  }
  tx.Commit();
}

// What the table holds: how many records, whether every operation is whole
// (all three lines, in order) and the index agrees.
struct Books {
  int64_t records = 0;
  std::vector<int> operations;  // the operations found, in order
  bool whole = true;
  bool index_ok = false;
  std::string problem;
};

Books ReadBooks(const std::string& dir) {
  Books b;
  CloseAllFiles();
  if (!OpenTableFile(kSlot, "TESTT", 1, dir, "01").ok()) return b;
  auto count = RecordCount(kSlot);
  b.records = count.ok() ? *count : -1;
  Slot& s = GetSlot(kSlot);
  for (int32_t r = 1; r <= b.records; ++r) {
    if (!ReadRecord(kSlot, r).ok()) {
      b.whole = false;
      continue;
    }
    const int op = static_cast<int>(s.Number(3));
    const int line = static_cast<int>(s.Number(7));
    if (line != (r - 1) % 3) b.whole = false;
    if (line == 0) b.operations.push_back(op);
  }
  if (b.records % 3 != 0) b.whole = false;
  auto check = VerifyIndex(kSlot);
  b.index_ok = check.ok() && check->ok();
  if (check.ok() && !check->problems.empty()) b.problem = check->problems[0];
  return b;
}

// Everything a new process would not have: open files, the company's log.
void LikeANewProcess() {
  CloseAllFiles();
  internal::ForgetCompaniesForTesting();
}

class TransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.WriteJournalDefinition();
    SetIndexMaintenance(true);
    ASSERT_TRUE(OpenTableFile(kSlot, "TESTT", 1, env_.data_dir(), "01").ok());
  }
  void TearDown() override { LikeANewProcess(); }

  // The machine starts again after a cut: what was not flushed is gone, and
  // the company is recovered as the first process to touch it would.
  void PowerComesBack(platform::PowerCutFileSystem& power, const std::string& dir) {
    power.Restore();
    env_.Reboot();
    LikeANewProcess();
    RecoverCompany(dir, "01");
  }

  TxEnv env_;
};

TEST_F(TransactionTest, ChangesAreSeenInsideAndReachTheFileAtCommit) {
  {
    CompanyTransaction tx(env_.data_dir(), "01");
    Slot& s = GetSlot(kSlot);
    Fill(s, 7, 0);
    ASSERT_TRUE(AppendRecord(kSlot).ok());
    Fill(s, 7, 1);
    ASSERT_TRUE(AppendRecord(kSlot).ok());
    // The operation reads what it wrote; the file does not have it yet.
    EXPECT_EQ(*RecordCount(kSlot), 2);
    ASSERT_TRUE(ReadRecord(kSlot, 2).ok());
    EXPECT_EQ(s.TrimmedText(9), "R7-1");
    auto check = VerifyIndex(kSlot);
    ASSERT_TRUE(check.ok());
    EXPECT_TRUE(check->ok()) << (check->problems.empty() ? "" : check->problems[0]);
    EXPECT_EQ(SizeOnDisk(env_), 0u);
    tx.Commit();
  }
  EXPECT_EQ(SizeOnDisk(env_), 2u * static_cast<uint64_t>(GetSlot(kSlot).record_length()));
  Books b = ReadBooks(env_.data_dir());
  EXPECT_EQ(b.records, 2);
  EXPECT_TRUE(b.index_ok) << b.problem;
}

TEST_F(TransactionTest, AnOperationThatFailsLeavesNothing) {
  PostOperation(env_.data_dir(), 1);
  try {
    CompanyTransaction tx(env_.data_dir(), "01");
    Slot& s = GetSlot(kSlot);
    Fill(s, 2, 0);
    ASSERT_TRUE(AppendRecord(kSlot).ok());
    throw std::runtime_error("the operation fails half way");
  } catch (const std::runtime_error&) {
  }
  Books b = ReadBooks(env_.data_dir());
  EXPECT_EQ(b.records, 3);
  EXPECT_EQ(b.operations, std::vector<int>{1});
  EXPECT_TRUE(b.index_ok) << b.problem;
  // The record number the dropped line had is free again.
  PostOperation(env_.data_dir(), 3);
  b = ReadBooks(env_.data_dir());
  EXPECT_EQ(b.operations, (std::vector<int>{1, 3}));
  EXPECT_TRUE(b.whole);
  EXPECT_TRUE(b.index_ok) << b.problem;
}

TEST_F(TransactionTest, NestedTransactionsCommitOnceAtTheOutermost) {
  CompanyTransaction outer(env_.data_dir(), "01");
  {
    CompanyTransaction inner(env_.data_dir(), "01");
    EXPECT_TRUE(inner.joined());
    Fill(GetSlot(kSlot), 5, 0);
    ASSERT_TRUE(AppendRecord(kSlot).ok());
    inner.Commit();
  }
  EXPECT_EQ(SizeOnDisk(env_), 0u);
  outer.Commit();
  EXPECT_GT(SizeOnDisk(env_), 0u);
}

// A process that dies at any write of a commit: the company is whole
// afterwards (the operation there completely, or not at all), and the next
// operation posts.
TEST_F(TransactionTest, ACrashAtAnyWriteLeavesTheBooksWhole) {
  const std::string dir = env_.data_dir();
  PostOperation(dir, 1);
  platform::FaultInjectingFileSystem faults(platform::NativeFileSystem());
  int completed = 0, dropped = 0;
  for (int k = 0; k < 40; ++k) {
    const int op = 100 + k;
    env_.UseFileSystem(&faults);
    faults.Reset();
    LikeANewProcess();  // the log too is opened through the failing files
    ASSERT_TRUE(OpenTableFile(kSlot, "TESTT", 1, dir, "01").ok());
    faults.FailWritesAfter(k, platform::Status::IOError("crash"));
    bool failed = false;
    try {
      PostOperation(dir, op);
    } catch (const std::exception&) {
      failed = true;
    }
    faults.StopFailingWrites();
    env_.UseFileSystem(nullptr);
    LikeANewProcess();
    RecoverCompany(dir, "01");
    Books b = ReadBooks(dir);
    ASSERT_TRUE(b.whole) << "write " << k;
    ASSERT_TRUE(b.index_ok) << "write " << k << ": " << b.problem;
    const bool present = !b.operations.empty() && b.operations.back() == op;
    if (!failed) {
      EXPECT_TRUE(present) << "write " << k;
    }
    present ? ++completed : ++dropped;
  }
  // Both ends were reached: crashes before the log record and after it.
  EXPECT_GT(completed, 0);
  EXPECT_GT(dropped, 0);
  PostOperation(dir, 999);
  EXPECT_EQ(ReadBooks(dir).operations.back(), 999);
}

// The power goes at a random point of a run of operations: after the machine
// starts again every operation whose commit answered is there, whole, and
// nothing partial is.
TEST_F(TransactionTest, APowerCutKeepsEveryConfirmedOperation) {
  const std::string dir = env_.data_dir();
  for (int cut_at : {3, 11, 17, 24, 40, 57, 73, 98}) {
    LikeANewProcess();
    platform::PowerCutFileSystem power(platform::NativeFileSystem());
    env_.UseFileSystem(&power);
    ASSERT_TRUE(OpenTableFile(kSlot, "TESTT", 1, dir, "01").ok());
    std::vector<int> confirmed = ReadBooks(dir).operations;
    ASSERT_TRUE(OpenTableFile(kSlot, "TESTT", 1, dir, "01").ok());
    power.CutAfter(cut_at);
    for (int op = 1000 * cut_at; !power.cut(); ++op) {
      try {
        PostOperation(dir, op);
        confirmed.push_back(op);
      } catch (const std::exception&) {
      }
    }
    PowerComesBack(power, dir);
    env_.UseFileSystem(nullptr);
    LikeANewProcess();
    Books b = ReadBooks(dir);
    ASSERT_TRUE(b.whole) << "cut at " << cut_at;
    ASSERT_TRUE(b.index_ok) << "cut at " << cut_at << ": " << b.problem;
    // Every confirmed operation is there; at most the one in flight more.
    size_t i = 0;
    for (int op : b.operations) {
      if (i < confirmed.size() && op == confirmed[i]) ++i;
    }
    EXPECT_EQ(i, confirmed.size()) << "cut at " << cut_at;
    EXPECT_LE(b.operations.size(), confirmed.size() + 1) << "cut at " << cut_at;
  }
}

// A counter of six digits at the start of a file of its own, changed in an
// operation whose flush waits for the next operation's.
void StoreCounterLazily(const std::string& path, const std::string& digits) {
  CompanyTransaction tx(platform::DirName(path) + "/", "01");
  auto f = OpenDataFile(path, platform::OpenMode::ReadWriteCreate);
  if (!f.ok() || !(*f)->WriteAt(0, digits).ok()) throw std::runtime_error("counter not written");
  FlushWithNextOperation();
  tx.Commit();
}

std::string CounterOnDisk(const std::string& path) {
  auto bytes = platform::NativeFileSystem()->ReadAll(path);
  return bytes.ok() ? bytes->substr(0, 6) : "";
}

TEST_F(TransactionTest, AnOperationThatWaitsForTheNextFlushGoesToDiskWithIt) {
  const std::string dir = env_.data_dir();
  const std::string counter = dir + "/COUNTER01.QRT";
  ASSERT_TRUE(platform::NativeFileSystem()->WriteAllAtomic(counter, "000041").ok());
  platform::PowerCutFileSystem power(platform::NativeFileSystem());
  env_.UseFileSystem(&power);

  // Alone, it is not flushed: a power cut loses it, whole.
  StoreCounterLazily(counter, "000042");
  EXPECT_EQ(CounterOnDisk(counter), "000042");
  PowerComesBack(power, dir);
  EXPECT_EQ(CounterOnDisk(counter), "000041");

  // Followed by an operation that answers, it is flushed with it: the cut
  // keeps both.
  ASSERT_TRUE(OpenTableFile(kSlot, "TESTT", 1, dir, "01").ok());
  StoreCounterLazily(counter, "000043");
  PostOperation(dir, 7);
  PowerComesBack(power, dir);
  env_.UseFileSystem(nullptr);
  LikeANewProcess();
  EXPECT_EQ(CounterOnDisk(counter), "000043");
  Books b = ReadBooks(dir);
  EXPECT_TRUE(b.whole);
  EXPECT_TRUE(b.index_ok) << b.problem;
  EXPECT_EQ(b.operations, std::vector<int>{7});
}

TEST_F(TransactionTest, TheCompanyLockIsWaitedForThenRefused) {
  auto& settings = CurrentTransactionSettings();
  const int saved = settings.lock_timeout_ms;
  settings.lock_timeout_ms = 50;
  // Another holder of the lock: a second open of the log, as another
  // process would have.
  auto other = platform::NativeFileSystem()->Open(
      CompanyFilePath(env_.data_dir(), "QRLOG", "01", ".QRJ"), platform::OpenMode::ReadWriteCreate);
  ASSERT_TRUE(other.ok());
  {
    CompanyTransaction first(env_.data_dir(), "01");  // creates the log
    first.Commit();
  }
  ASSERT_TRUE((*other)->LockRange(internal::kCompanyLockOffset, 1, true).ok());
  try {
    CompanyTransaction tx(env_.data_dir(), "01");
    ADD_FAILURE() << "the lock was taken twice";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("Archivo en uso por otro proceso"), std::string::npos)
        << e.what();
  }
  (*other)->UnlockRange(internal::kCompanyLockOffset, 1).IgnoreError();
  settings.lock_timeout_ms = saved;
  PostOperation(env_.data_dir(), 4);
  EXPECT_EQ(ReadBooks(env_.data_dir()).operations, std::vector<int>{4});
}

TEST(CompanyLogTest, RecordsRoundTripAndTornOnesAreNotRead) {
  internal::LogRecord r;
  r.seq = 42;
  r.files.push_back({"EXTRA01.QRD", 866, "", std::string("A\0B", 3)});
  r.files.push_back({"/abs/PLANC01.QRD", 8, "12345678", "87654321"});
  r.indexes.push_back({"EXTRA01.QRC", internal::IndexChange::kPut, 2, 16, "key", "\0\0\0\1"});
  r.indexes.push_back({"EXTRA01.QRC", internal::IndexChange::kDelete, 0, 0, "next", ""});
  internal::LogRecord back;
  ASSERT_TRUE(internal::DecodeRecordBody(internal::EncodeRecordBody(r), &back));
  ASSERT_EQ(back.files.size(), 2u);
  EXPECT_EQ(back.files[0].after, std::string("A\0B", 3));
  EXPECT_EQ(back.files[1].before, "12345678");
  ASSERT_EQ(back.indexes.size(), 2u);
  EXPECT_EQ(back.indexes[0].flags, 16u);
  EXPECT_EQ(back.indexes[1].kind, internal::IndexChange::kDelete);
  std::string body = internal::EncodeRecordBody(r);
  EXPECT_FALSE(internal::DecodeRecordBody(body.substr(0, body.size() - 1), &back));
  body[0] = '\x7F';  // a count past the end
  EXPECT_FALSE(internal::DecodeRecordBody(body, &back));
}

}  // namespace
}  // namespace qrole::data
