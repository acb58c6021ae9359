// The shipped table definitions hold every field, element count, index and
// field name that the server's operations rely on (tables/expected.txt), as
// the record layer reads them back from the definition files.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "data/definition_file.h"
#include "data/table_source.h"
#include "platform/text_encoding.h"

namespace qrole::data {
namespace {

std::string SourceFile(const std::string& name) {
  std::ifstream in(std::string(QROLE_SOURCE_DIR) + "/src/data/tables/" + name);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

class ShippedTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto tables = ParseTableSource(SourceFile("tables.txt"));
    ASSERT_TRUE(tables.ok()) << tables.status().ToString();
    ASSERT_FALSE(tables->empty()) << "no table source";
    for (const TableSource& t : *tables) {
      std::string bytes = EncodeDefinition(t);
      auto layout = ParseFieldEntries(bytes);
      ASSERT_TRUE(layout.ok()) << t.name << ": " << layout.status().ToString();
      ASSERT_TRUE(ParseIndexEntries(bytes, &*layout).ok()) << t.name;
      layouts_.emplace(t.name, *layout);
      sources_.emplace(t.name, t);
    }
  }
  std::map<std::string, TableLayout> layouts_;
  std::map<std::string, TableSource> sources_;
};

TEST_F(ShippedTablesTest, EveryTableIsShipped) {
  for (const char* t : {"PLANC", "EXTRA", "DATOS", "IVA01", "EFECT", "Presu", "Costo", "PlanA",
                        "Anali", "GUID1", "Ret01", "inmo3", "Datgl00"})
    EXPECT_EQ(layouts_.count(t), 1u) << t;
}

TEST_F(ShippedTablesTest, DefinitionsReadBackAsWritten) {
  for (const auto& [name, src] : sources_) {
    const TableLayout& l = layouts_.at(name);
    int positions = 0;
    for (const FieldSource& f : src.fields) {
      ASSERT_EQ(l.FieldByCode(f.code), f.position) << name << " code " << f.code;
      const FieldLayout& fl = l.fields[static_cast<size_t>(f.position)];
      EXPECT_EQ(fl.type, f.type) << name << " " << f.name;
      EXPECT_EQ(fl.elements, f.elements) << name << " " << f.name;
      EXPECT_EQ(Trimmed(platform::Cp1252ToUtf8(fl.name)), f.name) << name;
      if (f.type != kBlobType) {
        EXPECT_EQ(fl.declared_length, f.length) << name << " " << f.name;
      }
      positions += f.elements;
    }
    EXPECT_EQ(l.num_fields(), positions) << name;
    EXPECT_LT(l.record_length, 1000) << name;
    EXPECT_EQ(l.index_count, static_cast<int>(src.indexes.size())) << name;
  }
}

TEST_F(ShippedTablesTest, EveryFactTheOperationsRelyOn) {
  std::istringstream in(SourceFile("expected.txt"));
  std::string line;
  int facts = 0;
  while (std::getline(in, line)) {
    std::string text = line.substr(0, line.find('#'));
    std::istringstream words(text);
    std::string table, kind;
    if (!(words >> table >> kind)) continue;
    ++facts;
    ASSERT_EQ(layouts_.count(table), 1u) << line;
    const TableLayout& l = layouts_.at(table);
    std::string rest;
    std::getline(words, rest);
    size_t b = rest.find_first_not_of(' ');
    rest = b == std::string::npos ? "" : Trimmed(rest.substr(b));
    std::istringstream args(rest);
    if (kind == "pos" || kind == "code") {
      int n = 0;
      args >> n;
      int pos = kind == "pos" ? n : l.FieldByCode(n);
      ASSERT_TRUE(pos >= 1 && pos <= l.num_fields()) << line;
      std::string want;
      std::getline(args, want);
      size_t wb = want.find_first_not_of(' ');
      if (wb != std::string::npos) {
        int first = l.fields[static_cast<size_t>(pos)].array_first;
        const FieldLayout& f = l.fields[static_cast<size_t>(first ? first : pos)];
        EXPECT_TRUE(platform::EqualsIgnoreCase(Trimmed(platform::Cp1252ToUtf8(f.name)),
                                               Trimmed(want.substr(wb))))
            << line;
      }
    } else if (kind == "elems") {
      int code = 0, count = 0;
      args >> code >> count;
      int pos = l.FieldByCode(code);
      ASSERT_GE(pos, 1) << line;
      EXPECT_EQ(l.fields[static_cast<size_t>(pos)].elements, count) << line;
    } else if (kind == "index") {
      int k = 0;
      args >> k;
      ASSERT_TRUE(k >= 1 && k <= l.index_count) << line;
      std::string want, seg;
      while (args >> seg) want += (want.empty() ? "" : " ") + seg;
      std::string have;
      for (const SegmentLayout& s : l.indexes[static_cast<size_t>(k)].segments)
        have += (have.empty() ? "" : " ") + std::to_string(s.field) + ":" +
                std::to_string(s.start) + ":" + std::to_string(s.length);
      EXPECT_EQ(have, want) << line;
    } else if (kind == "name") {
      bool found = false;
      for (size_t i = 1; i < l.fields.size(); ++i)
        found = found ||
                platform::EqualsIgnoreCase(Trimmed(platform::Cp1252ToUtf8(l.fields[i].name)), rest);
      EXPECT_TRUE(found) << line;
    } else {
      ADD_FAILURE() << "unknown fact: " << line;
    }
  }
  EXPECT_GT(facts, 400);
}

TEST(TableSourceTest, RefusesBrokenSources) {
  EXPECT_FALSE(ParseTableSource("field 1 1 1 0 10 X\n").ok());
  EXPECT_FALSE(ParseTableSource("table T\nfield 2 1 1 0 10 X\nend\n").ok());
  EXPECT_FALSE(ParseTableSource("table T\nfield 1 1 1 0 10 X\nindex 1 2:1:5\nend\n").ok());
  EXPECT_FALSE(ParseTableSource("table T\nfield 1 1 1 0 10 X\nindex 11 1:1:5\nend\n").ok());
  EXPECT_FALSE(ParseTableSource("table T\nfield 1 1 1 0 10 X\n").ok());
  EXPECT_FALSE(
      ParseTableSource("table T\nfield 1 1 1 0 10 NOMBRE MUY LARGO QUE NO CABE\nend\n").ok());
  auto ok = ParseTableSource("table T  a table\nfield 1 1 1 0 10 CUENTA X  notes\nend\n");
  ASSERT_TRUE(ok.ok());
  EXPECT_EQ((*ok)[0].fields[0].name, "CUENTA X");
  EXPECT_EQ(TwoCharacters(5), " 5");
  EXPECT_EQ(TwoCharacters(253), "I3");
}

}  // namespace
}  // namespace qrole::data
