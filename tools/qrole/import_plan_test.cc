// Reading CSV and planning an import: quoting, line numbers, the checks of
// rows and entries, and the keys that make a second run post nothing.

#include "import_plan.h"

#include <gtest/gtest.h>

#include "cli.h"
#include "csv_reader.h"

namespace qrole::cli {
namespace {

TEST(CsvReaderTest, QuotedFieldsAndTheLinesRecordsBeginOn) {
  const std::vector<CsvRecord> records = ReadCsv(
      "\xEF\xBB\xBF"
      "a,b,c\r\n"
      "\"x, y\",\"say \"\"hi\"\"\",\r\n"
      "\n"
      "\"two\nlines\",2,3\n"
      "last,,\"\"");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].fields, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(records[1].line, 2);
  EXPECT_EQ(records[1].fields, (std::vector<std::string>{"x, y", "say \"hi\"", ""}));
  EXPECT_EQ(records[2].line, 4);
  EXPECT_EQ(records[2].fields[0], "two\nlines");
  EXPECT_EQ(records[3].line, 6);
  EXPECT_EQ(records[3].fields, (std::vector<std::string>{"last", "", ""}));
  for (const CsvRecord& r : records) EXPECT_EQ(r.error, "") << r.line;
}

TEST(CsvReaderTest, MalformedRecordsSayWhy) {
  const std::vector<CsvRecord> records =
      ReadCsv("a\"b,c\n\"x\"y,z\nok,\xFF\n\"never closed,\nmore\n");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_NE(records[0].error.find("quote inside"), std::string::npos);
  EXPECT_NE(records[1].error.find("after the closing quote"), std::string::npos);
  EXPECT_NE(records[2].error.find("UTF-8"), std::string::npos);
  EXPECT_EQ(records[3].line, 4);
  EXPECT_NE(records[3].error.find("not closed"), std::string::npos);
}

const char kHeader[] = "entry,date,account,description,debit,credit\n";

TEST(ImportPlanTest, GroupsRowsIntoBalancedEntries) {
  const ImportPlan plan = PlanImport(std::string(kHeader) +
                                         "A,31/01/2025,4300001,\"Factura 1, cliente\",121,\n"
                                         "B,2025-02-01,5720001,Cobro,50.5,\n"
                                         "A,31/01/25,7000000,Factura 1,,121.00\n"
                                         "B,01/02/2025,4300001,Cobro,,50.50\n",
                                     "f.csv", 2);
  EXPECT_EQ(plan.rows, 4);
  EXPECT_TRUE(plan.rejected.empty());
  ASSERT_EQ(plan.entries.size(), 2u);
  const ImportEntry& a = plan.entries[0];
  EXPECT_EQ(a.group, "A");
  EXPECT_EQ(a.date, "31/01/2025");
  ASSERT_EQ(a.lines.size(), 2u);
  EXPECT_EQ(a.lines[0].line, 2);
  EXPECT_EQ(a.lines[0].description, "Factura 1, cliente");
  EXPECT_EQ(a.lines[0].side, 1);
  EXPECT_EQ(a.lines[1].line, 4);
  EXPECT_EQ(a.lines[1].side, 2);
  EXPECT_DOUBLE_EQ(a.lines[1].amount, 121);
  EXPECT_EQ(a.lines[1].journal, "1");
  EXPECT_EQ(plan.entries[1].lines[0].amount, 50.5);
  EXPECT_NE(a.key, plan.entries[1].key);
  EXPECT_LE(a.key.size(), 128u);
}

TEST(ImportPlanTest, ABadRowRejectsItsWholeEntry) {
  const ImportPlan plan = PlanImport(std::string(kHeader) +
                                         "A,31/02/2025,4300001,x,10,\n"
                                         "A,28/02/2025,7000000,x,,10\n"
                                         "B,01/03/2025,6000000,x,10,\n"
                                         "B,01/03/2025,4000001,x,,9.99\n"
                                         "C,01/03/2025,6000000,x,1,234\n"
                                         "C,01/03/2025,4000001,x,,1.234\n"
                                         "D,01/03/2025,6000000,x,1,\n"
                                         "D,01/03/2025,4000001,x,,\n"
                                         ",01/03/2025,4000001,x,,1\n"
                                         "E,01/03/2025,4000001\n",
                                     "f.csv", 2);
  EXPECT_TRUE(plan.entries.empty());
  ASSERT_EQ(plan.rejected.size(), 10u);
  auto reason = [&](int line) {
    for (const RejectedRow& r : plan.rejected)
      if (r.line == line) return r.reason;
    return std::string("(not rejected)");
  };
  EXPECT_NE(reason(2).find("bad date \"31/02/2025\""), std::string::npos) << reason(2);
  EXPECT_NE(reason(3).find("its entry has a rejected row (line 2)"), std::string::npos);
  EXPECT_NE(reason(4).find("does not balance: debits 10.00, credits 9.99"), std::string::npos)
      << reason(4);
  EXPECT_NE(reason(5).find("does not balance"), std::string::npos);
  EXPECT_NE(reason(6).find("both a debit and a credit"), std::string::npos) << reason(6);
  EXPECT_NE(reason(7).find("more than 2 decimals"), std::string::npos) << reason(7);
  EXPECT_NE(reason(9).find("neither a debit nor a credit"), std::string::npos);
  EXPECT_EQ(reason(10), "no entry");
  EXPECT_NE(reason(11).find("3 fields where the header has 6"), std::string::npos);
}

TEST(ImportPlanTest, SideAndAmountAndAVatLine) {
  const ImportPlan plan = PlanImport(
      "Entry,Date,Account,Side,Amount,Vat_Party,Vat_Type,Vat_Book,Invoice,Base,Total\n"
      "1,31/01/2025,4300001,debit,121,,,,,,\n"
      "1,31/01/2025,7000000,2,100,,,,,,\n"
      "1,31/01/2025,4770000,C,21,4300001,21,R,A-1,100,121\n",
      "f.csv", 2);
  ASSERT_TRUE(plan.rejected.empty()) << plan.rejected[0].reason;
  ASSERT_EQ(plan.entries.size(), 1u);
  const auto& lines = plan.entries[0].lines;
  EXPECT_FALSE(lines[0].vat);
  ASSERT_TRUE(lines[2].vat);
  EXPECT_EQ(lines[2].vat->party, "4300001");
  EXPECT_EQ(lines[2].vat->invoice_date, "31/01/2025");  // the entry's date
  EXPECT_DOUBLE_EQ(lines[2].vat->total, 121);

  const ImportPlan partial = PlanImport(
      "entry,date,account,side,amount,vat_type\n1,31/01/2025,4770000,1,0,21\n", "f.csv", 2);
  ASSERT_EQ(partial.rejected.size(), 1u);
  EXPECT_NE(partial.rejected[0].reason.find("needs vat_party"), std::string::npos);
}

TEST(ImportPlanTest, KeysFollowTheFileNameAndTheRowsNotTheirPlace) {
  const std::string a = "A,31/01/2025,4300001,x,1,\nA,31/01/2025,7000000,x,,1\n";
  const std::string b = "B,31/01/2025,4300001,y,2,\nB,31/01/2025,7000000,y,,2\n";
  const ImportPlan one = PlanImport(kHeader + a + b, "f.csv", 2);
  const ImportPlan moved = PlanImport(kHeader + b + "\n" + a, "f.csv", 2);
  const ImportPlan renamed = PlanImport(kHeader + a + b, "g.csv", 2);
  ASSERT_EQ(one.entries.size(), 2u);
  ASSERT_EQ(moved.entries.size(), 2u);
  EXPECT_EQ(one.entries[0].key, moved.entries[1].key);
  EXPECT_EQ(one.entries[1].key, moved.entries[0].key);
  EXPECT_NE(one.entries[0].key, renamed.entries[0].key);
  const ImportPlan changed = PlanImport(
      kHeader + std::string("A,31/01/2025,4300001,x,1.5,\nA,31/01/2025,7000000,x,,1.5\n"), "f.csv",
      2);
  EXPECT_NE(one.entries[0].key, changed.entries[0].key);
}

TEST(ImportPlanTest, HeaderFaultsFailTheFile) {
  EXPECT_THROW(PlanImport("", "f.csv", 2), Failure);
  EXPECT_THROW(PlanImport("entry,date,account,debit\n", "f.csv", 2), Failure);
  EXPECT_THROW(PlanImport("entry,date,account,debit,credit,amount\n", "f.csv", 2), Failure);
  EXPECT_THROW(PlanImport("entry,date,account,debit,credit,dabit\n", "f.csv", 2), Failure);
  EXPECT_THROW(PlanImport("entry,date,date,account,debit,credit\n", "f.csv", 2), Failure);
  // The export's header is an import header.
  EXPECT_NO_THROW(PlanImport(
      "date,entry,account,account_title,description,debit,credit,journal,reference,channel\r\n",
      "f.csv", 2));
}

}  // namespace
}  // namespace qrole::cli
