#include "platform/env.h"

#include "gtest/gtest.h"
#include "platform/fake_clock.h"
#include "platform/fault_injection.h"
#include "platform/scoped_temp_dir.h"
#include "platform/test_env_var_internal.h"

namespace qrole::platform {
namespace {

using internal::ScopedEnvVar;

TEST(EnvTest, QroleHomeComesFromTheEnvironment) {
  ScopedEnvVar home("HOME", "/home/ana");
  {
    ScopedEnvVar qrole("QROLE_HOME", "/srv/qrole/");
    EXPECT_EQ(DefaultQroleHome(), "/srv/qrole");
  }
  ScopedEnvVar qrole("QROLE_HOME", "");
  {
    ScopedEnvVar config("XDG_CONFIG_HOME", "/etc-user");
    EXPECT_EQ(DefaultQroleHome(), "/etc-user/qrole");
  }
  ScopedEnvVar config("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(DefaultQroleHome(), "/home/ana/.config/qrole");
}

TEST(EnvTest, DefaultIsCurrentUntilReplaced) {
  Env* original = Env::Default();
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(Env::Default(), original);
  EXPECT_EQ(CurrentEnv(), original);
  EXPECT_EQ(&CurrentEnv()->Files(), NativeFileSystem());
  EXPECT_EQ(&CurrentEnv()->GetClock(), NativeClock());

  EnvWrapper wrapper(original);
  EXPECT_EQ(SetEnvForTesting(&wrapper), nullptr);
  EXPECT_EQ(CurrentEnv(), &wrapper);
  EXPECT_EQ(SetEnvForTesting(nullptr), &wrapper);
  EXPECT_EQ(CurrentEnv(), original);
}

// An Env for one test: its own home, a fault-injecting file system and a
// stopped clock; everything else from the default Env.
class TestEnv : public EnvWrapper {
 public:
  explicit TestEnv(const std::string& home)
      : EnvWrapper(Env::Default()),
        home_(home),
        files_(NativeFileSystem()),
        clock_(LocalDateTime{2024, 3, 15, 10, 0, 0, 0, 5}),
        settings_(home + "/registry.ini", &files_),
        profile_(home + "/win.ini", &files_) {}

  FileSystem& Files() override { return files_; }
  Clock& GetClock() override { return clock_; }
  SettingsStore& Settings() override { return settings_; }
  Profile& GetProfile() override { return profile_; }
  std::string QroleHome() override { return home_; }

  FaultInjectingFileSystem& faults() { return files_; }

 private:
  std::string home_;
  FaultInjectingFileSystem files_;
  FakeClock clock_;
  IniSettingsStore settings_;
  IniProfile profile_;
};

TEST(EnvTest, WrapperOverridesReachCallers) {
  ScopedTempDir dir(testing::TempDir());
  TestEnv env(dir.Child("home"));
  SetEnvForTesting(&env);

  Env* current = CurrentEnv();
  EXPECT_EQ(current->GetClock().Now().year, 2024);
  EXPECT_EQ(current->UserName(), UserName());  // Forwarded to the default.
  EXPECT_TRUE(current->Settings().Write("K", "v", "1"));
  EXPECT_EQ(current->Settings().Read("k", "V"), "1");
  EXPECT_TRUE(NativeFileSystem()->Exists(dir.Child("home/registry.ini")));

  env.faults().FailWritesAfter(0, Status::NoSpace("full"));
  EXPECT_FALSE(current->Settings().Write("K", "v", "2"));
  EXPECT_EQ(current->Settings().Read("K", "v"), "1");
  EXPECT_EQ(current->GetProfile().GetString("intl", "sDecimal", "."), ",");

  SetEnvForTesting(nullptr);
  EXPECT_EQ(CurrentEnv(), Env::Default());
}

}  // namespace
}  // namespace qrole::platform
