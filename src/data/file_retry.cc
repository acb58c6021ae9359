#include "data/data_errors.h"
#include "data/file_retry_internal.h"
#include "data/message_table.h"
#include "platform/env.h"
#include "qrole/error.h"

namespace qrole::data {

void RaiseFileInUse(const std::string& path) {
  throw AutomationError(ObjectError(kFileInUseError), kServerSource,
                        std::string(kFileInUseText) + "\n" + path);
}

namespace internal {

void FileRetry::Failed() {
  ++failures_;
  if (failures_ <= kRetryWarnAfter) return;
  platform::Env* env = platform::CurrentEnv();
  env->Messages().Show(Message(153), "", platform::MsgIcon::Warning, platform::MsgButtons::Ok);
  if (failures_ >= kRetryMaxFailures) RaiseFileInUse(path_);
  env->GetClock().SleepMs(kRetryPauseMs);
}

}  // namespace internal
}  // namespace qrole::data
