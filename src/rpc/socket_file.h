// The Unix socket file of qrole-server: where it lives, and claiming it.
//
// A server claims its socket path before binding: it creates the directory
// (mode 0700) when missing, holds an exclusive lock on "<path>.lock" for as
// long as it runs (so two servers starting together cannot both take the
// path), and removes a socket file left behind by a server that is gone. A
// path where a live server answers is never taken over.

#ifndef QROLE_RPC_SOCKET_FILE_H_
#define QROLE_RPC_SOCKET_FILE_H_

#include <sys/types.h>

#include <string>

namespace qrole::rpc {

// The socket path used when none is given: $QROLE_SOCKET when set and not
// empty, else $XDG_RUNTIME_DIR/qrole/qrole.sock, else /tmp/qrole-<uid>/qrole.sock.
std::string DefaultSocketPath();

class SocketFileClaim {
 public:
  // Claims `path`. With `private_directory` (the default locations) the
  // directory must belong to this user; its mode is narrowed to 0700.
  // Throws std::runtime_error, with a message for the user, when the path is
  // too long for a socket, is taken by a live server, exists and is not a
  // socket, or its directory cannot be made.
  SocketFileClaim(std::string path, bool private_directory);
  ~SocketFileClaim();  // Remove(), then lets the lock go
  SocketFileClaim(const SocketFileClaim&) = delete;
  SocketFileClaim& operator=(const SocketFileClaim&) = delete;

  const std::string& path() const { return path_; }

  // Records the socket file now bound at the path (so that Remove removes
  // that file and no other) and sets its mode to 0600.
  void Bound();
  // Removes the socket file if it is still the one Bound recorded.
  void Remove();

 private:
  std::string path_;
  int lock_fd_ = -1;
  bool bound_ = false;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
};

}  // namespace qrole::rpc

#endif  // QROLE_RPC_SOCKET_FILE_H_
