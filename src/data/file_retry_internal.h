// The retry rule of the record code, bounded.
//
// Every file statement of a record operation (a read, a write, a lock) that
// fails is tried again at once. One counter per operation call counts the
// failures; from the 501st failure on, each failure first shows message 153
// "Archivo en uso por otro proceso" (warning icon) and pauses kRetryPauseMs
// before the next try. The rule is bounded: the kRetryMaxFailures-th failure
// ends the operation with the automation error kFileInUseError instead of
// trying for ever (a server has no user to wait for). Statements refused as
// InvalidArgument (a programming error, which no retry can mend) are not
// retried.

#ifndef QROLE_DATA_FILE_RETRY_INTERNAL_H_
#define QROLE_DATA_FILE_RETRY_INTERNAL_H_

#include <string>
#include <utility>

#include "platform/status.h"

namespace qrole::data::internal {

inline constexpr int kRetryWarnAfter = 500;
inline constexpr int kRetryMaxFailures = 550;
inline constexpr int kRetryPauseMs = 40;

class FileRetry {
 public:
  // `path` names the file in the final error.
  explicit FileRetry(std::string path) : path_(std::move(path)) {}

  // Runs `statement` (returning platform::Status) until it succeeds or fails
  // with InvalidArgument, and returns that status. Throws AutomationError
  // kFileInUseError at the kRetryMaxFailures-th failure of this call.
  template <class Statement>
  platform::Status Run(Statement&& statement) {
    for (;;) {
      platform::Status status = statement();
      if (status.ok() || status.IsInvalidArgument()) return status;
      Failed();
    }
  }

  // Failures counted so far.
  int failures() const { return failures_; }

 private:
  // Counts a failure, warns, pauses, or throws.
  void Failed();

  std::string path_;
  int failures_ = 0;
};

}  // namespace qrole::data::internal

#endif  // QROLE_DATA_FILE_RETRY_INTERNAL_H_
