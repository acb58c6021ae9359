// State shared by every `Enlace` object of the server process.
//
// One automation thread serves every object, one call at a time, so this
// state needs no locking; objects see each other's changes (the currency
// code and rate, and the copies of the last opened company's directory and
// number from which every company file name is built).

#ifndef QROLE_SERVER_PROCESS_STATE_H_
#define QROLE_SERVER_PROCESS_STATE_H_

#include <array>
#include <cstdint>
#include <string>

namespace qrole::server {

struct ProcessState {
  // Set at start-up.
  bool started = false;
  int16_t currency_decimals = 0;  // the locale's currency digits

  // Object properties shared by every object.
  std::string currency_code = "   ";  // exactly three characters
  double exchange_rate = 0;

  // Levels and the global directory of the last opened company. The copies
  // of its directory and number, the index maintenance flag and the program
  // directory are the data layer's (data/globals.h).
  std::array<int, 6> account_levels{};      // slots 1..5
  std::array<int, 6> cost_centre_levels{};  // slots 0..5
  std::string global_directory;

  // Posting stops for every object once set (entry number conflicts).
  bool stop_posting = false;
};

// The process's state.
ProcessState& Process();

// Resets the process state to its initial values (tests and start-up).
void ResetProcessState();

}  // namespace qrole::server

#endif  // QROLE_SERVER_PROCESS_STATE_H_
