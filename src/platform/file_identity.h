// One spelling per file, for tables of open files keyed by path: two paths
// that name the same file give the same identity. On Windows a short (8.3)
// name and its long name, or two spellings that differ in letter case, name
// one file; opening it twice under two keys would give it two caches.
#ifndef QROLE_PLATFORM_FILE_IDENTITY_H_
#define QROLE_PLATFORM_FILE_IDENTITY_H_

#include <string>

namespace qrole::platform {

// The identity of the file at `path` (existing or not): the resolved path
// with "/" separators, and on Windows its long name, upper-cased. Not a path
// to show or to open.
std::string FileIdentity(const std::string& path);

// What tells one file at `path` from another put there later (a file removed
// and made again, or replaced by a rename): device and inode here, empty
// when nothing is there. One look at the file system.
std::string FileStamp(const std::string& path);

// FileStamp plus the file's size and time of last change: changes whenever
// the file is written. Empty when nothing is there.
std::string FileVersion(const std::string& path);

// What changes whenever a name in the directory `path` is made, removed or
// renamed (the directory's identity and times): while it stays the same, the
// files named in the directory are the ones that were there (their contents
// may have changed). Empty when it cannot tell: nothing there, not a
// directory, or changed too recently for its times to tell the next change
// from the last (within the file system's time granularity). Names that are
// symbolic links are not covered. Always empty where files are not kept open.
std::string DirectoryStamp(const std::string& path);

// True when `path` names a symbolic link.
bool IsSymbolicLink(const std::string& path);

// True where a file kept open stops no other program: files and index
// environments then stay open between calls, re-validated with FileStamp.
// On Windows an open handle refuses the desktop program's exclusive
// openings, so files are closed when a call ends.
bool KeepFilesOpenBetweenCalls();

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_FILE_IDENTITY_H_
