#include "platform/settings_store.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "gtest/gtest.h"
#include "platform/fault_injection.h"
#include "platform/scoped_temp_dir.h"

namespace qrole::platform {
namespace {

constexpr char kKey[] = "SOFTWARE\\QRN\\Valdrix\\Settings";

class IniSettingsStoreTest : public testing::Test {
 protected:
  std::string ReadFile() {
    Result<std::string> text = NativeFileSystem()->ReadAll(path_);
    return text.ok() ? *text : "<missing>";
  }
  void WriteFile(const std::string& text) {
    ASSERT_TRUE(NativeFileSystem()->WriteAllAtomic(path_, text).ok());
  }

  ScopedTempDir dir_{testing::TempDir()};
  std::string path_ = dir_.Child("home/registry.ini");
  IniSettingsStore store_{path_};
};

TEST_F(IniSettingsStoreTest, MissingFileSectionOrValueReadsAsNothing) {
  EXPECT_EQ(store_.Read(kKey, "DATOS_DIR"), std::nullopt);
  ASSERT_TRUE(NativeFileSystem()->CreateDirectories(dir_.Child("home")).ok());
  WriteFile("[Other]\nDATOS_DIR=x\n[SOFTWARE\\QRN\\Valdrix\\Settings]\nDirectory=/opt/\n");
  EXPECT_EQ(store_.Read("SOFTWARE\\QRN\\Missing", "DATOS_DIR"), std::nullopt);
  EXPECT_EQ(store_.Read(kKey, "DATOS_DIR"), std::nullopt);
  EXPECT_EQ(store_.Read(kKey, "Directory"), "/opt/");
}

TEST_F(IniSettingsStoreTest, WriteCreatesPrivateHomeAndReadsBack) {
  ASSERT_TRUE(store_.Write(kKey, "DATOS_DIR", "/srv/conta/datos/"));
  struct stat st;
  ASSERT_EQ(::stat(dir_.Child("home").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(ReadFile(), "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=/srv/conta/datos/\n");
  EXPECT_EQ(store_.Read(kKey, "DATOS_DIR"), "/srv/conta/datos/");

  // Another store on the same file (as another process would be) sees it.
  IniSettingsStore other(path_);
  EXPECT_EQ(other.Read(kKey, "DATOS_DIR"), "/srv/conta/datos/");
  ASSERT_TRUE(other.Write(kKey, "DATOS_DIR", "/changed/"));
  EXPECT_EQ(store_.Read(kKey, "DATOS_DIR"), "/changed/");
}

TEST_F(IniSettingsStoreTest, NamesMatchIgnoringCaseValuesKeepBlanks) {
  ASSERT_TRUE(store_.Write("SOFTWARE\\QRN\\Año", "Compañía", "Uno"));
  EXPECT_EQ(store_.Read("software\\qrn\\AÑO", "COMPAÑÍA"), "Uno");
  ASSERT_TRUE(store_.Write("SOFTWARE\\qrn\\año", "COMPAÑÍA", " "));
  EXPECT_EQ(store_.Read("SOFTWARE\\QRN\\Año", "Compañía"), " ");
  ASSERT_TRUE(store_.Write(kKey, "Padded", "  a b  "));
  EXPECT_EQ(store_.Read(kKey, "padded"), "  a b  ");
  ASSERT_TRUE(store_.Write(kKey, "Empty", ""));
  EXPECT_EQ(store_.Read(kKey, "Empty"), "");
  // One section per key path, spelled as first written.
  EXPECT_EQ(ReadFile(),
            "[SOFTWARE\\QRN\\Año]\nCompañía= \n\n"
            "[SOFTWARE\\QRN\\Valdrix\\Settings]\nPadded=  a b  \nEmpty=\n");
}

TEST_F(IniSettingsStoreTest, KeepsCommentsOrderAndOtherValues) {
  ASSERT_TRUE(NativeFileSystem()->CreateDirectories(dir_.Child("home")).ok());
  WriteFile(
      "; settings of the server\n"
      "[B]\n"
      "# keep me\n"
      "z=1\n"
      "\n"
      "[A]\n"
      "y=2\n");
  ASSERT_TRUE(store_.Write("a", "Y", "3"));
  ASSERT_TRUE(store_.Write("b", "new", "4"));
  EXPECT_EQ(ReadFile(),
            "; settings of the server\n"
            "[B]\n"
            "# keep me\n"
            "z=1\n"
            "new=4\n"
            "\n"
            "[A]\n"
            "y=3\n");
}

TEST_F(IniSettingsStoreTest, EnsureKey) {
  EXPECT_TRUE(store_.EnsureKey(kKey));
  EXPECT_EQ(ReadFile(), "[SOFTWARE\\QRN\\Valdrix\\Settings]\n");
  EXPECT_TRUE(store_.EnsureKey("software\\qrn\\valdrix\\settings"));  // Present already.
  EXPECT_EQ(ReadFile(), "[SOFTWARE\\QRN\\Valdrix\\Settings]\n");
  EXPECT_EQ(store_.Read(kKey, "x"), std::nullopt);
  EXPECT_FALSE(store_.EnsureKey("bad]key"));
  EXPECT_FALSE(store_.EnsureKey(""));
}

TEST_F(IniSettingsStoreTest, RefusesUnstorableInputAndLeavesFileAlone) {
  ASSERT_TRUE(store_.Write(kKey, "a", "1"));
  const std::string before = ReadFile();
  EXPECT_FALSE(store_.Write(kKey, "a", "1\n[Injected]\nx=y"));
  EXPECT_FALSE(store_.Write(kKey, "b=c", "1"));
  EXPECT_FALSE(store_.Write("K]\n[L", "a", "1"));
  EXPECT_EQ(ReadFile(), before);
  EXPECT_EQ(store_.Read("Injected", "x"), std::nullopt);
}

TEST_F(IniSettingsStoreTest, FailuresOfTheFileSystemAreReported) {
  FaultInjectingFileSystem faulty(NativeFileSystem());
  IniSettingsStore store(path_, &faulty);
  ASSERT_TRUE(store.Write(kKey, "a", "1"));
  const std::string before = ReadFile();

  faulty.FailWritesAfter(0, Status::NoSpace("disk full"));
  EXPECT_FALSE(store.Write(kKey, "a", "2"));
  EXPECT_FALSE(store.EnsureKey("New"));
  EXPECT_EQ(ReadFile(), before);
  faulty.StopFailingWrites();

  // A lock held elsewhere for a while is waited for.
  faulty.FailLocks(3);
  EXPECT_TRUE(store.Write(kKey, "a", "3"));
  EXPECT_EQ(store.Read(kKey, "a"), "3");

  // No lock file, no write.
  faulty.FailOpen(path_ + ".lock", Status::Busy("in use"));
  EXPECT_FALSE(store.Write(kKey, "a", "4"));
  faulty.Reset();

  // An unreadable file is not overwritten.
  faulty.FailOpen(path_, Status::IOError("unreadable"));
  EXPECT_FALSE(store.Write(kKey, "a", "5"));
  EXPECT_EQ(store.Read(kKey, "a"), std::nullopt);
  faulty.Reset();
  EXPECT_EQ(store.Read(kKey, "a"), "3");
}

TEST_F(IniSettingsStoreTest, ThreadsWritingAtOnceLoseNothing) {
  constexpr int kPerThread = 40;
  auto writer = [&](const std::string& prefix) {
    IniSettingsStore store(path_);
    for (int i = 0; i < kPerThread; ++i) {
      EXPECT_TRUE(store.Write(kKey, prefix + std::to_string(i), std::to_string(i)));
    }
  };
  std::thread a(writer, "a");
  std::thread b(writer, "b");
  a.join();
  b.join();
  for (int i = 0; i < kPerThread; ++i) {
    EXPECT_EQ(store_.Read(kKey, "a" + std::to_string(i)), std::to_string(i));
    EXPECT_EQ(store_.Read(kKey, "b" + std::to_string(i)), std::to_string(i));
  }
}

TEST_F(IniSettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kPerProcess = 100;
  ASSERT_TRUE(store_.Write("Shared", "seed", "0"));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  auto write_all = [&](const std::string& prefix) {
    IniSettingsStore store(path_);
    int failures = 0;
    for (int i = 0; i < kPerProcess; ++i) {
      if (!store.Write("Shared", prefix + std::to_string(i),
                       prefix + " value " + std::to_string(i))) {
        ++failures;
      }
    }
    return failures;
  };
  if (child == 0) ::_exit(write_all("child") == 0 ? 0 : 1);
  const int parent_failures = write_all("parent");
  int wait_status = 0;
  ASSERT_EQ(::waitpid(child, &wait_status, 0), child);
  ASSERT_TRUE(WIFEXITED(wait_status));
  EXPECT_EQ(WEXITSTATUS(wait_status), 0) << "the child process failed writes";
  EXPECT_EQ(parent_failures, 0);
  for (const std::string prefix : {"child", "parent"}) {
    for (int i = 0; i < kPerProcess; ++i) {
      EXPECT_EQ(store_.Read("Shared", prefix + std::to_string(i)),
                prefix + " value " + std::to_string(i));
    }
  }
  EXPECT_EQ(store_.Read("Shared", "seed"), "0");
}

}  // namespace
}  // namespace qrole::platform
