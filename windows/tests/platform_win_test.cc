// The Windows platform layer: registry settings, the profile, message boxes,
// files with Windows sharing and byte-range locks, and system facts.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "platform/file_identity.h"
#include "platform/file_system.h"
#include "platform/message_box_win.h"
#include "platform/path.h"
#include "platform/profile_win.h"
#include "platform/scoped_temp_dir.h"
#include "platform/settings_store_win.h"
#include "platform/system_info.h"
#include "platform/windows_internal_win.h"

namespace qrole::platform {
namespace {

using internal::WindowsPath;

const std::string kTestKey = "SOFTWARE\\QRN\\QroleTest-" + std::to_string(::GetCurrentProcessId());

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(RegistrySettingsStore::DeleteTree(kTestKey)); }
  RegistrySettingsStore store_;
};

TEST_F(RegistryTest, ValuesRoundTripAndMatchIgnoringCase) {
  EXPECT_EQ(store_.Read(kTestKey + "\\Settings", "DATOS_DIR"), std::nullopt);
  EXPECT_TRUE(store_.Write(kTestKey + "\\Settings", "DATOS_DIR", "C:\\Datos\\Año\\"));
  EXPECT_EQ(store_.Read(kTestKey + "\\Settings", "DATOS_DIR"), "C:\\Datos\\Año\\");
  EXPECT_EQ(store_.Read(kTestKey + "\\SETTINGS", "datos_dir"), "C:\\Datos\\Año\\");
  EXPECT_EQ(store_.Read(kTestKey + "/Settings", "DATOS_DIR"), "C:\\Datos\\Año\\");
  EXPECT_TRUE(store_.Write(kTestKey + "\\Settings", "DATOS_DIR", " "));
  EXPECT_EQ(store_.Read(kTestKey + "\\Settings", "DATOS_DIR"), " ");
  EXPECT_EQ(store_.Read(kTestKey + "\\Settings", "Other"), std::nullopt);
}

TEST_F(RegistryTest, KeysAndRefusals) {
  EXPECT_TRUE(store_.EnsureKey(kTestKey + "\\Nueva"));
  HKEY h = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, WindowsPath(kTestKey + "\\Nueva").c_str(), 0,
                            KEY_READ, &h),
            ERROR_SUCCESS);
  if (h != nullptr) ::RegCloseKey(h);
  EXPECT_FALSE(store_.EnsureKey(""));
  EXPECT_FALSE(store_.Write(kTestKey, "v", std::string("a\0b", 3)));
  EXPECT_EQ(store_.Read(kTestKey, "v"), std::nullopt);
}

TEST_F(RegistryTest, NumbersStoredByOtherProgramsReadAsText) {
  ASSERT_TRUE(store_.EnsureKey(kTestKey));
  HKEY h = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, WindowsPath(kTestKey).c_str(), 0, KEY_SET_VALUE, &h),
            ERROR_SUCCESS);
  DWORD value = 1234;
  ::RegSetValueExW(h, L"Numero", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
  // A text stored without its terminating NUL.
  ::RegSetValueExW(h, L"Texto", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"abc"),
                   3 * sizeof(wchar_t));
  ::RegCloseKey(h);
  EXPECT_EQ(store_.Read(kTestKey, "Numero"), "1234");
  EXPECT_EQ(store_.Read(kTestKey, "Texto"), "abc");
}

TEST(WindowsProfileTest, IntlKeysFallBackToTheLocale) {
  WindowsProfile profile;
  wchar_t digits[8];
  ASSERT_GT(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICURRDIGITS, digits, 8), 0);
  EXPECT_EQ(profile.GetString("intl", "icurrdigits", "0"), internal::Narrow(digits));
  wchar_t decimal[8];
  ASSERT_GT(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8), 0);
  EXPECT_EQ(profile.GetString("INTL", "sDecimal", "?"), internal::Narrow(decimal));
  EXPECT_EQ(profile.GetString("intl", "NoSuchKey", "def"), "def");
}

TEST(WindowsProfileTest, ValuesOfTheProfile) {
  ASSERT_TRUE(::WriteProfileStringW(L"QroleTest", L"Clave", L"Valor ñ"));
  WindowsProfile profile;
  EXPECT_EQ(profile.GetString("qroletest", "clave", "def"), "Valor ñ");
  ::WriteProfileStringW(L"QroleTest", L"Vacia", L"");
  EXPECT_EQ(profile.GetString("QroleTest", "Vacia", "def"), "");
  ::WriteProfileStringW(L"QroleTest", nullptr, nullptr);
  EXPECT_EQ(profile.GetString("QroleTest", "Clave", "def"), "def");
}

// Sets the server's message-box settings for one test and puts back what
// was there.
class ScopedServerSetting {
 public:
  ScopedServerSetting(const std::string& name, const std::string& value) : name_(name) {
    old_ = store_.Read(kServerSettingsKey, name);
    store_.Write(kServerSettingsKey, name, value);
  }
  ~ScopedServerSetting() {
    if (old_) {
      store_.Write(kServerSettingsKey, name_, *old_);
    } else {
      HKEY h = nullptr;
      if (::RegOpenKeyExW(HKEY_CURRENT_USER, WindowsPath(kServerSettingsKey).c_str(), 0,
                          KEY_SET_VALUE, &h) == ERROR_SUCCESS) {
        ::RegDeleteValueW(h, internal::Widen(name_).c_str());
        ::RegCloseKey(h);
      }
    }
  }

 private:
  RegistrySettingsStore store_;
  std::string name_;
  std::optional<std::string> old_;
};

TEST(DesktopMessageBoxesTest, LoggedWhenTheSettingSaysSo) {
  ScopedTempDir dir;
  const std::string log = dir.Child("boxes.log");
  ScopedServerSetting mode("MessageBoxes", "log");
  ScopedServerSetting file("LogFile", log);
  DesktopMessageBoxes boxes;
  EXPECT_TRUE(boxes.LogsInsteadOfShowing());
  EXPECT_EQ(boxes.LogFilePath(), NormalizeSeparators(log));
  EXPECT_EQ(boxes.Show("¿Continuar?\r\nsí", "Título", MsgIcon::Question, MsgButtons::YesNo),
            kIdYes);
  EXPECT_EQ(boxes.Show("Archivo en uso", "", MsgIcon::Error, MsgButtons::RetryCancel), kIdRetry);
  std::string bytes;
  ASSERT_TRUE(NativeFileSystem()->ReadAll(log).ok());
  bytes = *NativeFileSystem()->ReadAll(log);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");  // UTF-16 with its byte-order mark
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                          (bytes.size() - 2) / sizeof(wchar_t));
  const std::string utf8 = internal::Narrow(text);
  EXPECT_NE(utf8.find("qrole: message box: [Título] ¿Continuar?\\nsí\r\n"), std::string::npos)
      << utf8;
  EXPECT_NE(utf8.find("qrole: message box: [] Archivo en uso\r\n"), std::string::npos) << utf8;
  EXPECT_EQ(utf8.find("\xEF\xBB\xBF"), std::string::npos);  // one mark, at the start only
}

class WindowsFilesTest : public ::testing::Test {
 protected:
  std::unique_ptr<File> Open(const std::string& name, OpenMode mode = OpenMode::ReadWriteCreate) {
    Result<std::unique_ptr<File>> f = fs_->Open(dir_.Child(name), mode);
    EXPECT_TRUE(f.ok()) << f.status().ToString();
    return f.ok() ? std::move(*f) : nullptr;
  }
  FileSystem* fs_ = NativeFileSystem();
  ScopedTempDir dir_;
};

TEST_F(WindowsFilesTest, LocksConflictBetweenFilesOfOneProcess) {
  auto a = Open("DIARIO01.QRD");
  auto b = Open("diario01.qrd");
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->WriteAt(0, std::string(200, 'x')).ok());
  EXPECT_TRUE(a->LockRange(100, 50, true).ok());
  EXPECT_TRUE(b->LockRange(120, 1, false).IsBusy());
  EXPECT_TRUE(b->LockRange(0, 100, true).ok());  // next to it
  EXPECT_TRUE(b->UnlockRange(0, 100).ok());
  EXPECT_TRUE(a->LockRange(100, 50, true).ok());  // its own lock again: no conflict
  EXPECT_TRUE(a->UnlockRange(100, 50).ok());      // one unlock frees it
  EXPECT_TRUE(b->LockRange(120, 1, true).ok());
  EXPECT_TRUE(b->UnlockRange(120, 1).ok());
  // Shared locks coexist; an exclusive one waits for none of them.
  EXPECT_TRUE(a->LockRange(0, 10, false).ok());
  EXPECT_TRUE(b->LockRange(5, 10, false).ok());
  EXPECT_TRUE(b->LockRange(0, 1, true).IsBusy());
  EXPECT_TRUE(a->UnlockWhole().ok());
  EXPECT_TRUE(b->UnlockWhole().ok());
  // The whole-file lock against any range.
  EXPECT_TRUE(a->LockWhole().ok());
  EXPECT_TRUE(b->LockRange(1u << 30, 1, false).IsBusy());
  a.reset();  // closing releases
  EXPECT_TRUE(b->LockWhole().ok());
}

TEST_F(WindowsFilesTest, LocksReplaceAndUnlockInParts) {
  auto a = Open("f");
  auto b = Open("f");
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->LockRange(0, 100, false).ok());
  ASSERT_TRUE(a->LockRange(40, 20, true).ok());  // part of it becomes exclusive
  EXPECT_TRUE(b->LockRange(0, 10, false).ok());  // still shared there
  EXPECT_TRUE(b->LockRange(45, 1, false).IsBusy());
  EXPECT_TRUE(b->LockRange(70, 1, true).IsBusy());  // shared by a: no exclusive
  ASSERT_TRUE(a->UnlockRange(0, 50).ok());          // frees 0..49 only
  EXPECT_TRUE(b->LockRange(20, 25, true).ok());
  EXPECT_TRUE(b->LockRange(55, 1, false).IsBusy());  // 50..59 still exclusive
  EXPECT_TRUE(b->LockRange(80, 1, false).ok());      // 60..99 still shared
  EXPECT_TRUE(b->LockRange(80, 1, true).IsBusy());
}

TEST_F(WindowsFilesTest, LockArguments) {
  auto a = Open("g");
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->LockRange(0, 0, true).IsInvalidArgument());
  EXPECT_TRUE(a->LockRange(kMaxLockEnd, 1, true).IsInvalidArgument());
  auto read_only = Open("g", OpenMode::ReadOnly);
  ASSERT_TRUE(read_only);
  EXPECT_TRUE(read_only->LockRange(0, 1, true).IsInvalidArgument());
  EXPECT_TRUE(read_only->WriteAt(0, "x").IsInvalidArgument());
  EXPECT_TRUE(read_only->LockRange(0, 1, false).ok());
}

TEST_F(WindowsFilesTest, TheLockingFileUsesItsLockedBytes) {
  // Windows locks are mandatory: another File may not read or write bytes one
  // File locked (Wine does not enforce this), so the File holding the lock is
  // the one that reads and writes them.
  auto a = Open("h");
  auto b = Open("h");
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->WriteAt(0, "0123456789").ok());
  ASSERT_TRUE(a->LockRange(2, 3, true).ok());
  std::string out;
  EXPECT_TRUE(a->WriteAt(2, "abc").ok());
  EXPECT_TRUE(a->ReadAt(0, 10, &out).ok());
  EXPECT_EQ(out, "01abc56789");
  EXPECT_TRUE(b->ReadAt(5, 5, &out).ok());
  EXPECT_EQ(out, "56789");
}

TEST_F(WindowsFilesTest, OpeningAndSharing) {
  EXPECT_TRUE(fs_->Open(dir_.Child("none"), OpenMode::ReadOnly).status().IsNotFound());
  EXPECT_TRUE(fs_->Open(dir_.Child("no/dir/x"), OpenMode::ReadWriteCreate).status().IsNotFound());
  EXPECT_TRUE(fs_->Open(dir_.path(), OpenMode::ReadOnly).status().IsInvalidArgument());
  auto a = Open("e");
  ASSERT_TRUE(a && a->WriteAt(10, "z").ok());
  std::string out;
  ASSERT_TRUE(a->ReadAt(0, 100, &out).ok());
  EXPECT_EQ(out, std::string(10, '\0') + "z");  // the gap reads as zero bytes
  // Emptied while another File has it open.
  auto b = Open("e", OpenMode::CreateTruncate);
  ASSERT_TRUE(b);
  EXPECT_EQ(*a->Size(), 0u);
  // Replacing a file other Files hold open: Windows may refuse; then the
  // file keeps its old content whole, and no temporary file is left.
  ASSERT_TRUE(a->WriteAt(0, "viejo").ok());
  if (!fs_->WriteAllAtomic(dir_.Child("e"), "nuevo").ok()) {
    EXPECT_EQ(*fs_->ReadAll(dir_.Child("e")), "viejo");
    EXPECT_EQ(fs_->List(dir_.path(), "*")->size(), 1u);
  } else {
    EXPECT_EQ(*fs_->ReadAll(dir_.Child("e")), "nuevo");
  }
  a.reset();
  b.reset();
  ASSERT_TRUE(fs_->WriteAllAtomic(dir_.Child("e"), "nuevo").ok());
  EXPECT_EQ(*fs_->ReadAll(dir_.Child("E")), "nuevo");
  ASSERT_TRUE(fs_->Rename(dir_.Child("e"), dir_.Child("f")).ok());
  EXPECT_FALSE(fs_->Exists(dir_.Child("e")));
  EXPECT_TRUE(fs_->Exists(dir_.Child("F")));
}

TEST_F(WindowsFilesTest, DirectoriesAndListing) {
  const std::string deep = dir_.Child("Año/b/c");
  ASSERT_TRUE(fs_->CreateDirectories(deep).ok());
  EXPECT_TRUE(fs_->IsDirectory(deep));
  EXPECT_TRUE(fs_->CreateDirectory(deep).ok());
  for (const char* name : {"EMPRE02.QRT", "empre01.qrt", "Diario.QRD", "nota.txt"})
    ASSERT_TRUE(fs_->WriteAllAtomic(dir_.Child(std::string("Año/") + name), "x").ok());
  Result<std::vector<std::string>> names = fs_->List(dir_.Child("Año"), "*.qrt");
  ASSERT_TRUE(names.ok());
  EXPECT_EQ(*names, (std::vector<std::string>{"empre01.qrt", "EMPRE02.QRT"}));
  EXPECT_EQ(fs_->List(dir_.Child("Año"), "*.*")->size(), 4u);  // not the folder b
  EXPECT_TRUE(fs_->List(dir_.Child("missing"), "*").status().IsNotFound());
  EXPECT_TRUE(fs_->Remove(dir_.Child("Año/nota.txt")).ok());
  EXPECT_TRUE(fs_->Remove(dir_.Child("Año/nota.txt")).IsNotFound());
  EXPECT_TRUE(fs_->Remove(deep).ok());
}

TEST_F(WindowsFilesTest, ResolutionSpellsExistingNamesAsTheyAre) {
  ASSERT_TRUE(fs_->CreateDirectories(dir_.Child("Datos/EMPRE01")).ok());
  ASSERT_TRUE(fs_->WriteAllAtomic(dir_.Child("Datos/EMPRE01/Extra01.QRD"), "x").ok());
  const std::string base = fs_->Resolve(dir_.path());
  EXPECT_EQ(fs_->Resolve(base + "\\datos\\empre01\\EXTRA01.qrd"),
            base + "/Datos/EMPRE01/Extra01.QRD");
  // Past the first missing component, the rest stays as given.
  EXPECT_EQ(fs_->Resolve(base + "/DATOS/nueva/Sub"), base + "/Datos/nueva/Sub");
}

TEST_F(WindowsFilesTest, PathsAreSpelledWithSlashes) {
  EXPECT_EQ(fs_->Resolve("C:\\Datos\\\\Empresa\\"), "C:/Datos/Empresa/");
  EXPECT_EQ(fs_->Resolve("\\\\servidor\\datos\\x.qrt"), "//servidor/datos/x.qrt");
  Result<std::string> cwd = fs_->CurrentDirectory();
  ASSERT_TRUE(cwd.ok());
  EXPECT_EQ(cwd->find('\\'), std::string::npos);
  ASSERT_TRUE(fs_->SetCurrentDirectory(dir_.path()).ok());
  EXPECT_TRUE(fs_->WriteAllAtomic("relativo.txt", "r").ok());
  EXPECT_TRUE(fs_->Exists(dir_.Child("relativo.txt")));
  ASSERT_TRUE(fs_->SetCurrentDirectory(*cwd).ok());
}

TEST_F(WindowsFilesTest, ShortPathNames) {
  const std::string long_dir = dir_.Child("Carpeta de nombre largo");
  ASSERT_TRUE(fs_->CreateDirectory(long_dir).ok());
  const std::string short_path = ShortPathName(long_dir);
  EXPECT_EQ(short_path.find(' '), std::string::npos) << short_path;
  EXPECT_EQ(short_path.find('\\'), std::string::npos) << short_path;
  EXPECT_TRUE(fs_->IsDirectory(short_path));
  // A path that does not exist has no short form.
  EXPECT_EQ(ShortPathName("C:\\no existe\\x y"), "C:/no existe/x y");
}

TEST_F(WindowsFilesTest, OneIdentityForEverySpellingOfAFile) {
  const std::string long_dir = dir_.Child("Carpeta de datos larga");
  ASSERT_TRUE(fs_->CreateDirectory(long_dir).ok());
  const std::string file = long_dir + "/Anali01.QRC";
  ASSERT_TRUE(fs_->WriteAllAtomic(file, "x").ok());
  const std::string id = FileIdentity(file);
  EXPECT_EQ(FileIdentity(ShortPathName(long_dir) + "/anali01.qrc"), id);
  EXPECT_EQ(FileIdentity(ShortPathName(long_dir) + "\\ANALI01.QRC"), id);
  // A file not created yet takes its folder's identity.
  EXPECT_EQ(FileIdentity(ShortPathName(long_dir) + "/Nuevo.qrc"),
            FileIdentity(long_dir + "/NUEVO.QRC"));
  EXPECT_NE(FileIdentity(long_dir + "/Otro.qrc"), id);
}

TEST(SystemInfoTest, UserMachineAndFolders) {
  EXPECT_FALSE(UserName().empty());
  EXPECT_FALSE(ComputerName().empty());
  for (KnownFolder folder : {KnownFolder::AppData, KnownFolder::LocalAppData,
                             KnownFolder::CommonAppData, KnownFolder::Documents,
                             KnownFolder::Desktop, KnownFolder::ProgramFiles, KnownFolder::Temp}) {
    const std::string path = KnownFolderPath(folder);
    EXPECT_FALSE(path.empty());
    EXPECT_EQ(path.find('\\'), std::string::npos) << path;
    EXPECT_NE(path.back(), '/') << path;
  }
  EXPECT_TRUE(NativeFileSystem()->IsDirectory(KnownFolderPath(KnownFolder::AppData)));
  EXPECT_TRUE(NativeFileSystem()->IsDirectory(KnownFolderPath(KnownFolder::Temp)));
}

}  // namespace
}  // namespace qrole::platform
