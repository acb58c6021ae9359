// The system clock in the local time zone, read with GetLocalTime.

#include <windows.h>

#include "platform/clock.h"

namespace qrole::platform {
namespace {

class WindowsClock final : public Clock {
 public:
  LocalDateTime Now() override {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    LocalDateTime out;
    out.year = st.wYear;
    out.month = st.wMonth;
    out.day = st.wDay;
    out.hour = st.wHour;
    out.minute = st.wMinute;
    out.second = st.wSecond;
    out.millisecond = st.wMilliseconds;
    out.day_of_week = st.wDayOfWeek;
    return out;
  }

  double SecondsSinceMidnight() override { return SecondsSinceMidnightOf(Now()); }

  void SleepMs(int ms) override {
    if (ms > 0) ::Sleep(static_cast<DWORD>(ms));
  }
};

}  // namespace

Clock* NativeClock() {
  static WindowsClock* const clock = new WindowsClock();
  return clock;
}

}  // namespace qrole::platform
