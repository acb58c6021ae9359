#include "data/company_tables.h"

#include <gtest/gtest.h>

#include <fstream>

#include "data/currency_table.h"
#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/table_source.h"

namespace qrole::data {
namespace {

std::string SourceText(const std::string& rel) {
  std::ifstream in(std::string(QROLE_SOURCE_DIR) + "/src/data/" + rel);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CompanyTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto tables = ParseTableSource(SourceText("tables/tables.txt"));
    ASSERT_TRUE(tables.ok());
    for (const TableSource& t : *tables)
      std::ofstream(env_.program_dir() + "/" + t.name + ".QRA", std::ios::binary)
          << EncodeDefinition(t);
    std::string conceptos = env_.program_dir() + "/conceptos/";
    platform::CurrentEnv()->Files().CreateDirectories(conceptos).IgnoreError();
    env_.Settings().Write("SOFTWARE\\QRN\\Valdrix\\Settings", "Con_Dir", conceptos);
    std::string bytes = EncodeCurrencyRecord({"Euro", "EUR", 2, 1}) +
                        EncodeCurrencyRecord({"Peseta", "PTA", 0, 0.006});
    for (int i = 2; i < kCurrencySlots; ++i) bytes += EncodeCurrencyRecord({});
    std::ofstream(conceptos + "Moneda1.qrf", std::ios::binary) << bytes;
  }
  test::DataTestEnv env_;
};

TEST_F(CompanyTablesTest, OpensEveryCatalogueTableAndTheCurrencies) {
  ASSERT_TRUE(OpenCompanyTables(env_.data_dir(), "01", 1).ok());
  for (const auto& [slot, table] : CatalogueTables()) {
    EXPECT_TRUE(GetSlot(slot).is_open()) << table;
    EXPECT_TRUE(GetSlot(slot).has_index()) << table;
  }
  EXPECT_FALSE(GetSlot(7).is_open());
  EXPECT_TRUE(Currencies().loaded);
  EXPECT_EQ(Currencies().slots[0].code, "EUR");
  EXPECT_DOUBLE_EQ(Currencies().rate, 1 / 166.386);
  // The journal's record file is created beside the company's other files.
  EXPECT_TRUE(platform::CurrentEnv()->Files().Exists(env_.data_dir() + "/EXTRA01.QRD"));
}

TEST_F(CompanyTablesTest, TheCurrencyTableIsReadAgainWhenItChanges) {
  ASSERT_TRUE(OpenCompanyTables(env_.data_dir(), "01", 1).ok());
  EXPECT_DOUBLE_EQ(Currencies().rate, 1 / 166.386);
  // Another program changes the second currency's rate in place (same size).
  const std::string path = env_.program_dir() + "/conceptos/Moneda1.qrf";
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(kCurrencyRecordLength));
    f << EncodeCurrencyRecord({"Dolar", "USD", 2, 0.5});
  }
  ASSERT_TRUE(OpenCompanyTables(env_.data_dir(), "01", 1).ok());
  EXPECT_EQ(Currencies().slots[1].code, "USD");
  EXPECT_DOUBLE_EQ(Currencies().rate, 0.5);
  // A table dropped meanwhile (another company opened) is loaded again even
  // though its file did not change.
  Currencies().loaded = false;
  Currencies().rate = 0;
  ASSERT_TRUE(OpenCompanyTables(env_.data_dir(), "01", 1).ok());
  EXPECT_DOUBLE_EQ(Currencies().rate, 0.5);
}

TEST_F(CompanyTablesTest, AMissingDefinitionLeavesOnlyItsSlotClosed) {
  platform::CurrentEnv()->Files().Remove(env_.program_dir() + "/Anali.QRA").IgnoreError();
  EXPECT_FALSE(OpenCompanyTables(env_.data_dir(), "01", 1).ok());
  EXPECT_FALSE(GetSlot(10).is_open());
  EXPECT_TRUE(GetSlot(9).is_open());
  auto boxes = env_.TakeMessages();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].text, "TABLA Anali inexistente");
}

TEST_F(CompanyTablesTest, TheReopenHookOpensTheSameSet) {
  ASSERT_TRUE(OpenCompanyTables(env_.data_dir(), "01", 1).ok());
  CloseAllFiles();
  EXPECT_FALSE(GetSlot(2).is_open());
  EXPECT_TRUE(ReopenCatalogue().ok());
  EXPECT_TRUE(GetSlot(2).is_open());
}

}  // namespace
}  // namespace qrole::data
