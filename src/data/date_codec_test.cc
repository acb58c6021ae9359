#include "data/date_codec.h"

#include <string>

#include "data/data_test_util.h"
#include "data/globals.h"
#include "gtest/gtest.h"

namespace qrole::data {
namespace {

DateCodecContext Context(const std::string& year, int opening_month) {
  DateCodecContext c;
  c.fiscal_year = year;
  c.second_year = FollowingTwoDigitYear(year);
  c.opening_month = opening_month;
  c.current_year = 2024;
  return c;
}

TEST(DateCodecTest, ConvertsEveryInputLength) {
  const DateCodecContext c = Context("13", 1);
  EXPECT_EQ(ConvertirFechaCodec("", c), "");
  EXPECT_EQ(ConvertirFechaCodec("13", c), "B3");
  EXPECT_EQ(ConvertirFechaCodec("59", c), "F9");
  EXPECT_EQ(ConvertirFechaCodec("60", c), "60");
  EXPECT_EQ(ConvertirFechaCodec("99", c), "99");
  EXPECT_EQ(ConvertirFechaCodec("31/12", c), "B31231");
  EXPECT_EQ(ConvertirFechaCodec("B31231", c), "31/12/13");
  EXPECT_EQ(ConvertirFechaCodec("851231", c), "31/12/85");
  EXPECT_EQ(ConvertirFechaCodec("1/02/13", c), "B30201");
  EXPECT_EQ(ConvertirFechaCodec("31/12/13", c), "B31231");
  EXPECT_EQ(ConvertirFechaCodec("12/31/13 ", c), "31/12/2013");  // nine characters
  EXPECT_EQ(ConvertirFechaCodec("12/31/2013", c), "31/12/13");   // ten characters
  EXPECT_EQ(ConvertirFechaCodec("1", c), "ERROR");
  EXPECT_EQ(ConvertirFechaCodec("1234", c), "ERROR");
  EXPECT_EQ(ConvertirFechaCodec("12345678901", c), "ERROR");
}

TEST(DateCodecTest, CenturyRules) {
  const DateCodecContext c = Context("13", 1);
  // dd/mm/yy: below 60 is 2000..2059, from 60 on 1960..1999.
  EXPECT_EQ(ConvertirFechaCodec("01/01/00", c), "A00101");
  EXPECT_EQ(ConvertirFechaCodec("31/12/59", c), "F91231");
  EXPECT_EQ(ConvertirFechaCodec("01/01/60", c), "600101");
  EXPECT_EQ(ConvertirFechaCodec("31/12/99", c), "991231");
  EXPECT_EQ(ConvertirFechaCodec("  /  /  ", c), "");
  // Stored to dd/mm/yy: letters A..J shifted back by 17, K on by 27 with 21.
  EXPECT_EQ(ConvertirFechaCodec("A00101", c), "01/01/00");
  EXPECT_EQ(ConvertirFechaCodec("J91231", c), "31/12/99");
  EXPECT_EQ(ConvertirFechaCodec("K00101", c), "01/01/2100");
  EXPECT_EQ(ConvertirFechaCodec("L50615", c), "15/06/2115");
  EXPECT_EQ(ConvertirFechaCodec(std::string("\0"
                                            "31231",
                                            6),
                                c),
            "00/00/00");
  EXPECT_EQ(ConvertirFechaCodec("      ", c), "  /  /  ");
  // Stored dates sort in time order across the turn of the century.
  EXPECT_LT(ConvertirFechaCodec("31/12/99", c), ConvertirFechaCodec("01/01/00", c));
}

TEST(DateCodecTest, DayAndMonthTakeTheFiscalYearOfTheMonth) {
  const DateCodecContext july = Context("23", 7);
  EXPECT_EQ(ConvertirFechaCodec("15/03", july), "C40315");  // before July: 2024
  EXPECT_EQ(ConvertirFechaCodec("15/07", july), "C30715");
  EXPECT_EQ(ConvertirFechaCodec("31/12", july), "C31231");
  const DateCodecContext last = Context("99", 7);
  EXPECT_EQ(last.second_year, "00");  // 99 is followed by 00, not "100"
  EXPECT_EQ(ConvertirFechaCodec("15/03", last), "A00315");
  EXPECT_EQ(ConvertirFechaCodec("15/08", last), "990815");
}

TEST(DateCodecTest, UsesTheOpenCompanyAndTheClock) {
  test::DataTestEnv env;  // clock in 2024
  SetFiscalYear("23", 7);
  EXPECT_EQ(Globals().second_year, "24");
  EXPECT_EQ(ConvertirFechaCodec("15/03"), "C40315");
  EXPECT_EQ(ConvertirFechaCodec("12/31/13 "), "31/12/2013");
  EXPECT_EQ(ConvertirFechaLarga("12/31/99 "), "31/12/2099");
}

TEST(LongDateCodecTest, ConvertsEveryInputLength) {
  const DateCodecContext c = Context("13", 1);
  EXPECT_EQ(ConvertirFechaLarga("B31231", c), "31/12/2013");
  EXPECT_EQ(ConvertirFechaLarga("A00101", c), "01/01/2000");
  EXPECT_EQ(ConvertirFechaLarga("J91231", c), "31/12/2099");
  EXPECT_EQ(ConvertirFechaLarga("K00101", c), "01/01/2100");  // not "20:0"
  EXPECT_EQ(ConvertirFechaLarga("811231", c), "31/12/1981");
  EXPECT_EQ(ConvertirFechaLarga("991231", c), "31/12/1999");
  EXPECT_EQ(ConvertirFechaLarga("801231", c), "31/12/2080");
  EXPECT_EQ(ConvertirFechaLarga("131231", c), "31/12/2013");
  EXPECT_EQ(ConvertirFechaLarga("      ", c), "");
  EXPECT_EQ(ConvertirFechaLarga("5/02/13", c), "130205");   // no letter
  EXPECT_EQ(ConvertirFechaLarga("31/12/13", c), "131231");  // no letter
  EXPECT_EQ(ConvertirFechaLarga("12/31/13 ", c), "31/12/2013");
  EXPECT_EQ(ConvertirFechaLarga("31/12/1985", c), "851231");
  EXPECT_EQ(ConvertirFechaLarga("31/12/2013", c), "B31231");
  EXPECT_EQ(ConvertirFechaLarga("31/12/2113", c), "");
  EXPECT_EQ(ConvertirFechaLarga("", c), "ERROR");
  EXPECT_EQ(ConvertirFechaLarga("31/12", c), "ERROR");
}

TEST(LongDateCodecTest, RoundTripsWithTheShortCodec) {
  const DateCodecContext c = Context("13", 1);
  for (const char* d : {"01/01/2000", "29/02/2024", "31/12/2059"}) {
    EXPECT_EQ(ConvertirFechaLarga(ConvertirFechaLarga(d, c), c), d);
  }
}

}  // namespace
}  // namespace qrole::data
