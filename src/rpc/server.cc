#include "rpc/server.h"

#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <thread>
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

// An integer socket option of `fd`; -1 when it cannot be read.
int SocketOption(int fd, int level, int name) {
  int value = 0;
  socklen_t length = sizeof value;
  if (::getsockopt(fd, level, name, &value, &length) != 0) return -1;
  return value;
}

std::string Describe(const PassedSocket& passed) {
  std::string text = "passed descriptor " + std::to_string(passed.fd);
  if (!passed.name.empty()) text += " (" + passed.name + ")";
  return text;
}

}  // namespace

Server::Server(ServerOptions options)
    : options_(std::move(options)), io_(1), signals_(io_, SIGTERM, SIGINT), idle_timer_(io_) {
  signals_.async_wait([this](const asio::error_code& ec, int signal_number) {
    if (ec) return;
    Log(std::string("received ") + (signal_number == SIGTERM ? "SIGTERM" : "SIGINT") +
        "; shutting down");
    Stop();
  });
}

Server::~Server() = default;

void Server::Open() {
  if (!options_.socket_path && !options_.tcp_host && options_.passed_sockets.empty())
    throw std::runtime_error("nothing to serve: no socket and no TCP address");
  if (options_.tcp_host && options_.token.empty())
    throw std::runtime_error("TCP needs a token (--token-file)");

  // Taken over first, so that they are closed however Open ends.
  std::vector<PassedSocket> passed = std::move(options_.passed_sockets);
  options_.passed_sockets.clear();
  for (size_t i = 0; i < passed.size(); ++i) {
    try {
      OpenPassedSocket(passed[i]);
    } catch (...) {
      for (size_t j = i + 1; j < passed.size(); ++j) ::close(passed[j].fd);
      throw;
    }
  }

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
    unix_acceptors_.push_back(std::move(acceptor));
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
    tcp_acceptors_.push_back(std::move(acceptor));
    Log("listening on tcp " + endpoint.address().to_string() + ":" +
        std::to_string(bound_tcp_port_));
  }
}

void Server::OpenPassedSocket(const PassedSocket& passed) {
  const int fd = passed.fd;
  auto refuse = [&](const std::string& why) {
    ::close(fd);
    throw std::runtime_error(Describe(passed) + " " + why);
  };
  if (SocketOption(fd, SOL_SOCKET, SO_TYPE) != SOCK_STREAM) refuse("is not a stream socket");
  if (SocketOption(fd, SOL_SOCKET, SO_ACCEPTCONN) != 1) refuse("is not listening");
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    refuse(std::string("cannot be read: ") + std::strerror(errno));
  asio::error_code ec;
  if (address.ss_family == AF_UNIX) {
    auto acceptor = std::make_unique<asio::local::stream_protocol::acceptor>(io_);
    acceptor->assign(asio::local::stream_protocol(), fd, ec);
    if (ec) refuse("cannot be used: " + ec.message());
    std::string path = acceptor->local_endpoint(ec).path();
    Log("listening on unix " + (path.empty() ? std::string("(unnamed)") : path) + " (" +
        Describe(passed) + ")");
    unix_acceptors_.push_back(std::move(acceptor));
    return;
  }
  if (address.ss_family != AF_INET && address.ss_family != AF_INET6)
    refuse("is neither a Unix nor a TCP socket");
  if (options_.token.empty()) refuse("is a TCP socket: TCP needs a token (--token-file)");
  auto acceptor = std::make_unique<asio::ip::tcp::acceptor>(io_);
  acceptor->assign(address.ss_family == AF_INET ? asio::ip::tcp::v4() : asio::ip::tcp::v6(), fd,
                   ec);
  if (ec) refuse("cannot be used: " + ec.message());
  asio::ip::tcp::endpoint endpoint = acceptor->local_endpoint(ec);
  if (ec || !endpoint.address().is_loopback()) {
    acceptor->release(ec);  // closed by refuse
    refuse("is not on a loopback address: only 127.0.0.1 and ::1 are served");
  }
  Log("listening on tcp " + endpoint.address().to_string() + ":" + std::to_string(endpoint.port()) +
      " (" + Describe(passed) + ")");
  tcp_acceptors_.push_back(std::move(acceptor));
}

void Server::Run() {
  for (auto& acceptor : unix_acceptors_) AcceptUnix(acceptor.get());
  for (auto& acceptor : tcp_acceptors_) AcceptTcp(acceptor.get());
  StartIdleClock();
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
    // Between two looks the processor is offered to whatever else is ready
    // to run (another server, the client itself on a busy machine).
    if (Clock::now() - last_work < kBusyPoll) {
      std::this_thread::yield();
      continue;
    }
    io_.run_one();
    last_work = Clock::now();
  }
}

void Server::Stop() {
  if (stopping_) return;
  stopping_ = true;
  asio::error_code ignored;
  for (auto& acceptor : unix_acceptors_) acceptor->close(ignored);
  for (auto& acceptor : tcp_acceptors_) acceptor->close(ignored);
  idle_timer_.cancel();
  std::vector<std::shared_ptr<Connection>> open;
  for (auto& [ptr, connection] : connections_) open.push_back(connection);
  for (auto& connection : open) connection->Close();
  connections_.clear();
  if (socket_claim_) socket_claim_->Remove();
  signals_.cancel(ignored);
  io_.stop();
}

void Server::AcceptUnix(asio::local::stream_protocol::acceptor* acceptor) {
  acceptor->async_accept(
      [this, acceptor](const asio::error_code& ec, asio::local::stream_protocol::socket socket) {
        if (stopping_ || ec == asio::error::operation_aborted) return;
        if (ec) {
          Log("accept failed: " + ec.message());
          RetryAcceptLater([this, acceptor] { AcceptUnix(acceptor); });
          return;
        }
        AddConnection(Connection::Socket(std::move(socket)), /*tcp=*/false, "unix");
        AcceptUnix(acceptor);
      });
}

void Server::AcceptTcp(asio::ip::tcp::acceptor* acceptor) {
  acceptor->async_accept(
      [this, acceptor](const asio::error_code& ec, asio::ip::tcp::socket socket) {
        if (stopping_ || ec == asio::error::operation_aborted) return;
        if (ec) {
          Log("accept failed: " + ec.message());
          RetryAcceptLater([this, acceptor] { AcceptTcp(acceptor); });
          return;
        }
        asio::error_code ignored;
        socket.set_option(asio::ip::tcp::no_delay(true), ignored);
        asio::ip::tcp::endpoint peer = socket.remote_endpoint(ignored);
        AddConnection(Connection::Socket(std::move(socket)), /*tcp=*/true,
                      "tcp " + peer.address().to_string() + ":" + std::to_string(peer.port()));
        AcceptTcp(acceptor);
      });
}

void Server::RetryAcceptLater(std::function<void()> accept) {
  // Out of descriptors, say: try again shortly rather than spin.
  auto timer = std::make_shared<asio::steady_timer>(io_, std::chrono::milliseconds(100));
  timer->async_wait([this, timer, accept = std::move(accept)](const asio::error_code& ec) {
    if (!ec && !stopping_) accept();
  });
}

void Server::StartIdleClock() {
  if (!options_.idle_exit || stopping_ || !connections_.empty()) return;
  // A wait that has already expired cannot be cancelled: its handler still
  // runs, and must see that a newer clock (or a connection) replaced it.
  const uint64_t generation = ++idle_generation_;
  idle_timer_.expires_after(*options_.idle_exit);
  idle_timer_.async_wait([this, generation](const asio::error_code& ec) {
    if (ec || stopping_ || generation != idle_generation_ || !connections_.empty()) return;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", options_.idle_exit->count() / 1000.0);
    Log(std::string("no connection for ") + seconds + " s; shutting down");
    Stop();
  });
}

void Server::AddConnection(Connection::Socket socket, bool tcp, const std::string& peer) {
  Session::Options session_options;
  session_options.requires_auth = tcp;
  session_options.token = options_.token;
  std::string name = "connection " + std::to_string(++connection_count_) + " (" + peer + ")";
  auto connection = std::make_shared<Connection>(
      std::move(socket), std::make_unique<Session>(&handles_, std::move(session_options)),
      options_.max_message_bytes, name, [this](Connection* closed) {
        connections_.erase(closed);
        StartIdleClock();
      });
  connections_.emplace(connection.get(), connection);
  ++idle_generation_;
  idle_timer_.cancel();
  Log(name + " opened");
  connection->Start();
}

}  // namespace qrole::rpc
