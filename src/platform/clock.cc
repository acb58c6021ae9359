#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace qrole::platform {

int64_t Clock::SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Clock::SleepUs(int us) {
  if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
}
namespace {

constexpr int64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a civil date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(yoe + era * 400 + (m <= 2));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int DayOfWeek(int year, int month, int day) {
  const int64_t days = DaysFromCivil(year, month, day);
  return static_cast<int>(((days % 7) + 7 + 4) % 7);  // Day 0 was a Thursday.
}

bool IsValidDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

int64_t MillisecondsSince1970(const LocalDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * kMsPerDay +
         ((t.hour * 60 + t.minute) * 60 + t.second) * int64_t{1000} + t.millisecond;
}

LocalDateTime AddMilliseconds(const LocalDateTime& t, int64_t ms) {
  const int64_t time_of_day =
      ((t.hour * 60 + t.minute) * 60 + t.second) * int64_t{1000} + t.millisecond + ms;
  const int64_t days = DaysFromCivil(t.year, t.month, t.day) + FloorDiv(time_of_day, kMsPerDay);
  int64_t rest = time_of_day - FloorDiv(time_of_day, kMsPerDay) * kMsPerDay;
  LocalDateTime out;
  CivilFromDays(days, &out.year, &out.month, &out.day);
  out.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  out.second = static_cast<int>(rest % 60);
  rest /= 60;
  out.minute = static_cast<int>(rest % 60);
  out.hour = static_cast<int>(rest / 60);
  out.day_of_week = DayOfWeek(out.year, out.month, out.day);
  return out;
}

double SecondsSinceMidnightOf(const LocalDateTime& t) {
  return t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0;
}

}  // namespace qrole::platform
