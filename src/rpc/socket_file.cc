#include "rpc/socket_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qrole::rpc {

namespace {

std::string Errno(int err) { return std::strerror(err); }

std::string EnvOr(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Creates `dir` and its missing parents, each with mode 0700.
void MakeDirectories(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) throw std::runtime_error(dir + " is not a directory");
    return;
  }
  std::string parent = DirectoryOf(dir);
  if (parent != dir) MakeDirectories(parent);
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
    throw std::runtime_error("cannot create directory " + dir + ": " + Errno(errno));
}

// Asks whether a server answers on the socket at `path`.
bool SomeoneListens(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("cannot create a socket: " + Errno(errno));
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int err = errno;
  ::close(fd);
  if (rc == 0) return true;
  if (err == ECONNREFUSED || err == ENOENT) return false;
  throw std::runtime_error("cannot tell whether a server uses " + path + ": " + Errno(err));
}

}  // namespace

std::string DefaultSocketPath() {
  std::string explicit_path = EnvOr("QROLE_SOCKET");
  if (!explicit_path.empty()) return explicit_path;
  std::string runtime = EnvOr("XDG_RUNTIME_DIR");
  if (!runtime.empty()) return runtime + "/qrole/qrole.sock";
  return "/tmp/qrole-" + std::to_string(::getuid()) + "/qrole.sock";
}

SocketFileClaim::SocketFileClaim(std::string path, bool private_directory)
    : path_(std::move(path)) {
  if (path_.empty()) throw std::runtime_error("the socket path is empty");
  if (path_.size() >= sizeof(sockaddr_un{}.sun_path))
    throw std::runtime_error("socket path too long (at most " +
                             std::to_string(sizeof(sockaddr_un{}.sun_path) - 1) +
                             " bytes): " + path_);
  const std::string dir = DirectoryOf(path_);
  MakeDirectories(dir);
  if (private_directory) {
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      throw std::runtime_error(dir + " is not a directory");
    if (st.st_uid != ::getuid())
      throw std::runtime_error(dir + " belongs to another user; refusing to use it");
    if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0)
      throw std::runtime_error("cannot restrict " + dir + " to its owner: " + Errno(errno));
  }

  const std::string lock_path = path_ + ".lock";
  lock_fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock_fd_ < 0) throw std::runtime_error("cannot open " + lock_path + ": " + Errno(errno));
  if (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(lock_fd_);
    lock_fd_ = -1;
    if (err == EWOULDBLOCK) throw std::runtime_error("another qrole-server is serving " + path_);
    throw std::runtime_error("cannot lock " + lock_path + ": " + Errno(err));
  }

  struct stat st;
  if (::lstat(path_.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      ::close(lock_fd_);
      lock_fd_ = -1;
      throw std::runtime_error(path_ + " exists and is not a socket; refusing to replace it");
    }
    // A server of another build (without the lock) may still be there.
    if (SomeoneListens(path_)) {
      ::close(lock_fd_);
      lock_fd_ = -1;
      throw std::runtime_error("another server is listening on " + path_);
    }
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
      int err = errno;
      ::close(lock_fd_);
      lock_fd_ = -1;
      throw std::runtime_error("cannot remove the stale socket " + path_ + ": " + Errno(err));
    }
  }
}

SocketFileClaim::~SocketFileClaim() {
  Remove();
  if (lock_fd_ >= 0) ::close(lock_fd_);
}

void SocketFileClaim::Bound() {
  struct stat st;
  if (::lstat(path_.c_str(), &st) != 0)
    throw std::runtime_error("the socket " + path_ + " vanished: " + Errno(errno));
  if (::chmod(path_.c_str(), 0600) != 0)
    throw std::runtime_error("cannot set the mode of " + path_ + ": " + Errno(errno));
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  bound_ = true;
}

void SocketFileClaim::Remove() {
  if (!bound_) return;
  bound_ = false;
  struct stat st;
  if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_)
    ::unlink(path_.c_str());
}

}  // namespace qrole::rpc
