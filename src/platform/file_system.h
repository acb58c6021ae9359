// Files and directories.
//
// `File` is an open binary file with positional reads and writes and
// non-blocking byte-range locks; `FileSystem` opens files and manages
// directories. Every path-taking function of a FileSystem first calls
// `Resolve`, so callers may pass "\" or "/" as separator and any letter case:
// the data files of the desktop programs are named inconsistently
// ("EXTRA01.QRD", "extra01.qrd", "Extra01.qrd" for one file), and
// resolution finds the file that exists.
//
// Files are always opened shared: any number of Files, in this process or
// others, may be open on one file at once. Coordination is by byte-range
// locks, which conflict between different open Files (even in one process)
// exactly as between processes. Locks are advisory: they stop other lockers,
// not readers or writers, so every party that must respect a region locks it
// before touching it.
//
// Both interfaces are thread-safe in the native implementation: one File may be
// used by several threads at once (reads and writes are positional).

#ifndef QROLE_PLATFORM_FILE_SYSTEM_H_
#define QROLE_PLATFORM_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qrole::platform {

enum class OpenMode {
  ReadOnly,         // Existing file, reads only. NotFound when missing.
  ReadWrite,        // Existing file, reads and writes. NotFound when missing.
  ReadWriteCreate,  // Reads and writes; created empty when missing.
  CreateTruncate,   // Reads and writes; created when missing, emptied when present.
};

// Largest offset + length a lock may reach (locks are kept as signed 64-bit
// ranges by the operating system).
inline constexpr uint64_t kMaxLockEnd = static_cast<uint64_t>(INT64_MAX);

class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  // Closes the file and releases every lock this File holds.
  virtual ~File() = default;

  // Replaces *out with up to `n` bytes read from `offset`. Fewer bytes (none
  // at or past the end) mean the end of the file was reached: still Ok. On
  // failure *out is empty. A huge `n` allocates no more than the file holds.
  virtual Status ReadAt(uint64_t offset, size_t n, std::string* out) = 0;

  // Writes all of `data` at `offset`, extending the file when needed (a gap
  // past the old end reads as zero bytes). NoSpace when the disk is full (part
  // of the data may then have been written); InvalidArgument on a file opened
  // ReadOnly.
  virtual Status WriteAt(uint64_t offset, std::string_view data) = 0;

  // Current size in bytes.
  virtual Result<uint64_t> Size() = 0;

  // Sets the size: cuts the file or extends it with zero bytes.
  virtual Status Truncate(uint64_t size) = 0;

  // Returns once the data written so far is on stable storage.
  virtual Status Sync() = 0;

  // Locks [offset, offset + length) without waiting: shared locks coexist,
  // an exclusive lock excludes every other lock. Busy when another File (of
  // this process or another) holds a conflicting lock. Locks held by this same
  // File never conflict with it: a new lock over a range it already holds
  // replaces that part (so locks do not nest: one unlock frees the range).
  // The range may lie past the end of the file. InvalidArgument when length is
  // 0, when offset + length exceeds kMaxLockEnd, or for an exclusive lock on
  // a file opened ReadOnly.
  virtual Status LockRange(uint64_t offset, uint64_t length, bool exclusive) = 0;

  // Releases whatever part of [offset, offset + length) this File has locked;
  // Ok also when nothing was locked there.
  virtual Status UnlockRange(uint64_t offset, uint64_t length) = 0;

  // Exclusive lock over the whole file, from offset 0 to kMaxLockEnd, which
  // conflicts with any range lock of another File. Same errors as LockRange.
  virtual Status LockWhole() = 0;
  // Releases every lock this File holds.
  virtual Status UnlockWhole() = 0;

  // The resolved path the file was opened with.
  virtual const std::string& path() const = 0;
};

class FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // Opens `path` in `mode`, shared with other openers. The caller owns the
  // File. NotFound when the file (or, for the creating modes, its directory)
  // is missing; InvalidArgument when `path` is a directory; Busy when the
  // operating system refuses because another process holds the file; IOError
  // for other refusals (permissions).
  virtual Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) = 0;

  // True when `path` exists (file or directory, symbolic links followed).
  virtual bool Exists(const std::string& path) = 0;
  // True when `path` exists and is a directory.
  virtual bool IsDirectory(const std::string& path) = 0;

  // Creates one directory. Ok when it exists already as a directory; NotFound
  // when its parent is missing; IOError when a file of that name exists.
  virtual Status CreateDirectory(const std::string& path) = 0;
  // Creates `path` and every missing parent. Ok when it exists already.
  virtual Status CreateDirectories(const std::string& path) = 0;
  // Like CreateDirectories, but the directories it creates are accessible to
  // the owner only (mode 0700 on POSIX). Existing directories are left alone.
  virtual Status CreatePrivateDirectories(const std::string& path) = 0;

  // Removes a file, or an empty directory. NotFound when missing.
  virtual Status Remove(const std::string& path) = 0;

  // Renames `from` to `to`, atomically replacing a file already at `to`.
  // NotFound when `from` is missing; IOError across file systems.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;

  // The whole content of a file.
  virtual Result<std::string> ReadAll(const std::string& path) = 0;

  // Replaces the content of `path` with `data` so that readers see either the
  // old or the new content, never a mix, even after a crash: writes a
  // temporary file in the same directory, flushes it to disk and renames it
  // over `path`. A new file gets default permissions; an existing file keeps
  // its permissions. On failure `path` is unchanged and no temporary file is
  // left behind.
  virtual Status WriteAllAtomic(const std::string& path, std::string_view data) = 0;

  // Names (not paths) of the regular files in `dir` that match the Windows
  // wildcard `pattern` ignoring case (see WildcardMatch), sorted by name
  // ignoring case (names equal but for case in byte order). Directories are
  // not listed. NotFound when `dir` is missing.
  virtual Result<std::vector<std::string>> List(const std::string& dir,
                                                const std::string& pattern) = 0;

  // `path` with "/" as separator, runs of separators collapsed, and every
  // component that does not exist with its exact case but exists with another
  // case in its directory replaced by the existing name (when several names
  // match, the first in byte order). Components after the first missing one
  // are kept as given. A relative path stays relative (to the current
  // directory). Never fails.
  virtual std::string Resolve(const std::string& path) = 0;

  // The current directory of the process.
  virtual Result<std::string> CurrentDirectory() = 0;
  // Changes the current directory of the process (for every thread).
  virtual Status SetCurrentDirectory(const std::string& path) = 0;
};

// The operating system's file system. Process-wide, never destroyed,
// thread-safe; the caller does not own it.
FileSystem* NativeFileSystem();

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_FILE_SYSTEM_H_
