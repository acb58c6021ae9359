#include "platform/fake_clock.h"

namespace qrole::platform {

FakeClock::FakeClock(const LocalDateTime& start) { Set(start); }

LocalDateTime FakeClock::Now() {
  std::lock_guard<std::mutex> lock(mu_);
  return now_;
}

double FakeClock::SecondsSinceMidnight() { return SecondsSinceMidnightOf(Now()); }

void FakeClock::SleepMs(int ms) {
  if (ms <= 0) return;
  std::lock_guard<std::mutex> lock(mu_);
  now_ = AddMilliseconds(now_, ms);
  slept_ms_ += ms;
}

void FakeClock::Set(const LocalDateTime& t) {
  std::lock_guard<std::mutex> lock(mu_);
  now_ = AddMilliseconds(t, 0);
}

void FakeClock::Advance(int64_t ms) {
  std::lock_guard<std::mutex> lock(mu_);
  now_ = AddMilliseconds(now_, ms);
}

int64_t FakeClock::slept_ms() const {
  std::lock_guard<std::mutex> lock(mu_);
  return slept_ms_;
}

}  // namespace qrole::platform
