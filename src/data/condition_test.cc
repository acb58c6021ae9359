// Filter conditions: reading them against a table's fields, and which records
// they select; the date and number forms their values may take.

#include "data/condition.h"

#include <map>
#include <string>

#include "data/condition_values.h"
#include "data/data_test_util.h"
#include "data/number_codec.h"
#include "gtest/gtest.h"
#include "platform/text_encoding.h"

namespace qrole::data {
namespace {

using test::FieldEntry;

// Fields named as the VAT book and the journal name theirs.
std::vector<FieldEntry> Fields() {
  return {
      {5, 6, "FECHA", 1},
      {5, 6, "FECHA CONTABLE", 2},
      {0, 10, "CLIENTE/PROVEEDOR", 3},
      {0, 6, "ASIENTO (DOC) CONTABLE", 4},
      {0, 20, "FACTURA No.", 5},
      {3, 0, "IMPORTE", 6},
      {2, 0, "PORCENTAJE", 7},
      {1, 0, "CONTADOR", 8},
      {0, 30, "DESCRIPCION", 9},
      {90, 0, "DOCUMENTO ADJUNTO", 28},
      {3, 0, "DEBE", 12, 3},
  };
}

class ConditionTest : public ::testing::Test {
 protected:
  ConditionTest() {
    platform::Result<TableLayout> layout = ParseFieldEntries(test::DefinitionBytes(Fields(), {}));
    EXPECT_TRUE(layout.ok());
    layout_ = *layout;
  }

  // A record whose fields (by position) hold these texts; the others blank.
  std::string Record(const std::map<int, std::string>& values) const {
    std::string bytes(static_cast<size_t>(layout_.record_length), ' ');
    for (int f = 1; f <= layout_.num_fields(); ++f) {
      const FieldLayout& field = layout_.fields[static_cast<size_t>(f)];
      const auto it = values.find(f);
      const std::string text = it == values.end() ? "" : it->second;
      EXPECT_TRUE(EncodeElement(field.type, field.width, text,
                                bytes.data() + static_cast<size_t>(field.start))
                      .ok());
    }
    return bytes;
  }

  Condition Parse(std::string_view text) {
    platform::Result<Condition> c = ParseCondition(text, layout_);
    EXPECT_TRUE(c.ok()) << text << ": " << c.status().ToString();
    return c.ok() ? *c : Condition();
  }

  std::string Refusal(std::string_view text) {
    platform::Result<Condition> c = ParseCondition(text, layout_);
    EXPECT_FALSE(c.ok()) << text;
    return c.ok() ? "" : c.status().message();
  }

  bool Matches(std::string_view text, const std::map<int, std::string>& values) {
    return Parse(text).Matches(layout_, Record(values));
  }

  TableLayout layout_;
};

TEST_F(ConditionTest, ReadsEveryOperatorWithOrWithoutBlanksAndInAnyCase) {
  struct Case {
    const char* text;
    int field;
    CompareOp op;
    const char* value;
  };
  const Case cases[] = {
      {"CLIENTE/PROVEEDOR = 430", 3, CompareOp::kEqual, "430"},
      {"cliente/proveedor=430", 3, CompareOp::kEqual, "430"},
      {"Cliente/Proveedor >=430", 3, CompareOp::kAtLeast, "430"},
      {"CLIENTE/PROVEEDOR=> 430", 3, CompareOp::kAtLeast, "430"},
      {"CLIENTE/PROVEEDOR<= 439  ", 3, CompareOp::kAtMost, "439"},
      {"CLIENTE/PROVEEDOR =< 439", 3, CompareOp::kAtMost, "439"},
      {"cliente/PROVEEDOR like 43*", 3, CompareOp::kLike, "43*"},
      {"ASIENTO (DOC) CONTABLE  = 000015", 4, CompareOp::kEqual, "000015"},
      {"factura No. =F-1", 5, CompareOp::kEqual, "F-1"},
      {"FECHA CONTABLE = B31231", 2, CompareOp::kEqual, "B31231"},
      {"FECHA = B31231", 1, CompareOp::kEqual, "B31231"},
  };
  for (const Case& c : cases) {
    const Condition condition = Parse(c.text);
    ASSERT_EQ(condition.terms.size(), 1u) << c.text;
    EXPECT_EQ(condition.terms[0].field, c.field) << c.text;
    EXPECT_EQ(condition.terms[0].op, c.op) << c.text;
    EXPECT_EQ(condition.terms[0].written, c.value) << c.text;
  }
  const Condition abs = Parse("ABS(IMPORTE)= 125.5");
  ASSERT_EQ(abs.terms.size(), 1u);
  EXPECT_TRUE(abs.terms[0].absolute);
  EXPECT_EQ(abs.terms[0].number, 125.5);
}

TEST_F(ConditionTest, SplitsTermsAtAndUnlessTheRestIsPartOfTheValue) {
  const Condition two = Parse("FECHA CONTABLE = B31231 and ASIENTO (DOC) CONTABLE =000015");
  ASSERT_EQ(two.terms.size(), 2u);
  EXPECT_EQ(two.terms[0].day, 20131231);
  EXPECT_EQ(two.terms[1].written, "000015");
  const Condition three = Parse("CLIENTE/PROVEEDOR = 430 AND factura No. =7 And FECHA = 131231");
  ASSERT_EQ(three.terms.size(), 3u);
  EXPECT_EQ(three.terms[2].day, 20131231);
  // No operator after " and ": the words belong to the value.
  const Condition one = Parse("DESCRIPCION LIKE *pan and vino*");
  ASSERT_EQ(one.terms.size(), 1u);
  EXPECT_EQ(one.terms[0].written, "*pan and vino*");
  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse("   ").empty());
}

TEST_F(ConditionTest, RefusesWhatItCannotReadAndSaysWhy) {
  // The VAT book has no "ASIENTO CONTABLE": the caller falls back on this error.
  EXPECT_NE(Refusal("FECHA CONTABLE = B31231 AND ASIENTO CONTABLE  = 15").find("ASIENTO CONTABLE"),
            std::string::npos);
  EXPECT_NE(Refusal("NOEXISTE = 1").find("NOEXISTE"), std::string::npos);
  EXPECT_NE(Refusal("CLIENTE/PROVEEDOR <> 430").find("operador"), std::string::npos);
  EXPECT_NE(Refusal("CLIENTE/PROVEEDOR").find("operador"), std::string::npos);
  EXPECT_NE(Refusal("ABS(DESCRIPCION) = 3").find("ABS"), std::string::npos);
  EXPECT_NE(Refusal("IMPORTE = doce").find("doce"), std::string::npos);
  EXPECT_NE(Refusal("FECHA = 31/02/24").find("31/02/24"), std::string::npos);
  EXPECT_NE(Refusal("FECHA = mañana").find("fecha"), std::string::npos);
  EXPECT_NE(Refusal("DOCUMENTO ADJUNTO = x").find("DOCUMENTO ADJUNTO"), std::string::npos);
  EXPECT_NE(Refusal("CLIENTE/PROVEEDOR = 430 AND ").find("AND"), std::string::npos);
}

TEST_F(ConditionTest, TextComparesWithoutTrailingBlanksButWithLeadingOnes) {
  EXPECT_TRUE(Matches("CLIENTE/PROVEEDOR = 430", {{3, "430"}}));
  EXPECT_TRUE(Matches("CLIENTE/PROVEEDOR = 430   ", {{3, "430"}}));
  EXPECT_FALSE(Matches("CLIENTE/PROVEEDOR = 430", {{3, "4300"}}));
  EXPECT_FALSE(Matches("CLIENTE/PROVEEDOR = 430", {{3, " 430"}}));
  EXPECT_TRUE(Matches("CLIENTE/PROVEEDOR like *430", {{3, " 430"}}));
  EXPECT_FALSE(Matches("CLIENTE/PROVEEDOR = abc", {{3, "ABC"}}));  // values compare as stored
  EXPECT_TRUE(Matches("CLIENTE/PROVEEDOR >= 430", {{3, "4300001"}}));
  EXPECT_FALSE(Matches("CLIENTE/PROVEEDOR <= 430", {{3, "4300001"}}));
  EXPECT_TRUE(Matches("CLIENTE/PROVEEDOR <= 4309", {{3, "4300001"}}));
  EXPECT_TRUE(Matches("CLIENTE/PROVEEDOR = ", {{3, ""}}));
  const std::string enye = platform::Utf8ToCp1252("Año");
  EXPECT_TRUE(Matches("DESCRIPCION = Año", {{9, enye}}));
}

TEST_F(ConditionTest, NumbersCompareAsNumbers) {
  EXPECT_TRUE(Matches("IMPORTE = 125.5", {{6, "125.5"}}));
  EXPECT_TRUE(Matches("IMPORTE = 125,5", {{6, "125.5"}}));
  EXPECT_TRUE(Matches("IMPORTE >= 9", {{6, "10"}}));  // not "10" < "9" as text
  EXPECT_FALSE(Matches("IMPORTE = 125.5", {{6, "-125.5"}}));
  EXPECT_TRUE(Matches("ABS(IMPORTE)= 125.5", {{6, "-125.5"}}));
  EXPECT_TRUE(Matches("ABS(IMPORTE) <= 3", {{6, "-2"}}));
  EXPECT_FALSE(Matches("IMPORTE <= -3", {{6, "-2"}}));
  EXPECT_TRUE(Matches("PORCENTAJE = 0.1", {{7, "0.1"}}));  // single precision both sides
  EXPECT_TRUE(Matches("CONTADOR = -3", {{8, "-3"}}));
  EXPECT_TRUE(Matches("IMPORTE = ", {{6, ""}}));
  EXPECT_TRUE(Matches("IMPORTE LIKE 12*", {{6, "125.5"}}));
  EXPECT_TRUE(Matches("DEBE = 7", {{11, "7"}, {12, "8"}}));  // an array stands for element 0
}

TEST_F(ConditionTest, DatesCompareAsDaysWhateverFormTheyAreWrittenIn) {
  for (const char* form : {"31/12/13", "31/12/2013", "131231", "B31231", "31/12/13  "}) {
    EXPECT_TRUE(Matches(std::string("FECHA = ") + form, {{1, "B31231"}})) << form;
  }
  // 1999 sorts before 2000 although "9" > "0".
  EXPECT_TRUE(Matches("FECHA <= 01/01/2000", {{1, "991231"}}));
  EXPECT_TRUE(Matches("FECHA => 1/1/00", {{1, "A00101"}}));
  EXPECT_FALSE(Matches("FECHA => 2/1/00", {{1, "A00101"}}));
  EXPECT_TRUE(
      Matches("FECHA CONTABLE >= 15/06/2024 AND FECHA CONTABLE =< 30/06/24", {{2, "C40630"}}));
  // A blank date is "no date", before every day.
  EXPECT_TRUE(Matches("FECHA <= 01/01/1960", {{1, ""}}));
  EXPECT_TRUE(Matches("FECHA = ", {{1, ""}}));
  EXPECT_FALSE(Matches("FECHA = ", {{1, "B31231"}}));
}

TEST_F(ConditionTest, LikeTakesStarsAndQuestionMarks) {
  EXPECT_TRUE(LikeMatch("43*", "4300001"));
  EXPECT_TRUE(LikeMatch("*", ""));
  EXPECT_TRUE(LikeMatch("*01", "4300001"));
  EXPECT_TRUE(LikeMatch("4?0*1", "4300001"));
  EXPECT_TRUE(LikeMatch("*pan*vino*", "un pan y un vino"));
  EXPECT_FALSE(LikeMatch("43*", "5300001"));
  EXPECT_FALSE(LikeMatch("43", "430"));
  EXPECT_FALSE(LikeMatch("4?", "4"));
}

TEST(ConditionValuesTest, DateForms) {
  EXPECT_EQ(ParseDateValue("31/12/13"), 20131231);
  EXPECT_EQ(ParseDateValue("1/2/13"), 20130201);
  EXPECT_EQ(ParseDateValue("01/02/1999"), 19990201);
  EXPECT_EQ(ParseDateValue("311299"), std::nullopt);  // yymmdd, not ddmmyy
  EXPECT_EQ(ParseDateValue("991231"), 19991231);
  EXPECT_EQ(ParseDateValue("591231"), 20591231);
  EXPECT_EQ(ParseDateValue("K00101"), 21000101);
  EXPECT_EQ(ParseDateValue("29/02/24"), 20240229);
  EXPECT_EQ(ParseDateValue("29/02/23"), std::nullopt);
  EXPECT_EQ(ParseDateValue("12/13/24"), std::nullopt);
  EXPECT_EQ(ParseDateValue("1/1/024"), std::nullopt);
  EXPECT_EQ(ParseDateValue(""), 0);
  EXPECT_EQ(ParseDateValue("      "), 0);
  EXPECT_EQ(StoredDateDay("B31231"), 20131231);
  EXPECT_EQ(StoredDateDay("991231"), 19991231);
  EXPECT_EQ(StoredDateDay("      "), 0);
  EXPECT_EQ(StoredDateDay(std::string(6, '\0')), 0);
  EXPECT_EQ(StoredDateForm(20131231), "B31231");
  EXPECT_EQ(StoredDateForm(19991231), "991231");
  EXPECT_EQ(StoredDateForm(21050101), "K50101");
  EXPECT_EQ(StoredDateForm(18991231), std::nullopt);
  for (int32_t day : {19600101, 19991231, 20000101, 20591231, 20600101, 22591231}) {
    EXPECT_EQ(StoredDateDay(*StoredDateForm(day)), day);
  }
}

TEST(ConditionValuesTest, NumberForms) {
  EXPECT_EQ(ParseNumberValue(" 12.5 "), 12.5);
  EXPECT_EQ(ParseNumberValue("-12,5"), -12.5);
  EXPECT_EQ(ParseNumberValue("+.5"), 0.5);
  EXPECT_EQ(ParseNumberValue("1E+16"), 1e16);
  EXPECT_EQ(ParseNumberValue(""), 0.0);
  EXPECT_EQ(ParseNumberValue("1.234,5"), std::nullopt);
  EXPECT_EQ(ParseNumberValue("12a"), std::nullopt);
  EXPECT_EQ(ParseNumberValue("1,2,3"), std::nullopt);
}

TEST(ConditionValuesTest, FieldsFoundByNameIgnoringCase) {
  platform::Result<TableLayout> layout = ParseFieldEntries(test::DefinitionBytes(Fields(), {}));
  ASSERT_TRUE(layout.ok());
  EXPECT_EQ(FindFieldByName(*layout, "fecha contable"), 2);
  EXPECT_EQ(FindFieldByName(*layout, " Factura No. "), 5);
  EXPECT_EQ(FindFieldByName(*layout, "debe"), 11);
  EXPECT_EQ(FindFieldByName(*layout, "FECHA CONT"), 0);
  EXPECT_EQ(FindFieldByName(*layout, ""), 0);
}

}  // namespace
}  // namespace qrole::data
