// Rebuilding index files from record files: on request, and when an index
// file is missing or not ours.

#include "data/reindex.h"

#include <string>

#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "gtest/gtest.h"
#include "platform/file_system.h"

namespace qrole::data {
namespace {

namespace es = engine_status;

class ReindexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.WriteJournalDefinition();
    SetIndexMaintenance(true);
    ASSERT_TRUE(Open().ok());
    // 60 lines; every seventh one cancelled.
    for (int i = 1; i <= 60; ++i) {
      Slot& s = GetSlot(2);
      s.ClearValues();
      s.SetRaw(1, i % 2 ? "B31231" : "B40101");
      s.SetText(2, "43" + std::to_string(10000 + i % 9));
      s.SetNumber(3, i);
      s.SetText(4, "Linea " + std::to_string(i));
      s.SetText(9, "REF" + std::to_string(i));
      ASSERT_TRUE(AppendRecord(2).ok());
    }
    for (int i = 7; i <= 60; i += 7) ASSERT_TRUE(CancelRecord(2, i).ok());
  }
  platform::Status Open() { return OpenTableFile(2, "TESTT", 1, env_.data_dir(), "01"); }
  IndexCheck Check() {
    platform::Result<IndexCheck> check = VerifyIndex(2);
    EXPECT_TRUE(check.ok()) << check.status().ToString();
    return check.ok() ? *check : IndexCheck();
  }
  std::string Qrc() const { return env_.data_dir() + "/TESTT01.QRC"; }

  test::DataTestEnv env_;
};

TEST_F(ReindexTest, TheIndexAgreesWithTheRecords) {
  const IndexCheck check = Check();
  EXPECT_TRUE(check.ok());
  EXPECT_EQ(check.records, 60);
  EXPECT_EQ(check.cancelled, 8);
  EXPECT_EQ(check.entries, 4 * 52);
  EXPECT_EQ(check.next_record, 61u);
}

TEST_F(ReindexTest, VerifyFindsWhatIsMissingOrExtra) {
  ASSERT_TRUE(ReadRecord(2, 5).ok());
  ASSERT_EQ(SendEngineCommand("D\\5\\Y\\ 2" + ComposeKeys(2, 0)), es::kOk);
  ASSERT_EQ(SendEngineCommand("I\\2\\a\\b\\c\\d"), es::kOk);
  IndexCheck check = Check();
  EXPECT_FALSE(check.ok());
  EXPECT_EQ(check.missing, 4);
  EXPECT_EQ(check.extra, 4);
  ASSERT_TRUE(Reindex(2).ok());
  check = Check();
  EXPECT_TRUE(check.ok()) << (check.problems.empty() ? "" : check.problems[0]);
  // The record counter keeps above every number given, the direct insert's too.
  EXPECT_EQ(check.next_record, 62u);
  ASSERT_TRUE(AppendRecord(2).ok());
  EXPECT_EQ(Globals().engine_record, 62);
}

TEST_F(ReindexTest, AMissingIndexFileIsRebuiltOnOpening) {
  CloseAllFiles();
  ASSERT_TRUE(platform::NativeFileSystem()->Remove(Qrc()).ok());
  ASSERT_TRUE(Open().ok());
  EXPECT_TRUE(Check().ok());
  EXPECT_TRUE(SeekEqual(2, 3, "REF33").value());
  EXPECT_FALSE(SeekEqual(2, 3, "REF35").value());  // cancelled
  ASSERT_TRUE(AppendRecord(2).ok());
  EXPECT_EQ(Globals().engine_record, 61);  // no number reused
}

TEST_F(ReindexTest, AnIndexFileThatIsNotOursIsRebuilt) {
  CloseAllFiles();
  // What another word size's file (or a damaged one) looks like to this build.
  ASSERT_TRUE(platform::NativeFileSystem()->WriteAllAtomic(Qrc(), std::string(12288, '\x5A')).ok());
  ASSERT_TRUE(Open().ok());
  EXPECT_TRUE(env_.TakeMessages().empty());
  const IndexCheck check = Check();
  EXPECT_TRUE(check.ok());
  EXPECT_EQ(check.entries, 4 * 52);
  ASSERT_TRUE(MoveFirst(2, 2).value());
  EXPECT_EQ(GetSlot(2).TrimmedText(2), "4310000");
}

TEST_F(ReindexTest, ReindexTableReplacesTheIndexFile) {
  CloseAllFiles();
  ASSERT_TRUE(ReindexTable(5, "TESTT", env_.data_dir(), "01").ok());
  EXPECT_TRUE(GetSlot(5).has_index());
  platform::Result<IndexCheck> check = VerifyIndex(5);
  ASSERT_TRUE(check.ok());
  EXPECT_TRUE(check->ok());
  EXPECT_TRUE(SeekEqual(5, 3, "REF60").value());
  EXPECT_TRUE(Reindex(16).IsInvalidArgument());
}

}  // namespace
}  // namespace qrole::data
