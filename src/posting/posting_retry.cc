#include "posting/posting_retry.h"

#include <cmath>

#include "data/data_errors.h"
#include "data/table_component.h"
#include "platform/env.h"
#include "posting/posting_context.h"
#include "server/enlace.h"

namespace qrole::posting {

bool IsFinalPostingError(int32_t number) {
  namespace re = runtime_error;
  switch (number) {
    case re::kInvalidCall:
    case re::kOverflow:
    case re::kOutOfMemory:
    case re::kSubscript:
    case re::kDivisionByZero:
    case re::kTypeMismatch:
    case re::kObjectNotSet:
    case re::kInvalidNull:
    case re::kNoSuchMember:
    case re::kNamedNotFound:
    case re::kNotOptional:
    case re::kWrongArgCount:
    case re::kNotImplemented:
      return true;
    default:
      break;
  }
  return number == ObjectError(data::kConditionError) || number == ObjectError(data::kTableError) ||
         number == ObjectError(data::kFileInUseError);
}

void PostingRetry::Handle(const AutomationError& err) {
  if (ctx_.deferred_status != 0 || IsFinalPostingError(err.number()) ||
      ++failures_ >= kPostingAttempts)
    GiveUp(err);
  // 1 to 31 ms.
  const double r = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
  platform::CurrentEnv()->GetClock().SleepMs(static_cast<int>(std::lround(30 * r + 1)));
}

void PostingRetry::GiveUp(const AutomationError& err) {
  ctx_.e.LimpiarAsiento();
  throw AutomationError(err.number(), ctx_.deferred_status != 0 ? "" : "Qrole", err.description());
}

}  // namespace qrole::posting
