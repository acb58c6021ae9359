#include "query/web_rows.h"

#include <gtest/gtest.h>

namespace qrole::query {
namespace {

TEST(WebRowsTest, FieldsAreFoundThroughTheHeader) {
  const WebRows rows("3\t1\t12+2\t12+1\r\nA1\tB1\t20\t10\r\n\nA3\n");
  ASSERT_EQ(rows.size(), 4u);  // the empty line after the last LF counts
  EXPECT_EQ(rows.Field(0, 1), "B1");
  EXPECT_EQ(rows.Field(0, 3), "A1");
  EXPECT_EQ(rows.Field(0, 12, 1), "10");
  EXPECT_EQ(rows.Field(0, 12, 2), "20");
  EXPECT_EQ(rows.Field(0, 12), "");  // the plain field is not the element
  EXPECT_TRUE(rows.IsEmpty(1));
  EXPECT_EQ(rows.Field(2, 3), "A3");
  EXPECT_TRUE(rows.IsEmpty(3));
  EXPECT_EQ(rows.Field(2, 1), "");  // the row is shorter than the header
  EXPECT_EQ(rows.Field(0, 7), "");  // not in the header
  EXPECT_EQ(rows.Field(5, 3), "");  // no such row
}

TEST(WebRowsTest, AHeaderAloneHasNoRows) {
  EXPECT_EQ(WebRows("1\t2").size(), 0u);
  EXPECT_EQ(WebRows("").size(), 0u);
}

}  // namespace
}  // namespace qrole::query
