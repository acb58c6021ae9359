// The company's tables and the table component's handles stay open between
// calls: what another process writes meanwhile is seen through them, a file
// replaced under them is opened afresh, and an operation that is dropped
// leaves no size of its own behind.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "automation/convert.h"
#include "data/company_tables.h"
#include "data/currency_table.h"
#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/table_component.h"
#include "data/table_source.h"
#include "data/transaction.h"
#include "data/transaction_internal.h"
#include "platform/file_identity.h"

namespace qrole::data {
namespace {

constexpr int kJournal = 2;

std::string SourceText(const std::string& rel) {
  std::ifstream in(std::string(QROLE_SOURCE_DIR) + "/src/data/" + rel);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `body` in a child process (another program writing the company's
// files) and waits for it; true when it succeeded.
template <class F>
bool InAnotherProcess(F&& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body() ? 0 : 1);
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

// Writes `bytes` at `offset` of `path` through a descriptor of its own.
bool WriteRaw(const std::string& path, uint64_t offset, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDWR);
  if (fd < 0) return false;
  const bool ok = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
                  static_cast<ssize_t>(bytes.size());
  return ::close(fd) == 0 && ok;
}

class KeptTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::KeepFilesOpenBetweenCalls());
    auto tables = ParseTableSource(SourceText("tables/tables.txt"));
    ASSERT_TRUE(tables.ok());
    for (const TableSource& t : *tables)
      std::ofstream(env_.program_dir() + "/" + t.name + ".QRA", std::ios::binary)
          << EncodeDefinition(t);
    const std::string conceptos = env_.program_dir() + "/conceptos/";
    platform::CurrentEnv()->Files().CreateDirectories(conceptos).IgnoreError();
    env_.Settings().Write("SOFTWARE\\QRN\\Valdrix\\Settings", "Con_Dir", conceptos);
    std::string bytes = EncodeCurrencyRecord({"Euro", "EUR", 2, 1});
    for (int i = 1; i < kCurrencySlots; ++i) bytes += EncodeCurrencyRecord({});
    std::ofstream(conceptos + "Moneda1.qrf", std::ios::binary) << bytes;
    SetIndexMaintenance(true);
  }
  void TearDown() override { ResetDataLayer(); }

  std::string JournalPath() const { return env_.data_dir() + "/EXTRA01.QRD"; }
  void Open() { ASSERT_TRUE(OpenCompanyTables(env_.data_dir(), "01", 1).ok()); }

  // Appends a journal line on `account` through the record code.
  void AppendLine(const std::string& account) {
    Slot& s = GetSlot(kJournal);
    s.ClearValues();
    s.SetRaw(s.FieldByCode(1), "C40315");
    s.SetText(s.FieldByCode(2), account);
    s.SetText(s.FieldByCode(3), "000001");
    ASSERT_TRUE(AppendRecord(kJournal).ok());
  }
  // Another program puts an empty journal in the journal's place (a new file
  // under the old name), from a process of its own.
  bool RestoreAnEmptyJournal() const {
    return InAnotherProcess([&] {
      const std::string copy = JournalPath() + ".new";
      std::FILE* out = std::fopen(copy.c_str(), "wb");
      return out != nullptr && std::fclose(out) == 0 &&
             std::rename(copy.c_str(), JournalPath().c_str()) == 0;
    });
  }
  std::string AccountOf(int32_t record) {
    EXPECT_TRUE(ReadRecord(kJournal, record).ok());
    const Slot& s = GetSlot(kJournal);
    return s.TrimmedText(s.FieldByCode(2));
  }
  int64_t Records() {
    platform::Result<int64_t> n = RecordCount(kJournal);
    EXPECT_TRUE(n.ok());
    return n.ok() ? *n : -1;
  }

  test::DataTestEnv env_;
};

TEST_F(KeptTablesTest, AnotherProcessesWritesAreSeenThroughTheKeptTables) {
  Open();
  AppendLine("4300001");
  CloseFilesBetweenCalls();
  const uint64_t serial = GetSlot(kJournal).open_serial();
  ASSERT_TRUE(GetSlot(kJournal).is_open()) << "kept for the next call";
  EXPECT_FALSE(GetSlot(0).is_open());

  // Another program changes line 1 and adds a line 2 (a copy of line 1).
  const int32_t length = GetSlot(kJournal).record_length();
  const size_t account_at = static_cast<size_t>(GetSlot(kJournal).field_start(2));
  ASSERT_TRUE(InAnotherProcess([&] {
    std::string record(static_cast<size_t>(length), ' ');
    std::FILE* f = std::fopen(JournalPath().c_str(), "rb");
    if (f == nullptr || std::fread(record.data(), 1, record.size(), f) != record.size())
      return false;
    std::fclose(f);
    record.replace(account_at, 7, "5720001");
    return WriteRaw(JournalPath(), 0, record) &&
           WriteRaw(JournalPath(), static_cast<uint64_t>(length), record);
  }));

  Open();
  EXPECT_EQ(GetSlot(kJournal).open_serial(), serial) << "not opened again";
  EXPECT_EQ(Records(), 2);
  EXPECT_EQ(AccountOf(1), "5720001");
  EXPECT_EQ(AccountOf(2), "5720001");

  // And through a table component whose handle was kept.
  {
    TableComponent t;
    t.OpenCompanyTable("EXTRA", env_.data_dir(), "01");
    EXPECT_EQ(t.RecordCount(), 2);
  }
  ASSERT_TRUE(InAnotherProcess([&] {
    std::string record(static_cast<size_t>(length), ' ');
    record.replace(0, 6, "C40316");
    record.replace(account_at, 7, "4770000");
    return WriteRaw(JournalPath(), 2 * static_cast<uint64_t>(length), record);
  }));
  TableComponent t;
  t.OpenCompanyTable("EXTRA", env_.data_dir(), "01");
  EXPECT_EQ(t.RecordCount(), 3);
  t.GoToRecord(3);
  EXPECT_EQ(Trim(t.GetField(2).str()), "4770000");
}

TEST_F(KeptTablesTest, AFileReplacedUnderAKeptTableIsOpenedAfresh) {
  Open();
  AppendLine("4300001");
  AppendLine("4300002");
  {
    TableComponent t;
    t.OpenCompanyTable("EXTRA", env_.data_dir(), "01");
    EXPECT_EQ(t.RecordCount(), 2);
  }
  CloseFilesBetweenCalls();
  const uint64_t serial = GetSlot(kJournal).open_serial();

  // Another program puts a copy of the file back holding line 1 only (a
  // company restored from a copy): a new file under the old name.
  const int32_t length = GetSlot(kJournal).record_length();
  ASSERT_TRUE(InAnotherProcess([&] {
    std::string record(static_cast<size_t>(length), '\0');
    std::FILE* f = std::fopen(JournalPath().c_str(), "rb");
    if (f == nullptr || std::fread(record.data(), 1, record.size(), f) != record.size())
      return false;
    std::fclose(f);
    const std::string copy = JournalPath() + ".new";
    std::FILE* out = std::fopen(copy.c_str(), "wb");
    if (out == nullptr || std::fwrite(record.data(), 1, record.size(), out) != record.size())
      return false;
    return std::fclose(out) == 0 && std::rename(copy.c_str(), JournalPath().c_str()) == 0;
  }));

  Open();
  EXPECT_NE(GetSlot(kJournal).open_serial(), serial) << "the new file is opened";
  EXPECT_EQ(Records(), 1);
  EXPECT_EQ(AccountOf(1), "4300001");
  // A line appended now reaches the file that is there, not the old one
  // (at the number the index gives: its record counter only grows).
  AppendLine("4300003");
  const int32_t appended = Globals().engine_record;
  ASSERT_GE(appended, 2);
  TableComponent t;
  t.OpenCompanyTable("EXTRA", env_.data_dir(), "01");
  t.GoToRecord(appended);
  ASSERT_EQ(t.RecordNumber(), appended);
  EXPECT_EQ(Trim(t.GetField(2).str()), "4300003");
  t.Close();
  std::FILE* f = std::fopen(JournalPath().c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 0, SEEK_END);
  EXPECT_EQ(std::ftell(f), static_cast<long>(appended) * length);
  std::fclose(f);
}

TEST_F(KeptTablesTest, ATableReplacedInASettledDirectoryIsOpenedAfresh) {
  Open();
  AppendLine("4300001");
  CloseFilesBetweenCalls();
  // The directory settles: from now on one look at it stands for the looks
  // at every table's files, while none of its names changes.
  ::usleep(150 * 1000);
  Open();
  const uint64_t serial = GetSlot(kJournal).open_serial();
  CloseFilesBetweenCalls();
  Open();
  EXPECT_EQ(GetSlot(kJournal).open_serial(), serial) << "kept while nothing changed";
  CloseFilesBetweenCalls();

  // Another program restores an empty journal, and some time passes.
  ASSERT_TRUE(RestoreAnEmptyJournal());
  ::usleep(150 * 1000);
  Open();
  EXPECT_NE(GetSlot(kJournal).open_serial(), serial) << "the new file is opened";
  EXPECT_EQ(Records(), 0);
}

TEST_F(KeptTablesTest, ACommitWritesIntoTheFileThatIsThereNow) {
  Open();
  {
    CompanyTransaction tx(env_.data_dir() + "/", "01");
    AppendLine("4300001");
    tx.Commit();  // the journal is now among the files commits keep open
  }
  CloseFilesBetweenCalls();
  ASSERT_TRUE(RestoreAnEmptyJournal());
  Open();  // the table sees the new file
  {
    CompanyTransaction tx(env_.data_dir() + "/", "01");
    AppendLine("4300002");
    tx.Commit();  // and so must the commit that writes it
  }
  CloseFilesBetweenCalls();
  std::FILE* f = std::fopen(JournalPath().c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  const int32_t length = GetSlot(kJournal).record_length();
  ASSERT_GT(size, 0) << "the line went to the file that was taken away";
  EXPECT_EQ(size % length, 0);
}

TEST_F(KeptTablesTest, ADroppedOperationLeavesNoSizeBehind) {
  Open();
  AppendLine("4300001");
  {
    TableComponent t;  // a handle kept with the file's size then
    t.OpenCompanyTable("EXTRA", env_.data_dir(), "01");
  }
  CloseFilesBetweenCalls();
  {
    CompanyTransaction tx(env_.data_dir(), "01");
    Open();
    AppendLine("4300002");
    AppendLine("4300003");
    EXPECT_EQ(Records(), 3);
    TableComponent t;
    t.OpenCompanyTable("EXTRA", env_.data_dir(), "01");
    EXPECT_EQ(t.RecordCount(), 3);
    CloseFilesBetweenCalls();
    // Destroyed without Commit: dropped.
  }
  Open();
  EXPECT_EQ(Records(), 1);
  {
    TableComponent t;
    t.OpenCompanyTable("EXTRA", env_.data_dir(), "01");
    EXPECT_EQ(t.RecordCount(), 1);
  }
  {
    CompanyTransaction tx(env_.data_dir(), "01");
    AppendLine("4300004");
    EXPECT_EQ(Globals().engine_record, 2) << "appended at the file's real end";
    tx.Commit();
  }
  CloseFilesBetweenCalls();
  Open();
  EXPECT_EQ(Records(), 2);
  EXPECT_EQ(AccountOf(2), "4300004");
}

}  // namespace
}  // namespace qrole::data
