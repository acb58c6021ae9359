// Kept answers: written with the operation or not at all, found again by any
// later lookup (also after appends this process did not index yet), the
// newest of a key winning, old ones passed over, damage skipped.

#include "data/kept_answers.h"

#include <gtest/gtest.h>

#include <string>

#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/transaction.h"
#include "data/transaction_internal.h"
#include "platform/fault_injection.h"

namespace qrole::data {
namespace {

constexpr int kSlot = 2;
constexpr int64_t kDay = 86400000;
constexpr int64_t kMonth = 30 * kDay;
constexpr int64_t kNow = 20000 * kDay;

KeptAnswer Answer(const std::string& key, const std::string& answer, int64_t time = kNow) {
  KeptAnswer a;
  a.key = key;
  a.digest = std::string(31, 'd') + key.substr(0, 1);
  a.time_ms = time;
  a.answer = answer;
  return a;
}

void LikeANewProcess() {
  CloseAllFiles();
  internal::ForgetCompaniesForTesting();
  ForgetKeptAnswersForTesting();
}

class KeptAnswersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.WriteJournalDefinition();
    SetIndexMaintenance(true);
  }
  void TearDown() override { LikeANewProcess(); }

  // The answer kept under `key` as a lookup inside a transaction sees it.
  std::optional<KeptAnswer> Find(const std::string& key, int64_t now = kNow) {
    CompanyTransaction tx(dir(), "01");
    std::optional<KeptAnswer> found;
    platform::Status status = FindKeptAnswer(dir(), "01", key, now, kMonth, &found);
    EXPECT_TRUE(status.ok()) << status.ToString();
    return found;
  }
  void Keep(const KeptAnswer& a) {
    CompanyTransaction tx(dir(), "01");
    ASSERT_TRUE(KeepAnswer(dir(), "01", a).ok());
    tx.Commit();
  }
  std::string dir() const { return env_.data_dir(); }

  test::DataTestEnv env_;
};

TEST_F(KeptAnswersTest, AnAnswerIsKeptOnlyWhenItsOperationCommits) {
  EXPECT_FALSE(Find("k-1").has_value());  // no file yet
  {
    CompanyTransaction tx(dir(), "01");
    ASSERT_TRUE(KeepAnswer(dir(), "01", Answer("k-1", "dropped")).ok());
  }
  EXPECT_FALSE(Find("k-1").has_value());
  Keep(Answer("k-1", R"({"result":{"value":0}})"));
  std::optional<KeptAnswer> found = Find("k-1");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->key, "k-1");
  EXPECT_EQ(found->digest, Answer("k-1", "").digest);
  EXPECT_EQ(found->time_ms, kNow);
  EXPECT_EQ(found->answer, R"({"result":{"value":0}})");
  EXPECT_FALSE(Find("k-2").has_value());
  EXPECT_FALSE(Find("k-").has_value());
}

TEST_F(KeptAnswersTest, LaterAppendsAreReadBeforeALookup) {
  Keep(Answer("first", "1"));
  ASSERT_TRUE(Find("first").has_value());  // this process has indexed the file
  // Appends made since (by this process or another one holding the lock)
  // are found without starting over.
  for (int i = 0; i < 50; ++i) Keep(Answer("key-" + std::to_string(i), std::to_string(i)));
  for (int i = 0; i < 50; i += 7) {
    std::optional<KeptAnswer> found = Find("key-" + std::to_string(i));
    ASSERT_TRUE(found.has_value()) << i;
    EXPECT_EQ(found->answer, std::to_string(i));
  }
  LikeANewProcess();
  EXPECT_EQ(Find("key-49")->answer, "49");
  EXPECT_EQ(Find("first")->answer, "1");
}

TEST_F(KeptAnswersTest, TheNewestRecordOfAKeyCountsAndOldOnesArePassedOver) {
  Keep(Answer("k", "old", kNow - 2 * kMonth));
  Keep(Answer("expired", "x", kNow - kMonth - 1));
  Keep(Answer("young", "y", kNow - kMonth + 1));
  EXPECT_FALSE(Find("k").has_value());
  EXPECT_FALSE(Find("expired").has_value());
  EXPECT_EQ(Find("young")->answer, "y");
  Keep(Answer("k", "new"));
  EXPECT_EQ(Find("k")->answer, "new");
  EXPECT_FALSE(Find("k", kNow + kMonth + 1).has_value());
}

TEST_F(KeptAnswersTest, ADamagedRecordIsSkippedAndTheOthersStillFound) {
  Keep(Answer("a", std::string(100, 'a')));
  Keep(Answer("b", std::string(100, 'b')));
  Keep(Answer("c", std::string(100, 'c')));
  const std::string path = KeptAnswersPath(dir(), "01");
  {
    auto f = platform::NativeFileSystem()->Open(path, platform::OpenMode::ReadWrite);
    ASSERT_TRUE(f.ok());
    std::string bytes;
    ASSERT_TRUE((*f)->ReadAt(0, 4096, &bytes).ok());
    const size_t b = bytes.find(std::string(100, 'b'));
    ASSERT_NE(b, std::string::npos);
    ASSERT_TRUE((*f)->WriteAt(b + 50, "X").ok());  // the checksum no longer agrees
  }
  LikeANewProcess();
  EXPECT_EQ(Find("a")->answer, std::string(100, 'a'));
  EXPECT_FALSE(Find("b").has_value());
  EXPECT_EQ(Find("c")->answer, std::string(100, 'c'));
  Keep(Answer("d", "d"));
  EXPECT_EQ(Find("d")->answer, "d");
}

TEST_F(KeptAnswersTest, AFileReplacedBehindTheIndexIsReadAgain) {
  Keep(Answer("a", "1"));
  Keep(Answer("b", "2"));
  ASSERT_TRUE(Find("a").has_value());
  ASSERT_TRUE(platform::NativeFileSystem()->Remove(KeptAnswersPath(dir(), "01")).ok());
  EXPECT_FALSE(Find("a").has_value());
  Keep(Answer("c", "3"));
  EXPECT_FALSE(Find("b").has_value());
  EXPECT_EQ(Find("c")->answer, "3");
}

TEST_F(KeptAnswersTest, ANonsenseFileIsAnErrorNotAnEmptyStore) {
  ASSERT_TRUE(platform::NativeFileSystem()
                  ->WriteAllAtomic(KeptAnswersPath(dir(), "01"), "something else entirely")
                  .ok());
  CompanyTransaction tx(dir(), "01");
  std::optional<KeptAnswer> found;
  platform::Status status = FindKeptAnswer(dir(), "01", "k", kNow, kMonth, &found);
  EXPECT_TRUE(status.IsCorruption()) << status.ToString();
}

// A crash at any write of an operation that appends a record and keeps its
// answer leaves, once the company is recovered, both or neither.
TEST_F(KeptAnswersTest, ACrashKeepsTheAnswerExactlyWhenItKeepsTheOperation) {
  ASSERT_TRUE(OpenTableFile(kSlot, "TESTT", 1, dir(), "01").ok());
  platform::FaultInjectingFileSystem faults(platform::NativeFileSystem());
  int kept = 0, lost = 0;
  for (int k = 0; k < 30; ++k) {
    const std::string key = "crash-" + std::to_string(k);
    env_.UseFileSystem(&faults);
    faults.Reset();
    LikeANewProcess();
    ASSERT_TRUE(OpenTableFile(kSlot, "TESTT", 1, dir(), "01").ok());
    const int64_t before = *RecordCount(kSlot);
    faults.FailWritesAfter(k, platform::Status::IOError("crash"));
    try {
      CompanyTransaction tx(dir(), "01");
      Slot& s = GetSlot(kSlot);
      s.ClearValues();
      s.SetText(2, "4300001");
      s.SetText(9, key);
      if (!AppendRecord(kSlot).ok()) throw std::runtime_error("append");
      if (!KeepAnswer(dir(), "01", Answer(key, "posted")).ok()) throw std::runtime_error("keep");
      tx.Commit();
    } catch (const std::exception&) {
    }
    faults.StopFailingWrites();
    env_.UseFileSystem(nullptr);
    LikeANewProcess();
    RecoverCompany(dir(), "01");
    ASSERT_TRUE(OpenTableFile(kSlot, "TESTT", 1, dir(), "01").ok());
    const bool posted = *RecordCount(kSlot) == before + 1;
    const bool answered = Find(key).has_value();
    ASSERT_EQ(posted, answered) << "write " << k;
    posted ? ++kept : ++lost;
  }
  EXPECT_GT(kept, 0);
  EXPECT_GT(lost, 0);
}

}  // namespace
}  // namespace qrole::data
