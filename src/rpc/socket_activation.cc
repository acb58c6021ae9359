#include "rpc/socket_activation.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qrole::rpc {

namespace {

// A decimal number of the environment; false when it is not one.
bool ParseNumber(const char* text, long* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 0) return false;
  *out = value;
  return true;
}

void ForgetVariables() {
  ::unsetenv("LISTEN_PID");
  ::unsetenv("LISTEN_FDS");
  ::unsetenv("LISTEN_FDNAMES");
}

}  // namespace

std::vector<PassedSocket> TakePassedSockets() {
  std::vector<PassedSocket> sockets;
  long pid = 0;
  if (!ParseNumber(std::getenv("LISTEN_PID"), &pid) || pid != static_cast<long>(::getpid()))
    return sockets;  // none, or meant for another process: left alone
  const char* count_text = std::getenv("LISTEN_FDS");
  long count = 0;
  if (!ParseNumber(count_text, &count) || count > INT_MAX - kFirstListenFd) {
    ForgetVariables();
    throw std::runtime_error(std::string("bad LISTEN_FDS: ") + (count_text ? count_text : ""));
  }
  std::vector<std::string> names;
  if (const char* text = std::getenv("LISTEN_FDNAMES")) {
    std::string all = text;
    size_t start = 0;
    while (start <= all.size()) {
      size_t colon = all.find(':', start);
      if (colon == std::string::npos) colon = all.size();
      names.push_back(all.substr(start, colon - start));
      start = colon + 1;
    }
  }
  ForgetVariables();
  for (int i = 0; i < static_cast<int>(count); ++i) {
    const int fd = kFirstListenFd + i;
    const int flags = ::fcntl(fd, F_GETFD);
    if (flags < 0)
      throw std::runtime_error("passed descriptor " + std::to_string(fd) +
                               " is not open: " + std::strerror(errno));
    ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    PassedSocket socket;
    socket.fd = fd;
    if (static_cast<size_t>(i) < names.size()) socket.name = names[static_cast<size_t>(i)];
    sockets.push_back(std::move(socket));
  }
  return sockets;
}

}  // namespace qrole::rpc
