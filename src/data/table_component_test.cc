// The table component's reading side: opening, filters, orders, seeks, moves
// and field values.

#include "data/table_component.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "data/globals.h"
#include "data/table_component_test_util.h"
#include "platform/file_system_wrapper.h"
#include "platform/text_encoding.h"

namespace qrole::data {
namespace {

using test::AddLine;
using test::ErrorOf;
using test::SampleLines;
using test::Walk;
using Records = std::vector<int32_t>;

// Counts the bytes read from record files (".QRD").
class CountingFileSystem : public platform::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;

  platform::Result<std::unique_ptr<platform::File>> Open(const std::string& path,
                                                         platform::OpenMode mode) override {
    platform::Result<std::unique_ptr<platform::File>> file = target()->Open(path, mode);
    if (!file.ok() || !platform::EqualsIgnoreCase(path.substr(path.size() - 4), ".QRD")) {
      return file;
    }
    return std::unique_ptr<platform::File>(new CountingFile(std::move(*file), &bytes_read_));
  }
  uint64_t TakeBytesRead() { return std::exchange(bytes_read_, 0); }

 private:
  class CountingFile : public platform::FileWrapper {
   public:
    CountingFile(std::unique_ptr<platform::File> file, uint64_t* count)
        : FileWrapper(std::move(file)), count_(count) {}
    platform::Status ReadAt(uint64_t offset, size_t n, std::string* out) override {
      platform::Status status = FileWrapper::ReadAt(offset, n, out);
      *count_ += out->size();
      return status;
    }

   private:
    uint64_t* count_;
  };
  uint64_t bytes_read_ = 0;
};

class TableComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.WriteDefinition("TCJOU", test::ComponentFields(), test::ComponentSegments());
    SetIndexMaintenance(true);
  }
  std::string Path() const { return env_.data_dir() + "/TCJOU01.qrd"; }
  // Opens the table and appends the sample lines (records 1 to 8).
  void OpenWithSample() {
    table_.OpenTable(Path());
    for (const test::Line& line : SampleLines()) AddLine(table_, line);
    table_.SetFilter("");
  }
  Records Filtered(std::string_view condition) {
    table_.SetFilter(condition);
    const Records walked = Walk(table_);
    EXPECT_EQ(table_.RecordCount(), static_cast<int32_t>(walked.size())) << condition;
    return walked;
  }
  std::string Text(int code, int element = 0) { return table_.GetField(code, element).str(); }

  test::DataTestEnv env_;
  TableComponent table_;
};

TEST_F(TableComponentTest, OpensByPathInAnyFormAndRefusesWhatItCannot) {
  OpenWithSample();
  table_.Close();
  EXPECT_FALSE(table_.IsOpen());
  // Separators and letter case do not matter; the first record is current.
  std::string windows = env_.data_dir() + "\\tcjou01.QRD";
  table_.OpenTable(windows);
  EXPECT_EQ(table_.RecordNumber(), 1);
  EXPECT_EQ(table_.RecordCount(), 8);
  EXPECT_EQ(table_.FieldCount(), test::kComponentPositions + 1);
  // A table whose definition carries its number ("Datgl00").
  env_.WriteDefinition("GLOBL00", {{0, 18, "NIF", 3}, {0, 40, "NOMBRE", 4}}, {{1, 1, 1, 18}});
  TableComponent global;
  global.OpenTable(env_.data_dir() + "/GLOBL00.QRD");
  EXPECT_TRUE(global.IsEof());
  EXPECT_EQ(global.FieldCount(), 3);

  for (const std::string& bad : {env_.data_dir() + "/NODEF01.qrd", std::string("TCJOU01.qrd"),
                                 env_.data_dir() + "/missing/TCJOU01.qrd"}) {
    const AutomationError e = ErrorOf([&] { global.OpenTable(bad); });
    EXPECT_EQ(e.number(), ObjectError(kTableError)) << bad;
    EXPECT_EQ(e.source(), kServerSource);
    EXPECT_FALSE(global.IsOpen());
  }
  EXPECT_EQ(ErrorOf([&] { global.MoveFirst(); }).number(), ObjectError(kTableError));
}

TEST_F(TableComponentTest, FiltersWithEveryOperatorInAnyCase) {
  OpenWithSample();
  EXPECT_EQ(Filtered("CUENTA = 4300001"), Records({1}));
  EXPECT_EQ(Filtered("cuenta=4300001  "), Records({1}));
  EXPECT_EQ(Filtered("Cuenta >= 4770001"), Records({4, 2, 7}));
  EXPECT_EQ(Filtered("CUENTA=> 4770001 and CUENTA =< 5720001"), Records({4, 2}));
  EXPECT_EQ(Filtered("CUENTA <= 4000001"), Records({8}));
  EXPECT_EQ(Filtered("Cuenta like 430*"), Records({1, 5, 3, 6}));
  EXPECT_EQ(Filtered("DESCRIPCION LIKE *ctura*"), Records({1, 3, 5}));
  EXPECT_EQ(Filtered("ASIENTO = 000002 AND TIPO = 1"), Records({3, 4}));
  EXPECT_EQ(Filtered("IMPORTE >= 75"), Records({1, 3, 5}));
  EXPECT_EQ(Filtered("ABS(IMPORTE)= 100"), Records({1, 2}));
  EXPECT_EQ(Filtered("ABS(IMPORTE) <= 33,3"), Records({6, 7, 8}));
  EXPECT_EQ(Filtered("REFERENCIA = "), Records({7, 8}));
  EXPECT_EQ(Filtered("REFERENCIA = R9"), Records({}));
  EXPECT_TRUE(table_.IsEof());
  EXPECT_EQ(table_.RecordNumber(), 0);
  EXPECT_EQ(Filtered(""), Records({1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(TableComponentTest, DateConditionsTakeEveryFormAndCompareInDateOrder) {
  OpenWithSample();
  for (const char* form : {"01/01/24", "1/1/24", "01/01/2024", "240101", "C40101"}) {
    EXPECT_EQ(Filtered(std::string("FECHA = ") + form), Records({3, 4})) << form;
  }
  // The 1999 line comes before every line of the 2000s.
  EXPECT_EQ(Filtered("FECHA <= 31/12/2013"), Records({6, 1, 2}));
  EXPECT_EQ(Filtered("FECHA => 15/02/2024"), Records({5, 7, 8}));
  EXPECT_EQ(Filtered("FECHA >= 01/01/1999 and FECHA <= 131231"), Records({6, 1, 2}));
  EXPECT_EQ(Filtered("Fecha=31/12/13 and Asiento=000001"), Records({1, 2}));
}

TEST_F(TableComponentTest, RefusesBadConditionsWithAClearError) {
  OpenWithSample();
  table_.SetFilter("TIPO = 2");
  for (const char* bad :
       {"NOEXISTE = 1", "CUENTA <> 4300001", "FECHA = 31/13/24", "IMPORTE = cien",
        "ABS(CUENTA) = 1", "CUENTA = 1 AND ASIENTO CONTABLE = 3", "DOCUMENTO ADJUNTO = x"}) {
    const AutomationError e = ErrorOf([&] { table_.SetFilter(bad); });
    EXPECT_EQ(e.number(), ObjectError(kConditionError)) << bad;
    EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C3F0u));
    EXPECT_EQ(e.source(), kServerSource);
    EXPECT_NE(e.description().find(bad), std::string::npos) << e.description();
    // The set in force is kept.
    EXPECT_EQ(table_.RecordCount(), 2);
  }
  EXPECT_EQ(ErrorOf([&] { table_.SetOrder("NOEXISTE"); }).number(), ObjectError(kConditionError));
}

TEST_F(TableComponentTest, IndexedConditionsReadOnlyTheRecordsTheyName) {
  CountingFileSystem counting(platform::NativeFileSystem());
  env_.UseFileSystem(&counting);
  table_.OpenTable(Path());
  for (int i = 0; i < 300; ++i) {
    char account[16], entry[8];
    std::snprintf(account, sizeof account, "43%05d", i);
    std::snprintf(entry, sizeof entry, "%06d", i / 3);
    AddLine(table_, {i % 2 ? "C40101" : "C40102", account, entry, "Linea " + std::to_string(i),
                     static_cast<double>(i), "REF" + std::to_string(i)});
  }
  const uint64_t record = 6 + 10 + 6 + 30 + 1 + 8 + 4 + 2 + 4 + 20 + 6 + 15 * 8 + 20;
  const uint64_t file = 300 * record;
  counting.TakeBytesRead();
  struct Case {
    const char* condition;
    size_t matches;
  };
  for (const Case& c :
       {Case{"CUENTA = 4300150", 1}, Case{"REFERENCIA = REF7", 1}, Case{"ASIENTO = 000010", 3},
        Case{"FECHA = 02/01/24 AND ASIENTO = 000010", 2}, Case{"CUENTA like 430010*", 10},
        Case{"CUENTA >= 4300295", 5}}) {
    table_.SetFilter(c.condition);
    EXPECT_EQ(table_.RecordCount(), static_cast<int32_t>(c.matches)) << c.condition;
    EXPECT_LE(counting.TakeBytesRead(), (c.matches + 1) * record) << c.condition;
  }
  // Without an index on the field, the whole file is read.
  table_.SetFilter("DESCRIPCION = Linea 150");
  EXPECT_EQ(table_.RecordCount(), 1);
  EXPECT_GE(counting.TakeBytesRead(), file);
  table_.Close();
  env_.UseFileSystem(nullptr);
}

TEST_F(TableComponentTest, KeysOfNumbersAndDatesAreComposedAsTheRecordCodeDoes) {
  // An index whose first segment is a number, another whose first is a date.
  env_.WriteDefinition("TCNUM", {{4, 0, "NUMERO", 1}, {5, 6, "FECHA", 2}, {2, 0, "TIPO", 3}},
                       {{1, 1, 1, 8}, {2, 2, 1, 6}, {3, 3, 1, 8}});
  table_.OpenTable(env_.data_dir() + "/TCNUM01.QRD");
  for (int i = 0; i < 6; ++i) {
    table_.AddNew();
    table_.SetField(1, 0, i * 7 - 14);
    table_.SetField(2, 0, i % 2 ? "31/12/99" : "1/1/2000");
    table_.SetField(3, 0, i * 0.1);
    table_.Update();
  }
  EXPECT_EQ(Filtered("NUMERO = 14"), Records({5}));
  EXPECT_EQ(Filtered("NUMERO = 14.0"), Records({5}));
  EXPECT_EQ(Filtered("NUMERO = -14"), Records({1}));
  EXPECT_EQ(Filtered("NUMERO = 14,5"), Records({}));
  EXPECT_EQ(Filtered("TIPO = 0.3"), Records({4}));
  EXPECT_EQ(Filtered("FECHA = 991231"), Records({2, 4, 6}));
  EXPECT_EQ(Filtered("FECHA >= 01/01/2000"), Records({1, 3, 5}));
  table_.SetIndex(1);
  table_.Seek("21");
  EXPECT_EQ(table_.RecordNumber(), 6);
}

TEST_F(TableComponentTest, OrdersTheSet) {
  OpenWithSample();
  table_.SetOrder("importe");
  EXPECT_EQ(Walk(table_), Records({2, 7, 6, 8, 4, 5, 1, 3}));
  table_.MoveLast();
  EXPECT_EQ(table_.RecordNumber(), 3);
  table_.MovePrevious();
  EXPECT_EQ(table_.RecordNumber(), 1);
  // Dates in date order, equal dates in set order.
  table_.SetFilter("TIPO = 1");
  table_.SetOrder("Fecha");
  EXPECT_EQ(Walk(table_), Records({6, 1, 3, 4, 5, 8}));
  table_.SetOrder("CUENTA");
  EXPECT_EQ(Walk(table_), Records({8, 1, 5, 3, 6, 4}));
  table_.SetOrder("");
  EXPECT_EQ(Walk(table_), Records({1, 3, 4, 5, 6, 8}));
  // Without an order, an index-answered set comes in key order: the last
  // account of a pattern is the highest code, whatever the append order.
  table_.SetFilter("Cuenta like 430*");
  table_.MoveLast();
  EXPECT_EQ(Text(2), "4300010   ");
  table_.MoveNext();
  EXPECT_TRUE(table_.IsEof());
}

TEST_F(TableComponentTest, SumsAFieldOverTheSet) {
  OpenWithSample();
  EXPECT_DOUBLE_EQ(table_.SumField("IMPORTE"), 388.1);
  table_.SetFilter("ASIENTO = 000002");
  EXPECT_DOUBLE_EQ(table_.SumField("importe"), 303.1);
  table_.SetFilter("ASIENTO = 000009");
  EXPECT_EQ(table_.SumField("IMPORTE"), 0);
  EXPECT_EQ(ErrorOf([&] { table_.SumField("FECHA"); }).number(), ObjectError(kTableError));
  EXPECT_EQ(ErrorOf([&] { table_.SumField("NOEXISTE"); }).number(), ObjectError(kTableError));
}

TEST_F(TableComponentTest, SeeksByKeyAndGoesToRecords) {
  OpenWithSample();
  table_.SetIndex(4);
  table_.Seek("R3");
  EXPECT_EQ(table_.RecordNumber(), 5);
  table_.Seek("R2");  // the first record of the key
  EXPECT_EQ(table_.RecordNumber(), 3);
  table_.MoveNext();  // moves go on from the record's place in the set
  EXPECT_EQ(table_.RecordNumber(), 4);
  table_.Seek("R77");
  EXPECT_EQ(table_.RecordNumber(), 0);
  EXPECT_TRUE(table_.IsEof());
  table_.SetIndex(1);
  table_.Seek("C40301000005");
  EXPECT_EQ(table_.RecordNumber(), 7);
  EXPECT_EQ(ErrorOf([&] { table_.SetIndex(5); }).number(), ObjectError(kTableError));

  table_.SetFilter("TIPO = 2");
  table_.GoToRecord(3);  // not in the set: it is current, and moves end there
  EXPECT_EQ(table_.RecordNumber(), 3);
  EXPECT_EQ(Text(2), "4300003   ");
  table_.MoveNext();
  EXPECT_TRUE(table_.IsEof());
  for (int32_t missing : {0, -1, 9, 1000}) {
    table_.GoToRecord(missing);
    EXPECT_EQ(table_.RecordNumber(), 0) << missing;
  }
  EXPECT_EQ(table_.LastRecordNumber(), 8);
}

TEST_F(TableComponentTest, ReadsFieldsByCodeNameAndPosition) {
  OpenWithSample();
  table_.AddNew();
  table_.SetField(1, 0, "B40228");
  table_.SetField(7, 0, 21.0);
  table_.SetField(8, 0, -3);
  table_.SetField(9, 0, 123456789);
  for (int e = 0; e < 15; ++e) table_.SetField(12, e, e * 1.5);
  table_.SetField(30, 0, "nota");
  table_.Update();
  table_.GoToRecord(table_.LastRecordNumber());
  EXPECT_EQ(table_.GetField(7).type(), VarType::kSingle);
  EXPECT_EQ(table_.GetField(7).single(), 21.0f);
  EXPECT_EQ(table_.GetField(8).type(), VarType::kInteger);
  EXPECT_EQ(table_.GetField(8).integer(), -3);
  EXPECT_EQ(table_.GetField(9).long_value(), 123456789);
  EXPECT_EQ(table_.GetField(6).type(), VarType::kDouble);
  EXPECT_EQ(Text(1), "B40228");
  EXPECT_EQ(Text(30), "nota" + std::string(16, ' '));
  for (int e = 0; e < 15; ++e) EXPECT_EQ(table_.GetField(12, e).dbl(), e * 1.5) << e;
  EXPECT_EQ(table_.GetFieldByName("periodos", 14).dbl(), 21.0);
  EXPECT_EQ(table_.GetFieldByName("Notas").str(), Text(30));
  // Positions: the periods take 12 to 26, the notes 28; 0 is the record number.
  EXPECT_EQ(table_.GetFieldAt(0).long_value(), 9);
  EXPECT_EQ(table_.GetFieldAt(13).dbl(), 1.5);
  EXPECT_EQ(table_.GetFieldAt(28).str(), Text(30));
  EXPECT_EQ(table_.GetFieldBytes(8), "-3");

  for (auto bad : std::vector<std::function<void()>>{
           [&] { table_.GetField(12, 15); }, [&] { table_.GetField(2, 1); },
           [&] { table_.GetField(99); }, [&] { table_.GetFieldByName("NOEXISTE"); },
           [&] { table_.GetFieldAt(test::kComponentPositions + 1); }}) {
    EXPECT_EQ(ErrorOf(bad).number(), ObjectError(kTableError));
  }
  // With no current record, fields read empty.
  table_.SetFilter("CUENTA = 9");
  EXPECT_EQ(Text(2), "");
  EXPECT_EQ(table_.GetField(6).dbl(), 0);
}

TEST_F(TableComponentTest, TextIsConvertedAtTheFileAndCutInFileBytes) {
  table_.OpenTable(Path());
  AddLine(table_, {"B31231", "4300001", "000001", "Año € ñandú", 1, "Núñez"});
  const std::string long_text(40, 'x');
  table_.AddNew();
  table_.SetField(4, 0, "é" + long_text);  // 41 characters, 30 bytes fit
  table_.Update();
  platform::Result<std::string> file = platform::NativeFileSystem()->ReadAll(
      platform::NativeFileSystem()->Resolve(env_.data_dir() + "/TCJOU01.QRD"));
  ASSERT_TRUE(file.ok());
  EXPECT_NE(file->find(platform::Utf8ToCp1252("Año € ñandú")), std::string::npos);
  table_.SetFilter("DESCRIPCION = Año € ñandú");
  EXPECT_EQ(table_.RecordNumber(), 1);
  EXPECT_EQ(Text(22), "Núñez" + std::string(15, ' '));
  table_.GoToRecord(2);
  EXPECT_EQ(Text(4), "é" + long_text.substr(0, 29));
}

}  // namespace
}  // namespace qrole::data
