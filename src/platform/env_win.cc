// The default Env of Windows: the current user's registry, the Windows
// profile, message boxes on the desktop (or logged, see message_box_win.h),
// the native file system and clock.

#include "platform/env.h"
#include "platform/executable.h"
#include "platform/message_box_win.h"
#include "platform/path.h"
#include "platform/profile_win.h"
#include "platform/settings_store_win.h"

namespace qrole::platform {
namespace {

class WindowsEnv final : public Env {
 public:
  explicit WindowsEnv(std::string home) : home_(std::move(home)) {}

  SettingsStore& Settings() override { return settings_; }
  Profile& GetProfile() override { return profile_; }
  MessageBoxes& Messages() override { return messages_; }
  FileSystem& Files() override { return *NativeFileSystem(); }
  Clock& GetClock() override { return *NativeClock(); }
  std::string UserName() override { return platform::UserName(); }
  std::string ComputerName() override { return platform::ComputerName(); }
  std::string BootId() override { return platform::BootId(); }
  std::string KnownFolderPath(KnownFolder folder) override {
    return platform::KnownFolderPath(folder);
  }
  std::string QroleHome() override { return home_; }

 private:
  const std::string home_;
  RegistrySettingsStore settings_;
  WindowsProfile profile_;
  DesktopMessageBoxes messages_;
};

}  // namespace

std::string DefaultQroleHome() {
  std::string home = EnvironmentVariable("QROLE_HOME");
  if (!home.empty()) {
    home = NormalizeSeparators(home);
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    return home;
  }
  return JoinPath(platform::KnownFolderPath(KnownFolder::AppData), "qrole");
}

Env* Env::Default() {
  static WindowsEnv* const env = new WindowsEnv(DefaultQroleHome());
  return env;
}

}  // namespace qrole::platform
