// An index file the system will not let this process write: the protection
// status of "/O/" and its message. Made with the immutable attribute, which
// stops even the superuser; skipped where that attribute cannot be set.

#include <cstdlib>
#include <string>

#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/index_store_internal.h"
#include "data/keyed_engine.h"
#include "data/record_file.h"
#include "gtest/gtest.h"

namespace qrole::data {
namespace {

TEST(ProtectionTest, AnIndexFileThatMayNotBeOpenedIsReported) {
  test::DataTestEnv env;
  env.WriteJournalDefinition();
  SetIndexMaintenance(true);
  ASSERT_TRUE(OpenTableFile(2, "TESTT", 1, env.data_dir(), "01").ok());
  CloseAllFiles();
  internal::ReleaseKeptIndexEnvs();  // as a process that starts now
  const std::string qrc = env.data_dir() + "/TESTT01.QRC";
  if (std::system(("chattr +i '" + qrc + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "the immutable attribute cannot be set here";
  }
  struct Mutable {
    std::string path;
    ~Mutable() { (void)std::system(("chattr -i '" + path + "'").c_str()); }
  } restore{qrc};
  env.TakeMessages();
  EXPECT_FALSE(OpenTableFile(2, "TESTT", 1, env.data_dir(), "01").ok());
  EXPECT_EQ(Globals().engine_status, engine_status::kProtection);
  std::vector<platform::MessageBoxRecord> boxes = env.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error de protección en indexados ... Debe Reiniciar Windows");
  EXPECT_EQ(boxes[0].icon, platform::MsgIcon::Error);
  EXPECT_TRUE(GetSlot(2).is_open());
  EXPECT_FALSE(GetSlot(2).has_index());
}

}  // namespace
}  // namespace qrole::data

namespace qrole::data {
namespace {

// Index files stay open between calls; one removed meanwhile (another
// program rebuilding it, a company restored from a copy) is not written
// through the stale handle: the table's next opening makes the file again.
TEST(KeptIndexTest, AnIndexFileRemovedMeanwhileIsOpenedAfresh) {
  test::DataTestEnv env;
  env.WriteJournalDefinition();
  SetIndexMaintenance(true);
  ASSERT_TRUE(OpenTableFile(2, "TESTT", 1, env.data_dir(), "01").ok());
  CloseAllFiles();  // the index environment stays open
  const std::string qrc = env.data_dir() + "/TESTT01.QRC";
  ASSERT_TRUE(platform::NativeFileSystem()->Remove(qrc).ok());
  ASSERT_TRUE(OpenTableFile(2, "TESTT", 1, env.data_dir(), "01").ok());
  EXPECT_TRUE(GetSlot(2).has_index());
  EXPECT_TRUE(platform::NativeFileSystem()->Exists(qrc));
  CloseAllFiles();
}

}  // namespace
}  // namespace qrole::data
