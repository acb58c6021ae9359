// The default Env of a POSIX system.

#include <cstdlib>

#include "platform/env.h"
#include "platform/path.h"

namespace qrole::platform {
namespace {

class PosixEnv final : public Env {
 public:
  explicit PosixEnv(std::string home)
      : home_(std::move(home)),
        settings_(JoinPath(home_, "registry.ini"), NativeFileSystem()),
        profile_(JoinPath(home_, "win.ini"), NativeFileSystem()) {}

  SettingsStore& Settings() override { return settings_; }
  Profile& GetProfile() override { return profile_; }
  MessageBoxes& Messages() override { return messages_; }
  FileSystem& Files() override { return *NativeFileSystem(); }
  Clock& GetClock() override { return *NativeClock(); }
  std::string UserName() override {
    // Looked up once: the user a process runs as does not change, and each
    // look-up reads the password database.
    static const std::string name = platform::UserName();
    return name;
  }
  std::string ComputerName() override { return platform::ComputerName(); }
  std::string BootId() override { return platform::BootId(); }
  std::string KnownFolderPath(KnownFolder folder) override {
    return platform::KnownFolderPath(folder);
  }
  std::string QroleHome() override { return home_; }

 private:
  const std::string home_;
  IniSettingsStore settings_;
  IniProfile profile_;
  RecordingMessageBoxes messages_;
};

}  // namespace

std::string DefaultQroleHome() {
  const char* home = std::getenv("QROLE_HOME");
  if (home != nullptr && *home != '\0') {
    std::string out = NormalizeSeparators(home);
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
  }
  return JoinPath(platform::KnownFolderPath(KnownFolder::AppData), "qrole");
}

Env* Env::Default() {
  static PosixEnv* const env = new PosixEnv(DefaultQroleHome());
  return env;
}

}  // namespace qrole::platform
