// Test support for the data layer: an environment with a fresh program
// directory and company directory, recorded message boxes, a stopped clock
// and settings of its own, and builders of definition files.

#ifndef QROLE_DATA_DATA_TEST_UTIL_H_
#define QROLE_DATA_DATA_TEST_UTIL_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/fake_clock.h"
#include "platform/message_box.h"
#include "platform/scoped_temp_dir.h"
#include "platform/settings_store.h"

namespace qrole::data::test {

// One field entry of a definition file.
struct FieldEntry {
  int type = 0;
  int length = 0;  // declared length (hundreds go to bytes 2-3)
  std::string name;
  int code = 0;
  int elements = 1;  // an array: this many entries, the first with the count
};

// One index entry: a segment of index `index`. With field 0 the segment's
// field is named by `code`.
struct SegmentEntry {
  int index = 1;
  int field = 0;
  int start = 1;
  int length = 0;
  int code = 0;
};

// A two-character number as a definition file writes it: "12", " 5".
std::string TwoChars(int n);
// The bytes of a definition file with these fields and index segments.
std::string DefinitionBytes(const std::vector<FieldEntry>& fields,
                            const std::vector<SegmentEntry>& segments);

// The journal-like table the tests use ("TESTT"):
//   1 date (5)  2 account (text 10)  3 entry number (4)  4 description
//   (text 30)  5 side (text 1)  6 amount (3)  7 counter (1)  8 rate (2)
//   9 reference (text 12, code 22)  10-24 fifteen period amounts (3, an
//   array of 15 with code 9);
// indexes: 1 = date + entry number, 2 = account, 3 = reference (by code
// 22), 4 = account 1-6 + description 1-10.
std::vector<FieldEntry> JournalFields();
std::vector<SegmentEntry> JournalSegments();

// Sets itself current for its lifetime; resets the data layer on entry and
// exit, fills the message table, and points the data layer at its program
// directory (definition files) and company directory (number "01").
class DataTestEnv : public platform::EnvWrapper {
 public:
  DataTestEnv();
  ~DataTestEnv() override;

  platform::FileSystem& Files() override;
  platform::Clock& GetClock() override {
    return real_clock_ ? *platform::NativeClock() : static_cast<platform::Clock&>(clock_);
  }
  platform::MessageBoxes& Messages() override { return *messages_; }
  platform::SettingsStore& Settings() override { return *settings_; }

  // Files go through `fs` (not owned; nullptr restores the native one).
  void UseFileSystem(platform::FileSystem* fs) { fs_ = fs; }
  // Waits really (for tests with several processes) instead of moving the
  // stopped clock.
  void UseRealClock() { real_clock_ = true; }

  std::vector<platform::MessageBoxRecord> TakeMessages() { return messages_->TakeRecorded(); }
  platform::FakeClock& clock() { return clock_; }

  std::string program_dir() const { return root_.Child("prog"); }
  std::string data_dir() const { return root_.Child("data"); }

  // Writes `table`.QRA in the program directory.
  void WriteDefinition(const std::string& table, const std::vector<FieldEntry>& fields,
                       const std::vector<SegmentEntry>& segments);
  void WriteJournalDefinition(const std::string& table = "TESTT");

 private:
  platform::ScopedTempDir root_;
  platform::FakeClock clock_;
  std::unique_ptr<platform::RecordingMessageBoxes> messages_;
  std::unique_ptr<platform::IniSettingsStore> settings_;
  platform::FileSystem* fs_ = nullptr;
  bool real_clock_ = false;
  platform::Env* previous_ = nullptr;
};

}  // namespace qrole::data::test

#endif  // QROLE_DATA_DATA_TEST_UTIL_H_
