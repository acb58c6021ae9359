// qrole-server: serves the automation interface to other processes.
//
//   qrole-server [--socket PATH] [--listen 127.0.0.1:PORT --token-file FILE]
//                [--max-message-bytes N] [--idle-exit SECONDS]
//
// Sockets passed by a service manager (LISTEN_PID, LISTEN_FDS) are served.
// Without them, --socket and --listen the server listens on the default
// socket path ($QROLE_SOCKET, else $XDG_RUNTIME_DIR/qrole/qrole.sock, else
// /tmp/qrole-<uid>/qrole.sock). With --listen alone it serves TCP only.
// Exit status: 0 after SIGTERM or SIGINT or an idle exit, 1 when it cannot
// start, 2 for a wrong command line.

#include <malloc.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "rpc/server.h"
#include "rpc/socket_activation.h"
#include "rpc/socket_file.h"
#include "server/startup.h"

namespace {

constexpr const char* kUsage =
    "usage: qrole-server [--socket PATH] [--listen HOST:PORT --token-file FILE]\n"
    "                    [--max-message-bytes N] [--idle-exit SECONDS]\n"
    "  --socket PATH          serve on the Unix socket PATH\n"
    "  --listen HOST:PORT     serve on TCP loopback (127.0.0.1, [::1] or localhost)\n"
    "  --token-file FILE      the token every TCP connection must send with auth\n"
    "  --max-message-bytes N  longest request line accepted (default 64 MiB)\n"
    "  --idle-exit SECONDS    exit once no connection has been open for SECONDS\n"
    "Listening sockets passed by a service manager (LISTEN_PID, LISTEN_FDS) are\n"
    "served too; without them, --socket and --listen the default socket is used.\n";

[[noreturn]] void UsageError(const std::string& message) {
  std::cerr << "qrole-server: " << message << "\n" << kUsage;
  std::exit(2);
}

// The token in `path`, without the line end or surrounding blanks.
std::string ReadToken(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the token file " + path);
  std::ostringstream text;
  text << in.rdbuf();
  std::string token = text.str();
  const char* blanks = " \t\r\n";
  size_t first = token.find_first_not_of(blanks);
  if (first == std::string::npos) throw std::runtime_error("the token file " + path + " is empty");
  token = token.substr(first, token.find_last_not_of(blanks) - first + 1);
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 077) != 0)
    std::cerr << "qrole-server: warning: the token file " << path
              << " can be read by other users\n";
  return token;
}

void ParseListen(const std::string& value, qrole::rpc::ServerOptions* options) {
  size_t colon = value.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == value.size())
    UsageError("--listen needs HOST:PORT");
  std::string port_text = value.substr(colon + 1);
  char* end = nullptr;
  unsigned long port = std::strtoul(port_text.c_str(), &end, 10);
  if (*end != '\0' || port > 65535) UsageError("bad port in --listen: " + port_text);
  options->tcp_host = value.substr(0, colon);
  options->tcp_port = static_cast<uint16_t>(port);
}

// "30", "0.5": a positive number of seconds, at most a day.
std::chrono::milliseconds ParseIdle(const std::string& text) {
  char* end = nullptr;
  double seconds = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400)
    UsageError("bad --idle-exit (seconds, above 0, at most 86400): " + text);
  return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000 + 0.5));
}

// Heap kept between calls. A call that loads a long statement or search
// builds tens of megabytes of small objects and frees the previous ones;
// without this the allocator gives the freed top of the heap back to the
// system at once and the next call faults every page in again (a fifth of
// the time of a 20,000-line statement), and each window of records read
// together would be a fresh mapping.
constexpr int kHeapKeptBytes = 128 << 20;
constexpr int kLargestHeapBlock = 16 << 20;

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  mallopt(M_TRIM_THRESHOLD, kHeapKeptBytes);
  mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
  qrole::rpc::ServerOptions options;
  std::string token_file;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) UsageError(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--socket") {
      options.socket_path = value();
    } else if (arg == "--listen") {
      ParseListen(value(), &options);
    } else if (arg == "--token-file") {
      token_file = value();
    } else if (arg == "--max-message-bytes") {
      std::string text = value();
      char* end = nullptr;
      unsigned long long n = std::strtoull(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || n < 1024) UsageError("bad --max-message-bytes: " + text);
      options.max_message_bytes = static_cast<size_t>(n);
    } else if (arg == "--idle-exit") {
      options.idle_exit = ParseIdle(value());
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      UsageError("unknown option " + arg);
    }
  }
  if (options.tcp_host && token_file.empty()) UsageError("--listen needs --token-file");

  try {
    options.passed_sockets = qrole::rpc::TakePassedSockets();
    // A passed TCP socket needs the token too.
    if (!options.tcp_host && !token_file.empty() && options.passed_sockets.empty())
      UsageError("--token-file needs --listen");
    if (!options.socket_path && !options.tcp_host && options.passed_sockets.empty()) {
      options.socket_path = qrole::rpc::DefaultSocketPath();
      options.socket_path_is_default = true;
    }
    if (!token_file.empty()) options.token = ReadToken(token_file);
    qrole::rpc::Server server(options);  // catches SIGTERM and SIGINT from here on
    qrole::server::StartServer();
    server.Open();
    server.Run();
  } catch (const std::exception& e) {
    std::cerr << "qrole-server: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
