#include <sys/stat.h>
#include <time.h>

#include "platform/env.h"
#include "platform/file_identity.h"
#include "platform/file_looks.h"

namespace qrole::platform {

// Names are case-sensitive and have no short forms here: the resolved path
// is the identity.
std::string FileIdentity(const std::string& path) { return CurrentEnv()->Files().Resolve(path); }

namespace internal {

bool LookAtPath(const std::string& path, bool follow, FileLook* out) {
  if (const FileLook* kept = KeptLook(path, follow)) {
    *out = *kept;
    return true;
  }
  struct stat st;
  if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return false;
  out->device = static_cast<uint64_t>(st.st_dev);
  out->inode = static_cast<uint64_t>(st.st_ino);
  out->size = static_cast<uint64_t>(st.st_size);
  out->modified_s = st.st_mtim.tv_sec;
  out->modified_ns = st.st_mtim.tv_nsec;
  out->changed_s = st.st_ctim.tv_sec;
  out->changed_ns = st.st_ctim.tv_nsec;
  out->directory = S_ISDIR(st.st_mode);
  out->symbolic_link = S_ISLNK(st.st_mode);
  KeepLook(path, follow, *out);
  return true;
}

}  // namespace internal

std::string FileStamp(const std::string& path) {
  FileLook look;
  if (!internal::LookAtPath(path, true, &look)) return "";
  return std::to_string(look.device) + ":" + std::to_string(look.inode);
}

std::string FileVersion(const std::string& path) {
  FileLook look;
  if (!internal::LookAtPath(path, true, &look)) return "";
  return std::to_string(look.device) + ":" + std::to_string(look.inode) + ":" +
         std::to_string(look.size) + ":" + std::to_string(look.modified_s) + "." +
         std::to_string(look.modified_ns) + ":" + std::to_string(look.changed_s) + "." +
         std::to_string(look.changed_ns);
}

std::string DirectoryStamp(const std::string& path) {
  FileLook look;
  if (!internal::LookAtPath(path, true, &look) || !look.directory) return "";
  // A change within the same tick of the file system's clock as the last
  // one leaves the times as they were: only times older than the tick are
  // trusted. A file system with whole seconds (no nanoseconds) may count in
  // twos.
  struct timespec now = {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const bool whole_seconds = look.changed_ns == 0 && look.modified_ns == 0;
  const int64_t settle_ns = whole_seconds ? 3'000'000'000 : 100'000'000;
  const int64_t changed_ns = look.changed_s * 1'000'000'000 + look.changed_ns;
  const int64_t now_ns = int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
  if (now_ns - changed_ns < settle_ns) return "";
  return std::to_string(look.device) + ":" + std::to_string(look.inode) + ":" +
         std::to_string(look.modified_s) + "." + std::to_string(look.modified_ns) + ":" +
         std::to_string(look.changed_s) + "." + std::to_string(look.changed_ns);
}

bool IsSymbolicLink(const std::string& path) {
  FileLook look;
  return internal::LookAtPath(path, false, &look) && look.symbolic_link;
}

bool KeepFilesOpenBetweenCalls() { return true; }

}  // namespace qrole::platform
