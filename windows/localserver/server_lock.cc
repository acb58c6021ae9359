#include "localserver/server_lock.h"

#include <objbase.h>

namespace qrole::winserver {
namespace {

DWORD g_main_thread = 0;
void (*g_withdraw)() = nullptr;
long g_count = 0;

}  // namespace

void SetMainThread(DWORD thread_id, void (*withdraw_factories)()) {
  g_main_thread = thread_id;
  g_withdraw = withdraw_factories;
}

void LockServer() {
  ++g_count;
  ::CoAddRefServerProcess();
}

void UnlockServer() {
  --g_count;
  if (::CoReleaseServerProcess() == 0 || g_count == 0) {
    if (g_withdraw != nullptr) g_withdraw();
    if (g_main_thread != 0) ::PostThreadMessageW(g_main_thread, WM_QUIT, 0, 0);
  }
}

bool ServerIdle() { return g_count == 0; }

}  // namespace qrole::winserver
