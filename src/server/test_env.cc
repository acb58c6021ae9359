#include "server/test_env.h"

#include <fstream>

#include "server/startup.h"

namespace qrole::server {

TestEnv::TestEnv(const std::string& registry_ini, const std::string& win_ini)
    : EnvWrapper(platform::Env::Default()) {
  if (!registry_ini.empty()) std::ofstream(home_.path() + "/registry.ini") << registry_ini;
  if (!win_ini.empty()) std::ofstream(home_.path() + "/win.ini") << win_ini;
  settings_ = std::make_unique<platform::IniSettingsStore>(home_.path() + "/registry.ini");
  profile_ = std::make_unique<platform::IniProfile>(home_.path() + "/win.ini");
  messages_ = std::make_unique<platform::RecordingMessageBoxes>([](const std::string&) {});
  previous_ = platform::SetEnvForTesting(this);
  RestartServerForTesting();
}

TestEnv::~TestEnv() { platform::SetEnvForTesting(previous_); }

std::string TestEnv::KnownFolderPath(platform::KnownFolder folder) {
  return home_.path() + "/known/" + std::to_string(static_cast<int>(folder));
}

}  // namespace qrole::server
