#include "rpc/server.h"

#include <sys/stat.h>

#include <csignal>
#include <iostream>
#include <vector>

namespace qrole::rpc {

namespace {

// How long the server keeps looking for work before it sleeps.
constexpr auto kBusyPoll = std::chrono::microseconds(100);

void Log(const std::string& line) { std::cerr << "qrole-server: " << line << "\n"; }

asio::ip::address LoopbackAddress(const std::string& host) {
  if (host == "localhost") return asio::ip::address_v4::loopback();
  std::string literal = host;
  if (literal.size() > 2 && literal.front() == '[' && literal.back() == ']')
    literal = literal.substr(1, literal.size() - 2);
  asio::error_code ec;
  asio::ip::address address = asio::ip::make_address(literal, ec);
  if (ec) throw std::runtime_error("not an IP address: " + host);
  if (!address.is_loopback())
    throw std::runtime_error("refusing to listen on " + host +
                             ": only loopback addresses (127.0.0.1, ::1) are served");
  return address;
}

}  // namespace

Server::Server(ServerOptions options)
    : options_(std::move(options)), io_(1), signals_(io_, SIGTERM, SIGINT) {
  signals_.async_wait([this](const asio::error_code& ec, int signal_number) {
    if (ec) return;
    Log(std::string("received ") + (signal_number == SIGTERM ? "SIGTERM" : "SIGINT") +
        "; shutting down");
    Stop();
  });
}

Server::~Server() = default;

void Server::Open() {
  if (!options_.socket_path && !options_.tcp_host)
    throw std::runtime_error("nothing to serve: no socket and no TCP address");
  if (options_.tcp_host && options_.token.empty())
    throw std::runtime_error("TCP needs a token (--token-file)");

  if (options_.socket_path) {
    socket_claim_ =
        std::make_unique<SocketFileClaim>(*options_.socket_path, options_.socket_path_is_default);
    auto acceptor = std::make_unique<asio::local::stream_protocol::acceptor>(io_);
    asio::local::stream_protocol::endpoint endpoint(*options_.socket_path);
    acceptor->open(endpoint.protocol());
    // The socket file is born with mode 0600: nobody else can connect in the
    // moment before Bound() sets it again.
    mode_t old_mask = ::umask(0177);
    asio::error_code ec;
    acceptor->bind(endpoint, ec);
    ::umask(old_mask);
    if (ec) throw std::runtime_error("cannot bind " + *options_.socket_path + ": " + ec.message());
    socket_claim_->Bound();
    acceptor->listen(asio::socket_base::max_listen_connections);
    unix_acceptor_ = std::move(acceptor);
    Log("listening on unix " + *options_.socket_path);
  }
  if (options_.tcp_host) {
    asio::ip::tcp::endpoint endpoint(LoopbackAddress(*options_.tcp_host), options_.tcp_port);
    auto acceptor = std::make_unique<asio::ip::tcp::acceptor>(io_);
    asio::error_code ec;
    acceptor->open(endpoint.protocol(), ec);
    if (!ec) acceptor->set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor->bind(endpoint, ec);
    if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
    if (ec)
      throw std::runtime_error("cannot listen on " + *options_.tcp_host + ":" +
                               std::to_string(options_.tcp_port) + ": " + ec.message());
    bound_tcp_port_ = acceptor->local_endpoint().port();
    tcp_acceptor_ = std::move(acceptor);
    Log("listening on tcp " + endpoint.address().to_string() + ":" +
        std::to_string(bound_tcp_port_));
  }
}

void Server::Run() {
  if (unix_acceptor_) AcceptUnix();
  if (tcp_acceptor_) AcceptTcp();
  Log("ready");
  while (!stopping_) {
    try {
      RunLoop();
      break;
    } catch (const std::exception& e) {
      // A failure outside every call's own handling: log it and serve on.
      Log(std::string("unexpected failure: ") + e.what());
    }
  }
  Log("stopped");
}

void Server::RunLoop() {
  using Clock = std::chrono::steady_clock;
  auto last_work = Clock::now();
  while (!io_.stopped()) {
    if (io_.poll() > 0) {
      last_work = Clock::now();
      continue;
    }
    // Nothing ready. A client in a conversation sends its next call within
    // microseconds: look again for a short while before sleeping, which
    // spares both sides a wake-up on every call.
    if (Clock::now() - last_work < kBusyPoll) continue;
    io_.run_one();
    last_work = Clock::now();
  }
}

void Server::Stop() {
  if (stopping_) return;
  stopping_ = true;
  asio::error_code ignored;
  if (unix_acceptor_) unix_acceptor_->close(ignored);
  if (tcp_acceptor_) tcp_acceptor_->close(ignored);
  std::vector<std::shared_ptr<Connection>> open;
  for (auto& [ptr, connection] : connections_) open.push_back(connection);
  for (auto& connection : open) connection->Close();
  connections_.clear();
  if (socket_claim_) socket_claim_->Remove();
  signals_.cancel(ignored);
  io_.stop();
}

void Server::AcceptUnix() {
  unix_acceptor_->async_accept(
      [this](const asio::error_code& ec, asio::local::stream_protocol::socket socket) {
        if (stopping_ || ec == asio::error::operation_aborted) return;
        if (ec) {
          Log("accept failed: " + ec.message());
          RetryAcceptLater(&Server::AcceptUnix);
          return;
        }
        AddConnection(Connection::Socket(std::move(socket)), /*tcp=*/false, "unix");
        AcceptUnix();
      });
}

void Server::AcceptTcp() {
  tcp_acceptor_->async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
    if (stopping_ || ec == asio::error::operation_aborted) return;
    if (ec) {
      Log("accept failed: " + ec.message());
      RetryAcceptLater(&Server::AcceptTcp);
      return;
    }
    asio::error_code ignored;
    socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    asio::ip::tcp::endpoint peer = socket.remote_endpoint(ignored);
    AddConnection(Connection::Socket(std::move(socket)), /*tcp=*/true,
                  "tcp " + peer.address().to_string() + ":" + std::to_string(peer.port()));
    AcceptTcp();
  });
}

void Server::RetryAcceptLater(void (Server::*accept)()) {
  // Out of descriptors, say: try again shortly rather than spin.
  auto timer = std::make_shared<asio::steady_timer>(io_, std::chrono::milliseconds(100));
  timer->async_wait([this, timer, accept](const asio::error_code& ec) {
    if (!ec && !stopping_) (this->*accept)();
  });
}

void Server::AddConnection(Connection::Socket socket, bool tcp, const std::string& peer) {
  Session::Options session_options;
  session_options.requires_auth = tcp;
  session_options.token = options_.token;
  std::string name = "connection " + std::to_string(++connection_count_) + " (" + peer + ")";
  auto connection = std::make_shared<Connection>(
      std::move(socket), std::make_unique<Session>(&handles_, std::move(session_options)),
      options_.max_message_bytes, name, [this](Connection* closed) { connections_.erase(closed); });
  connections_.emplace(connection.get(), connection);
  Log(name + " opened");
  connection->Start();
}

}  // namespace qrole::rpc
