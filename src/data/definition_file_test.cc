#include "data/definition_file.h"

#include <string>

#include "data/data_test_util.h"
#include "gtest/gtest.h"

namespace qrole::data {
namespace {

using test::DefinitionBytes;
using test::FieldEntry;
using test::SegmentEntry;

std::string Entry(const std::string& text) {
  std::string e = text;
  e.resize(kEntrySize, ' ');
  return e;
}

TEST(TwoCharNumberTest, ReadsDigitsBlanksAndLetters) {
  EXPECT_EQ(TwoCharNumber("12"), 12);
  EXPECT_EQ(TwoCharNumber(" 5"), 5);
  EXPECT_EQ(TwoCharNumber("5 "), 5);
  EXPECT_EQ(TwoCharNumber("  "), 0);
  EXPECT_EQ(TwoCharNumber("05"), 5);
  EXPECT_EQ(TwoCharNumber("I3"), 253);
  EXPECT_EQ(TwoCharNumber("I1") - 250, 1);
  EXPECT_EQ(TwoCharNumber("I:") - 250, 10);
  EXPECT_EQ(TwoCharNumber(" I"), 25);    // A < 0: the second alone
  EXPECT_EQ(TwoCharNumber(" \x01"), 0);  // both below "0"
  EXPECT_EQ(TwoCharNumber("7"), 7);
  EXPECT_EQ(TwoCharNumber(""), 0);
}

TEST(ParseFieldEntriesTest, FillsTheFieldTables) {
  const std::string bytes = DefinitionBytes(test::JournalFields(), test::JournalSegments());
  platform::Result<TableLayout> layout = ParseFieldEntries(bytes);
  ASSERT_TRUE(layout.ok()) << layout.status().ToString();
  ASSERT_EQ(layout->num_fields(), 24);  // the array takes one field per element
  const int widths[] = {0, 6, 10, 4, 30, 1, 8, 2, 4, 12};
  int32_t start = 0;
  for (int f = 1; f <= 24; ++f) {
    const int width = f <= 9 ? widths[f] : 8;
    EXPECT_EQ(layout->fields[f].width, width) << f;
    EXPECT_EQ(layout->fields[f].start, start) << f;
    EXPECT_EQ(layout->field_start[f], start) << f;
    start += width;
  }
  EXPECT_EQ(layout->record_length, start);
  EXPECT_EQ(layout->field_start[25], start);
  EXPECT_EQ(layout->fields[9].elements, 1);
  EXPECT_EQ(layout->fields[9].array_first, 9);
  EXPECT_EQ(layout->fields[10].elements, 15);
  EXPECT_EQ(layout->fields[10].element, 0);
  EXPECT_EQ(layout->fields[24].elements, 15);
  EXPECT_EQ(layout->fields[24].element, 14);
  EXPECT_EQ(layout->fields[24].array_first, 10);
  EXPECT_EQ(layout->fields[2].name, "CUENTA                 ");
  EXPECT_EQ(layout->FieldByCode(22), 9);
  EXPECT_EQ(layout->FieldByCode(9), 10);  // an array's code names its first element
  EXPECT_EQ(layout->FieldByCode(4), 4);
  EXPECT_EQ(layout->FieldByCode(50), 0);
  EXPECT_EQ(layout->index_count, 0);  // indexes are parsed apart
}

TEST(ParseFieldEntriesTest, WidthsFollowTheTypeCode) {
  // Declared lengths are ignored for binary types and dates.
  const std::vector<FieldEntry> fields = {
      {1, 9, "I16"},         {2, 9, "SINGLE"},  {3, 9, "DOUBLE"},  {4, 9, "I32"},
      {5, 9, "DATE"},        {6, 9, "SINGLE6"}, {7, 9, "DOUBLE7"}, {80, 9, "D80"},
      {85, 9, "D85"},        {9, 9, "TEXT"},    {0, 250, "LONG"},  {3, 0, "MONTHS", 0, 12},
      {0, 3, "CODES", 0, 4},
  };
  platform::Result<TableLayout> layout = ParseFieldEntries(DefinitionBytes(fields, {}));
  ASSERT_TRUE(layout.ok()) << layout.status().ToString();
  ASSERT_EQ(layout->num_fields(), 11 + 12 + 4);
  const int widths[] = {0, 2, 4, 8, 4, 6, 4, 8, 8, 8, 9, 250};
  for (int f = 1; f <= 11; ++f) EXPECT_EQ(layout->fields[f].width, widths[f]) << f;
  for (int f = 12; f <= 23; ++f) EXPECT_EQ(layout->fields[f].width, 8) << f;
  for (int f = 24; f <= 27; ++f) EXPECT_EQ(layout->fields[f].width, 3) << f;
  EXPECT_EQ(layout->fields[11].declared_length, 250);  // length hundreds in bytes 2-3
  EXPECT_EQ(layout->fields[24].elements, 4);
  EXPECT_EQ(layout->fields[27].element, 3);
}

TEST(ParseFieldEntriesTest, RefusesBrokenArrays) {
  // Three elements announced, two fields there.
  EXPECT_TRUE(ParseFieldEntries(Entry(" 2") + Entry(" 3  0800A") + Entry("    0800A"))
                  .status()
                  .IsCorruption());
  // An element of another length.
  EXPECT_TRUE(ParseFieldEntries(Entry(" 2") + Entry(" 2  0800A") + Entry("    0900A"))
                  .status()
                  .IsCorruption());
  // An element announcing an array of its own.
  EXPECT_TRUE(
      ParseFieldEntries(Entry(" 3") + Entry(" 2  0800A") + Entry(" 2  0800A") + Entry("    0800A"))
          .status()
          .IsCorruption());
  // One element is a plain field.
  platform::Result<TableLayout> one = ParseFieldEntries(Entry(" 1") + Entry(" 1  0800A"));
  ASSERT_TRUE(one.ok());
  EXPECT_EQ(one->fields[1].elements, 1);
}

TEST(ParseFieldEntriesTest, RefusesDefinitionsWithoutFields) {
  EXPECT_TRUE(ParseFieldEntries("").status().IsCorruption());
  EXPECT_TRUE(ParseFieldEntries(Entry(" 0")).status().IsCorruption());
  EXPECT_TRUE(ParseFieldEntries(Entry("xx")).status().IsCorruption());
  // Two fields announced, one there.
  EXPECT_TRUE(ParseFieldEntries(Entry(" 2") + Entry("    1000NAME")).status().IsCorruption());
  // Only text fields of length 0: records of no bytes.
  EXPECT_TRUE(ParseFieldEntries(Entry(" 1") + Entry("    0000NAME")).status().IsCorruption());
  // A short last entry is read with blanks for its missing bytes.
  platform::Result<TableLayout> short_entry = ParseFieldEntries(Entry(" 1") + "    0500NAME");
  ASSERT_TRUE(short_entry.ok());
  EXPECT_EQ(short_entry->record_length, 5);
}

TEST(ParseIndexEntriesTest, ReadsSegmentsInFileOrder) {
  const std::string bytes = DefinitionBytes(test::JournalFields(), test::JournalSegments());
  platform::Result<TableLayout> layout = ParseFieldEntries(bytes);
  ASSERT_TRUE(layout.ok());
  ASSERT_TRUE(ParseIndexEntries(bytes, &*layout).ok());
  EXPECT_EQ(layout->index_count, 4);
  ASSERT_EQ(layout->indexes[1].segments.size(), 2u);
  EXPECT_EQ(layout->indexes[1].segments[0].field, 1);
  EXPECT_EQ(layout->indexes[1].segments[1].field, 3);
  EXPECT_EQ(layout->indexes[1].key_length, 14);
  ASSERT_EQ(layout->indexes[3].segments.size(), 1u);
  EXPECT_EQ(layout->indexes[3].segments[0].field, 9);  // from field code 22
  EXPECT_EQ(layout->indexes[4].key_length, 16);        // 1-6 of one, 1-10 of another
  EXPECT_EQ(layout->LongestKey(), 16);
}

TEST(ParseIndexEntriesTest, IndexTenSkippedEntriesAndTheEnd) {
  const std::vector<FieldEntry> fields = {{0, 8, "A", 1}, {0, 4, "B", 2}};
  std::string bytes = DefinitionBytes(fields, {});
  bytes += Entry("X1 1 1 8 not an index entry");
  bytes += Entry("I: 2 1 4");                                     // index 10 on field 2
  bytes += Entry("I1   3 2").substr(0, 31) + " 1";                // field by code 1, characters 3-4
  bytes += Entry("I0 1 1 8");                                     // index 0: ignored
  bytes += std::string(1, '\x1A') + Entry("I2 1 1 8").substr(1);  // below a blank: the end
  bytes += Entry("I3 1 1 8");
  platform::Result<TableLayout> layout = ParseFieldEntries(bytes);
  ASSERT_TRUE(layout.ok());
  ASSERT_TRUE(ParseIndexEntries(bytes, &*layout).ok());
  EXPECT_EQ(layout->index_count, 10);
  ASSERT_EQ(layout->indexes[10].segments.size(), 1u);
  EXPECT_EQ(layout->indexes[10].segments[0].field, 2);
  ASSERT_EQ(layout->indexes[1].segments.size(), 1u);
  EXPECT_EQ(layout->indexes[1].segments[0].field, 1);
  EXPECT_EQ(layout->indexes[1].segments[0].start, 3);
  EXPECT_EQ(layout->indexes[1].segments[0].length, 2);
  EXPECT_TRUE(layout->indexes[2].segments.empty());
  EXPECT_TRUE(layout->indexes[3].segments.empty());
}

TEST(ParseIndexEntriesTest, RefusesBrokenIndexes) {
  const std::vector<FieldEntry> fields = {{0, 8, "A", 1}};
  auto parse = [&](const std::vector<SegmentEntry>& segments) {
    const std::string bytes = DefinitionBytes(fields, segments);
    platform::Result<TableLayout> layout = ParseFieldEntries(bytes);
    EXPECT_TRUE(layout.ok());
    platform::Status status = ParseIndexEntries(bytes, &*layout);
    if (!status.ok()) {
      EXPECT_EQ(layout->index_count, 0);
    }
    return status;
  };
  EXPECT_TRUE(parse({{1, 2, 1, 4}}).IsCorruption());     // no field 2
  EXPECT_TRUE(parse({{1, 0, 1, 4, 7}}).IsCorruption());  // no field with code 7
  EXPECT_TRUE(parse({{1, 1, 1, 0}}).IsCorruption());     // no length
  EXPECT_TRUE(
      parse({{1, 1, 1, 1}, {1, 1, 2, 1}, {1, 1, 3, 1}, {1, 1, 4, 1}, {1, 1, 5, 1}, {1, 1, 6, 1}})
          .IsCorruption());  // six segments
  EXPECT_TRUE(parse({{1, 1, 1, 1}, {1, 1, 2, 1}, {1, 1, 3, 1}, {1, 1, 4, 1}, {1, 1, 5, 1}}).ok());
}

}  // namespace
}  // namespace qrole::data
