// Starting and stopping qrole-server: socket paths and modes, stale and live
// sockets, signals, TCP with its token.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

constexpr int kNotAuthenticated = -32001;

// A temporary directory of the test itself.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/qrole-lifecycle-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

// Leaves a socket file at `path` with nobody listening, as a server that
// died would.
void MakeStaleSocket(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
  ASSERT_TRUE(Exists(path));
}

void ExpectServes(qrole::Client& c) { EXPECT_EQ(c.Call(c.Create("Enlace"), "Version"), "7.5.1"); }

TEST(LifecycleTest, SigtermReleasesEverythingRemovesTheSocketAndExitsZero) {
  ServerProcess server;
  qrole::Client a = server.Connect();
  qrole::Client b = server.Connect();
  a.Create("Enlace");
  a.Create("Collection");
  b.Create("Enlace");
  EXPECT_EQ(server.Stop(SIGTERM), 0);
  EXPECT_FALSE(Exists(server.socket_path()));
  std::string log = server.log();
  EXPECT_NE(log.find("received SIGTERM"), std::string::npos) << log;
  EXPECT_NE(log.find("released 2 objects"), std::string::npos) << log;
  EXPECT_NE(log.find("released 1 object"), std::string::npos) << log;
  // The clients see the end of their connections.
  EXPECT_FALSE(a.ReadLine(10000));
}

TEST(LifecycleTest, SigintStopsAsSigtermDoes) {
  ServerProcess server;
  qrole::Client a = server.Connect();
  a.Create("StrBuilder");
  EXPECT_EQ(server.Stop(SIGINT), 0);
  EXPECT_FALSE(Exists(server.socket_path()));
  EXPECT_NE(server.log().find("released 1 object"), std::string::npos);
}

TEST(LifecycleTest, SocketDirectoryAndFileAreTheOwnersOnly) {
  ServerProcess server;
  const std::string dir = std::filesystem::path(server.socket_path()).parent_path();
  EXPECT_EQ(ModeOf(dir), 0700u);
  EXPECT_EQ(ModeOf(server.socket_path()), 0600u);
  struct stat st;
  ASSERT_EQ(::lstat(server.socket_path().c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
}

TEST(LifecycleTest, StaleSocketIsReplaced) {
  TempDir tmp;
  ServerOptions options;
  options.socket_path = tmp.path() + "/s.sock";
  MakeStaleSocket(*options.socket_path);
  ServerProcess server(options);
  qrole::Client c = server.Connect();
  ExpectServes(c);
}

TEST(LifecycleTest, LiveServerIsNotTakenOver) {
  ServerProcess first;
  qrole::Client c = first.Connect();
  ServerOptions options;
  options.socket_path = first.socket_path();
  options.wait_ready = false;
  options.expected_exit_status = 1;
  ServerProcess second(options);
  EXPECT_EQ(second.WaitExit(std::chrono::seconds(10)), 1);
  EXPECT_NE(second.log().find(first.socket_path()), std::string::npos) << second.log();
  EXPECT_TRUE(Exists(first.socket_path()));
  ExpectServes(c);
  qrole::Client fresh = first.Connect();
  ExpectServes(fresh);
}

TEST(LifecycleTest, AnyLiveListenerKeepsItsSocket) {
  // A listener that holds no lock file (another program, another build).
  TempDir tmp;
  const std::string path = tmp.path() + "/busy.sock";
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  ServerOptions options;
  options.socket_path = path;
  options.wait_ready = false;
  options.expected_exit_status = 1;
  {
    ServerProcess server(options);
    EXPECT_EQ(server.WaitExit(std::chrono::seconds(10)), 1);
    EXPECT_NE(server.log().find("listening on " + path), std::string::npos) << server.log();
  }
  EXPECT_TRUE(Exists(path));
  int probe = ::socket(AF_UNIX, SOCK_STREAM, 0);
  EXPECT_EQ(::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0)
      << "the listener lost its socket";
  ::close(probe);
  ::close(fd);
}

TEST(LifecycleTest, AFileThatIsNotASocketIsLeftAlone) {
  TempDir tmp;
  const std::string path = tmp.path() + "/s.sock";
  WriteFileText(path, "precious");
  ServerOptions options;
  options.socket_path = path;
  options.wait_ready = false;
  options.expected_exit_status = 1;
  ServerProcess server(options);
  EXPECT_EQ(server.WaitExit(std::chrono::seconds(10)), 1);
  EXPECT_EQ(ReadFileText(path), "precious");
  EXPECT_NE(server.log().find("not a socket"), std::string::npos) << server.log();
}

TEST(LifecycleTest, ThePathCanBeServedAgainAfterAStop) {
  TempDir tmp;
  ServerOptions options;
  options.socket_path = tmp.path() + "/again.sock";
  {
    ServerProcess first(options);
    qrole::Client c = first.Connect();
    ExpectServes(c);
  }
  ServerProcess second(options);
  qrole::Client c = second.Connect();
  ExpectServes(c);
}

TEST(LifecycleTest, DefaultPathFromQroleSocket) {
  TempDir tmp;
  ServerOptions options;
  options.pass_socket = false;
  options.socket_path = tmp.path() + "/made/by/server/q.sock";
  options.env["QROLE_SOCKET"] = *options.socket_path;
  ServerProcess server(options);
  qrole::Client c = server.Connect();
  ExpectServes(c);
}

TEST(LifecycleTest, DefaultPathUnderXdgRuntimeDir) {
  TempDir tmp;
  ServerOptions options;
  options.pass_socket = false;
  options.socket_path = tmp.path() + "/qrole/qrole.sock";
  options.env["QROLE_SOCKET"] = "";  // unset
  options.env["XDG_RUNTIME_DIR"] = tmp.path();
  ServerProcess server(options);
  EXPECT_EQ(ModeOf(tmp.path() + "/qrole"), 0700u);
  qrole::Client c = server.Connect();
  ExpectServes(c);
  EXPECT_EQ(server.Stop(), 0);
  EXPECT_FALSE(Exists(*options.socket_path));
}

TEST(LifecycleTest, BadCommandLines) {
  struct Case {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"--listen", "127.0.0.1:0"}, 2},  // no token file
      {{"--frobnicate"}, 2},
      {{"--listen", "nonsense"}, 2},
      {{"--listen", "127.0.0.1:0", "--token-file", "/nonexistent/token"}, 1},
  };
  for (const Case& c : cases) {
    ServerOptions options;
    options.args = c.args;
    options.wait_ready = false;
    options.expected_exit_status = c.status;
    ServerProcess server(options);
    EXPECT_EQ(server.WaitExit(std::chrono::seconds(10)), c.status) << c.args[0];
  }
}

class TcpTest : public ::testing::Test {
 protected:
  static ServerOptions Tcp() {
    ServerOptions options;
    options.tcp = true;
    return options;
  }
  ServerProcess server_{Tcp()};
};

TEST_F(TcpTest, AuthenticatedClientsAreServed) {
  ASSERT_NE(server_.tcp_port(), 0);
  qrole::Client tcp = server_.ConnectTcp();
  int64_t e = tcp.Create("Enlace");
  tcp.Let(e, "Canal", "7x");
  EXPECT_EQ(tcp.Get(e, "Canal"), "007");
  // The Unix socket is served too, and needs no token.
  qrole::Client local = server_.Connect();
  ExpectServes(local);
}

TEST_F(TcpTest, EveryCallBeforeAuthIsRefused) {
  qrole::Client c = qrole::Client::ConnectTcpUnauthenticated("127.0.0.1", server_.tcp_port());
  EXPECT_EQ(ErrorOf([&] { c.Create("Enlace"); }).code(), kNotAuthenticated);
  EXPECT_EQ(ErrorOf([&] { c.Call(1, "Version"); }).code(), kNotAuthenticated);
  EXPECT_EQ(ErrorOf([&] { c.Request("frobnicate", json::object()); }).code(), kNotAuthenticated);
  c.Auth(server_.tcp_token());
  ExpectServes(c);
}

TEST_F(TcpTest, AWrongTokenEndsTheConnection) {
  qrole::Client c = qrole::Client::ConnectTcpUnauthenticated("127.0.0.1", server_.tcp_port());
  EXPECT_EQ(ErrorOf([&] { c.Auth(server_.tcp_token() + "x"); }).code(), kNotAuthenticated);
  EXPECT_FALSE(c.ReadLine(10000));
  EXPECT_THROW(qrole::Client::ConnectTcp("127.0.0.1", server_.tcp_port(), ""), qrole::RemoteError);
  qrole::Client good = server_.ConnectTcp();
  ExpectServes(good);
}

TEST(TcpOnlyTest, ListenWithoutSocketServesTcpOnly) {
  ServerOptions options;
  options.tcp = true;
  options.pass_socket = false;
  options.env["QROLE_SOCKET"] = "";
  options.env["XDG_RUNTIME_DIR"] = "";
  ServerProcess server(options);
  qrole::Client c = server.ConnectTcp();
  ExpectServes(c);
  EXPECT_EQ(server.log().find("listening on unix"), std::string::npos) << server.log();
}

TEST(TcpOnlyTest, NonLoopbackAddressesAreRefused) {
  TempDir tmp;
  WriteFileText(tmp.path() + "/token", "t0ken\n");
  for (const char* address : {"0.0.0.0:0", "8.8.8.8:0", "[::]:0"}) {
    ServerOptions options;
    options.args = {"--listen", address, "--token-file", tmp.path() + "/token"};
    options.wait_ready = false;
    options.expected_exit_status = 1;
    ServerProcess server(options);
    EXPECT_EQ(server.WaitExit(std::chrono::seconds(10)), 1) << address;
    EXPECT_NE(server.log().find("refusing"), std::string::npos) << server.log();
  }
}

}  // namespace
}  // namespace qrole::testing
