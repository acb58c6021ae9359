// Windows implementation of File and FileSystem.
//
// Design: a WindowsFile owns one handle opened with every sharing flag
// (read, write, delete), so any number of Files, in this process or others,
// may be open on one file and a file may be renamed over while open. Reads and
// writes are positional (an OVERLAPPED offset on a synchronous handle).
//
// Byte-range locks are LockFileEx locks, which belong to the handle: two Files
// of one process conflict like two processes do, and the desktop programs that
// share the data files see them. Windows locks differ from the interface's
// model in three ways, and the File bridges two of them:
//  - A handle's own exclusive lock conflicts with a new lock of the same handle
//    over the same bytes, and an unlock must name exactly a range locked
//    before. The File therefore keeps the list of ranges it holds (disjoint,
//    one operating-system lock each); a new lock over part of a held range
//    releases that range and locks again what is left of it, so locks replace
//    and never nest, and UnlockRange may free any part of a held range. Between
//    that release and the new lock of what is left of an exclusive range,
//    another process may take what is left; the File then no longer holds it.
//  - Windows locks are mandatory: a read or write through another handle of
//    bytes locked by this one fails (with Busy), where POSIX locks stop only
//    other lockers. Code that locks a record must read and write it through
//    the File that holds the lock.
// The list is guarded by a mutex, so a File may be used by several threads.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "platform/windows_internal_win.h"

namespace qrole::platform {
namespace {

using internal::Narrow;
using internal::WindowsError;
using internal::WindowsPath;

constexpr size_t kLargeRead = size_t{1} << 20;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ov;
}

bool IsDirectoryPath(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class WindowsFile final : public File {
 public:
  WindowsFile(HANDLE handle, std::string path, bool writable)
      : handle_(handle), path_(std::move(path)), writable_(writable) {}
  ~WindowsFile() override {
    // Closing the handle releases every lock it holds.
    ::CloseHandle(handle_);
  }

  Status ReadAt(uint64_t offset, size_t n, std::string* out) override {
    out->clear();
    if (n > kLargeRead) {
      // Never allocate more than the file can give.
      Result<uint64_t> size = Size();
      if (!size.ok()) return size.status();
      n = *size <= offset ? 0 : static_cast<size_t>(std::min<uint64_t>(n, *size - offset));
    }
    std::string data(n, '\0');
    size_t done = 0;
    while (done < n) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
      OVERLAPPED ov = At(offset + done);
      DWORD got = 0;
      if (!::ReadFile(handle_, data.data() + done, chunk, &got, &ov)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF) break;
        return WindowsError("read " + path_, error);
      }
      if (got == 0) break;
      done += got;
    }
    data.resize(done);
    *out = std::move(data);
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, std::string_view data) override {
    if (!writable_) return Status::InvalidArgument("write " + path_ + ": opened read-only");
    while (!data.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
      OVERLAPPED ov = At(offset);
      DWORD put = 0;
      if (!::WriteFile(handle_, data.data(), chunk, &put, &ov))
        return WindowsError("write " + path_, ::GetLastError());
      data.remove_prefix(put);
      offset += put;
    }
    return Status::Ok();
  }

  Result<uint64_t> Size() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_, &size)) return WindowsError("size " + path_, ::GetLastError());
    return static_cast<uint64_t>(size.QuadPart);
  }

  Status Truncate(uint64_t size) override {
    if (!writable_) return Status::InvalidArgument("truncate " + path_ + ": opened read-only");
    FILE_END_OF_FILE_INFO info;
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(handle_, FileEndOfFileInfo, &info, sizeof(info)))
      return WindowsError("truncate " + path_, ::GetLastError());
    return Status::Ok();
  }

  Status Sync() override {
    if (writable_ && !::FlushFileBuffers(handle_))
      return WindowsError("sync " + path_, ::GetLastError());
    return Status::Ok();
  }

  Status LockRange(uint64_t offset, uint64_t length, bool exclusive) override {
    if (length == 0) return Status::InvalidArgument("lock " + path_ + ": empty range");
    if (offset > kMaxLockEnd || length > kMaxLockEnd - offset)
      return Status::InvalidArgument("lock " + path_ +
                                     ": range beyond the largest lockable offset");
    if (exclusive && !writable_)
      return Status::InvalidArgument("lock " + path_ + ": exclusive lock on a read-only file");
    std::lock_guard<std::mutex> lock(mu_);
    return Lock(offset, offset + length, exclusive);
  }

  Status UnlockRange(uint64_t offset, uint64_t length) override {
    if (length == 0) return Status::InvalidArgument("unlock " + path_ + ": empty range");
    if (offset > kMaxLockEnd || length > kMaxLockEnd - offset)
      return Status::InvalidArgument("unlock " + path_ +
                                     ": range beyond the largest lockable offset");
    std::lock_guard<std::mutex> lock(mu_);
    return Unlock(offset, offset + length);
  }

  Status LockWhole() override { return LockRange(0, kMaxLockEnd, true); }

  Status UnlockWhole() override {
    std::lock_guard<std::mutex> lock(mu_);
    for (const Held& h : held_) OsUnlock(h.start, h.end);
    held_.clear();
    return Status::Ok();
  }

  const std::string& path() const override { return path_; }

 private:
  struct Held {
    uint64_t start;
    uint64_t end;  // exclusive
    bool exclusive;
  };

  bool OsLock(uint64_t start, uint64_t end, bool exclusive) {
    OVERLAPPED ov = At(start);
    const uint64_t length = end - start;
    return ::LockFileEx(handle_,
                        LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0), 0,
                        static_cast<DWORD>(length & 0xFFFFFFFFu), static_cast<DWORD>(length >> 32),
                        &ov) != 0;
  }

  void OsUnlock(uint64_t start, uint64_t end) {
    OVERLAPPED ov = At(start);
    const uint64_t length = end - start;
    ::UnlockFileEx(handle_, 0, static_cast<DWORD>(length & 0xFFFFFFFFu),
                   static_cast<DWORD>(length >> 32), &ov);
  }

  // Moves the held ranges overlapping [start, end) out of held_.
  std::vector<Held> TakeOverlapping(uint64_t start, uint64_t end) {
    std::vector<Held> out;
    auto it = std::stable_partition(held_.begin(), held_.end(), [&](const Held& h) {
      return h.end <= start || h.start >= end;
    });
    out.assign(it, held_.end());
    held_.erase(it, held_.end());
    return out;
  }

  // Locks again, with their own mode, the parts of `taken` outside [start, end).
  void KeepOutside(const std::vector<Held>& taken, uint64_t start, uint64_t end) {
    for (const Held& h : taken) {
      if (h.start < start && OsLock(h.start, start, h.exclusive))
        held_.push_back({h.start, start, h.exclusive});
      if (h.end > end && OsLock(end, h.end, h.exclusive))
        held_.push_back({end, h.end, h.exclusive});
    }
  }

  Status Lock(uint64_t start, uint64_t end, bool exclusive) {
    std::vector<Held> taken = TakeOverlapping(start, end);
    const bool all_shared =
        std::none_of(taken.begin(), taken.end(), [](const Held& h) { return h.exclusive; });
    if (!exclusive && all_shared) {
      // Shared locks may overlap this handle's shared locks: take the new one
      // first, then trade the old ones for what is left of them, so nothing
      // is ever let go.
      if (!OsLock(start, end, false)) {
        held_.insert(held_.end(), taken.begin(), taken.end());
        return Status::Busy("lock " + path_ + ": range locked by another file");
      }
      for (const Held& h : taken) {
        if (h.start < start && OsLock(h.start, start, false))
          held_.push_back({h.start, start, false});
        if (h.end > end && OsLock(end, h.end, false)) held_.push_back({end, h.end, false});
        OsUnlock(h.start, h.end);
      }
      held_.push_back({start, end, false});
      return Status::Ok();
    }
    for (const Held& h : taken) OsUnlock(h.start, h.end);
    if (!OsLock(start, end, exclusive)) {
      for (const Held& h : taken)
        if (OsLock(h.start, h.end, h.exclusive)) held_.push_back(h);
      return Status::Busy("lock " + path_ + ": range locked by another file");
    }
    held_.push_back({start, end, exclusive});
    KeepOutside(taken, start, end);
    return Status::Ok();
  }

  Status Unlock(uint64_t start, uint64_t end) {
    std::vector<Held> taken = TakeOverlapping(start, end);
    for (const Held& h : taken) {
      if (!h.exclusive) {
        // Keep what is left before letting the old lock go.
        if (h.start < start && OsLock(h.start, start, false))
          held_.push_back({h.start, start, false});
        if (h.end > end && OsLock(end, h.end, false)) held_.push_back({end, h.end, false});
        OsUnlock(h.start, h.end);
      } else {
        OsUnlock(h.start, h.end);
        KeepOutside({h}, start, end);
      }
    }
    return Status::Ok();
  }

  const HANDLE handle_;
  const std::string path_;
  const bool writable_;
  std::mutex mu_;
  std::vector<Held> held_;
};

class WindowsFileSystem final : public FileSystem {
 public:
  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    const std::string resolved = Resolve(path);
    const std::wstring wide = WindowsPath(resolved);
    if (IsDirectoryPath(wide)) return Status::InvalidArgument("open " + resolved + ": a directory");
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
      case OpenMode::ReadOnly:
        break;
      case OpenMode::ReadWrite:
        access |= GENERIC_WRITE;
        break;
      case OpenMode::ReadWriteCreate:
        access |= GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
        break;
      case OpenMode::CreateTruncate:
        access |= GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
        break;
    }
    HANDLE h = ::CreateFileW(wide.c_str(), access, kShareAll, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return WindowsError("open " + resolved, ::GetLastError());
    auto file = std::make_unique<WindowsFile>(h, resolved, mode != OpenMode::ReadOnly);
    if (mode == OpenMode::CreateTruncate) {
      // Emptied through the handle, so a file held open elsewhere (which
      // CREATE_ALWAYS would refuse when hidden) is emptied too.
      if (Status s = file->Truncate(0); !s.ok()) return s;
    }
    return std::unique_ptr<File>(std::move(file));
  }

  bool Exists(const std::string& path) override {
    return ::GetFileAttributesW(WindowsPath(Resolve(path)).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool IsDirectory(const std::string& path) override {
    return IsDirectoryPath(WindowsPath(Resolve(path)));
  }

  Status CreateDirectory(const std::string& path) override {
    const std::string resolved = Resolve(path);
    const std::wstring wide = WindowsPath(resolved);
    if (::CreateDirectoryW(wide.c_str(), nullptr)) return Status::Ok();
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
      if (IsDirectoryPath(wide)) return Status::Ok();
      return Status::IOError("create directory " + resolved + ": a file of that name exists");
    }
    return WindowsError("create directory " + resolved, error);
  }

  Status CreateDirectories(const std::string& path) override {
    const std::string resolved = Resolve(path);
    if (resolved.empty() || IsDirectoryPath(WindowsPath(resolved))) return Status::Ok();
    const size_t root = RootLength(resolved);
    size_t pos = root;
    while (pos < resolved.size()) {
      size_t next = resolved.find('/', pos);
      if (next == std::string::npos) next = resolved.size();
      if (next > pos) {
        if (Status s = CreateDirectory(resolved.substr(0, next)); !s.ok()) return s;
      }
      pos = next + 1;
    }
    return Status::Ok();
  }

  // Directories under the user's profile are private to the user by the
  // inherited access rules; nothing more is set.
  Status CreatePrivateDirectories(const std::string& path) override {
    return CreateDirectories(path);
  }

  Status Remove(const std::string& path) override {
    const std::string resolved = Resolve(path);
    const std::wstring wide = WindowsPath(resolved);
    const BOOL ok =
        IsDirectoryPath(wide) ? ::RemoveDirectoryW(wide.c_str()) : ::DeleteFileW(wide.c_str());
    if (!ok) return WindowsError("remove " + resolved, ::GetLastError());
    return Status::Ok();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    const std::string a = Resolve(from), b = Resolve(to);
    if (!::MoveFileExW(WindowsPath(a).c_str(), WindowsPath(b).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return WindowsError("rename " + a + " to " + b, ::GetLastError());
    }
    return Status::Ok();
  }

  Result<std::string> ReadAll(const std::string& path) override {
    Result<std::unique_ptr<File>> file = Open(path, OpenMode::ReadOnly);
    if (!file.ok()) return file.status();
    Result<uint64_t> size = (*file)->Size();
    if (!size.ok()) return size.status();
    std::string data;
    if (Status s = (*file)->ReadAt(0, static_cast<size_t>(*size), &data); !s.ok()) return s;
    return data;
  }

  Status WriteAllAtomic(const std::string& path, std::string_view data) override {
    const std::string resolved = Resolve(path);
    static std::atomic<unsigned> counter{0};
    const std::string temp = resolved + ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(counter.fetch_add(1));
    const std::wstring wtemp = WindowsPath(temp);
    HANDLE h = ::CreateFileW(wtemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return WindowsError("write " + temp, ::GetLastError());
    Status status;
    {
      WindowsFile file(h, temp, true);
      status = file.WriteAt(0, data);
      if (status.ok()) status = file.Sync();
    }
    if (status.ok()) {
      // A reader holding the file without delete sharing refuses the rename
      // for a moment: try again a bounded number of times.
      for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(wtemp.c_str(), WindowsPath(resolved).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
          return Status::Ok();
        }
        const DWORD error = ::GetLastError();
        if (attempt >= 50 || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)) {
          status = WindowsError("replace " + resolved, error);
          break;
        }
        ::Sleep(10);
      }
    }
    ::DeleteFileW(wtemp.c_str());
    return status;
  }

  Result<std::vector<std::string>> List(const std::string& dir,
                                        const std::string& pattern) override {
    const std::string resolved = Resolve(dir);
    const std::wstring wide = WindowsPath(resolved);
    if (!IsDirectoryPath(wide)) return Status::NotFound("list " + resolved + ": no such directory");
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = ::FindFirstFileW((wide + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) return names;
      return WindowsError("list " + resolved, error);
    }
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      std::string name = Narrow(found.cFileName);
      if (WildcardMatch(pattern, name, true)) names.push_back(std::move(name));
    } while (::FindNextFileW(h, &found));
    ::FindClose(h);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      const int c = CompareIgnoreCase(a, b);
      return c != 0 ? c < 0 : a < b;
    });
    return names;
  }

  // "/" separators, runs of separators collapsed (the two leading ones of a
  // network path "//server/share" kept), and the longest part of the path
  // that exists spelled as the directory spells it (GetLongPathName gives
  // every existing component its own letter case); the rest as given.
  std::string Resolve(const std::string& path) override {
    std::string in = NormalizeSeparators(path);
    std::string out;
    size_t i = 0;
    if (in.size() >= 2 && in[0] == '/' && in[1] == '/') {
      out = "//";
      i = 2;
    }
    for (; i < in.size(); ++i) {
      if (in[i] == '/' && !out.empty() && out.back() == '/') continue;
      out.push_back(in[i]);
    }
    return ExistingCase(out);
  }

  Result<std::string> CurrentDirectory() override {
    std::vector<wchar_t> buf(MAX_PATH);
    while (true) {
      const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
      if (n == 0) return WindowsError("current directory", ::GetLastError());
      if (n < buf.size()) return internal::ServerPath(std::wstring_view(buf.data(), n));
      buf.resize(n + 1);
    }
  }

  Status SetCurrentDirectory(const std::string& path) override {
    const std::string resolved = Resolve(path);
    if (!::SetCurrentDirectoryW(WindowsPath(resolved).c_str()))
      return WindowsError("change directory to " + resolved, ::GetLastError());
    return Status::Ok();
  }

 private:
  // `path` with its longest existing prefix (ending at a separator or at
  // the end) spelled as the file system has it.
  static std::string ExistingCase(const std::string& path) {
    const size_t root = RootLength(path);
    size_t end = path.size();
    while (end > root) {
      const std::wstring prefix = WindowsPath(path.substr(0, end));
      wchar_t buf[MAX_PATH * 2];
      const DWORD n = ::GetLongPathNameW(prefix.c_str(), buf, MAX_PATH * 2);
      if (n > 0 && n < MAX_PATH * 2) {
        std::string spelled = internal::ServerPath(std::wstring_view(buf, n));
        // Only the letter case may differ; anything else (a short name made
        // long) keeps the caller's spelling.
        if (spelled.size() == end && EqualsIgnoreCase(spelled, path.substr(0, end)))
          return spelled + path.substr(end);
        return path;
      }
      const size_t slash = path.rfind('/', end - 1);
      if (slash == std::string::npos || slash < root) break;
      end = slash;
    }
    return path;
  }

  // Length of the root part of a resolved path: "C:/", "//server/share/", "/"
  // or nothing for a relative path.
  static size_t RootLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && path[2] == '/' ? 3 : 2;
    if (path.size() >= 2 && path[0] == '/' && path[1] == '/') {
      size_t server_end = path.find('/', 2);
      if (server_end == std::string::npos) return path.size();
      size_t share_end = path.find('/', server_end + 1);
      return share_end == std::string::npos ? path.size() : share_end + 1;
    }
    return !path.empty() && path[0] == '/' ? 1 : 0;
  }
};

}  // namespace

FileSystem* NativeFileSystem() {
  static WindowsFileSystem* const fs = new WindowsFileSystem();
  return fs;
}

}  // namespace qrole::platform
