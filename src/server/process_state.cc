#include "server/process_state.h"

#include "data/globals.h"

namespace qrole::server {

ProcessState& Process() {
  static ProcessState state;
  return state;
}

void ResetProcessState() {
  Process() = ProcessState();
  data::ResetDataLayer();
}

}  // namespace qrole::server
