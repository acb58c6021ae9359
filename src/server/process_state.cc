#include "server/process_state.h"

namespace qrole::server {

ProcessState& Process() {
  static ProcessState state;
  return state;
}

void ResetProcessState() { Process() = ProcessState(); }

}  // namespace qrole::server
