// qrole-server: the automation interface over a Unix socket and, optionally,
// TCP loopback, as the socket contract describes.
//
// Design: one asio io_context run by one thread accepts connections, reads
// and writes, and runs every call, so calls of all connections run one at a
// time and the objects and process-wide state need no locks. SIGTERM and
// SIGINT stop the server: it stops accepting, closes every connection
// (releasing, and so destroying, every live object), removes its socket file
// and Run returns.
//
// Sockets come from the server's own binding (a socket path it claims, a TCP
// loopback port) or from a service manager that passed them already
// listening (socket activation); a passed socket's file belongs to the
// service manager and is left in place. With an idle limit the server stops
// as after SIGTERM once no connection has been open for that long: the idle
// clock starts when Run starts and again whenever the last open connection
// closes, and stops while any connection is open.

#ifndef QROLE_RPC_SERVER_H_
#define QROLE_RPC_SERVER_H_

#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "rpc/connection.h"
#include "rpc/session.h"
#include "rpc/socket_activation.h"
#include "rpc/socket_file.h"

namespace qrole::rpc {

// Longest message (line) accepted by default: 64 MiB.
inline constexpr size_t kDefaultMaxMessageBytes = 64u * 1024 * 1024;

struct ServerOptions {
  // Serve on this Unix socket (none: no Unix socket).
  std::optional<std::string> socket_path;
  // The socket path is a default location (see SocketFileClaim).
  bool socket_path_is_default = false;
  // Serve on this TCP loopback address ("127.0.0.1", "::1", "localhost") and
  // port (0: any free port); every TCP connection must authenticate with
  // `token`.
  std::optional<std::string> tcp_host;
  uint16_t tcp_port = 0;
  std::string token;
  size_t max_message_bytes = kDefaultMaxMessageBytes;
  // Listening sockets passed by a service manager (TakePassedSockets): Unix
  // stream sockets, or TCP sockets on a loopback address (which need
  // `token`). Served besides `socket_path` and `tcp_host`; the server owns
  // the descriptors from Open on.
  std::vector<PassedSocket> passed_sockets;
  // Stop once no connection has been open for this long (none: never).
  std::optional<std::chrono::milliseconds> idle_exit;
};

class Server {
 public:
  // Starts catching SIGTERM and SIGINT (a signal arriving before Run is
  // handled when Run starts).
  explicit Server(ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Claims the socket path and binds the socket and the TCP port, and takes
  // over the passed sockets. Throws std::runtime_error with a message for
  // the user (a live server on the path, a non-loopback address, an address
  // in use, a passed descriptor that is not a listening stream socket, ...).
  void Open();

  // Serves until a signal or Stop; then closes every connection and removes
  // the socket file.
  void Run();

  // Stops as a signal does (callable from the server's thread only).
  void Stop();

  // The TCP port bound by Open (meaningful when TCP is served).
  uint16_t tcp_port() const { return bound_tcp_port_; }

 private:
  // Runs handlers until the io_context stops.
  void RunLoop();
  void OpenPassedSocket(const PassedSocket& passed);
  void AcceptUnix(asio::local::stream_protocol::acceptor* acceptor);
  void AcceptTcp(asio::ip::tcp::acceptor* acceptor);
  void AddConnection(Connection::Socket socket, bool tcp, const std::string& peer);
  void RetryAcceptLater(std::function<void()> accept);
  // Starts the idle clock (when there is an idle limit and no connection).
  void StartIdleClock();

  ServerOptions options_;
  asio::io_context io_;
  asio::signal_set signals_;
  std::unique_ptr<SocketFileClaim> socket_claim_;
  std::vector<std::unique_ptr<asio::local::stream_protocol::acceptor>> unix_acceptors_;
  std::vector<std::unique_ptr<asio::ip::tcp::acceptor>> tcp_acceptors_;
  asio::steady_timer idle_timer_;
  uint64_t idle_generation_ = 0;
  uint16_t bound_tcp_port_ = 0;
  HandleSource handles_;
  std::unordered_map<Connection*, std::shared_ptr<Connection>> connections_;
  uint64_t connection_count_ = 0;
  bool stopping_ = false;
};

}  // namespace qrole::rpc

#endif  // QROLE_RPC_SERVER_H_
