// The table component's changes: appends, edits and deletes kept in step
// with the record code's keys, the record code's slots left alone, long
// contents, values checked on the way in, and the record lock of Edit
// (between two processes: table_component_posix_test.cc).

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "data/blob_store.h"
#include "data/data_errors.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/reindex.h"
#include "data/table_component.h"
#include "data/table_component_test_util.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace qrole::data {
namespace {

using test::AddLine;
using test::ErrorOf;
using test::SampleLines;
using test::Walk;
using Records = std::vector<int32_t>;

constexpr int kSlot = 2;  // the record code's slot the tests use

class TableComponentWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.WriteDefinition("TCJOU", test::ComponentFields(), test::ComponentSegments());
    SetIndexMaintenance(true);
    table_.OpenTable(Path());
    for (const test::Line& line : SampleLines()) AddLine(table_, line);
    table_.SetFilter("");
  }
  std::string Path() const { return env_.data_dir() + "/TCJOU01.qrd"; }
  Slot& OpenSlot() {
    EXPECT_TRUE(OpenTableFile(kSlot, "TCJOU", 1, env_.data_dir(), "01").ok());
    return GetSlot(kSlot);
  }
  // The record found by the record code through index `index` with the
  // values set by `fill`; 0 when none.
  template <class Fill>
  int32_t FindByKey(int index, Fill&& fill) {
    Slot& s = GetSlot(kSlot);
    s.ClearValues();
    fill(s);
    platform::Result<bool> found = SeekEqual(kSlot, index, ComposeKey(s, index));
    EXPECT_TRUE(found.ok());
    return found.ok() && *found ? Globals().engine_record : 0;
  }
  int32_t FindAccount(const std::string& account, const std::string& date) {
    return FindByKey(2, [&](Slot& s) {
      s.SetText(2, account);
      s.SetRaw(1, date);
    });
  }
  int32_t FindReference(const std::string& reference) {
    return FindByKey(4, [&](Slot& s) { s.SetText(10, reference); });
  }
  void ExpectIndexAgrees() {
    platform::Result<IndexCheck> check = VerifyIndex(kSlot);
    ASSERT_TRUE(check.ok()) << check.status().ToString();
    EXPECT_TRUE(check->ok()) << (check->problems.empty() ? "" : check->problems[0]);
  }

  test::DataTestEnv env_;
  TableComponent table_;
};

TEST_F(TableComponentWriteTest, AppendsAreFoundByTheRecordCodeAndTheReverse) {
  Slot& s = OpenSlot();
  EXPECT_EQ(FindAccount("4300003", "C40101"), 3);
  EXPECT_EQ(FindReference("R4"), 6);
  ASSERT_TRUE(ReadRecord(kSlot, 3).ok());
  EXPECT_EQ(s.TrimmedText(4), "Factura dos");
  EXPECT_EQ(s.Number(6), 250.5);
  EXPECT_EQ(Globals().engine_status, 0);

  // A line appended by the record code is seen by the component.
  s.ClearValues();
  s.SetRaw(1, "C40101");
  s.SetText(2, "4300099");
  s.SetText(3, "000009");
  s.SetNumber(6, 12.5);
  s.SetText(10, "RX");
  ASSERT_TRUE(AppendRecord(kSlot).ok());
  const int32_t appended = Globals().engine_record;
  EXPECT_EQ(appended, 9);
  table_.SetFilter("REFERENCIA = RX");
  EXPECT_EQ(table_.RecordNumber(), appended);
  EXPECT_EQ(table_.GetField(6).dbl(), 12.5);
  table_.SetIndex(2);
  table_.Seek("4300099   C40101");
  EXPECT_EQ(table_.RecordNumber(), appended);
  // Numbering goes on from the record code's.
  EXPECT_EQ(AddLine(table_, SampleLines()[0]), 10);
  ExpectIndexAgrees();
}

TEST_F(TableComponentWriteTest, EditReplacesChangedKeysAndWritesOnlyChangedFields) {
  Slot& s = OpenSlot();
  table_.SetFilter("REFERENCIA = R3");
  ASSERT_EQ(table_.RecordNumber(), 5);
  table_.Edit();
#if !defined(_WIN32)
  // A writer that takes no lock changes another field meanwhile (advisory
  // locks let it): Update must not put the old value back.
  s.SetText(28, "escrito aparte");
  ASSERT_TRUE(WriteField(kSlot, 5, 28).ok());
#endif
  table_.SetField(2, 0, "4300555");
  table_.SetField(22, 0, "R3B");
  table_.SetField(12, 4, 7.5);
  table_.Update();
  EXPECT_EQ(Globals().engine_status, 0);
  EXPECT_EQ(table_.LastRecordNumber(), 5);
  EXPECT_EQ(FindAccount("4300555", "C40215"), 5);
  EXPECT_EQ(FindAccount("4300002", "C40215"), 0);
  EXPECT_EQ(FindReference("R3B"), 5);
  EXPECT_EQ(FindReference("R3"), 0);
  ASSERT_TRUE(ReadRecord(kSlot, 5).ok());
  EXPECT_EQ(s.TrimmedText(2), "4300555");
  EXPECT_EQ(s.Number(12 + 4), 7.5);
  EXPECT_EQ(s.TrimmedText(4), "Factura tres");
#if !defined(_WIN32)
  EXPECT_EQ(s.TrimmedText(28), "escrito aparte");
#endif
  ExpectIndexAgrees();
  // The component reads its own change back.
  EXPECT_EQ(table_.GetField(2).str(), "4300555   ");
  table_.SetFilter("CUENTA = 4300555");
  EXPECT_EQ(Walk(table_), Records({5}));
}

TEST_F(TableComponentWriteTest, DeletesCancelAsTheRecordCodeDoes) {
  Slot& s = OpenSlot();
  table_.Delete(5);
  ASSERT_TRUE(ReadRecord(kSlot, 5).ok());
  EXPECT_TRUE(s.IsCancelled());
  EXPECT_EQ(FindReference("R3"), 0);
  table_.SetFilter("");
  EXPECT_EQ(Walk(table_), Records({1, 2, 3, 4, 6, 7, 8}));
  table_.GoToRecord(5);
  EXPECT_EQ(table_.RecordNumber(), 0);

  // Deleting the current record while walking: the walk goes on after it.
  table_.SetFilter("ASIENTO = 000002");
  ASSERT_EQ(table_.RecordNumber(), 3);
  table_.Delete(table_.RecordNumber());
  EXPECT_TRUE(table_.IsEof());
  table_.MoveNext();
  EXPECT_EQ(table_.RecordNumber(), 4);
  EXPECT_EQ(table_.RecordCount(), 1);

  // Every record of a set, and none other.
  table_.SetFilter("FECHA = 31/12/13");
  EXPECT_EQ(table_.RecordCount(), 2);
  table_.Delete(-1);
  EXPECT_TRUE(table_.IsEof());
  EXPECT_EQ(table_.RecordCount(), 0);
  table_.SetFilter("");
  EXPECT_EQ(Walk(table_), Records({4, 6, 7, 8}));
  ExpectIndexAgrees();

  // Numbers are never reused; nothing happens to a cancelled record again.
  EXPECT_EQ(AddLine(table_, SampleLines()[0]), 9);
  table_.Delete(5);
  table_.Delete(0);
  EXPECT_EQ(ErrorOf([&] { table_.Delete(50); }).number(), ObjectError(kTableError));
  EXPECT_EQ(table_.RecordCount(), 5);
  // The whole table.
  table_.SetFilter("");
  table_.Delete(-1);
  EXPECT_EQ(table_.RecordCount(), 0);
  ExpectIndexAgrees();
}

TEST_F(TableComponentWriteTest, LeavesTheRecordCodesSlotsAsTheyWere) {
  OpenSlot();
  // The record code walks its slot in account order.
  ASSERT_TRUE(MoveFirst(kSlot, 2).value());
  EXPECT_EQ(Globals().engine_record, 8);
  ASSERT_TRUE(MoveNext(kSlot).value());
  EXPECT_EQ(Globals().engine_record, 1);
  const Slot::Values before = GetSlot(kSlot).values();

  AddLine(table_, {"C40401", "4300004", "000006", "Nueva", 1, "R6"});
  table_.GoToRecord(3);
  table_.Edit();
  table_.SetField(22, 0, "R2B");
  table_.Update();
  table_.Delete(7);

  EXPECT_EQ(GetSlot(kSlot).values(), before);
  ASSERT_TRUE(MoveNext(kSlot).value());  // the walk goes on where it was
  EXPECT_EQ(Globals().engine_record, 5);
  for (int n = 0; n < kSlotCount; ++n) {
    if (n == kSlot) continue;
    EXPECT_FALSE(GetSlot(n).is_open()) << n;
    EXPECT_FALSE(Engine().IsOpen(n)) << n;
  }

  // With all sixteen slots open, changes are refused and nothing is written.
  for (int n = 0; n < kSlotCount; ++n) {
    ASSERT_TRUE(OpenTableFile(n, "TCJOU", 1, env_.data_dir(), "01").ok());
  }
  const int64_t records = RecordCount(kSlot).value();
  table_.AddNew();
  table_.SetField(2, 0, "4300777");
  EXPECT_EQ(ErrorOf([&] { table_.Update(); }).number(), ObjectError(kTableError));
  EXPECT_EQ(ErrorOf([&] { table_.Delete(1); }).number(), ObjectError(kTableError));
  EXPECT_EQ(RecordCount(kSlot).value(), records);
  ASSERT_TRUE(ReadRecord(kSlot, 1).ok());
  EXPECT_FALSE(GetSlot(kSlot).IsCancelled());
  for (int n = 0; n < kSlotCount; ++n) EXPECT_TRUE(GetSlot(n).is_open()) << n;
}

TEST_F(TableComponentWriteTest, LongContentsAreBinarySafeSurviveReopeningAndGoWithTheRecord) {
  std::string pdf = "%PDF-1.4\n";
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b) pdf.push_back(static_cast<char>(b));
  }
  table_.AddNew();
  table_.SetField(1, 0, "C40101");
  table_.SetFieldBytes(28, 0, pdf);
  table_.Update();
  const int32_t with_pdf = table_.LastRecordNumber();
  table_.AddNew();
  table_.SetField(1, 0, "C40102");
  table_.SetField(28, 0, "texto ñ €");
  table_.Update();
  const int32_t with_text = table_.LastRecordNumber();

  table_.Close();
  table_.OpenTable(Path());
  table_.GoToRecord(with_pdf);
  EXPECT_EQ(table_.GetFieldBytes(28), pdf);
  // As a Variant the bytes are text, and back to the file's bytes losslessly.
  EXPECT_EQ(platform::Utf8ToCp1252(table_.GetField(28).str()), pdf);
  table_.GoToRecord(with_text);
  EXPECT_EQ(table_.GetField(28).str(), "texto ñ €");
  table_.GoToRecord(1);
  EXPECT_EQ(table_.GetFieldBytes(28), "");
  // The record holds none of it.
  EXPECT_EQ(platform::NativeFileSystem()->ReadAll(env_.data_dir() + "/TCJOU01.QRD")->size(),
            static_cast<size_t>(with_text) * 237);

  // Editing other fields keeps the content; setting it replaces it.
  table_.GoToRecord(with_pdf);
  table_.Edit();
  EXPECT_EQ(table_.GetFieldBytes(28), pdf);
  table_.SetField(30, 0, "nota");
  table_.Update();
  EXPECT_EQ(table_.GetFieldBytes(28), pdf);
  table_.Edit();
  table_.SetFieldBytes(28, 0, std::string("a\0b", 3));
  table_.Update();
  EXPECT_EQ(table_.GetFieldBytes(28), std::string("a\0b", 3));

  // Deleting the record, or emptying the field, removes the content's file.
  const BlobStore store(
      BlobFolderFor(platform::NativeFileSystem()->Resolve(env_.data_dir() + "/TCJOU01.QRD")));
  platform::FileSystem* files = platform::NativeFileSystem();
  EXPECT_TRUE(files->Exists(store.ContentPath(with_pdf, 28)));
  table_.Delete(with_pdf);
  EXPECT_FALSE(files->Exists(store.ContentPath(with_pdf, 28)));
  table_.GoToRecord(with_text);
  table_.Edit();
  table_.SetField(28, 0, "");
  table_.Update();
  EXPECT_FALSE(files->Exists(store.ContentPath(with_text, 28)));
  EXPECT_EQ(table_.GetFieldBytes(28), "");
}

TEST_F(TableComponentWriteTest, ValuesAreCheckedAndConvertedOnTheWayIn) {
  table_.AddNew();
  for (const char* date : {"31/12/13", "31/12/2013", "131231", "B31231"}) {
    table_.SetField(1, 0, date);
    EXPECT_EQ(table_.GetField(1).str(), "B31231") << date;
  }
  table_.SetField(1, 0, "");
  EXPECT_EQ(table_.GetField(1).str(), "      ");
  table_.SetField(6, 0, "12,5");
  EXPECT_EQ(table_.GetField(6).dbl(), 12.5);
  table_.SetFieldByPositionOrName("28", "por posición");
  table_.SetFieldByPositionOrName(" asiento (doc) contable ", "000123");
  for (auto bad : std::vector<std::function<void()>>{
           [&] { table_.SetField(1, 0, "31/02/24"); }, [&] { table_.SetField(8, 0, 40000); },
           [&] { table_.SetField(6, 0, "doce"); }, [&] { table_.SetFieldAt(0, 1); },
           [&] { table_.SetFieldByPositionOrName("NOEXISTE", "x"); }}) {
    EXPECT_EQ(ErrorOf(bad).number(), ObjectError(kTableError));
  }
  // A number no Double holds is not stored as 0.
  for (auto overflow : std::vector<std::function<void()>>{
           [&] { table_.SetField(6, 0, Variant::FromDouble(HUGE_VAL)); },
           [&] { table_.SetField(6, 0, Variant::FromDouble(-HUGE_VAL)); },
           [&] { table_.SetField(6, 0, Variant::FromDouble(std::nan(""))); }}) {
    EXPECT_EQ(ErrorOf(overflow).number(), runtime_error::kOverflow);
  }
  EXPECT_EQ(table_.GetField(6).dbl(), 12.5);
  table_.Update();
  const int32_t record = table_.LastRecordNumber();
  EXPECT_EQ(table_.GetField(30).str(), "por posición" + std::string(8, ' '));
  EXPECT_EQ(table_.GetField(11).str(), "000123");
  EXPECT_EQ(table_.GetField(12, 14).dbl(), 0);

  // Changes need AddNew or Edit, and Edit a current record.
  EXPECT_EQ(ErrorOf([&] { table_.SetField(4, 0, "x"); }).number(), ObjectError(kTableError));
  EXPECT_EQ(ErrorOf([&] { table_.Update(); }).number(), ObjectError(kTableError));
  table_.GoToRecord(0);
  EXPECT_EQ(ErrorOf([&] { table_.Edit(); }).number(), ObjectError(kTableError));
  // CancelUpdate drops a pending append.
  table_.AddNew();
  table_.SetField(2, 0, "4309999");
  table_.CancelUpdate();
  table_.SetFilter("");
  EXPECT_EQ(table_.RecordCount(), record);
}

TEST_F(TableComponentWriteTest, EditHoldsTheRecordLockUntilUpdate) {
  OpenSlot();
  table_.GoToRecord(3);
  table_.Edit();
  // The record code cannot lock the record meanwhile; another record is free.
  EXPECT_EQ(ErrorOf([&] { LockRecord(kSlot, 3).IgnoreError(); }).number(),
            ObjectError(kFileInUseError));
  ASSERT_TRUE(LockRecord(kSlot, 4).ok());
  ASSERT_TRUE(UnlockRecord(kSlot, 4).ok());
  // Nor can another component.
  TableComponent other;
  other.OpenTable(Path());
  other.GoToRecord(3);
  EXPECT_EQ(ErrorOf([&] { other.Edit(); }).number(), ObjectError(kFileInUseError));
  table_.SetField(6, 0, 1.0);
  table_.Update();
  ASSERT_TRUE(LockRecord(kSlot, 3).ok());
  ASSERT_TRUE(UnlockRecord(kSlot, 3).ok());
  // A move, or CancelUpdate, releases it too.
  table_.Edit();
  table_.MoveNext();
  other.Edit();
  other.CancelUpdate();
  table_.GoToRecord(3);
  table_.Edit();
  table_.Close();
  other.Edit();
  other.Update();
  env_.TakeMessages();
}

TEST_F(TableComponentWriteTest, AMissingIndexIsRebuiltFromTheRecords) {
  table_.Close();
  platform::FileSystem* files = platform::NativeFileSystem();
  ASSERT_TRUE(files->Remove(files->Resolve(env_.data_dir() + "/TCJOU01.QRC")).ok());
  table_.OpenTable(Path());
  table_.SetFilter("CUENTA = 4300002");
  EXPECT_EQ(Walk(table_), Records({5}));
  OpenSlot();
  ExpectIndexAgrees();
}

}  // namespace
}  // namespace qrole::data
