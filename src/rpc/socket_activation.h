// Listening sockets handed over by the service manager (socket activation).
//
// A service manager that starts qrole-server on the first connection passes
// the listening sockets it made as descriptors 3, 4, ... and describes them
// in the environment: LISTEN_PID (the process they are meant for),
// LISTEN_FDS (how many) and, optionally, LISTEN_FDNAMES (their names,
// separated by ":"). Variables meant for another process (a LISTEN_PID that
// is not ours) are ignored, so a child that inherited them does not take its
// parent's sockets.

#ifndef QROLE_RPC_SOCKET_ACTIVATION_H_
#define QROLE_RPC_SOCKET_ACTIVATION_H_

#include <string>
#include <vector>

namespace qrole::rpc {

// The first descriptor a service manager passes.
inline constexpr int kFirstListenFd = 3;

struct PassedSocket {
  int fd = -1;
  std::string name;  // from LISTEN_FDNAMES; empty when not named
};

// The sockets passed to this process, in descriptor order (none when the
// variables are absent or meant for another process). Marks each descriptor
// close-on-exec and removes the three variables from the environment, so
// that they are taken once. Throws std::runtime_error when the variables
// are malformed (LISTEN_FDS not a number, or naming descriptors that are not
// open).
std::vector<PassedSocket> TakePassedSockets();

}  // namespace qrole::rpc

#endif  // QROLE_RPC_SOCKET_ACTIVATION_H_
