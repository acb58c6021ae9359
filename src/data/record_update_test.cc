// Appends, cancellations, single-field updates with their keys, opening and
// creating index files, and keyed navigation.

#include "data/record_update.h"

#include <string>
#include <vector>

#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/index_maintenance.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "data/reindex.h"
#include "gtest/gtest.h"
#include "platform/file_system.h"

namespace qrole::data {
namespace {

namespace es = engine_status;

class RecordUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.WriteJournalDefinition();
    SetIndexMaintenance(true);
    ASSERT_TRUE(Open().ok());
  }
  platform::Status Open() { return OpenTableFile(2, "TESTT", 1, env_.data_dir(), "01"); }
  Slot& slot() { return GetSlot(2); }
  // Appends a journal line; returns its record number (0 on failure).
  int32_t Append(const std::string& date, const std::string& account, int entry,
                 const std::string& text, const std::string& reference) {
    slot().ClearValues();
    slot().SetRaw(1, date);
    slot().SetText(2, account);
    slot().SetNumber(3, entry);
    slot().SetText(4, text);
    slot().SetRaw(5, "1");
    slot().SetNumber(6, 100.0 + entry);
    slot().SetText(9, reference);
    return AppendRecord(2).ok() ? Globals().engine_record : 0;
  }
  std::string Account() { return slot().TrimmedText(2); }
  void ExpectIndexAgrees() {
    platform::Result<IndexCheck> check = VerifyIndex(2);
    ASSERT_TRUE(check.ok()) << check.status().ToString();
    EXPECT_TRUE(check->ok()) << (check->problems.empty() ? "" : check->problems[0]);
  }

  test::DataTestEnv env_;
};

TEST_F(RecordUpdateTest, AppendNumbersFromOneAndIndexesEveryKey) {
  EXPECT_TRUE(slot().has_index());
  EXPECT_TRUE(platform::NativeFileSystem()->Exists(env_.data_dir() + "/TESTT01.QRC"));
  EXPECT_EQ(Append("B31231", "4300001", 1, "Primera", "R1"), 1);
  EXPECT_EQ(Globals().engine_status, 0);
  // The command: "I\" + slot + "\" + each key, numbers blank padded.
  EXPECT_EQ(Globals().engine_command,
            "I\\2\\B312311       \\4300001   \\R1          \\430000Primera   ");
  EXPECT_EQ(Append("B31231", "5720000", 1, "Segunda", "R2"), 2);
  EXPECT_EQ(Append("B40102", "4300001", 2, "Tercera", "R3"), 3);
  EXPECT_EQ(RecordCount(2).value(), 3);
  ExpectIndexAgrees();
  ASSERT_TRUE(ReadRecord(2, 2).ok());
  EXPECT_EQ(Account(), "5720000");
  EXPECT_EQ(slot().Value(6), "101");
  EXPECT_TRUE(env_.TakeMessages().empty());
}

TEST_F(RecordUpdateTest, AppendNeverReusesARecordTheFileHolds) {
  EXPECT_EQ(Append("B31231", "4300001", 1, "a", "R1"), 1);
  slot().SetText(2, "written by hand");
  ASSERT_TRUE(WriteRecord(2, 5).ok());  // the file now holds 5 records
  EXPECT_EQ(Append("B31231", "4300002", 2, "b", "R2"), 6);
  ASSERT_TRUE(ReadRecord(2, 5).ok());
  EXPECT_EQ(Account(), "written by");
}

TEST_F(RecordUpdateTest, AValueItsFieldCannotHoldWritesNothing) {
  slot().ClearValues();
  slot().SetText(2, "4300001");
  slot().SetRaw(7, "99999");
  EXPECT_TRUE(AppendRecord(2).IsInvalidArgument());
  EXPECT_EQ(RecordCount(2).value(), 0);
  EXPECT_EQ(SendEngineCommand("M\\2"), es::kOk);  // no key, no number given
}

TEST_F(RecordUpdateTest, CancelBlanksTheRecordAndRemovesItsKeys) {
  ASSERT_EQ(Append("B31231", "4300001", 1, "Primera", "R1"), 1);
  ASSERT_EQ(Append("B31231", "5720000", 1, "Segunda", "R2"), 2);
  ASSERT_TRUE(CancelRecord(2, 1).ok());
  EXPECT_EQ(Globals().engine_command.substr(0, 9), "D\\1\\Y\\ 2\\");
  ASSERT_TRUE(ReadRecord(2, 1).ok());
  EXPECT_TRUE(slot().IsCancelled());
  EXPECT_EQ(slot().Value(1), "ANULAD");  // "ANULADO" over the fields that hold it
  EXPECT_EQ(slot().Value(2), "O         ");
  EXPECT_EQ(slot().Value(3), "0");
  EXPECT_EQ(slot().Value(4), std::string(30, ' '));
  EXPECT_EQ(slot().Value(6), "0");
  EXPECT_EQ(slot().Value(17), "0");
  EXPECT_FALSE(SeekEqual(2, 2, "4300001").value());
  EXPECT_FALSE(SeekEqual(2, 3, "R1").value());
  ExpectIndexAgrees();
  // The number is not given again; a second cancellation changes nothing.
  EXPECT_EQ(Append("B31231", "4300001", 3, "Tercera", "R3"), 3);
  ASSERT_TRUE(CancelRecord(2, 1).ok());
  EXPECT_TRUE(env_.TakeMessages().empty());
  EXPECT_TRUE(CancelRecord(2, 0).ok());
  EXPECT_TRUE(CancelRecord(2, -1).ok());
  ASSERT_TRUE(ReadRecord(2, 2).ok());
  EXPECT_EQ(Account(), "5720000");
  ExpectIndexAgrees();
}

TEST_F(RecordUpdateTest, CancelGoesOnWhenTheKeysAreMissing) {
  ASSERT_EQ(Append("B31231", "4300001", 1, "Primera", "R1"), 1);
  ASSERT_TRUE(ReadRecord(2, 1).ok());
  ASSERT_EQ(SendEngineCommand("D\\1\\Y\\ 2" + ComposeKeys(2, 0)), es::kOk);
  ASSERT_TRUE(CancelRecord(2, 1).ok());
  std::vector<platform::MessageBoxRecord> boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "TESTT Error indexados... Reindexar Archivo");
  EXPECT_EQ(boxes[0].icon, platform::MsgIcon::Error);
  ASSERT_TRUE(ReadRecord(2, 1).ok());
  EXPECT_TRUE(slot().IsCancelled());
}

TEST_F(RecordUpdateTest, Status29ReopensTheCatalogueAndRetriesOnce) {
  int reopened = 0;
  SetReopenCatalogueHook([&] {
    ++reopened;
    return Open();
  });
  Engine().CloseFile(2);  // the index file went away under the slot
  EXPECT_EQ(Append("B31231", "4300001", 1, "Primera", "R1"), 1);
  EXPECT_EQ(reopened, 1);
  EXPECT_TRUE(env_.TakeMessages().empty());
  ASSERT_TRUE(ReadRecord(2, 1).ok());  // the values were kept across the reopening
  EXPECT_EQ(slot().TrimmedText(4), "Primera");
  ExpectIndexAgrees();

  // Without the index maintenance flag there is no retry.
  SetIndexMaintenance(false);
  Engine().CloseFile(2);
  EXPECT_EQ(Append("B31231", "4300002", 2, "Segunda", "R2"), 0);
  EXPECT_EQ(Globals().engine_status, es::kFileNotOpen);
  EXPECT_EQ(reopened, 1);
  std::vector<platform::MessageBoxRecord> boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.substr(0, 27), "ERROR INDEXADOS Nº 29 I\\2\\");
  EXPECT_EQ(RecordCount(2).value(), 1);  // nothing written

  // A catalogue that cannot reopen: the append fails with the message.
  SetIndexMaintenance(true);
  SetReopenCatalogueHook([&] { return platform::Status::IOError("gone"); });
  Engine().CloseFile(2);
  EXPECT_EQ(Append("B31231", "4300003", 3, "Tercera", "R3"), 0);
  EXPECT_EQ(env_.TakeMessages().size(), 1u);
}

TEST_F(RecordUpdateTest, UpdateFieldKeepsTheKeysInStep) {
  ASSERT_EQ(Append("B31231", "4300001", 1, "Primera", "R1"), 1);
  ASSERT_EQ(Append("B31231", "5720000", 1, "Segunda", "R2"), 2);
  EXPECT_TRUE(FieldInKey(2, 2));
  EXPECT_FALSE(FieldInKey(2, 6));
  // The account is in indexes 2 and 4: both keys change.
  ASSERT_TRUE(UpdateField(2, 1, 2, "4100009").ok());
  EXPECT_EQ(Globals().engine_command.substr(0, 10), "R\\ 4\\1\\ 2\\");
  EXPECT_FALSE(SeekEqual(2, 2, "4300001").value());
  ASSERT_TRUE(SeekEqual(2, 2, "4100009").value());
  EXPECT_EQ(Globals().engine_record, 1);
  EXPECT_EQ(slot().TrimmedText(4), "Primera");
  // A field in no key is written alone; an element of an array too.
  ASSERT_TRUE(UpdateField(2, 2, 6, "77.5").ok());
  ASSERT_TRUE(UpdateField(2, 2, 13, "12.25").ok());
  ASSERT_TRUE(ReadRecord(2, 2).ok());
  EXPECT_EQ(slot().Value(6), "77.5");
  EXPECT_EQ(slot().Value(13), "12.25");
  EXPECT_EQ(slot().Value(12), "0");
  EXPECT_EQ(Account(), "5720000");
  ExpectIndexAgrees();
  EXPECT_TRUE(UpdateField(2, 0, 2, "x").IsInvalidArgument());
  EXPECT_TRUE(UpdateField(2, 1, 25, "1").IsInvalidArgument());
  // A replace the engine refuses: messages 169 and 170.
  ASSERT_TRUE(ReadRecord(2, 2).ok());
  ASSERT_EQ(SendEngineCommand("D\\2\\Y\\ 2" + ComposeKeys(2, 0)), es::kOk);
  EXPECT_TRUE(UpdateFieldKeys(2, 9, "R9", 2).IsIOError());
  std::vector<platform::MessageBoxRecord> boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text.substr(0, 25), "ERROR INDEXADOS Nº R\\ 3\\");
  EXPECT_EQ(boxes[0].text.substr(boxes[0].text.size() - 2), " 4");
  EXPECT_EQ(boxes[1].text, "Error indexados... Reindexar Archivo TESTT");
}

TEST_F(RecordUpdateTest, NavigatesInKeyOrder) {
  Append("B31231", "5720000", 1, "a", "R1");  // 1
  Append("B31231", "4300001", 2, "b", "R2");  // 2
  Append("B40102", "4300001", 3, "c", "R3");  // 3
  Append("A91231", "6000000", 4, "d", "R4");  // 4
  auto accounts = [&](bool forward) {
    std::vector<std::string> seen;
    platform::Result<bool> r = forward ? MoveFirst(2, 2) : MoveLast(2, 2);
    for (; r.ok() && *r; r = forward ? MoveNext(2) : MovePrevious(2)) {
      seen.push_back(Account() + "/" + std::to_string(Globals().engine_record));
    }
    return seen;
  };
  EXPECT_EQ(accounts(true),
            (std::vector<std::string>{"4300001/2", "4300001/3", "5720000/1", "6000000/4"}));
  EXPECT_EQ(accounts(false),
            (std::vector<std::string>{"6000000/4", "5720000/1", "4300001/3", "4300001/2"}));
  // Exact lookup from composed field values.
  slot().ClearValues();
  slot().SetRaw(1, "B31231");
  slot().SetNumber(3, 2);
  ASSERT_TRUE(SeekEqual(2, 1, ComposeKey(slot(), 1)).value());
  EXPECT_EQ(slot().TrimmedText(4), "b");
  // Range scan: the 2013 entries in date order (index 1: date + number).
  std::vector<int32_t> range;
  for (platform::Result<bool> r = SeekAtLeast(2, 1, "B3"); r.ok() && *r; r = MoveNext(2)) {
    if (slot().Value(1).substr(0, 2) != "B3") break;
    range.push_back(Globals().engine_record);
  }
  EXPECT_EQ(range, (std::vector<int32_t>{1, 2}));
  EXPECT_FALSE(SeekAtLeast(2, 1, "Z").value());  // status 12, then "N\" ends
  EXPECT_EQ(Globals().engine_command, "N\\2");
  // Neighbours of an account.
  ASSERT_TRUE(MoveAfter(2, 2, "4300001").value());
  EXPECT_EQ(Account(), "5720000");
  ASSERT_TRUE(MoveBefore(2, 2, "5720000").value());
  EXPECT_EQ(Account(), "4300001");
  EXPECT_EQ(Globals().engine_record, 3);
  EXPECT_FALSE(MoveBefore(2, 2, "4300001").value());
}

TEST_F(RecordUpdateTest, NextNumberUnderAPrefix) {
  env_.WriteDefinition("IVA01", {{0, 3, "SERIE", 10}, {0, 10, "NUMERO", 12}, {0, 8, "OTRO", 1}},
                       {{1, 3, 1, 8}, {2, 3, 1, 8}, {3, 0, 1, 3, 10}, {3, 0, 1, 10, 12}});
  ASSERT_TRUE(OpenTableFile(4, "IVA01", 1, env_.data_dir(), "01").ok());
  EXPECT_EQ(NextNumberUnderPrefix("A").value(), "0000000001");
  Slot& vat = GetSlot(4);
  for (const auto& [serie, number] : std::vector<std::pair<std::string, std::string>>{
           {"A", "0000000007"}, {"B", "0000000003"}, {"A", "0000000002"}}) {
    vat.ClearValues();
    vat.SetText(1, serie);
    vat.SetText(2, number);
    ASSERT_TRUE(AppendRecord(4).ok());
  }
  EXPECT_EQ(NextNumberUnderPrefix("A").value(), "0000000008");
  EXPECT_EQ(Globals().engine_command, "S\\3\\4\\A  9999999999");
  EXPECT_EQ(NextNumberUnderPrefix("B  ").value(), "0000000004");
  EXPECT_EQ(NextNumberUnderPrefix("C").value(), "0000000001");  // below it: another prefix
  EXPECT_EQ(NextNumberUnderPrefix("0").value(), "0000000001");  // nothing below
}

TEST_F(RecordUpdateTest, AnEmptyRecordFileGetsAFreshIndex) {
  ASSERT_EQ(Append("B31231", "4300001", 1, "a", "R1"), 1);
  CloseAllFiles();
  // The records went (a restored copy), the index stayed.
  ASSERT_TRUE(
      platform::NativeFileSystem()->WriteAllAtomic(env_.data_dir() + "/TESTT01.QRD", "").ok());
  ASSERT_TRUE(Open().ok());
  EXPECT_EQ(SendEngineCommand("M\\2"), es::kOk);
  EXPECT_EQ(Append("B31231", "4300001", 1, "a", "R1"), 1);
  ExpectIndexAgrees();
}

TEST_F(RecordUpdateTest, AnIndexFileThatCannotBeMadeIsReported) {
  CloseAllFiles();
  const std::string qrc = env_.data_dir() + "/TESTT01.QRC";
  platform::FileSystem* fs = platform::NativeFileSystem();
  ASSERT_TRUE(fs->Remove(qrc).ok());
  ASSERT_TRUE(fs->Remove(qrc + "-lock").ok());
  ASSERT_TRUE(fs->CreateDirectory(qrc).ok());  // a directory in its way
  ASSERT_TRUE(fs->WriteAllAtomic(qrc + "/x", "x").ok());
  ASSERT_TRUE(env_.Settings().Write("SOFTWARE\\QRN\\Valdrix\\Settings", "DATOS_DIR", "/datos/"));
  EXPECT_FALSE(Open().ok());
  EXPECT_FALSE(slot().has_index());
  EXPECT_TRUE(slot().is_open());  // the records can still be read
  std::vector<platform::MessageBoxRecord> boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Archivo en uso por otro proceso");
  // The directory exists: the data directory setting is kept.
  EXPECT_EQ(env_.Settings().Read("SOFTWARE\\QRN\\Valdrix\\Settings", "DATOS_DIR"), "/datos/");
}

}  // namespace
}  // namespace qrole::data
