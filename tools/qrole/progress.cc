#include "progress.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qrole::cli {

namespace {

constexpr auto kDelay = std::chrono::milliseconds(500);
constexpr auto kInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

}  // namespace

bool Progress::Enabled() {
  if (!::isatty(STDERR_FILENO)) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

Progress::Progress(std::string label, int64_t total)
    : label_(std::move(label)), total_(total), enabled_(Enabled()), start_(Clock::now()) {}

Progress::~Progress() { Finish(); }

void Progress::Update(int64_t done, const std::string& what) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < kDelay || (drawn_ && now - last_draw_ < kInterval)) return;
  last_draw_ = now;
  drawn_ = true;
  std::string line = "\r\033[K" + label_ + " ";
  if (total_ > 0) {
    if (done > total_) done = total_;
    const int filled = static_cast<int>(done * kBarWidth / total_);
    line += "[" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] ";
    line += std::to_string(done * 100 / total_) + "% " + std::to_string(done) + "/" +
            std::to_string(total_);
  } else {
    line += std::to_string(done);
  }
  if (!what.empty()) line += " " + what;
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

void Progress::Finish() {
  if (!drawn_) return;
  drawn_ = false;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
}

}  // namespace qrole::cli
