// How long the server process lives.
//
// Design: one count of what keeps the process alive: every live COM object
// (wrapper or enumerator) and every LockServer(TRUE) of a client. It is kept
// with CoAddRefServerProcess / CoReleaseServerProcess. When it drops to zero
// the class factories are withdrawn at once (so that a client arriving now
// starts a new server instead of reaching one on its way out) and the
// apartment thread's message loop is asked to end; the process then exits. A
// server started by COM that never gets an object leaves after an idle time
// as well. All of it runs on the one apartment thread.

#ifndef QROLE_WINDOWS_LOCALSERVER_SERVER_LOCK_H_
#define QROLE_WINDOWS_LOCALSERVER_SERVER_LOCK_H_

#include <windows.h>

namespace qrole::winserver {

// Records the apartment thread whose message loop ends when the count drops
// to zero, and what withdraws the class factories then.
void SetMainThread(DWORD thread_id, void (*withdraw_factories)());

void LockServer();
void UnlockServer();

// True once the count has dropped to zero after having been raised, or when it
// is zero now (for the idle check).
bool ServerIdle();

}  // namespace qrole::winserver

#endif  // QROLE_WINDOWS_LOCALSERVER_SERVER_LOCK_H_
