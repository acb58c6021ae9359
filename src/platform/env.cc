#include "platform/env.h"

#include <atomic>

namespace qrole::platform {
namespace {

std::atomic<Env*> g_test_env{nullptr};

}  // namespace

Env* CurrentEnv() {
  Env* env = g_test_env.load(std::memory_order_acquire);
  return env != nullptr ? env : Env::Default();
}

Env* SetEnvForTesting(Env* env) { return g_test_env.exchange(env, std::memory_order_acq_rel); }

}  // namespace qrole::platform
