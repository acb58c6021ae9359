// User, machine and folder facts from the environment, the password database
// and the host name.

#include <pwd.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/path.h"
#include "platform/system_info.h"

namespace qrole::platform {
namespace {

// The value of an environment variable when it is an absolute path, without
// trailing "/"; nullopt otherwise.
std::optional<std::string> AbsoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || !IsAbsolutePath(value)) return std::nullopt;
  std::string out = value;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

// The password database entry of the effective user, or false.
bool LookUpUser(std::string* name, std::string* home) {
  std::vector<char> buffer(16384);
  passwd entry;
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr) {
    return false;
  }
  if (name != nullptr && entry.pw_name != nullptr) *name = entry.pw_name;
  if (home != nullptr && entry.pw_dir != nullptr) *home = entry.pw_dir;
  return true;
}

std::string UserDir(const char* variable, const char* fallback) {
  if (std::optional<std::string> value = AbsoluteEnv(variable)) return *value;
  const std::string home = HomeDirectory();
  std::ifstream in(JoinPath(KnownFolderPath(KnownFolder::AppData), "user-dirs.dirs"));
  if (in) {
    std::stringstream text;
    text << in.rdbuf();
    if (std::optional<std::string> value = ParseUserDirs(text.str(), variable, home)) {
      return *value;
    }
  }
  return JoinPath(home, fallback);
}

}  // namespace

std::string HomeDirectory() {
  if (std::optional<std::string> home = AbsoluteEnv("HOME")) return *home;
  std::string home;
  if (LookUpUser(nullptr, &home) && IsAbsolutePath(home)) return home;
  return "/";
}

std::string UserName() {
  std::string name;
  if (LookUpUser(&name, nullptr) && !name.empty()) return name;
  for (const char* variable : {"USER", "LOGNAME"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return std::to_string(::geteuid());
}

std::string ComputerName() {
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof(buffer) - 1) != 0) return "localhost";
  std::string name = buffer;
  name = name.substr(0, name.find('.'));
  return name.empty() ? "localhost" : name;
}

namespace {

std::string ReadBootId() {
  // The kernel's random boot identifier; without /proc, the boot time.
  if (FILE* f = std::fopen("/proc/sys/kernel/random/boot_id", "r")) {
    char buffer[64] = {};
    const size_t n = std::fread(buffer, 1, sizeof(buffer) - 1, f);
    std::fclose(f);
    std::string id(buffer, n);
    while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
    if (!id.empty()) return id;
  }
  struct timespec now = {}, up = {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  ::clock_gettime(CLOCK_BOOTTIME, &up);
  return "boot-" + std::to_string((now.tv_sec - up.tv_sec) / 60);
}

}  // namespace

// A process lives within one boot: the identifier is read once (every
// operation on a company compares it with the company log's).
std::string BootId() {
  static const std::string id = ReadBootId();
  return id;
}

std::string KnownFolderPath(KnownFolder folder) {
  switch (folder) {
    case KnownFolder::AppData:
      if (std::optional<std::string> value = AbsoluteEnv("XDG_CONFIG_HOME")) return *value;
      return JoinPath(HomeDirectory(), ".config");
    case KnownFolder::LocalAppData:
      if (std::optional<std::string> value = AbsoluteEnv("XDG_DATA_HOME")) return *value;
      return JoinPath(HomeDirectory(), ".local/share");
    case KnownFolder::CommonAppData:
      return "/var/lib";
    case KnownFolder::Documents:
      return UserDir("XDG_DOCUMENTS_DIR", "Documents");
    case KnownFolder::Desktop:
      return UserDir("XDG_DESKTOP_DIR", "Desktop");
    case KnownFolder::ProgramFiles:
      return "/opt";
    case KnownFolder::Temp:
      if (std::optional<std::string> value = AbsoluteEnv("TMPDIR")) return *value;
      return "/tmp";
  }
  return "/tmp";
}

std::string ShortPathName(std::string_view path) { return NormalizeSeparators(path); }

}  // namespace qrole::platform
