// Two processes changing one record through the table component at once:
// the record lock that Edit takes makes every read-modify-write whole.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "data/globals.h"
#include "data/record_file.h"
#include "data/table_component.h"
#include "data/table_component_test_util.h"

namespace qrole::data {
namespace {

using test::AddLine;
using test::SampleLines;

// Two processes each add 1.0 to the same period balance 200 times through
// Edit and Update: the lock of Edit makes every read-modify-write whole.
constexpr int kAdds = 200;

int AddToBalance(const std::string& path, int ready, int go) {
  try {
    TableComponent t;
    t.OpenTable(path);
    t.SetFilter("CUENTA = 4300001");
    if (t.RecordNumber() != 1) return 10;
    char byte = 'r';
    if (::write(ready, &byte, 1) != 1) return 11;
    while (::read(go, &byte, 1) > 0) {
    }
    for (int i = 0; i < kAdds; ++i) {
      t.Edit();
      const double balance = t.GetField(12, 3).dbl();
      ::usleep(200);  // widens the window in which an unlocked update would be lost
      t.SetField(12, 3, balance + 1.0);
      t.Update();
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 20;
  }
}

TEST(TableComponentTwoProcessTest, TwoProcessesAddingToOneBalanceLoseNothing) {
  test::DataTestEnv env;
  env.UseRealClock();
  env.WriteDefinition("TCJOU", test::ComponentFields(), test::ComponentSegments());
  SetIndexMaintenance(true);
  const std::string path = env.data_dir() + "/TCJOU01.qrd";
  {
    TableComponent t;
    t.OpenTable(path);
    for (const test::Line& line : SampleLines()) AddLine(t, line);
  }
  CloseAllFiles();  // nothing of this process's open while the children run
  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  pid_t pids[2];
  for (pid_t& pid : pids) {
    pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      ::_exit(AddToBalance(path, ready[1], go[0]));
    }
  }
  ::close(ready[1]);
  ::close(go[0]);
  char byte;
  for (int i = 0; i < 2; ++i) EXPECT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(go[1]);
  ::close(ready[0]);
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  TableComponent t;
  t.OpenTable(path);
  t.SetFilter("CUENTA = 4300001");
  EXPECT_EQ(t.GetField(12, 3).dbl(), 2.0 * kAdds);
  EXPECT_EQ(t.GetField(12, 2).dbl(), 0);
  EXPECT_EQ(t.GetField(6).dbl(), 100);
}

}  // namespace
}  // namespace qrole::data
