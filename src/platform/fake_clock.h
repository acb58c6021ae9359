// A Clock that stands still until told to move, for tests.

#ifndef QROLE_PLATFORM_FAKE_CLOCK_H_
#define QROLE_PLATFORM_FAKE_CLOCK_H_

#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace qrole::platform {

// Design: holds one LocalDateTime under a mutex. Now returns it unchanged;
// SleepMs moves it forward by the time asked and returns at once, so code that
// waits in a loop finishes without real waiting. Thread-safe.
class FakeClock final : public Clock {
 public:
  // Starts at `start` (its day_of_week is recomputed). `start` must hold a
  // valid date and time.
  explicit FakeClock(const LocalDateTime& start);

  LocalDateTime Now() override;
  double SecondsSinceMidnight() override;
  // Advances the clock by `ms` (when positive) without waiting.
  void SleepMs(int ms) override;

  // Sets the time (day_of_week recomputed).
  void Set(const LocalDateTime& t);
  // Moves the time by `ms` milliseconds (negative moves back).
  void Advance(int64_t ms);
  // Total milliseconds SleepMs was asked to wait.
  int64_t slept_ms() const;

 private:
  mutable std::mutex mu_;
  LocalDateTime now_;
  int64_t slept_ms_ = 0;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_FAKE_CLOCK_H_
