// A progress bar on standard error for work that takes more than a moment.
//
// The bar is drawn only when standard error is a terminal (and TERM is not
// "dumb"), only once the work has lasted half a second, and at most ten
// times a second; Finish (or the destructor) clears it. Elsewhere (a pipe, a
// file, a script) nothing is drawn, so output stays clean.

#ifndef QROLE_TOOLS_QROLE_PROGRESS_H_
#define QROLE_TOOLS_QROLE_PROGRESS_H_

#include <chrono>
#include <cstdint>
#include <string>

namespace qrole::cli {

class Progress {
 public:
  // `label` names the work ("export"); `total` is the count of steps (0:
  // unknown, then only the count done is shown).
  Progress(std::string label, int64_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // `done` steps of the total are done; `what` names the current step.
  void Update(int64_t done, const std::string& what = "");
  void SetTotal(int64_t total) { total_ = total; }
  // Clears the bar.
  void Finish();

  // Whether a bar can be drawn at all (standard error is a terminal).
  static bool Enabled();

 private:
  using Clock = std::chrono::steady_clock;

  std::string label_;
  int64_t total_;
  bool enabled_;
  bool drawn_ = false;
  Clock::time_point start_;
  Clock::time_point last_draw_;
};

}  // namespace qrole::cli

#endif  // QROLE_TOOLS_QROLE_PROGRESS_H_
