// The environment the server runs in: settings, profile, message boxes, files,
// clock and facts about the user and machine, behind one object.
//
// Code above the platform layer reaches the operating system only through
// CurrentEnv(). Tests replace it with SetEnvForTesting, usually with an
// EnvWrapper subclass that overrides one accessor (a FaultInjectingFileSystem,
// a FakeClock, a settings store missing a value).
//
// Design: Env::Default() is built on first use from the process environment
// and lives until the process ends. CurrentEnv() reads one atomic pointer, so
// it is cheap and thread-safe; SetEnvForTesting must not race with code still
// using the previous Env.

#ifndef QROLE_PLATFORM_ENV_H_
#define QROLE_PLATFORM_ENV_H_

#include <string>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/settings_store.h"
#include "platform/system_info.h"

namespace qrole::platform {

class Env {
 public:
  Env() = default;
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;
  virtual ~Env() = default;

  // The process-wide environment of this operating system: files, clock and
  // system facts of the machine; settings in <QroleHome>/registry.ini, the
  // profile in <QroleHome>/win.ini, message boxes answered and recorded by a
  // RecordingMessageBoxes that logs to stderr. QroleHome is $QROLE_HOME when
  // set and not empty, else <AppData>/qrole (AppData is $XDG_CONFIG_HOME, else
  // ~/.config); it is read once, on first use, and created (owner only) on the
  // first settings write. Never destroyed; the caller does not own it.
  static Env* Default();

  // Each accessor returns an object owned by the Env, valid as long as it.
  virtual SettingsStore& Settings() = 0;
  virtual Profile& GetProfile() = 0;
  virtual MessageBoxes& Messages() = 0;
  virtual FileSystem& Files() = 0;
  virtual Clock& GetClock() = 0;

  // See system_info.h.
  virtual std::string UserName() = 0;
  virtual std::string ComputerName() = 0;
  virtual std::string KnownFolderPath(KnownFolder folder) = 0;
  // Names the current boot of the machine: two calls give the same text until
  // the machine restarts. Logs compare it to tell a crash of a process (the
  // operating system still holds every write) from a power cut.
  virtual std::string BootId() = 0;

  // The directory of the server's per-user state (settings, profile).
  virtual std::string QroleHome() = 0;
};

// Forwards every call to another Env, which it does not own and which must
// outlive it. Derive and override what a test needs to change.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}

  Env* target() const { return target_; }

  SettingsStore& Settings() override { return target_->Settings(); }
  Profile& GetProfile() override { return target_->GetProfile(); }
  MessageBoxes& Messages() override { return target_->Messages(); }
  FileSystem& Files() override { return target_->Files(); }
  Clock& GetClock() override { return target_->GetClock(); }
  std::string UserName() override { return target_->UserName(); }
  std::string ComputerName() override { return target_->ComputerName(); }
  std::string KnownFolderPath(KnownFolder folder) override {
    return target_->KnownFolderPath(folder);
  }
  std::string BootId() override { return target_->BootId(); }
  std::string QroleHome() override { return target_->QroleHome(); }

 private:
  Env* const target_;
};

// The Env in force: the one set by SetEnvForTesting, else Env::Default().
Env* CurrentEnv();

// Makes `env` (not owned; must stay alive while set) the current Env; nullptr
// restores Env::Default(). Returns the Env set before (nullptr when it was the
// default), so a test can restore it.
Env* SetEnvForTesting(Env* env);

// QroleHome as Env::Default() computes it from the environment now.
std::string DefaultQroleHome();

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_ENV_H_
