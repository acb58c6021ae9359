// Server start-up: runs once per process, before the first object is used.

#ifndef QROLE_SERVER_STARTUP_H_
#define QROLE_SERVER_STARTUP_H_

namespace qrole::server {

// Fills the message table, reads the locale's currency decimals and number
// separators, and stores the program directory. Later calls do nothing.
void StartServer();

// Runs start-up again (tests that change the settings or the profile).
void RestartServerForTesting();

}  // namespace qrole::server

#endif  // QROLE_SERVER_STARTUP_H_
