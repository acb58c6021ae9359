#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/executable.h"
#include "platform/path.h"

namespace qrole::platform {

// Looked up once: the program directory is found through it at every reading
// of the settings.
std::string ExecutablePath() {
  static const std::string path = [] {
    std::vector<char> buf(4096);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return std::string();
    return std::string(buf.data(), static_cast<size_t>(n));
  }();
  return path;
}

std::vector<std::string> ShippedFileFolders() {
  const std::string exe = ExecutablePath();
  if (exe.empty()) return {};
  return {JoinPath(DirName(exe), "../share/qrole")};
}

std::string EnvironmentVariable(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  return v ? v : "";
}

}  // namespace qrole::platform
