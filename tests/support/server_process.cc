#include "support/server_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace qrole::testing {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(5);

std::string ServerBinary() {
  const char* dir = std::getenv("QROLE_TEST_BIN_DIR");
  if (!dir || !*dir) throw std::runtime_error("QROLE_TEST_BIN_DIR is not set");
  return std::string(dir) + "/qrole-server";
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path);
}

ServerProcess::ServerProcess() : ServerProcess(ServerOptions{}) {}

ServerProcess::ServerProcess(ServerOptions options) : options_(std::move(options)) {
  char pattern[] = "/tmp/qrole-test-XXXXXX";
  if (!::mkdtemp(pattern)) throw std::runtime_error(std::string("mkdtemp: ") + strerror(errno));
  dir_ = pattern;
  home_ = dir_ + "/home";
  data_dir_ = dir_ + "/data";
  log_path_ = dir_ + "/server.log";
  std::filesystem::create_directories(home_);
  std::filesystem::create_directories(data_dir_);
  if (!options_.home_files.count("registry.ini")) {
    WriteFileText(home_ + "/registry.ini",
                  "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ + "/\n" +
                      options_.settings);
  }
  for (const auto& [name, text] : options_.home_files) WriteFileText(home_ + "/" + name, text);
  if (options_.socket_path) {
    socket_path_ = *options_.socket_path;
  } else if (options_.pass_socket) {
    socket_path_ = dir_ + "/run/s.sock";  // run/ does not exist yet: the server makes it
  }
  try {
    Start();
    if (options_.wait_ready) WaitReady();
  } catch (...) {
    if (pid_ > 0 && !exit_status_) {
      ::kill(pid_, SIGKILL);
      int status;
      ::waitpid(pid_, &status, 0);
    }
    std::filesystem::remove_all(dir_);
    throw;
  }
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0) {
    int status = Stop();
    if (status != options_.expected_exit_status) {
      ADD_FAILURE() << "qrole-server exited with status " << status << " (expected "
                    << options_.expected_exit_status << "); its log:\n"
                    << log();
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void ServerProcess::Start() {
  std::vector<std::string> args = {ServerBinary()};
  if (options_.pass_socket) {
    args.push_back("--socket");
    args.push_back(socket_path_);
  }
  if (options_.tcp) {
    const std::string token_file = dir_ + "/token";
    WriteFileText(token_file, options_.tcp_token + "\n");
    ::chmod(token_file.c_str(), 0600);
    args.insert(args.end(), {"--listen", "127.0.0.1:0", "--token-file", token_file});
  }
  args.insert(args.end(), options_.args.begin(), options_.args.end());

  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  env["QROLE_HOME"] = home_;
  // The user's folders (shared concept files, documents) stay inside the
  // test's directory too.
  env["XDG_DATA_HOME"] = dir_ + "/xdg-data";
  env["XDG_CONFIG_HOME"] = dir_ + "/xdg-config";
  for (const auto& [name, value] : options_.env) {
    if (value.empty()) {
      env.erase(name);
    } else {
      env[name] = value;
    }
  }
  const bool activation = options_.passed_socket_fd >= 0;
  if (activation) {
    env["LISTEN_FDS"] = "1";
    env["LISTEN_FDNAMES"] = options_.passed_socket_name;
    env.erase("LISTEN_PID");
  }
  std::vector<std::string> env_entries;
  for (const auto& [name, value] : env) env_entries.push_back(name + "=" + value);
  // The child writes its own pid here before it runs the server.
  char listen_pid[32] = "LISTEN_PID=";
  const size_t listen_pid_digits = std::strlen(listen_pid);

  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env_entries) envp.push_back(e.data());
  if (activation) envp.push_back(listen_pid);
  envp.push_back(nullptr);

  int log_fd = ::open(log_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (log_fd < 0) throw std::runtime_error("cannot create " + log_path_);
  int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + strerror(errno));
  if (pid_ == 0) {
    ::dup2(null_fd, 0);
    ::dup2(log_fd, 1);
    ::dup2(log_fd, 2);
    if (activation) {
      // No allocation between fork and exec: the digits are written in place.
      if (options_.passed_socket_fd == 3) {
        ::fcntl(3, F_SETFD, 0);
      } else {
        ::dup2(options_.passed_socket_fd, 3);  // the copy is not close-on-exec
      }
      unsigned long pid = static_cast<unsigned long>(::getpid());
      if (options_.passed_socket_pid_mismatch) pid += 1;
      char digits[24];
      size_t n = 0;
      do {
        digits[n++] = static_cast<char>('0' + pid % 10);
        pid /= 10;
      } while (pid != 0);
      size_t at = listen_pid_digits;
      while (n > 0 && at + 1 < sizeof listen_pid) listen_pid[at++] = digits[--n];
      listen_pid[at] = '\0';
    }
    ::execve(argv[0], argv.data(), envp.data());
    const char message[] = "cannot run qrole-server\n";
    [[maybe_unused]] ssize_t n = ::write(2, message, sizeof message - 1);
    ::_exit(127);
  }
  ::close(log_fd);
  ::close(null_fd);
}

void ServerProcess::WaitReady() {
  const auto deadline = Clock::now() + kStartTimeout;
  bool ready = false;
  while (Clock::now() < deadline) {
    if (!running()) {
      throw std::runtime_error("qrole-server exited with status " + std::to_string(*exit_status_) +
                               " while starting; its log:\n" + log());
    }
    if (log().find("qrole-server: ready") != std::string::npos) {
      if (socket_path_.empty()) {
        ready = true;
      } else {
        try {
          qrole::Client probe = qrole::Client::Connect(socket_path_);
          ready = true;
        } catch (const qrole::ConnectionError&) {
        }
      }
    }
    if (ready) break;
    std::this_thread::sleep_for(kPollInterval);
  }
  if (!ready)
    throw std::runtime_error("qrole-server did not accept within 10 s; its log:\n" + log());
  if (options_.tcp) {
    const std::string marker = "listening on tcp 127.0.0.1:";
    std::string text = log();
    size_t at = text.find(marker);
    if (at == std::string::npos)
      throw std::runtime_error("qrole-server did not report its TCP port; its log:\n" + text);
    tcp_port_ = static_cast<uint16_t>(std::stoi(text.substr(at + marker.size())));
  }
}

qrole::Client ServerProcess::Connect() const { return qrole::Client::Connect(socket_path_); }

qrole::Client ServerProcess::ConnectTcp() const {
  return qrole::Client::ConnectTcp("127.0.0.1", tcp_port_, options_.tcp_token);
}

std::string ServerProcess::log() const { return ReadFileText(log_path_); }

bool ServerProcess::WaitForLog(const std::string& text, std::chrono::milliseconds timeout) const {
  const auto deadline = Clock::now() + timeout;
  while (true) {
    if (log().find(text) != std::string::npos) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

bool ServerProcess::running() {
  if (exit_status_) return false;
  int status;
  pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    exit_status_ = DecodeStatus(status);
    return false;
  }
  return true;
}

std::optional<int> ServerProcess::WaitExit(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (running()) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollInterval);
  }
  return exit_status_;
}

int ServerProcess::Stop(int signal_number) {
  if (pid_ <= 0) return -1;
  if (!running()) return *exit_status_;
  ::kill(pid_, signal_number);
  if (auto status = WaitExit(kStopTimeout)) return *status;
  ::kill(pid_, SIGKILL);
  int status;
  ::waitpid(pid_, &status, 0);
  exit_status_ = -1;
  return -1;
}

}  // namespace qrole::testing
