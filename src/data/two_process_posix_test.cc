// Two processes posting to one table at once: each opens the table (the
// index file does not exist yet, so both race to create it), appends
// records, reads its own records back by key while the other writes, and
// cancels some of them. Afterwards every record is whole, every key is
// indexed, and no record number was given twice.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/reindex.h"
#include "gtest/gtest.h"

namespace qrole::data {
namespace {

constexpr int kPerProcess = 2000;

std::string Account(int child, int seq) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "C%d%05d", child, seq);
  return buf;
}

// Sets the slot's values to those of record (child, seq).
void Fill(Slot& s, int child, int seq) {
  s.ClearValues();
  s.SetRaw(1, child == 0 ? "B31231" : "B40101");
  s.SetText(2, Account(child, seq));
  s.SetNumber(3, seq);
  s.SetText(4, std::string(30, static_cast<char>('a' + child)));
  s.SetRaw(5, child == 0 ? "1" : "2");
  s.SetNumber(6, child * 100000 + seq + 0.25);
  s.SetNumber(7, child);
  s.SetText(9, "REF" + Account(child, seq));
  for (int e = 0; e < 15; ++e) s.SetNumber(10 + e, seq * 15 + e);
}

// True when the slot holds exactly the values Fill gives for (child, seq).
bool Whole(const Slot& s, int child, int seq) {
  if (s.Value(1) != (child == 0 ? "B31231" : "B40101")) return false;
  if (s.TrimmedText(2) != Account(child, seq) || s.Number(3) != seq) return false;
  if (s.Value(4) != std::string(30, static_cast<char>('a' + child))) return false;
  if (s.Value(5) != (child == 0 ? "1" : "2")) return false;
  if (s.Number(6) != child * 100000 + seq + 0.25 || s.Number(7) != child) return false;
  for (int e = 0; e < 15; ++e) {
    if (s.Number(10 + e) != seq * 15 + e) return false;
  }
  return s.TrimmedText(9) == "REF" + Account(child, seq);
}

// The work of one process; its exit code tells the parent what failed.
int Post(const std::string& dir, int child, int ready, int go);

int PostCatching(const std::string& dir, int child, int ready, int go) {
  try {
    return Post(dir, child, ready, go);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "process %d: %s\n", child, e.what());
    return 20;
  }
}

int Post(const std::string& dir, int child, int ready, int go) {
  if (platform::Status s = OpenTableFile(2, "TESTT", 1, dir, "01"); !s.ok()) {
    std::fprintf(stderr, "process %d: %s\n", child, s.ToString().c_str());
    return 10;
  }
  char byte = 'r';
  if (::write(ready, &byte, 1) != 1) return 15;
  while (::read(go, &byte, 1) > 0) {
  }
  Slot& s = GetSlot(2);
  for (int seq = 0; seq < kPerProcess; ++seq) {
    Fill(s, child, seq);
    if (platform::Status a = AppendRecord(2); !a.ok()) {
      std::fprintf(stderr, "process %d: %s\n", child, a.ToString().c_str());
      return 11;
    }
    const int32_t record = Globals().engine_record;
    if (seq % 10 == 9 && !CancelRecord(2, record).ok()) return 12;
    if (seq % 25 == 0) {
      // Read an earlier record back by its key while the other process writes.
      const int back = seq / 2;
      if (back % 10 == 9) continue;
      s.SetText(2, Account(child, back));
      platform::Result<bool> found = SeekEqual(2, 2, ComposeKey(s, 2));
      if (!found.ok() || !*found) return 13;
      if (!Whole(s, child, back)) return 14;
    }
  }
  return 0;
}

TEST(TwoProcessTest, AppendsFromTwoProcessesAtOnce) {
  test::DataTestEnv env;
  env.UseRealClock();
  env.WriteJournalDefinition();
  SetIndexMaintenance(true);
  CloseAllFiles();  // nothing of this process's open while the children run
  // Both processes open the table at once, say so on `ready`, and start
  // posting together when the parent closes `go`.
  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  pid_t pids[2];
  for (int child = 0; child < 2; ++child) {
    pids[child] = ::fork();
    ASSERT_GE(pids[child], 0);
    if (pids[child] == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      ::_exit(PostCatching(env.data_dir(), child, ready[1], go[0]));
    }
  }
  ::close(ready[1]);
  ::close(go[0]);
  char byte;
  for (int child = 0; child < 2; ++child) EXPECT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(go[1]);
  ::close(ready[0]);
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }

  ASSERT_TRUE(OpenTableFile(2, "TESTT", 1, env.data_dir(), "01").ok());
  platform::Result<IndexCheck> check = VerifyIndex(2);
  ASSERT_TRUE(check.ok()) << check.status().ToString();
  EXPECT_TRUE(check->ok()) << (check->problems.empty() ? "" : check->problems[0]);
  EXPECT_EQ(check->records, 2 * kPerProcess);
  EXPECT_EQ(check->cancelled, 2 * kPerProcess / 10);
  EXPECT_EQ(check->next_record, static_cast<uint32_t>(2 * kPerProcess + 1));

  // Every record is whole and each (process, sequence) is there once.
  Slot& s = GetSlot(2);
  std::map<std::pair<int, int>, int32_t> seen;
  int switches = 0;  // how often the record numbers pass from one process to the other
  int last_child = -1;
  for (int32_t record = 1; record <= 2 * kPerProcess; ++record) {
    ASSERT_TRUE(ReadRecord(2, record).ok());
    if (s.IsCancelled()) continue;
    const int child = static_cast<int>(s.Number(7));
    if (last_child >= 0 && child != last_child) ++switches;
    last_child = child;
    const int seq = static_cast<int>(s.Number(3));
    EXPECT_TRUE(Whole(s, child, seq)) << "record " << record;
    EXPECT_TRUE(seen.emplace(std::make_pair(child, seq), record).second) << "record " << record;
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(2 * kPerProcess * 9 / 10));
  EXPECT_GT(switches, 1) << "the processes did not post at the same time";
  std::printf("record numbers passed %d times from one process to the other\n", switches);
  // And each can be found by its key.
  for (const auto& [who, record] : seen) {
    s.SetText(2, Account(who.first, who.second));
    ASSERT_TRUE(SeekEqual(2, 2, ComposeKey(s, 2)).value());
    EXPECT_EQ(Globals().engine_record, record);
  }
}

}  // namespace
}  // namespace qrole::data
