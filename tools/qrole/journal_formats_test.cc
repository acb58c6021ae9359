// The ledger and CSV forms of a journal, on journals made here.

#include <gtest/gtest.h>

#include <sstream>

#include "journal_export.h"

namespace qrole::cli {
namespace {

JournalLine Line(std::string date, std::string entry, std::string account, int side, double amount,
                 std::string description = "Factura A-1") {
  JournalLine l;
  l.date = std::move(date);
  l.entry = std::move(entry);
  l.account = std::move(account);
  l.side = side;
  l.amount = amount;
  l.description = std::move(description);
  return l;
}

const ChartTitles kTitles = {{"4", "Acreedores y deudores"},
                             {"43", "Clientes"},
                             {"430", "Clientes"},
                             {"4300001", "Cliente: Pérez  e\thijos"},
                             {"7", "Ventas"},
                             {"70", "Ventas de mercaderías"},
                             {"7000000", "Ventas"},
                             {"477", "H.P. IVA repercutido"},
                             {"4770000", "IVA repercutido"}};

std::string Ledger(const std::vector<JournalLine>& lines, ExportCounts* counts = nullptr) {
  std::ostringstream out;
  ExportCounts c = WriteLedger(lines, kTitles, ExportStyle(), out);
  if (counts) *counts = c;
  return out.str();
}

TEST(LedgerExportTest, AccountsSitUnderTheirChartParents) {
  EXPECT_EQ(LedgerAccountName("4300001", kTitles),
            "4 Acreedores y deudores:43 Clientes:430 Clientes:4300001 Cliente. Pérez e hijos");
  // Parents missing from the chart are passed over; an account the chart
  // does not hold keeps its code.
  EXPECT_EQ(LedgerAccountName("4770000", kTitles),
            "4 Acreedores y deudores:477 H.P. IVA repercutido:4770000 IVA repercutido");
  EXPECT_EQ(LedgerAccountName("5720001", kTitles), "5720001");
}

TEST(LedgerExportTest, AnEntryIsOneBalancedTransaction) {
  ExportCounts counts;
  std::string text = Ledger(
      {Line("2025-12-31", "7", "4300001", 1, 121), Line("2025-12-31", "7", "7000000", 2, -100),
       Line("2025-12-31", "7", "4770000", 2, -21, "IVA A-1")},
      &counts);
  EXPECT_EQ(text,
            "2025/12/31 * (7) Factura A-1\n"
            "    4 Acreedores y deudores:43 Clientes:430 Clientes:4300001 Cliente. Pérez e "
            "hijos  121.00 EUR\n"
            "    7 Ventas:70 Ventas de mercaderías:7000000 Ventas  -100.00 EUR\n"
            "    4 Acreedores y deudores:477 H.P. IVA repercutido:4770000 IVA repercutido  "
            "-21.00 EUR  ; IVA A-1\n"
            "\n");
  EXPECT_EQ(counts.entries, 1);
  EXPECT_EQ(counts.lines, 3);
  EXPECT_EQ(counts.unbalanced, 0);
}

TEST(LedgerExportTest, EntriesSplitByDateAndNumber) {
  ExportCounts counts;
  Ledger({Line("2025-01-02", "1", "4300001", 1, 10), Line("2025-01-02", "1", "7000000", 2, -10),
          Line("2025-01-03", "1", "4300001", 1, 5), Line("2025-01-03", "1", "7000000", 2, -5),
          Line("2025-01-03", "2", "4300001", 1, 5), Line("2025-01-03", "2", "7000000", 2, -5)},
         &counts);
  EXPECT_EQ(counts.entries, 3);
  EXPECT_EQ(counts.unbalanced, 0);
}

TEST(LedgerExportTest, AnUnbalancedEntryHasVirtualPostings) {
  ExportCounts counts;
  std::string text = Ledger(
      {Line("2025-03-01", "9", "4300001", 1, 100), Line("2025-03-01", "9", "7000000", 2, -99.99)},
      &counts);
  EXPECT_EQ(counts.unbalanced, 1);
  EXPECT_NE(text.find("    (4 Acreedores"), std::string::npos) << text;
  EXPECT_NE(text.find("    (7 Ventas:70 Ventas de mercaderías:7000000 Ventas)  -99.99 EUR"),
            std::string::npos)
      << text;
}

TEST(LedgerExportTest, SumsAreExactInTheLastDecimal) {
  // 0.1 + 0.2 - 0.3 is not 0 in binary; in cents it is.
  ExportCounts counts;
  Ledger({Line("2025-03-01", "1", "4300001", 1, 0.1), Line("2025-03-01", "1", "4300001", 1, 0.2),
          Line("2025-03-01", "1", "7000000", 2, -0.3)},
         &counts);
  EXPECT_EQ(counts.unbalanced, 0);
}

TEST(LedgerExportTest, LinesThatAreNeitherDebitNorCreditAreLeftOut) {
  ExportCounts counts;
  std::string text =
      Ledger({Line("2025-03-01", "1", "4300001", 1, 5), Line("2025-03-01", "1", "7000000", 2, -5),
              Line("2025-03-01", "1", "4770000", 0, 7)},
             &counts);
  EXPECT_EQ(counts.skipped, 1);
  EXPECT_EQ(counts.lines, 2);
  EXPECT_EQ(text.find("4770000"), std::string::npos);
}

TEST(LedgerExportTest, NegativeAmountsKeepTheirSide) {
  // A negative debit lowers the account, as the chart's balance does.
  std::string text =
      Ledger({Line("2025-03-01", "1", "4300001", 1, -5), Line("2025-03-01", "1", "7000000", 2, 5)});
  EXPECT_NE(text.find("Pérez e hijos  -5.00 EUR"), std::string::npos) << text;
  EXPECT_NE(text.find("7000000 Ventas  5.00 EUR"), std::string::npos) << text;
}

TEST(CsvExportTest, QuotesWhatNeedsQuotingAndKeepsEveryLine) {
  std::vector<JournalLine> lines = {Line("2025-12-31", "7", "4300001", 1, 121.5, "Factura, \"A\""),
                                    Line("2025-12-31", "7", "7000000", 2, -121.5),
                                    Line("2025-12-31", "7", "4770000", 0, 0)};
  lines[0].reference = "R-1";
  lines[0].journal = "1";
  std::ostringstream out;
  ExportCounts counts = WriteCsv(lines, kTitles, ExportStyle(), out);
  EXPECT_EQ(out.str(),
            "date,entry,account,account_title,description,debit,credit,journal,reference,"
            "channel\r\n"
            "2025-12-31,7,4300001,Cliente: Pérez  e\thijos,\"Factura, \"\"A\"\"\",121.50,,1,R-1,"
            "\r\n"
            "2025-12-31,7,7000000,Ventas,Factura A-1,,121.50,,,\r\n"
            "2025-12-31,7,4770000,IVA repercutido,Factura A-1,,,,,\r\n");
  EXPECT_EQ(counts.entries, 1);
  EXPECT_EQ(counts.lines, 3);
  EXPECT_EQ(counts.skipped, 1);
  EXPECT_EQ(counts.unbalanced, 0);
}

TEST(CsvExportTest, AmountsRoundToTheDecimalsWithoutNegativeZero) {
  std::ostringstream out;
  ExportStyle style;
  style.decimals = 0;
  WriteCsv(
      {Line("2025-01-01", "1", "4300001", 1, -0.4), Line("2025-01-01", "1", "7000000", 2, -2.5)},
      kTitles, style, out);
  EXPECT_NE(out.str().find(",0,,"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find(",,3,"), std::string::npos) << out.str();
}

TEST(ExportDatesTest, CommandLineDates) {
  EXPECT_EQ(ParseDate("2025-12-31"), "2025-12-31");
  EXPECT_EQ(ParseDate("31/12/2025"), "2025-12-31");
  EXPECT_EQ(ParseDate("31/12/25"), "2025-12-31");
  EXPECT_EQ(ParseDate("1/2/99"), "1999-02-01");
  EXPECT_EQ(ParseDate("2025-02-30"), "");
  EXPECT_EQ(ParseDate("31/13/2025"), "");
  EXPECT_EQ(ParseDate("251231"), "");
  EXPECT_EQ(ParseDate("tomorrow"), "");
  EXPECT_EQ(ParseDate(""), "");
}

}  // namespace
}  // namespace qrole::cli
