// Socket activation and the idle exit: qrole-server started as a service
// manager starts it, with a listening socket passed as descriptor 3.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "qrole/client.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// A listening Unix socket bound at a path in a directory of its own, as a
// service manager makes it before the server runs.
class ListeningSocket {
 public:
  ListeningSocket() {
    char pattern[] = "/tmp/qrole-activation-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    path_ = dir_ + "/qrole.sock";
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path_.c_str(), sizeof addr.sun_path - 1);
    bound_ =
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(fd_, 16) == 0;
  }
  ~ListeningSocket() {
    ::close(fd_);
    std::filesystem::remove_all(dir_);
  }
  int fd() const { return fd_; }
  bool bound() const { return bound_; }
  const std::string& path() const { return path_; }

 private:
  std::string dir_, path_;
  int fd_ = -1;
  bool bound_ = false;
};

ServerOptions Activated(const ListeningSocket& socket, std::vector<std::string> args = {}) {
  ServerOptions options;
  options.pass_socket = false;
  options.socket_path = socket.path();
  options.passed_socket_fd = socket.fd();
  options.args = std::move(args);
  return options;
}

bool IsSocket(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

TEST(SocketActivationTest, ServesThePassedSocketAndLeavesItsFile) {
  ListeningSocket socket;
  ASSERT_TRUE(socket.bound());
  ServerProcess server(Activated(socket));
  EXPECT_TRUE(server.WaitForLog("(passed descriptor 3 (qrole.socket))")) << server.log();
  {
    qrole::Client c = server.Connect();
    EXPECT_EQ(c.Call(c.Create("Enlace"), "Version"), "7.5.1");
  }
  EXPECT_EQ(server.Stop(), 0) << server.log();
  // The socket file belongs to the service manager: a server started later
  // on the same socket must find it.
  EXPECT_TRUE(IsSocket(socket.path()));
  // The default socket was not made besides.
  EXPECT_EQ(server.log().find("listening on unix " + server.dir()), std::string::npos);
}

TEST(SocketActivationTest, ExitsWhenIdleAndTheSocketStillQueuesConnections) {
  ListeningSocket socket;
  ASSERT_TRUE(socket.bound());
  {
    ServerProcess server(Activated(socket, {"--idle-exit", "1"}));
    {
      qrole::Client c = server.Connect();
      EXPECT_EQ(c.Call(c.Create("Enlace"), "Version"), "7.5.1");
      // An open connection keeps the server, however long it is quiet.
      std::this_thread::sleep_for(milliseconds(2200));
      EXPECT_TRUE(server.running());
      EXPECT_EQ(c.Call(c.Create("Enlace"), "Version"), "7.5.1");
    }
    std::optional<int> status = server.WaitExit(seconds(10));
    ASSERT_TRUE(status.has_value()) << "still running; log:\n" << server.log();
    EXPECT_EQ(*status, 0);
    EXPECT_NE(server.log().find("no connection for 1 s; shutting down"), std::string::npos)
        << server.log();
  }
  // The listening socket outlives the server: a connection made now waits
  // in its queue for the next server the service manager starts.
  ASSERT_TRUE(IsSocket(socket.path()));
  qrole::Client early = qrole::Client::Connect(socket.path());
  ServerProcess next(Activated(socket, {"--idle-exit", "30"}));
  EXPECT_EQ(early.Call(early.Create("Enlace"), "Version"), "7.5.1");
}

TEST(SocketActivationTest, IdleExitWithItsOwnSocketRemovesIt) {
  ServerOptions options;
  options.args = {"--idle-exit", "0.3"};
  options.wait_ready = false;  // it may well be gone before a probe connects
  ServerProcess server(options);
  std::optional<int> status = server.WaitExit(seconds(10));
  ASSERT_TRUE(status.has_value()) << server.log();
  EXPECT_EQ(*status, 0);
  EXPECT_NE(server.log().find("qrole-server: ready"), std::string::npos) << server.log();
  EXPECT_NE(server.log().find("no connection for 0.3 s; shutting down"), std::string::npos)
      << server.log();
  EXPECT_FALSE(IsSocket(server.socket_path()));
}

TEST(SocketActivationTest, VariablesMeantForAnotherProcessAreIgnored) {
  ListeningSocket socket;
  ASSERT_TRUE(socket.bound());
  ServerOptions options;  // its own --socket
  options.passed_socket_fd = socket.fd();
  options.passed_socket_pid_mismatch = true;
  ServerProcess server(options);
  EXPECT_EQ(server.log().find("passed descriptor"), std::string::npos) << server.log();
  qrole::Client c = server.Connect();
  EXPECT_EQ(c.Call(c.Create("Enlace"), "Version"), "7.5.1");
}

TEST(SocketActivationTest, APassedSocketThatDoesNotListenIsRefused) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  ServerOptions options;
  options.pass_socket = false;
  options.passed_socket_fd = fd;
  options.wait_ready = false;
  options.expected_exit_status = 1;
  ServerProcess server(options);
  std::optional<int> status = server.WaitExit(seconds(10));
  ::close(fd);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 1);
  EXPECT_NE(server.log().find("passed descriptor 3 (qrole.socket) is not listening"),
            std::string::npos)
      << server.log();
}

TEST(SocketActivationTest, APassedTcpSocketOnAnotherAddressIsRefused) {
  // Bound to every address, which is not loopback only.
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  addr.sin_port = 0;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  char token_path[] = "/tmp/qrole-activation-token-XXXXXX";
  int token_fd = ::mkstemp(token_path);
  ASSERT_GE(token_fd, 0);
  ASSERT_EQ(::write(token_fd, "secret\n", 7), 7);
  ::close(token_fd);
  ServerOptions options;
  options.pass_socket = false;
  options.passed_socket_fd = fd;
  options.args = {"--token-file", token_path};
  options.wait_ready = false;
  options.expected_exit_status = 1;
  ServerProcess server(options);
  std::optional<int> status = server.WaitExit(seconds(10));
  ::close(fd);
  ::unlink(token_path);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 1);
  EXPECT_NE(server.log().find("is not on a loopback address"), std::string::npos) << server.log();
}

TEST(SocketActivationTest, AWrongIdleLimitIsAUsageError) {
  ServerOptions options;
  options.args = {"--idle-exit", "0"};
  options.wait_ready = false;
  options.expected_exit_status = 2;
  ServerProcess server(options);
  std::optional<int> status = server.WaitExit(seconds(10));
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 2);
}

}  // namespace
}  // namespace qrole::testing
