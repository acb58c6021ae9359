#include <sys/stat.h>

#include "platform/env.h"
#include "platform/file_identity.h"

namespace qrole::platform {

// Names are case-sensitive and have no short forms here: the resolved path
// is the identity.
std::string FileIdentity(const std::string& path) { return CurrentEnv()->Files().Resolve(path); }

std::string FileStamp(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return "";
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::string FileVersion(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return "";
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
         std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ctim.tv_sec) + "." +
         std::to_string(st.st_ctim.tv_nsec);
}

bool KeepFilesOpenBetweenCalls() { return true; }

}  // namespace qrole::platform
