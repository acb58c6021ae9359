// Wall-clock time and sleeping.
//
// Everything that reads the time goes through a Clock, so tests can stop or
// move it (see FakeClock).

#ifndef QROLE_PLATFORM_CLOCK_H_
#define QROLE_PLATFORM_CLOCK_H_

#include <cstdint>

namespace qrole::platform {

// A local date and time, as the desktop shows it.
struct LocalDateTime {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int day_of_week = 4;  // 0 = Sunday ... 6 = Saturday (1 January 1970 was a Thursday).

  bool operator==(const LocalDateTime&) const = default;
};

class Clock {
 public:
  Clock() = default;
  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;
  virtual ~Clock() = default;

  // The current local date and time.
  virtual LocalDateTime Now() = 0;
  // Seconds since local midnight, with milliseconds as the fraction.
  virtual double SecondsSinceMidnight() = 0;
  // Waits `ms` milliseconds (returns at once when ms <= 0).
  virtual void SleepMs(int ms) = 0;
  // Milliseconds of a clock that never goes back (not the time of day), for
  // measuring waits.
  virtual int64_t SteadyMs();
  // Waits `us` microseconds, for short pauses between tries of a lock.
  virtual void SleepUs(int us);
};

// The system clock in the local time zone. Process-wide, never destroyed,
// thread-safe; the caller does not own it.
Clock* NativeClock();

// Day of the week of a date of the proleptic Gregorian calendar, 0 = Sunday.
int DayOfWeek(int year, int month, int day);
// True when year/month/day is a real date (1 <= month <= 12, day within the
// month, leap years included).
bool IsValidDate(int year, int month, int day);
// `t` moved by `ms` milliseconds (negative moves back), with day_of_week
// recomputed. `t` must hold a valid date and time.
LocalDateTime AddMilliseconds(const LocalDateTime& t, int64_t ms);
// Seconds since midnight of `t`, with the milliseconds as the fraction.
double SecondsSinceMidnightOf(const LocalDateTime& t);
// Milliseconds from 1970-01-01 00:00 to `t` on the same (local) clock: no
// time zone is applied. `t` must hold a valid date and time.
int64_t MillisecondsSince1970(const LocalDateTime& t);

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_CLOCK_H_
