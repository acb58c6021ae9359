// What the file system said of a path, remembered for the rest of a call.
//
// A call of the interface asks about the same few files many times (a table's
// files are checked each time it is opened, the settings file each time a
// setting is read, every name is resolved before it is opened): each answer
// costs a system call and a walk of the path. Within a FileLookScope the
// answers are kept, so each path is looked at once a call:
//
//   platform::FileLookScope scope;   // at the start of a call
//
// Kept answers are dropped (ForgetFileLooks) whenever this process changes a
// file through the platform layer (a creation, a removal, a rename; a write
// drops what was kept of the file written, under the name it was opened by)
// and when it takes a company's lock (another process may have written while
// it waited), so the process always sees its own changes. Another process's
// change made during the call is seen by the next call, as one made just
// after the call would be. Only answers that found a file are kept: a file
// awaited is looked for again every time.
//
// Outside any scope nothing is kept. One thread uses the scopes of a process.
#ifndef QROLE_PLATFORM_FILE_LOOKS_H_
#define QROLE_PLATFORM_FILE_LOOKS_H_

#include <cstdint>
#include <string>

namespace qrole::platform {

class FileLookScope {
 public:
  FileLookScope();
  ~FileLookScope();
  FileLookScope(const FileLookScope&) = delete;
  FileLookScope& operator=(const FileLookScope&) = delete;
};

// Drops every kept answer.
void ForgetFileLooks();
// Drops what was kept of the file at `path` alone (written to: its size and
// times changed, not its identity, nor any other name).
void ForgetFileLook(const std::string& path);

// What one look at a file found (a subset of the system's stat).
struct FileLook {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified_s = 0, modified_ns = 0;
  int64_t changed_s = 0, changed_ns = 0;
  bool directory = false;
  bool symbolic_link = false;  // as lstat sees it
};

namespace internal {

// The kept answer for `path` (`follow`: through a final symbolic link, as
// stat; otherwise as lstat), or null when none is kept or no scope is open.
const FileLook* KeptLook(const std::string& path, bool follow);
void KeepLook(const std::string& path, bool follow, const FileLook& look);

// Looks at `path` (through the kept answers within a scope): false when
// nothing is there. POSIX builds only.
bool LookAtPath(const std::string& path, bool follow, FileLook* out);

// The kept resolution of a name into the spelling found on disk.
const std::string* KeptResolution(const std::string& path);
void KeepResolution(const std::string& path, const std::string& resolved);

}  // namespace internal

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_FILE_LOOKS_H_
