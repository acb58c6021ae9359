// Every command and status of the keyed engine, through Execute with its
// command texts.

#include "data/keyed_engine.h"

#include <string>
#include <vector>

#include "data/data_test_util.h"
#include "gtest/gtest.h"
#include "platform/file_system.h"

namespace qrole::data {
namespace {

namespace es = engine_status;

struct Answer {
  int16_t status;
  int32_t record;
  bool operator==(const Answer&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Answer& a) {
  return os << "{status " << a.status << ", record " << a.record << "}";
}

class KeyedEngineTest : public ::testing::Test {
 protected:
  Answer Run(std::string command) {
    int32_t record = -7;
    int16_t status = -7;
    Engine().Execute(command, record, status);
    return {status, record};
  }
  Answer Create(int file = 1, int count = 2, int longest = 6, const std::string& path = "") {
    return Run("/C/" + (path.empty() ? path_ : path) + "/" + Str(file) + "/" + Str(count) + "/A/" +
               Str(longest));
  }
  Answer Insert(const std::string& k1, const std::string& k2, int file = 1) {
    return Run("I\\" + std::to_string(file) + "\\" + k1 + "\\" + k2);
  }
  // Records of index k of file 1 in key order, by "F\" and "N\".
  std::vector<int32_t> Walk(int k) {
    std::vector<int32_t> records;
    for (Answer a = Run("F\\" + std::to_string(k) + "\\1"); a.status == es::kOk; a = Run("N\\1")) {
      records.push_back(a.record);
    }
    return records;
  }

  test::DataTestEnv env_;
  std::string path_ = env_.data_dir() + "/ENGIN01.QRC";
};

TEST_F(KeyedEngineTest, StrPutsABlankBeforeNonNegativeNumbers) {
  EXPECT_EQ(Str(4), " 4");
  EXPECT_EQ(Str(0), " 0");
  EXPECT_EQ(Str(-1), "-1");
}

TEST_F(KeyedEngineTest, OpensCreatesAndCloses) {
  EXPECT_EQ(Run("/O/" + path_ + "/1").status, es::kFileMissing);
  EXPECT_EQ(Run("S\\1\\1\\x").status, es::kFileNotOpen);
  EXPECT_EQ(Create(), (Answer{es::kOk, 0}));
  EXPECT_TRUE(platform::NativeFileSystem()->Exists(path_));
  EXPECT_EQ(Insert("AAAAAA", "x1  "), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("K"), (Answer{es::kOk, 0}));
  EXPECT_EQ(Run("S\\1\\1\\AAAAAA").status, es::kFileNotOpen);
  EXPECT_EQ(Insert("BBBBBB", "x2  ").status, es::kFileNotOpen);
  // Reopened, whatever the case of the name, the keys are there.
  EXPECT_EQ(Run("/O/" + env_.data_dir() + "/engin01.qrc/ 1"), (Answer{es::kOk, 0}));
  EXPECT_EQ(Run("S\\1\\1\\AAAAAA"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Insert("BBBBBB", "x2  "), (Answer{es::kOk, 2}));
  // One index file may be open under two file numbers.
  EXPECT_EQ(Run("/O/" + path_ + "/2").status, es::kOk);
  EXPECT_EQ(Run("S\\1\\2\\BBBBBB"), (Answer{es::kOk, 2}));
  Engine().CloseFile(2);
  EXPECT_EQ(Run("S\\1\\2\\BBBBBB").status, es::kFileNotOpen);
  EXPECT_EQ(Run("S\\1\\1\\BBBBBB"), (Answer{es::kOk, 2}));
}

TEST_F(KeyedEngineTest, ForeignFilesAreNotOursAndCreateReplacesThem) {
  ASSERT_TRUE(platform::NativeFileSystem()->WriteAllAtomic(path_, std::string(9000, 'x')).ok());
  EXPECT_EQ(Run("/O/" + path_ + "/1").status, es::kNotOurs);
  EXPECT_EQ(Create(), (Answer{es::kOk, 0}));
  EXPECT_EQ(Insert("AAAAAA", "x1  "), (Answer{es::kOk, 1}));
  // Creating an index file of ours empties it and restarts the numbering.
  EXPECT_EQ(Create(1, 3, 8), (Answer{es::kOk, 0}));
  EXPECT_EQ(Run("F\\1\\1").status, es::kEndOfIndex);
  EXPECT_EQ(Run("M\\1").status, es::kOk);
  EXPECT_EQ(Run("I\\1\\a\\b\\c"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("S\\3\\1\\c"), (Answer{es::kOk, 1}));
  // A directory that does not exist.
  EXPECT_EQ(Create(1, 2, 6, env_.data_dir() + "/missing/X01.QRC").status, es::kCannotCreate);
}

TEST_F(KeyedEngineTest, RefusesMalformedCommands) {
  ASSERT_EQ(Create().status, es::kOk);
  for (const char* bad : {"", "X\\1", "S", "S\\", "S\\x\\1\\k", "S\\1\\y\\k", "N\\", "/O/nofile",
                          "/C/p/1/2", "/C/p/ 1/ 11/A/ 6", "D\\1\\N\\ 1\\a\\b", "R\\1\\1",
                          "I\\1x\\a\\b", "i\\1\\a\\b", "I\\1\\a\\b\\c"}) {
    EXPECT_EQ(Run(bad).status, es::kInvalidCommand) << bad;
  }
  EXPECT_EQ(Run("S\\3\\1\\k").status, es::kInvalidIndex);
  EXPECT_EQ(Run("S\\0\\1\\k").status, es::kInvalidIndex);
  EXPECT_EQ(Run("F\\3\\1").status, es::kInvalidIndex);
  EXPECT_EQ(Run("S\\1\\16\\k").status, es::kFileNotOpen);
  EXPECT_EQ(Insert(std::string(520, 'k'), "x").status, es::kKeyTooLong);
}

TEST_F(KeyedEngineTest, NumbersRecordsFromOneAndKeepsDuplicatesInOrder) {
  ASSERT_EQ(Create().status, es::kOk);
  EXPECT_EQ(Insert("BBBBBB", "x1  ").record, 1);
  EXPECT_EQ(Insert("AAAAAA", "x1  ").record, 2);
  EXPECT_EQ(Insert("BBBBBB", "x2  ").record, 3);
  EXPECT_EQ(Insert("AAAAAA", "x1  ").record, 4);
  EXPECT_EQ(Walk(1), (std::vector<int32_t>{2, 4, 1, 3}));
  EXPECT_EQ(Walk(2), (std::vector<int32_t>{1, 2, 4, 3}));
  // Backwards.
  std::vector<int32_t> back;
  for (Answer a = Run("L\\1\\1"); a.status == es::kOk; a = Run("P\\1")) back.push_back(a.record);
  EXPECT_EQ(back, (std::vector<int32_t>{3, 1, 4, 2}));
  EXPECT_EQ(Run("I\\1\\CCCCCC\\CCCC").record, 5);
}

TEST_F(KeyedEngineTest, ExactSearchLeavesTheEntryBelowAMissingKey) {
  ASSERT_EQ(Create().status, es::kOk);
  Insert("BB    ", "x1  ");                                 // 1
  Insert("DD    ", "x1  ");                                 // 2
  Insert("BB    ", "x2  ");                                 // 3
  EXPECT_EQ(Run("S\\1\\1\\BB    "), (Answer{es::kOk, 1}));  // first of its duplicates
  EXPECT_EQ(Run("N\\1"), (Answer{es::kOk, 3}));
  EXPECT_EQ(Run("S\\1\\1\\BB"), (Answer{es::kOk, 1}));  // short keys compare blank padded...
  EXPECT_EQ(Run("S\\1\\1\\BB     "), (Answer{es::kKeyNotFound, 3}));  // ...long ones as given
  EXPECT_EQ(Run("S\\1\\1\\CC"), (Answer{es::kKeyNotFound, 3}));       // just below: (BB, 3)
  EXPECT_EQ(Run("N\\1"), (Answer{es::kOk, 2}));                       // and on from there
  EXPECT_EQ(Run("S\\1\\1\\ZZ"), (Answer{es::kKeyNotFound, 2}));
  EXPECT_EQ(Run("S\\1\\1\\AA"), (Answer{es::kKeyNotFound, 0}));  // nothing below
  EXPECT_EQ(Run("N\\1"), (Answer{es::kOk, 1}));                  // the first entry
  EXPECT_EQ(Run("S\\1\\1\\"), (Answer{es::kKeyNotFound, 0}));
}

TEST_F(KeyedEngineTest, GreaterOrEqualSearchStatuses) {
  ASSERT_EQ(Create().status, es::kOk);
  EXPECT_EQ(Run("G\\1\\1\\A"), (Answer{es::kEndOfIndex, 0}));  // empty index
  Insert("430001", "x1  ");                                    // 1
  Insert("430002", "x1  ");                                    // 2
  Insert("572000", "x1  ");                                    // 3
  EXPECT_EQ(Run("G\\1\\1\\430002"), (Answer{es::kOk, 2}));
  EXPECT_EQ(Run("G\\1\\1\\430"), (Answer{es::kAboveKey, 1}));  // a prefix finds its first key
  EXPECT_EQ(Run("N\\1"), (Answer{es::kOk, 2}));
  EXPECT_EQ(Run("G\\1\\1\\5"), (Answer{es::kAboveKey, 3}));
  EXPECT_EQ(Run("G\\1\\1\\"), (Answer{es::kAboveKey, 1}));
  // Nothing at or above: status 12 on the last entry, then "N\" ends.
  EXPECT_EQ(Run("G\\1\\1\\6"), (Answer{es::kBelowKey, 3}));
  EXPECT_EQ(Run("N\\1"), (Answer{es::kEndOfIndex, 0}));
}

TEST_F(KeyedEngineTest, FirstLastNextPreviousAndTheEnds) {
  ASSERT_EQ(Create().status, es::kOk);
  EXPECT_EQ(Run("N\\1"), (Answer{es::kEndOfIndex, 0}));  // nothing positioned yet
  EXPECT_EQ(Run("F\\1\\1"), (Answer{es::kEndOfIndex, 0}));
  EXPECT_EQ(Run("L\\2\\1"), (Answer{es::kEndOfIndex, 0}));
  Insert("AAAAAA", "x2  ");  // 1
  Insert("BBBBBB", "x1  ");  // 2
  EXPECT_EQ(Run("F\\1\\1"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("P\\1"), (Answer{es::kEndOfIndex, 0}));
  EXPECT_EQ(Run("N\\1"), (Answer{es::kOk, 2}));  // the position stayed on the first
  EXPECT_EQ(Run("N\\1"), (Answer{es::kEndOfIndex, 0}));
  EXPECT_EQ(Run("P\\1"), (Answer{es::kOk, 1}));
  // "N\" follows the index last used on the file.
  EXPECT_EQ(Run("F\\2\\1"), (Answer{es::kOk, 2}));
  EXPECT_EQ(Run("N\\1"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("L\\1\\1"), (Answer{es::kOk, 2}));
}

TEST_F(KeyedEngineTest, NeighboursOfAKey) {
  ASSERT_EQ(Create().status, es::kOk);
  Insert("430000", "x1  ");                                         // 1
  Insert("430000", "x1  ");                                         // 2
  Insert("430000", "x1  ");                                         // 3
  Insert("570000", "x1  ");                                         // 4
  Insert("100000", "x1  ");                                         // 5
  EXPECT_EQ(Run("A\\1\\999999\\1\\430000"), (Answer{es::kOk, 4}));  // after every entry
  // A short key is blank padded: "430   " sorts before "430000".
  EXPECT_EQ(Run("A\\1\\999999\\1\\430"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("E\\1\\0\\1\\430000"), (Answer{es::kOk, 5}));       // before every entry
  EXPECT_EQ(Run("A\\1\\1\\1\\430000"), (Answer{es::kOk, 2}));       // after (key, 1)
  EXPECT_EQ(Run("E\\1\\3\\1\\430000"), (Answer{es::kOk, 2}));       // before (key, 3)
  EXPECT_EQ(Run("E\\1\\9\\1\\430000"), (Answer{es::kOk, 3}));       // the key's last entry
  EXPECT_EQ(Run("A\\1\\999999\\1\\500000"), (Answer{es::kOk, 4}));  // a key not there
  EXPECT_EQ(Run("E\\1\\0\\1\\500000"), (Answer{es::kOk, 3}));
  EXPECT_EQ(Run("A\\1\\999999\\1\\570000"), (Answer{es::kEndOfIndex, 0}));
  EXPECT_EQ(Run("E\\1\\0\\1\\100000"), (Answer{es::kEndOfIndex, 0}));
  EXPECT_EQ(Run("E\\1\\0\\1\\100000 "), (Answer{es::kOk, 5}));  // longer: after "100000"
  EXPECT_EQ(Run("A\\1\\999999\\1\\430000"), (Answer{es::kOk, 4}));
  EXPECT_EQ(Run("P\\1"), (Answer{es::kOk, 3}));  // the neighbour became the current entry
}

TEST_F(KeyedEngineTest, RemovesAndReplacesKeys) {
  ASSERT_EQ(Create().status, es::kOk);
  Insert("AAAAAA", "x1  ");  // 1
  Insert("BBBBBB", "x2  ");  // 2
  Insert("CCCCCC", "x3  ");  // 3
  EXPECT_EQ(Run("F\\1\\1").record, 1);
  EXPECT_EQ(Run("N\\1").record, 2);
  EXPECT_EQ(Run("D\\2\\Y\\ 1\\BBBBBB\\x2  ").status, es::kOk);
  EXPECT_EQ(Run("N\\1"), (Answer{es::kOk, 3}));  // the current entry went; N goes on
  EXPECT_EQ(Run("P\\1"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Walk(2), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(Run("D\\2\\Y\\ 1\\BBBBBB\\x2  ").status, es::kKeyNotFound);
  // Replace one key of record 3 in index 2.
  EXPECT_EQ(Run("R\\ 2\\3\\ 1\\x0  \\x3  ").status, es::kOk);
  EXPECT_EQ(Walk(2), (std::vector<int32_t>{3, 1}));
  EXPECT_EQ(Run("S\\2\\1\\x3  ").status, es::kKeyNotFound);
  EXPECT_EQ(Run("R\\ 2\\3\\ 1\\x0  \\x0  ").status, es::kOk);  // no change
  // An old key that is not there: the new one still goes in.
  EXPECT_EQ(Run("R\\ 2\\1\\ 1\\x9  \\zzzz").status, es::kKeyNotFound);
  EXPECT_EQ(Run("S\\2\\1\\x9  "), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("R\\ 3\\1\\ 1\\a\\b").status, es::kInvalidIndex);
}

TEST_F(KeyedEngineTest, EmptyCheck) {
  ASSERT_EQ(Create().status, es::kOk);
  EXPECT_EQ(Run("M\\1").status, es::kOk);
  Insert("AAAAAA", "x1  ");
  EXPECT_EQ(Run("M\\1").status, es::kIndexNotEmpty);
  EXPECT_EQ(Run("D\\1\\Y\\ 1\\AAAAAA\\x1  ").status, es::kOk);
  EXPECT_EQ(Run("M\\1").status, es::kIndexNotEmpty);  // a number was given
  EXPECT_EQ(Run("M\\2").status, es::kFileNotOpen);
}

TEST_F(KeyedEngineTest, KeysHoldingBackslashesSplitByTheirWidths) {
  ASSERT_EQ(Create().status, es::kOk);
  Engine().DeclareKeyWidths(1, {6, 4});
  EXPECT_EQ(Run("I\\1\\A\\B\\CC\\x\\yz"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("S\\1\\1\\A\\B\\CC"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("S\\2\\1\\x\\yz"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("R\\ 1\\1\\ 1\\Q\\R\\SS\\A\\B\\CC").status, es::kOk);
  EXPECT_EQ(Run("S\\1\\1\\Q\\R\\SS"), (Answer{es::kOk, 1}));
  EXPECT_EQ(Run("D\\1\\Y\\ 1\\Q\\R\\SS\\x\\yz").status, es::kOk);
  EXPECT_EQ(Run("F\\1\\1").status, es::kEndOfIndex);
  EXPECT_EQ(Run("F\\2\\1").status, es::kEndOfIndex);
}

TEST_F(KeyedEngineTest, GrowsTheMapAsTheFileFills) {
  ASSERT_EQ(Create(1, 2, 40).status, es::kOk);
  const int n = 12000;
  for (int i = 0; i < n; ++i) {
    char k1[41], k2[41];
    std::snprintf(k1, sizeof k1, "%040d", (i * 7919) % 100003);
    std::snprintf(k2, sizeof k2, "%-40d", i);
    ASSERT_EQ(Insert(k1, k2).status, es::kOk) << i;
  }
  platform::Result<IndexFileInfo> info = Engine().Info(1);
  ASSERT_TRUE(info.ok());
  EXPECT_GT(info->map_size, size_t{1} << 20);
  EXPECT_EQ(info->next_record, static_cast<uint32_t>(n + 1));
  int entries = 0;
  std::string previous;
  EXPECT_EQ(Engine().ForEachEntry(1, 1,
                                  [&](std::string_view key, uint32_t) {
                                    EXPECT_LE(previous, key);
                                    previous = std::string(key);
                                    ++entries;
                                  }),
            es::kOk);
  EXPECT_EQ(entries, n);
  // Another opening of the file sees the grown map.
  Run("K");
  ASSERT_EQ(Run("/O/" + path_ + "/3").status, es::kOk);
  EXPECT_EQ(Run("L\\2\\3").status, es::kOk);
}

}  // namespace
}  // namespace qrole::data
