// Test helper: sets or unsets an environment variable for one scope.

#ifndef QROLE_PLATFORM_TEST_ENV_VAR_INTERNAL_H_
#define QROLE_PLATFORM_TEST_ENV_VAR_INTERNAL_H_

#include <stdlib.h>

#include <optional>
#include <string>

namespace qrole::platform::internal {

class ScopedEnvVar {
 public:
  // Sets `name` to `value` (unsets it when nullopt) until destruction, which
  // restores the previous state. Not thread-safe: tests only.
  ScopedEnvVar(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = ::getenv(name_.c_str())) old_ = old;
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedEnvVar(const ScopedEnvVar&) = delete;
  ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;
  ~ScopedEnvVar() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace qrole::platform::internal

#endif  // QROLE_PLATFORM_TEST_ENV_VAR_INTERNAL_H_
