#include "support/run_command.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/server_process.h"

extern char** environ;

namespace qrole::testing {

std::string BinPath(const std::string& name) {
  const char* dir = std::getenv("QROLE_TEST_BIN_DIR");
  if (!dir || !*dir) throw std::runtime_error("QROLE_TEST_BIN_DIR is not set");
  return std::string(dir) + "/" + name;
}

CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env) {
  char pattern[] = "/tmp/qrole-command-XXXXXX";
  if (!::mkdtemp(pattern)) throw std::runtime_error(std::string("mkdtemp: ") + strerror(errno));
  const std::string dir = pattern;
  const std::string out_path = dir + "/out", err_path = dir + "/err";

  std::map<std::string, std::string> merged;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [name, value] : env) {
    if (value.empty()) {
      merged.erase(name);
    } else {
      merged[name] = value;
    }
  }
  std::vector<std::string> entries, args = argv;
  for (const auto& [name, value] : merged) entries.push_back(name + "=" + value);
  std::vector<char*> argp, envp;
  for (auto& a : args) argp.push_back(a.data());
  argp.push_back(nullptr);
  for (auto& e : entries) envp.push_back(e.data());
  envp.push_back(nullptr);

  int out_fd = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int err_fd = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (out_fd < 0 || err_fd < 0 || null_fd < 0) throw std::runtime_error("cannot open files");
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + strerror(errno));
  if (pid == 0) {
    ::dup2(null_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    ::execvpe(argp[0], argp.data(), envp.data());
    const char message[] = "cannot run the command\n";
    [[maybe_unused]] ssize_t n = ::write(2, message, sizeof message - 1);
    ::_exit(127);
  }
  ::close(out_fd);
  ::close(err_fd);
  ::close(null_fd);

  CommandResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = 0;
  while (true) {
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.status = 128 + WTERMSIG(status);
  result.out = ReadFileText(out_path);
  result.err = ReadFileText(err_path);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return result;
}

}  // namespace qrole::testing
