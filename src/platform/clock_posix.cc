// The system clock, read with clock_gettime and converted with localtime_r.

#include <time.h>

#include <cerrno>

#include "platform/clock.h"

namespace qrole::platform {
namespace {

class PosixClock final : public Clock {
 public:
  LocalDateTime Now() override {
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    ::localtime_r(&now.tv_sec, &local);
    LocalDateTime out;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    // A leap second shows as :59, as Windows never reports :60.
    out.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    out.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    out.day_of_week = local.tm_wday;
    return out;
  }

  double SecondsSinceMidnight() override { return SecondsSinceMidnightOf(Now()); }

  void SleepMs(int ms) override {
    if (ms <= 0) return;
    timespec request{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    timespec remaining;
    while (::nanosleep(&request, &remaining) != 0 && errno == EINTR) request = remaining;
  }
};

}  // namespace

Clock* NativeClock() {
  static PosixClock* const clock = new PosixClock();
  return clock;
}

}  // namespace qrole::platform
