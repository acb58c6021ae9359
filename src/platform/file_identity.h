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

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_FILE_IDENTITY_H_
