// An environment for in-process tests of the server: settings, profile and
// message boxes in a fresh temporary QROLE_HOME, made current for the
// lifetime of the object, with start-up run again.

#ifndef QROLE_SERVER_TEST_ENV_H_
#define QROLE_SERVER_TEST_ENV_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/scoped_temp_dir.h"

namespace qrole::server {

class TestEnv : public platform::EnvWrapper {
 public:
  // `win_ini` and `registry_ini` are written into the temporary home first
  // (nothing is written for an empty text).
  explicit TestEnv(const std::string& registry_ini = "", const std::string& win_ini = "");
  ~TestEnv() override;

  platform::SettingsStore& Settings() override { return *settings_; }
  platform::Profile& GetProfile() override { return *profile_; }
  platform::MessageBoxes& Messages() override { return *messages_; }
  std::string QroleHome() override { return home_.path(); }
  // The user's folders live inside the temporary home.
  std::string KnownFolderPath(platform::KnownFolder folder) override;

  const std::string& home() const { return home_.path(); }
  // The message boxes shown since the last call, in order.
  std::vector<platform::MessageBoxRecord> TakeMessages() { return messages_->TakeRecorded(); }

 private:
  platform::ScopedTempDir home_;
  std::unique_ptr<platform::IniSettingsStore> settings_;
  std::unique_ptr<platform::IniProfile> profile_;
  std::unique_ptr<platform::RecordingMessageBoxes> messages_;
  platform::Env* previous_;
};

}  // namespace qrole::server

#endif  // QROLE_SERVER_TEST_ENV_H_
