// POSIX implementation of File and FileSystem.
//
// Design: a PosixFile owns one file descriptor opened with O_CLOEXEC. Reads
// and writes are positional (pread/pwrite), so a File needs no lock of its own
// and may be shared by threads. Byte-range locks are open-file-description
// locks (F_OFD_SETLK): they belong to the descriptor, not to the process, so two
// Files of one process conflict like two processes do, and closing one File
// never drops the locks of another (which classic POSIX record locks would).
// The FileSystem keeps no state: the current directory is the process's.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/file_looks.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/posix_error_internal.h"
#include "platform/text_encoding.h"

namespace qrole::platform {
namespace {

using internal::PosixError;

// ---------------------------------------------------------------------------
// Small POSIX helpers.

class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

class ScopedDir {
 public:
  explicit ScopedDir(DIR* dir) : dir_(dir) {}
  ScopedDir(const ScopedDir&) = delete;
  ScopedDir& operator=(const ScopedDir&) = delete;
  ~ScopedDir() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

bool IsDirectoryPath(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Status WriteFully(int fd, uint64_t offset, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    const ssize_t n = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return PosixError("write " + path, errno);
    }
    data.remove_prefix(static_cast<size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
  return Status::Ok();
}

// Checks a lock range and converts it to an flock; length 0 means "to the end
// of every possible file" (the whole-file lock).
Status MakeLock(uint64_t offset, uint64_t length, short type, struct flock* lock) {
  if (offset > kMaxLockEnd || length > kMaxLockEnd - offset) {
    return Status::InvalidArgument("lock range beyond the largest lockable offset");
  }
  std::memset(lock, 0, sizeof(*lock));
  lock->l_type = type;
  lock->l_whence = SEEK_SET;
  lock->l_start = static_cast<off_t>(offset);
  lock->l_len = static_cast<off_t>(length);
  return Status::Ok();
}

// ---------------------------------------------------------------------------

// Reads longer than this are first cut to what the file holds.
constexpr size_t kLargeRead = size_t{1} << 20;

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path, bool writable)
      : fd_(fd), path_(std::move(path)), writable_(writable) {}
  ~PosixFile() override { ::close(fd_); }

  Status ReadAt(uint64_t offset, size_t n, std::string* out) override {
    if (n > kLargeRead) {
      // Never allocate more than the file can give: a length taken from a
      // damaged record must not exhaust memory.
      struct stat st;
      if (::fstat(fd_, &st) != 0) {
        out->clear();
        return PosixError("stat " + path_, errno);
      }
      const uint64_t size = static_cast<uint64_t>(st.st_size);
      const uint64_t available = offset < size ? size - offset : 0;
      if (available < n) n = static_cast<size_t>(available);
    }
    out->resize(n);
    size_t got = 0;
    while (got < n) {
      const ssize_t r = ::pread(fd_, out->data() + got, n - got, static_cast<off_t>(offset + got));
      if (r < 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        out->clear();
        return PosixError("read " + path_, error);
      }
      if (r == 0) break;
      got += static_cast<size_t>(r);
    }
    out->resize(got);
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, std::string_view data) override {
    if (!writable_) return Status::InvalidArgument("write " + path_ + ": opened read-only");
    ForgetFileLook(path_);
    return WriteFully(fd_, offset, data, path_);
  }

  Result<uint64_t> Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return PosixError("stat " + path_, errno);
    return static_cast<uint64_t>(st.st_size);
  }

  Status Truncate(uint64_t size) override {
    if (!writable_) return Status::InvalidArgument("truncate " + path_ + ": opened read-only");
    if (size > kMaxLockEnd) return Status::InvalidArgument("truncate " + path_ + ": size too big");
    ForgetFileLook(path_);
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return PosixError("truncate " + path_, errno);
    }
    return Status::Ok();
  }

  Status Sync() override {
    while (::fdatasync(fd_) != 0) {
      if (errno != EINTR) return PosixError("sync " + path_, errno);
    }
    return Status::Ok();
  }

  Status LockRange(uint64_t offset, uint64_t length, bool exclusive) override {
    if (length == 0) return Status::InvalidArgument("lock " + path_ + ": empty range");
    return SetLock(offset, length, exclusive ? F_WRLCK : F_RDLCK);
  }

  Status UnlockRange(uint64_t offset, uint64_t length) override {
    if (length == 0) return Status::InvalidArgument("unlock " + path_ + ": empty range");
    return SetLock(offset, length, F_UNLCK);
  }

  Status LockWhole() override { return SetLock(0, 0, F_WRLCK); }
  Status UnlockWhole() override { return SetLock(0, 0, F_UNLCK); }

  const std::string& path() const override { return path_; }

 private:
  Status SetLock(uint64_t offset, uint64_t length, short type) {
    if (type == F_WRLCK && !writable_) {
      return Status::InvalidArgument("lock " + path_ + ": exclusive lock on a read-only file");
    }
    struct flock lock;
    if (Status s = MakeLock(offset, length, type, &lock); !s.ok()) return s;
    while (::fcntl(fd_, F_OFD_SETLK, &lock) != 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EACCES) {
        return Status::Busy("lock " + path_ + ": range locked by another open file");
      }
      return PosixError("lock " + path_, errno);
    }
    return Status::Ok();
  }

  const int fd_;
  const std::string path_;
  const bool writable_;
};

// ---------------------------------------------------------------------------

// Collapses runs of "/" into one (after turning "\" into "/").
std::string CleanPath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    if (c == '\\') c = '/';
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out.push_back(c);
  }
  return out;
}

// True when some letter of `name` has another case (a directory scan could
// then find a differently-spelled twin).
bool HasCasedLetters(std::string_view name) {
  return FoldCase(name) != name || ToUpperCase(name) != name;
}

// The entry of `dir` equal to `name` ignoring case (the first in byte order
// when there are several), or nullopt.
std::optional<std::string> FindIgnoringCase(const std::string& dir, std::string_view name) {
  ScopedDir d(::opendir(dir.c_str()));
  if (d.get() == nullptr) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(d.get())) {
    const std::string_view entry_name(entry->d_name);
    if (!EqualsIgnoreCase(entry_name, name)) continue;
    if (!best || entry_name < *best) best = std::string(entry_name);
  }
  return best;
}

// Whether `entry` of directory `dir` is a regular file (following links).
bool IsRegularEntry(const std::string& dir, const dirent* entry) {
  if (entry->d_type == DT_REG) return true;
  if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return false;
  struct stat st;
  return ::stat(JoinPath(dir, entry->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

class PosixFileSystem final : public FileSystem {
 public:
  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    const std::string resolved = Resolve(path);
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::ReadOnly:
        flags |= O_RDONLY;
        break;
      case OpenMode::ReadWrite:
        flags |= O_RDWR;
        break;
      case OpenMode::ReadWriteCreate:
        flags |= O_RDWR | O_CREAT;
        break;
      case OpenMode::CreateTruncate:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    }
    if (resolved.empty()) return Status::InvalidArgument("open: empty path");
    int fd;
    do {
      fd = ::open(resolved.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      if (errno == EISDIR) return Status::InvalidArgument("open " + resolved + ": is a directory");
      return PosixError("open " + resolved, errno);
    }
    ScopedFd guard(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) return PosixError("stat " + resolved, errno);
    if (S_ISDIR(st.st_mode))
      return Status::InvalidArgument("open " + resolved + ": is a directory");
    if (mode == OpenMode::CreateTruncate) {
      ForgetFileLooks();
    } else if (mode == OpenMode::ReadWriteCreate) {
      // Unless the file opened is the one looked at before, it was made now.
      const FileLook* kept = internal::KeptLook(resolved, true);
      if (kept == nullptr || kept->device != static_cast<uint64_t>(st.st_dev) ||
          kept->inode != static_cast<uint64_t>(st.st_ino))
        ForgetFileLooks();
    }
    return std::unique_ptr<File>(
        new PosixFile(guard.release(), resolved, mode != OpenMode::ReadOnly));
  }

  bool Exists(const std::string& path) override {
    FileLook look;
    const std::string resolved = Resolve(path);
    return !resolved.empty() && internal::LookAtPath(resolved, true, &look);
  }

  bool IsDirectory(const std::string& path) override {
    const std::string resolved = Resolve(path);
    return !resolved.empty() && IsDirectoryPath(resolved);
  }

  Status CreateDirectory(const std::string& path) override {
    ForgetFileLooks();
    return MakeDirectory(Resolve(path), 0777);
  }

  Status CreateDirectories(const std::string& path) override {
    ForgetFileLooks();
    return MakeAll(path, 0777);
  }

  Status CreatePrivateDirectories(const std::string& path) override {
    ForgetFileLooks();
    return MakeAll(path, 0700);
  }

  Status Remove(const std::string& path) override {
    const std::string resolved = Resolve(path);
    ForgetFileLooks();
    if (::unlink(resolved.c_str()) == 0) return Status::Ok();
    if (errno == EISDIR || (errno == EPERM && IsDirectoryPath(resolved))) {
      if (::rmdir(resolved.c_str()) == 0) return Status::Ok();
    }
    return PosixError("remove " + resolved, errno);
  }

  Status Rename(const std::string& from, const std::string& to) override {
    const std::string resolved_from = Resolve(from);
    const std::string resolved_to = Resolve(to);
    ForgetFileLooks();
    if (::rename(resolved_from.c_str(), resolved_to.c_str()) != 0) {
      return PosixError("rename " + resolved_from + " to " + resolved_to, errno);
    }
    return Status::Ok();
  }

  Result<std::string> ReadAll(const std::string& path) override {
    Result<std::unique_ptr<File>> file = Open(path, OpenMode::ReadOnly);
    if (!file.ok()) return file.status();
    Result<uint64_t> size = (*file)->Size();
    if (!size.ok()) return size.status();
    std::string data;
    // Read past the reported size too: the file may grow meanwhile.
    size_t chunk = static_cast<size_t>(*size) + 1;
    std::string piece;
    while (true) {
      if (Status s = (*file)->ReadAt(data.size(), chunk, &piece); !s.ok()) return s;
      if (piece.empty()) break;
      data += piece;
      chunk = 64 * 1024;
    }
    return data;
  }

  Status WriteAllAtomic(const std::string& path, std::string_view data) override {
    const std::string target = Resolve(path);
    ForgetFileLooks();
    if (target.empty() || target.back() == '/') {
      return Status::InvalidArgument("write " + target + ": not a file path");
    }
    std::string dir = DirName(target);
    if (dir.empty()) dir = ".";
    static std::atomic<uint64_t> counter{0};
    const std::string temp =
        JoinPath(dir, "." + BaseName(target) + ".tmp" + std::to_string(::getpid()) + "." +
                          std::to_string(counter.fetch_add(1)));
    int fd;
    do {
      fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return PosixError("create " + temp, errno);

    Status status = Status::Ok();
    struct stat st;
    if (::stat(target.c_str(), &st) == 0 && ::fchmod(fd, st.st_mode & 07777) != 0) {
      status = PosixError("chmod " + temp, errno);
    }
    if (status.ok()) status = WriteFully(fd, 0, data, temp);
    if (status.ok() && ::fsync(fd) != 0) status = PosixError("sync " + temp, errno);
    if (::close(fd) != 0 && status.ok()) status = PosixError("close " + temp, errno);
    if (status.ok() && ::rename(temp.c_str(), target.c_str()) != 0) {
      status = PosixError("rename " + temp + " to " + target, errno);
    }
    if (!status.ok()) {
      ::unlink(temp.c_str());
      return status;
    }
    // Make the rename itself durable.
    ScopedFd dir_fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir_fd.get() >= 0 && ::fsync(dir_fd.get()) != 0 && errno != EINVAL) {
      return PosixError("sync " + dir, errno);
    }
    return Status::Ok();
  }

  Result<std::vector<std::string>> List(const std::string& dir,
                                        const std::string& pattern) override {
    std::string resolved = Resolve(dir);
    if (resolved.empty()) resolved = ".";
    ScopedDir d(::opendir(resolved.c_str()));
    if (d.get() == nullptr) return PosixError("list " + resolved, errno);
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(d.get())) {
      const std::string_view name(entry->d_name);
      if (name == "." || name == "..") continue;
      if (WildcardMatch(pattern, name, /*ignore_case=*/true) && IsRegularEntry(resolved, entry)) {
        names.emplace_back(name);
      }
      errno = 0;
    }
    if (errno != 0) return PosixError("list " + resolved, errno);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      const int c = CompareIgnoreCase(a, b);
      return c != 0 ? c < 0 : a < b;
    });
    return names;
  }

  std::string Resolve(const std::string& path) override {
    std::string clean = CleanPath(path);
    FileLook look;
    if (clean.empty() || internal::LookAtPath(clean, false, &look)) return clean;
    if (const std::string* kept = internal::KeptResolution(clean)) return *kept;
    struct stat st;

    const bool trailing = clean.size() > 1 && clean.back() == '/';
    std::string out = IsAbsolutePath(clean) ? "/" : "";
    bool searching = true;  // False once a component is missing in every case.
    size_t start = 0;
    while (start < clean.size()) {
      size_t end = clean.find('/', start);
      if (end == std::string::npos) end = clean.size();
      const std::string_view component(clean.data() + start, end - start);
      start = end + 1;
      if (component.empty()) continue;
      std::string candidate = JoinPath(out, component);
      if (searching && component != "." && component != ".." &&
          ::lstat(candidate.c_str(), &st) != 0) {
        std::optional<std::string> twin;
        if (errno == ENOENT && HasCasedLetters(component)) {
          twin = FindIgnoringCase(out.empty() ? "." : out, component);
        }
        if (twin) {
          candidate = JoinPath(out, *twin);
        } else {
          searching = false;
        }
      }
      out = std::move(candidate);
    }
    if (trailing && out.back() != '/') out.push_back('/');
    // A name found under another spelling of its letters is kept; one not
    // found is looked for again.
    if (searching) internal::KeepResolution(clean, out);
    return out;
  }

  Result<std::string> CurrentDirectory() override {
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return PosixError("getcwd", errno);
      buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
  }

  Status SetCurrentDirectory(const std::string& path) override {
    const std::string resolved = Resolve(path);
    if (::chdir(resolved.c_str()) != 0) return PosixError("chdir " + resolved, errno);
    return Status::Ok();
  }

 private:
  static Status MakeDirectory(const std::string& path, mode_t mode) {
    if (path.empty()) return Status::InvalidArgument("create directory: empty path");
    if (::mkdir(path.c_str(), mode) == 0) return Status::Ok();
    const int error = errno;
    if (error == EEXIST) {
      if (IsDirectoryPath(path)) return Status::Ok();
      return Status::IOError("create directory " + path + ": a file of that name exists");
    }
    return PosixError("create directory " + path, error);
  }

  Status MakeAll(const std::string& path, mode_t mode) {
    const std::string resolved = Resolve(path);
    if (resolved.empty()) return Status::InvalidArgument("create directory: empty path");
    if (IsDirectoryPath(resolved)) return Status::Ok();
    // Create each prefix in turn, shortest first.
    for (size_t i = 1; i <= resolved.size(); ++i) {
      if (i != resolved.size() && resolved[i] != '/') continue;
      const std::string prefix = resolved.substr(0, i);
      if (prefix == "/" || IsDirectoryPath(prefix)) continue;
      if (Status s = MakeDirectory(prefix, mode); !s.ok()) return s;
    }
    return Status::Ok();
  }
};

}  // namespace

FileSystem* NativeFileSystem() {
  static PosixFileSystem* const file_system = new PosixFileSystem();
  return file_system;
}

}  // namespace qrole::platform
