#include "platform/clock.h"

#include "gtest/gtest.h"
#include "platform/fake_clock.h"

namespace qrole::platform {
namespace {

LocalDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  LocalDateTime t;
  t.year = y;
  t.month = mo;
  t.day = d;
  t.hour = h;
  t.minute = mi;
  t.second = s;
  t.millisecond = ms;
  t.day_of_week = DayOfWeek(y, mo, d);
  return t;
}

TEST(CalendarTest, DayOfWeekAndValidDates) {
  EXPECT_EQ(DayOfWeek(1970, 1, 1), 4);   // Thursday.
  EXPECT_EQ(DayOfWeek(2000, 1, 1), 6);   // Saturday.
  EXPECT_EQ(DayOfWeek(2024, 2, 29), 4);  // Thursday.
  EXPECT_EQ(DayOfWeek(1899, 12, 30), 6);
  EXPECT_EQ(DayOfWeek(2023, 10, 1), 0);  // Sunday.

  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  EXPECT_FALSE(IsValidDate(2023, 2, 29));
  EXPECT_FALSE(IsValidDate(1900, 2, 29));
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
  EXPECT_FALSE(IsValidDate(2024, 4, 31));
  EXPECT_FALSE(IsValidDate(2024, 13, 1));
  EXPECT_FALSE(IsValidDate(2024, 1, 0));
}

TEST(CalendarTest, AddMillisecondsCrossesDaysMonthsAndYears) {
  EXPECT_EQ(AddMilliseconds(At(2023, 12, 31, 23, 59, 59, 999), 1), At(2024, 1, 1));
  EXPECT_EQ(AddMilliseconds(At(2024, 2, 28, 12), 86400000), At(2024, 2, 29, 12));
  EXPECT_EQ(AddMilliseconds(At(2023, 2, 28, 12), 86400000), At(2023, 3, 1, 12));
  EXPECT_EQ(AddMilliseconds(At(2024, 1, 1), -1), At(2023, 12, 31, 23, 59, 59, 999));
  EXPECT_EQ(AddMilliseconds(At(2024, 3, 1, 0, 0, 1), -2000), At(2024, 2, 29, 23, 59, 59));
  EXPECT_EQ(AddMilliseconds(At(2024, 5, 10, 8, 30), 90061001), At(2024, 5, 11, 9, 31, 1, 1));
  EXPECT_DOUBLE_EQ(SecondsSinceMidnightOf(At(2024, 5, 10, 1, 2, 3, 500)), 3723.5);
  EXPECT_EQ(MillisecondsSince1970(At(1970, 1, 1)), 0);
  EXPECT_EQ(MillisecondsSince1970(At(1969, 12, 31, 23, 59, 59, 999)), -1);
  EXPECT_EQ(MillisecondsSince1970(At(2000, 3, 1, 0, 0, 1)), int64_t{951868801000});
  const LocalDateTime t = At(2024, 2, 28, 22, 15, 30, 250);
  EXPECT_EQ(MillisecondsSince1970(AddMilliseconds(t, 123456789)) - MillisecondsSince1970(t),
            123456789);
}

TEST(FakeClockTest, StandsStillAndMovesOnSleep) {
  FakeClock clock(At(2024, 12, 31, 23, 59, 59));
  EXPECT_EQ(clock.Now(), clock.Now());
  EXPECT_EQ(clock.Now().day_of_week, 2);  // Tuesday.
  clock.SleepMs(1500);
  EXPECT_EQ(clock.Now(), At(2025, 1, 1, 0, 0, 0, 500));
  EXPECT_DOUBLE_EQ(clock.SecondsSinceMidnight(), 0.5);
  clock.SleepMs(-5);
  EXPECT_EQ(clock.slept_ms(), 1500);
  clock.Advance(-500);
  EXPECT_EQ(clock.Now(), At(2025, 1, 1));
  LocalDateTime wrong_weekday = At(2024, 6, 1);
  wrong_weekday.day_of_week = 0;
  clock.Set(wrong_weekday);
  EXPECT_EQ(clock.Now().day_of_week, 6);  // Recomputed: a Saturday.
}

TEST(NativeClockTest, ReportsAConsistentLocalTime) {
  Clock* clock = NativeClock();
  const LocalDateTime now = clock->Now();
  EXPECT_GE(now.year, 2020);
  EXPECT_TRUE(IsValidDate(now.year, now.month, now.day));
  EXPECT_EQ(now.day_of_week, DayOfWeek(now.year, now.month, now.day));
  EXPECT_GE(now.hour, 0);
  EXPECT_LT(now.hour, 24);
  EXPECT_LT(now.minute, 60);
  EXPECT_LT(now.second, 60);
  EXPECT_LT(now.millisecond, 1000);
  const double seconds = clock->SecondsSinceMidnight();
  EXPECT_GE(seconds, 0.0);
  EXPECT_LT(seconds, 86400.0);
}

}  // namespace
}  // namespace qrole::platform
