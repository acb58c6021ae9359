// The retry handler of posting: a statement of the posting that fails is run
// again after a short random pause, so that a table another program holds
// for a moment does not stop the entry half-way. Errors that another attempt
// cannot mend (a bad value, an unknown field, a lock already waited for by
// the record code) end the posting at once.
//
// When the posting gives up, the pending entry is emptied and the error goes
// to the client: with source "Qrole", or with no source when a deferred
// status was already set.
#ifndef QROLE_POSTING_POSTING_RETRY_H_
#define QROLE_POSTING_POSTING_RETRY_H_

#include <cstdint>
#include <random>
#include <utility>

#include "qrole/error.h"

namespace qrole::posting {

struct PostingContext;

inline constexpr int kPostingAttempts = 2000;

class PostingRetry {
 public:
  explicit PostingRetry(PostingContext& ctx) : ctx_(ctx) {}

  // Runs `f` until it succeeds or the handler gives up (then throws).
  template <class F>
  decltype(auto) Run(F&& f) {
    for (;;) {
      try {
        return std::forward<F>(f)();
      } catch (const AutomationError& err) {
        Handle(err);
      }
    }
  }

  // Runs `f` once: a stage that writes several records is not run again
  // (its first records would be written twice); its error ends the posting
  // as the handler ends it.
  template <class F>
  decltype(auto) Once(F&& f) {
    try {
      return std::forward<F>(f)();
    } catch (const AutomationError& err) {
      GiveUp(err);
    }
  }

  // Failures handled so far in this posting.
  int failures() const { return failures_; }

 private:
  // Pauses before another attempt, or throws the error to give up.
  void Handle(const AutomationError& err);
  [[noreturn]] void GiveUp(const AutomationError& err);

  PostingContext& ctx_;
  int failures_ = 0;
  std::minstd_rand random_{12345};
};

// True for errors that another attempt of the same statement cannot mend.
bool IsFinalPostingError(int32_t number);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_POSTING_RETRY_H_
