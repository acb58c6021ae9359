#include "data/data_test_util.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "data/definition_file.h"
#include "data/globals.h"
#include "data/message_table.h"
#include "gtest/gtest.h"
#include "platform/file_system.h"

namespace qrole::data::test {

namespace {

std::string Padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

platform::LocalDateTime Start() {
  platform::LocalDateTime t;
  t.year = 2024;
  t.month = 5;
  t.day = 10;
  t.hour = 9;
  return t;
}

}  // namespace

std::string TwoChars(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%2d", n % 100);
  return buf;
}

std::string DefinitionBytes(const std::vector<FieldEntry>& fields,
                            const std::vector<SegmentEntry>& segments) {
  int positions = 0;
  for (const FieldEntry& f : fields) positions += std::max(f.elements, 1);
  std::string bytes = Padded(TwoChars(positions) + "test table", kEntrySize);
  for (const FieldEntry& f : fields) {
    // An array: one entry per element, the first carrying the count.
    for (int e = 0; e < std::max(f.elements, 1); ++e) {
      std::string entry = e == 0 && f.elements > 1 ? TwoChars(f.elements) : "  ";
      entry += f.length >= 100 ? TwoChars(f.length / 100) : "  ";
      entry += TwoChars(f.length % 100) + TwoChars(f.type) + Padded(f.name, 23) + TwoChars(f.code);
      bytes += entry;
    }
  }
  for (const SegmentEntry& s : segments) {
    std::string entry = "I";
    entry += static_cast<char>('0' + s.index);
    entry += s.field == 0 ? "  " : TwoChars(s.field);
    entry += TwoChars(s.start) + TwoChars(s.length) + Padded("segment", 23);
    entry += s.code == 0 ? "  " : TwoChars(s.code);
    bytes += entry;
  }
  return bytes;
}

std::vector<FieldEntry> JournalFields() {
  return {
      {5, 6, "FECHA", 1},        {0, 10, "CUENTA", 2}, {4, 0, "ASIENTO", 3},
      {0, 30, "CONCEPTO", 4},    {0, 1, "TIPO", 5},    {3, 0, "IMPORTE", 6},
      {1, 0, "CONTADOR", 7},     {2, 0, "CAMBIO", 8},  {0, 12, "REFERENCIA", 22},
      {3, 0, "PERIODOS", 9, 15},
  };
}

std::vector<SegmentEntry> JournalSegments() {
  return {
      {1, 1, 1, 6},      {1, 3, 1, 8},   // date + entry number
      {2, 2, 1, 10},                     // account
      {3, 0, 1, 12, 22},                 // reference, by its code
      {4, 2, 1, 6},      {4, 4, 1, 10},  // account 1-6 + description 1-10
  };
}

DataTestEnv::DataTestEnv()
    : EnvWrapper(platform::Env::Default()), root_(::testing::TempDir()), clock_(Start()) {
  messages_ = std::make_unique<platform::RecordingMessageBoxes>([](const std::string&) {});
  settings_ = std::make_unique<platform::IniSettingsStore>(root_.Child("registry.ini"));
  platform::NativeFileSystem()->CreateDirectories(program_dir()).IgnoreError();
  platform::NativeFileSystem()->CreateDirectories(data_dir()).IgnoreError();
  previous_ = platform::SetEnvForTesting(this);
  ResetDataLayer();
  FillMessageTable();
  SetProgramDirectory(program_dir());
  SetCompany(data_dir(), "01");
}

DataTestEnv::~DataTestEnv() {
  ResetDataLayer();
  platform::SetEnvForTesting(previous_);
}

platform::FileSystem& DataTestEnv::Files() { return fs_ != nullptr ? *fs_ : target()->Files(); }

void DataTestEnv::WriteDefinition(const std::string& table, const std::vector<FieldEntry>& fields,
                                  const std::vector<SegmentEntry>& segments) {
  platform::Status status = platform::NativeFileSystem()->WriteAllAtomic(
      program_dir() + "/" + table + ".QRA", DefinitionBytes(fields, segments));
  if (!status.ok()) {
    std::fprintf(stderr, "cannot write a definition: %s\n", status.ToString().c_str());
    std::abort();
  }
}

void DataTestEnv::WriteJournalDefinition(const std::string& table) {
  WriteDefinition(table, JournalFields(), JournalSegments());
}

}  // namespace qrole::data::test
