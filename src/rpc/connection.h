// One client connection of qrole-server: reads lines, hands them to its
// Session, writes the answers in order.
//
// Design: everything runs on the server's one thread. A read takes at most
// one buffer of bytes and runs the complete lines in it before reading
// again, so a busy client cannot starve the others for long. When a
// client's unsent answers pass a limit, its remaining lines wait, and
// nothing more is read from it, until they are sent. A
// line longer than the limit is answered with an error, and the connection
// closes once the answer is sent; so does a connection whose client closed
// its side (after the answers to its complete lines are sent; a partial last
// line is dropped). Closing releases every object of the connection.

#ifndef QROLE_RPC_CONNECTION_H_
#define QROLE_RPC_CONNECTION_H_

#include <array>
#include <asio.hpp>
#include <functional>
#include <memory>
#include <string>

#include "rpc/session.h"

namespace qrole::rpc {

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  using Socket = asio::generic::stream_protocol::socket;
  using ClosedCallback = std::function<void(Connection*)>;

  // `name` identifies the connection in the log; `on_closed` runs once, when
  // the connection has closed.
  Connection(Socket socket, std::unique_ptr<Session> session, size_t max_message_bytes,
             std::string name, ClosedCallback on_closed);

  // Starts reading.
  void Start();
  // Closes now: releases the connection's objects and closes the socket.
  void Close();

 private:
  // Runs what can run and starts what must start: lines waiting in buffer_,
  // the next write, the next read, or the close.
  void Pump();
  // Runs the complete lines in buffer_ until the unsent answers exceed their
  // limit; returns true when it stopped for that reason (lines remain).
  bool RunLines();
  void Read();
  void Write();

  Socket socket_;
  std::unique_ptr<Session> session_;
  const size_t max_message_bytes_;
  const std::string name_;
  ClosedCallback on_closed_;

  std::array<char, 64 * 1024> chunk_;
  std::string buffer_;   // bytes read and not yet run
  size_t scanned_ = 0;   // leading bytes of buffer_ known to hold no '\n'
  std::string writing_;  // answers being written
  std::string pending_;  // answers waiting for the write in progress
  bool write_in_progress_ = false;
  bool read_in_progress_ = false;
  bool peer_done_ = false;  // the client closed its side
  bool close_after_write_ = false;
  bool closed_ = false;
};

}  // namespace qrole::rpc

#endif  // QROLE_RPC_CONNECTION_H_
