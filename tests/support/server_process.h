// A qrole-server child process for tests that drive the server as a client
// would, through its socket.
//
//   ServerProcess server;                 // started, socket accepting
//   qrole::Client c = server.Connect();
//   int64_t e = c.Create("Enlace");
//
//   ServerOptions options;
//   options.home_files["win.ini"] = "[intl]\nsDecimal=.\n";
//   options.env["TZ"] = "Europe/Madrid";
//   ServerProcess server(options);
//
// Each server gets a fresh temporary directory holding its QROLE_HOME
// (home()), a data directory (data_dir()), the user's data and configuration
// folders (XDG_DATA_HOME, XDG_CONFIG_HOME) and the socket (socket_path()).
// Unless `home_files` has its own "registry.ini", one is written that points
// DATOS_DIR at data_dir(). The server's log (its stderr) goes to a file in
// the directory (log()). The destructor stops the server with SIGTERM and
// reports a test failure unless it exits with status 0 within 10 s; then
// removes the directory.
//
// The binary is $QROLE_TEST_BIN_DIR/qrole-server. Failures to start throw
// std::runtime_error, with the server's log in the message.

#ifndef QROLE_TESTS_SUPPORT_SERVER_PROCESS_H_
#define QROLE_TESTS_SUPPORT_SERVER_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "qrole/client.h"

namespace qrole::testing {

struct ServerOptions {
  // Files written into QROLE_HOME before the server starts (name -> text).
  std::map<std::string, std::string> home_files;
  // Lines ("Name=value\n") added to the product settings of the default
  // "registry.ini" (unused when `home_files` has its own).
  std::string settings;
  // Extra environment variables of the server (added to, or replacing, the
  // test's own environment); an empty value removes the variable.
  std::map<std::string, std::string> env;
  // Pass --socket <dir>/s.sock (false: the server picks its default path,
  // which `env` may steer with QROLE_SOCKET or XDG_RUNTIME_DIR; set
  // `socket_path` to where it will be).
  bool pass_socket = true;
  std::optional<std::string> socket_path;
  // Serve TCP too: --listen 127.0.0.1:0 --token-file <dir>/token, with the
  // token `tcp_token`.
  bool tcp = false;
  std::string tcp_token = "test-token-7f3a9c";
  // Socket activation: pass this listening socket as descriptor 3, with
  // LISTEN_FDS=1, LISTEN_FDNAMES=`passed_socket_name` and LISTEN_PID set to
  // the server's pid (or to another pid when `passed_socket_pid_mismatch`,
  // as when the variables were meant for a parent). The caller keeps its own
  // descriptor.
  int passed_socket_fd = -1;
  std::string passed_socket_name = "qrole.socket";
  bool passed_socket_pid_mismatch = false;
  // Further command-line arguments.
  std::vector<std::string> args;
  // Wait for the server to accept (false: return at once, e.g. to test a
  // server that must refuse to start).
  bool wait_ready = true;
  // The exit status the destructor expects (0 after SIGTERM).
  int expected_exit_status = 0;
};

class ServerProcess {
 public:
  ServerProcess();
  explicit ServerProcess(ServerOptions options);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // A new connection to the socket.
  qrole::Client Connect() const;
  // A new TCP connection, authenticated (options.tcp only).
  qrole::Client ConnectTcp() const;

  const std::string& dir() const { return dir_; }
  const std::string& home() const { return home_; }
  const std::string& data_dir() const { return data_dir_; }
  const std::string& socket_path() const { return socket_path_; }
  uint16_t tcp_port() const { return tcp_port_; }
  const std::string& tcp_token() const { return options_.tcp_token; }
  pid_t pid() const { return pid_; }

  // The server's log so far.
  std::string log() const;
  // Waits (up to `timeout`) until the log contains `text`; returns whether
  // it did.
  bool WaitForLog(const std::string& text,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

  // Sends `signal_number`, waits (up to 10 s) for the exit and returns the
  // exit status (128 + signal when killed by a signal, -1 when it did not
  // exit and had to be killed). Idempotent: later calls return the same.
  int Stop(int signal_number = 15 /* SIGTERM */);
  // Waits (up to `timeout`) for the server to exit by itself; returns its
  // status, or nullopt while it still runs.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);
  bool running();

 private:
  void Start();
  void WaitReady();

  ServerOptions options_;
  std::string dir_, home_, data_dir_, socket_path_, log_path_;
  uint16_t tcp_port_ = 0;
  pid_t pid_ = -1;
  std::optional<int> exit_status_;
};

// The text of a file (empty when it cannot be read).
std::string ReadFileText(const std::string& path);
// Writes a file, creating it or replacing its text.
void WriteFileText(const std::string& path, const std::string& text);

}  // namespace qrole::testing

#endif  // QROLE_TESTS_SUPPORT_SERVER_PROCESS_H_
