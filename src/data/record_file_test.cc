// Opening tables into slots, reading and writing records and fields, record
// locks, and the field value helpers.

#include "data/record_file.h"

#include <string>

#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/number_codec.h"
#include "data/slot.h"
#include "gtest/gtest.h"
#include "platform/file_system.h"

namespace qrole::data {
namespace {

class RecordFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.WriteJournalDefinition();
    ASSERT_TRUE(OpenTableFile(2, "TESTT", 0, env_.data_dir(), "01").ok());
  }
  Slot& slot() { return GetSlot(2); }
  std::string DataFile() {
    platform::Result<std::string> bytes =
        platform::NativeFileSystem()->ReadAll(env_.data_dir() + "/TESTT01.QRD");
    return bytes.ok() ? *bytes : "<missing>";
  }
  void FillSample() {
    slot().SetRaw(1, "B31231");
    slot().SetText(2, "4300001");
    slot().SetNumber(3, 17);
    slot().SetText(4, "Factura nº 12 de Núñez");
    slot().SetRaw(5, "1");
    slot().SetNumber(6, 1234.56);
    slot().SetRaw(7, "-3");
    slot().SetRaw(8, "0.25");
    slot().SetText(9, "REF-1");
    for (int e = 0; e < 15; ++e) slot().SetNumber(10 + e, e * 1.5);
  }

  test::DataTestEnv env_;
};

TEST_F(RecordFileTest, OpeningFillsTheSlotTables) {
  const Slot& s = slot();
  EXPECT_TRUE(s.is_open());
  EXPECT_EQ(s.num_fields(), 24);
  EXPECT_EQ(s.record_length(), 6 + 10 + 4 + 30 + 1 + 8 + 2 + 4 + 120 + 12);
  EXPECT_EQ(s.table_name(), "TESTT");
  EXPECT_EQ(s.field_start(25), s.record_length());
  EXPECT_EQ(s.Value(2), std::string(10, ' '));  // every value blank after opening
  EXPECT_EQ(s.Value(24), std::string(8, ' '));
  EXPECT_EQ(s.layout().index_count, 4);
  EXPECT_FALSE(s.has_index());
  EXPECT_TRUE(platform::NativeFileSystem()->Exists(env_.data_dir() + "/TESTT01.QRD"));
  // Reopening a slot replaces what it held.
  env_.WriteDefinition("OTHER", {{0, 3, "X", 1}}, {});
  ASSERT_TRUE(OpenTableFile(2, "OTHER", 0, env_.data_dir(), "01").ok());
  EXPECT_EQ(slot().num_fields(), 1);
  CloseTableFile(2);
  EXPECT_FALSE(slot().is_open());
  EXPECT_TRUE(ReadRecord(2, 1).IsInvalidArgument());
  EXPECT_TRUE(ReadRecord(16, 1).IsInvalidArgument());
}

TEST_F(RecordFileTest, FindsFilesWhateverTheCaseAndSeparator) {
  // A 197-byte text field: the length hundreds of the definition entry.
  env_.WriteDefinition("EXTRA", {{0, 197, "LINEA", 1}}, {});
  ASSERT_TRUE(platform::NativeFileSystem()
                  ->WriteAllAtomic(env_.data_dir() + "/extra07.qrd", std::string(197, 'z'))
                  .ok());
  std::string dir = env_.data_dir();
  for (char& c : dir) {
    if (c == '/') c = '\\';
  }
  ASSERT_TRUE(OpenTableFile(3, "Extra", 0, dir, "07").ok());
  EXPECT_EQ(GetSlot(3).data_path(), env_.data_dir() + "/extra07.qrd");
  EXPECT_EQ(RecordCount(3).value(), 1);
  EXPECT_EQ(CompanyFilePath(env_.data_dir() + "/", "EXTRA", "07", ".QRD"),
            env_.data_dir() + "/extra07.qrd");
}

TEST_F(RecordFileTest, AMissingDefinitionLeavesTheSlotClosed) {
  EXPECT_TRUE(OpenTableFile(3, "NOPE", 1, env_.data_dir(), "01").IsNotFound());
  EXPECT_FALSE(GetSlot(3).is_open());
  std::vector<platform::MessageBoxRecord> boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "TABLA NOPE inexistente");
  EXPECT_EQ(boxes[0].icon, platform::MsgIcon::Error);
  // An empty definition: the same, and the file is neither deleted nor made.
  ASSERT_TRUE(
      platform::NativeFileSystem()->WriteAllAtomic(env_.program_dir() + "/EMPTY.QRA", "").ok());
  EXPECT_TRUE(OpenTableFile(3, "EMPTY", 1, env_.data_dir(), "01").IsCorruption());
  EXPECT_EQ(env_.TakeMessages().size(), 1u);
  EXPECT_TRUE(platform::NativeFileSystem()->Exists(env_.program_dir() + "/EMPTY.QRA"));
  EXPECT_FALSE(platform::NativeFileSystem()->Exists(env_.program_dir() + "/NOPE.QRA"));
}

TEST_F(RecordFileTest, WritesAndReadsEveryType) {
  FillSample();
  ASSERT_TRUE(WriteRecord(2, 2).ok());
  const std::string file = DataFile();
  ASSERT_EQ(file.size(), 2u * static_cast<size_t>(slot().record_length()));
  // Record 1 was never written: zero bytes. Record 2 starts at RecordLength.
  EXPECT_EQ(file.substr(0, 6), std::string(6, '\0'));
  EXPECT_EQ(file.substr(static_cast<size_t>(slot().record_length()), 16), "B312314300001   ");
  slot().ClearValues();
  ASSERT_TRUE(ReadRecord(2, 2).ok());
  EXPECT_EQ(slot().Value(1), "B31231");
  EXPECT_EQ(slot().Value(2), "4300001   ");
  EXPECT_EQ(slot().Value(3), "17");
  EXPECT_EQ(slot().Text(4), "Factura nº 12 de Núñez        ");
  EXPECT_EQ(slot().Value(4).size(), 30u);  // bytes of the file, not of UTF-8
  EXPECT_EQ(slot().TrimmedText(4), "Factura nº 12 de Núñez");
  EXPECT_EQ(slot().Value(6), "1234.56");
  EXPECT_EQ(slot().Value(7), "-3");
  EXPECT_EQ(slot().Value(8), ".25");
  EXPECT_EQ(slot().Value(10), "0");
  EXPECT_EQ(slot().Value(11), "1.5");
  EXPECT_EQ(slot().Number(24), 21);
  EXPECT_EQ(slot().TrimmedText(9), "REF-1");
  EXPECT_FALSE(slot().IsCancelled());
  // Record 0 is ignored; a record past the end reads as zeros.
  slot().SetRaw(2, "unchanged");
  EXPECT_TRUE(ReadRecord(2, 0).ok());
  EXPECT_EQ(slot().TrimmedText(2), "unchanged");
  EXPECT_TRUE(ReadRecord(2, 9).IsNotFound());
  EXPECT_EQ(slot().Value(3), "0");
}

TEST_F(RecordFileTest, TextValuesAreCutAndPaddedInFileBytes) {
  slot().SetText(5, "ñandú");  // one byte wide: "ñ" is one byte of the file
  EXPECT_EQ(slot().Value(5), "\xF1");
  EXPECT_EQ(slot().Text(5), "ñ");
  slot().SetText(2, "€ 12345678901");  // the euro sign is one byte too
  EXPECT_EQ(slot().Value(2), "\x80 12345678");
  slot().SetText(2, "日本");  // characters the file cannot hold
  EXPECT_EQ(slot().TrimmedText(2), "??");
  slot().SetRaw(2, "abc");
  EXPECT_EQ(slot().Value(2), "abc       ");
  slot().SetRaw(3, "12");  // numbers keep their text
  EXPECT_EQ(slot().Value(3), "12");
  // A text value set short by hand is still written at its full width.
  slot().MutableValue(4) = "short";
  slot().MutableValue(9) = "a reference longer than twelve";
  ASSERT_TRUE(WriteRecord(2, 1).ok());
  ASSERT_TRUE(ReadRecord(2, 1).ok());
  EXPECT_EQ(slot().Value(4), "short" + std::string(25, ' '));
  EXPECT_EQ(slot().Value(9), "a reference ");
}

TEST_F(RecordFileTest, RefusesValuesAndRecordsItCannotWrite) {
  FillSample();
  ASSERT_TRUE(WriteRecord(2, 1).ok());
  const std::string before = DataFile();
  slot().SetRaw(7, "40000");  // beyond a 16-bit integer
  EXPECT_TRUE(WriteRecord(2, 1).IsInvalidArgument());
  EXPECT_EQ(DataFile(), before);  // nothing written
  slot().SetRaw(7, "1");
  EXPECT_TRUE(WriteRecord(2, 0).IsInvalidArgument());
  EXPECT_TRUE(WriteRecord(2, -4).IsInvalidArgument());
  EXPECT_EQ(DataFile(), before);
}

TEST_F(RecordFileTest, ReadsSingleFieldsAndFirstFields) {
  FillSample();
  ASSERT_TRUE(WriteRecord(2, 3).ok());
  EXPECT_EQ(ReadFieldText(2, 3, 2).value(), "4300001   ");
  EXPECT_EQ(ReadFieldText(2, 3, 4).value().size(), 30u);
  EXPECT_EQ(ReadDoubleField(2, 3, 6).value(), 1234.56);
  EXPECT_EQ(ReadDoubleField(2, 3, 14).value(), 6.0);  // element 4 of the array
  EXPECT_TRUE(ReadDoubleField(2, 3, 25).status().IsInvalidArgument());
  EXPECT_TRUE(ReadDoubleField(2, 3, 3).status().IsInvalidArgument());  // 4-byte field
  ASSERT_TRUE(WriteDoubleField(2, 3, 14, -7.25).ok());
  EXPECT_EQ(ReadDoubleField(2, 3, 14).value(), -7.25);
  EXPECT_EQ(ReadDoubleField(2, 3, 13).value(), 4.5);  // its neighbours kept
  EXPECT_EQ(ReadDoubleField(2, 3, 15).value(), 7.5);
  // Record 0: "Registro Inválido" and the empty text, without the file.
  EXPECT_EQ(ReadFieldText(2, 0, 2).value(), "");
  std::vector<platform::MessageBoxRecord> boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Registro Inválido");
  // First fields: raw bytes, undecoded.
  ASSERT_TRUE(ReadFirstFields(2, 3).ok());
  EXPECT_EQ(slot().Value(3), std::string("\x11\0\0\0", 4));
  EXPECT_EQ(slot().Value(2), "4300001   ");
  // One field written alone.
  slot().SetText(4, "nuevo");
  ASSERT_TRUE(WriteField(2, 3, 4).ok());
  ASSERT_TRUE(ReadRecord(2, 3).ok());
  EXPECT_EQ(slot().TrimmedText(4), "nuevo");
  EXPECT_EQ(slot().Value(6), "1234.56");
}

TEST_F(RecordFileTest, LocksExactlyTheBytesOfTheFields) {
  FillSample();
  ASSERT_TRUE(WriteRecord(2, 2).ok());
  ASSERT_TRUE(WriteRecord(2, 3).ok());
  ASSERT_TRUE(LockRecord(2, 2, 2, 4).ok());  // fields 2 to 4 of record 2
  platform::Result<std::unique_ptr<platform::File>> other =
      platform::NativeFileSystem()->Open(slot().data_path(), platform::OpenMode::ReadWrite);
  ASSERT_TRUE(other.ok());
  const uint64_t record = static_cast<uint64_t>(slot().record_length());
  const uint64_t first = record + 6;              // field 2 starts after the date
  const uint64_t end = record + 6 + 10 + 4 + 30;  // field 5 starts here
  EXPECT_TRUE((*other)->LockRange(first - 1, 1, true).ok());
  EXPECT_TRUE((*other)->LockRange(first, 1, true).IsBusy());
  EXPECT_TRUE((*other)->LockRange(end - 1, 1, true).IsBusy());
  EXPECT_TRUE((*other)->LockRange(end, 1, true).ok());
  ASSERT_TRUE(UnlockRecord(2, 2, 2, 4).ok());
  EXPECT_TRUE((*other)->LockRange(first, end - first, true).ok());
  ASSERT_TRUE((*other)->UnlockWhole().ok());
  // The whole record by default.
  ASSERT_TRUE(LockRecord(2, 3).ok());
  EXPECT_TRUE((*other)->LockRange(2 * record - 1, 1, true).ok());
  EXPECT_TRUE((*other)->LockRange(2 * record, 1, true).IsBusy());
  EXPECT_TRUE((*other)->LockRange(3 * record - 1, 1, true).IsBusy());
  EXPECT_TRUE((*other)->LockRange(3 * record, 1, true).ok());
  ASSERT_TRUE(UnlockRecord(2, 3).ok());
  EXPECT_TRUE(LockRecord(2, 0).IsInvalidArgument());
  EXPECT_TRUE(LockRecord(2, 1, 4, 2).IsInvalidArgument());
  EXPECT_TRUE(LockRecord(2, 1, 1, 25).IsInvalidArgument());
}

}  // namespace
}  // namespace qrole::data
