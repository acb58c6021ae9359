// Reading the records an index range names in windows: the engine's scan
// from a key or after an entry, the batched record reads and the record
// view, checked against what "G\" and "N\" with ReadRecord give.

#include "data/index_walk.h"

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "data/data_test_util.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/navigation.h"
#include "data/number_codec.h"
#include "data/record_batch.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "gtest/gtest.h"
#include "platform/file_system.h"

namespace qrole::data {
namespace {

// The journal-like test table with `accounts` spread over 300 lines: line i
// (1-based) goes to account 43100 + i % accounts, description "Linea i",
// amount i / 100.
class IndexWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.WriteJournalDefinition();
    SetIndexMaintenance(true);
    ASSERT_TRUE(OpenTableFile(2, "TESTT", 1, env_.data_dir(), "01").ok());
    for (int i = 1; i <= kLines; ++i) {
      Slot& s = GetSlot(2);
      s.ClearValues();
      s.SetRaw(1, "C40101");
      s.SetText(2, Account(i));
      s.SetNumber(3, i);
      s.SetText(4, "Linea " + std::to_string(i));
      s.SetNumber(6, i / 100.0);
      ASSERT_TRUE(AppendRecord(2).ok());
    }
  }
  void TearDown() override { CloseAllFiles(); }

  static std::string Account(int line) { return std::to_string(43100 + line % 7); }

  // The records "G\" + key then "N\" reach while the account stays `account`,
  // with the description of each (read by ReadRecord).
  std::vector<std::pair<int32_t, std::string>> ByCommands(const std::string& key,
                                                          const std::string& account) {
    std::vector<std::pair<int32_t, std::string>> out;
    const Slot& s = GetSlot(2);
    for (auto r = SeekAtLeast(2, 2, key); r.ok() && *r; r = MoveNext(2)) {
      if (s.TrimmedText(2) != account) break;
      out.push_back({Globals().engine_record, s.TrimmedText(4)});
    }
    return out;
  }

  static constexpr int kLines = 300;
  test::DataTestEnv env_;
};

TEST_F(IndexWalkTest, AWalkReachesWhatTheEngineCommandsReachAcrossItsWindows) {
  const Slot& s = GetSlot(2);
  // Account 43103 has 43 lines: more than the first window, and its
  // neighbours' lines close the range on both sides.
  for (const std::string account : {"43103", "43100", "43106"}) {
    std::string key = account;
    key.resize(static_cast<size_t>(s.field(2).width), ' ');
    std::vector<std::pair<int32_t, std::string>> walked;
    double sum = 0;
    const platform::Status status =
        WalkIndex(2, 2, key, key, [&](int32_t record, const RecordView& line) {
          if (line.TrimmedText(2) != account) return false;
          walked.push_back({record, line.TrimmedText(4)});
          sum += line.Number(6);
          return true;
        });
    ASSERT_TRUE(status.ok()) << status.ToString();
    const auto expected = ByCommands(key, account);
    EXPECT_EQ(walked, expected) << account;
    EXPECT_GT(expected.size(), 40u);
    double expected_sum = 0;
    for (const auto& [record, description] : expected) expected_sum += record / 100.0;
    EXPECT_NEAR(sum, expected_sum, 1e-9);
  }
  // A walk that asks for everything runs to the end of the index, 300 lines
  // in key order; one that stops at once visits one.
  int visited = 0;
  std::string last;
  ASSERT_TRUE(WalkIndex(2, 2, "", "4310", [&](int32_t, const RecordView& line) {
                const std::string key(line.Bytes(2));
                EXPECT_LE(last, key);
                last = key;
                ++visited;
                return true;
              }).ok());
  EXPECT_EQ(visited, kLines);
  visited = 0;
  ASSERT_TRUE(WalkIndex(2, 2, "43105", "43105", [&](int32_t, const RecordView&) {
                ++visited;
                return false;
              }).ok());
  EXPECT_EQ(visited, 1);
  // A key above every key reaches nothing.
  visited = 0;
  ASSERT_TRUE(WalkIndex(2, 2, "9", "9", [&](int32_t, const RecordView&) {
                ++visited;
                return true;
              }).ok());
  EXPECT_EQ(visited, 0);
}

TEST_F(IndexWalkTest, TheScanGoesOnAfterAnEntryAndLeavesTheCurrentEntryAlone) {
  // The current entry of file 2, where "N\" goes on from.
  ASSERT_TRUE(*SeekAtLeast(2, 2, "43102"));
  std::vector<uint32_t> from_start, after_third;
  std::string third_key;
  uint32_t third = 0;
  ASSERT_EQ(Engine().ScanFrom(2, 2, "43104", 0,
                              [&](std::string_view key, uint32_t record) {
                                from_start.push_back(record);
                                if (from_start.size() == 3) {
                                  third_key = key;
                                  third = record;
                                }
                                return from_start.size() < 10;
                              }),
            engine_status::kOk);
  ASSERT_EQ(from_start.size(), 10u);
  ASSERT_EQ(Engine().ScanFrom(2, 2, third_key, third,
                              [&](std::string_view, uint32_t record) {
                                after_third.push_back(record);
                                return after_third.size() < 7;
                              }),
            engine_status::kOk);
  EXPECT_EQ(after_third, std::vector<uint32_t>(from_start.begin() + 3, from_start.end()));
  // "N\" still goes on from where the search left it.
  ASSERT_TRUE(*MoveNext(2));
  const int32_t next = Globals().engine_record;
  ASSERT_TRUE(*SeekAtLeast(2, 2, "43102"));
  ASSERT_TRUE(*MoveNext(2));
  EXPECT_EQ(Globals().engine_record, next);
  // A file without an index is an engine status, not a crash.
  EXPECT_EQ(Engine().ScanFrom(5, 1, "", 0, [](std::string_view, uint32_t) { return true; }),
            engine_status::kFileNotOpen);
}

TEST_F(IndexWalkTest, BatchedReadsGiveEachRecordInTheOrderAsked) {
  const Slot& s = GetSlot(2);
  const auto length = static_cast<size_t>(s.record_length());
  // Close together, far apart, repeated, out of order.
  const std::vector<int32_t> records = {250, 3, 4, 3, 120, 1, 300, 2};
  std::string bytes;
  size_t whole = 0;
  ASSERT_TRUE(ReadRecords(2, records, &bytes, &whole).ok());
  ASSERT_EQ(whole, records.size());
  ASSERT_EQ(bytes.size(), records.size() * length);
  for (size_t i = 0; i < records.size(); ++i) {
    ASSERT_TRUE(ReadRecord(2, records[i]).ok());
    EXPECT_EQ(bytes.substr(i * length, length), s.record_bytes()) << records[i];
    const RecordView view(s, std::string_view(bytes).substr(i * length, length));
    for (int f = 1; f <= s.num_fields(); ++f) {
      EXPECT_EQ(view.Value(f), s.Value(f)) << records[i] << " field " << f;
      EXPECT_EQ(view.Number(f), s.Number(f)) << records[i] << " field " << f;
      EXPECT_EQ(view.TrimmedText(f), s.TrimmedText(f)) << records[i] << " field " << f;
    }
  }
  // A record past the end: those before it in the order asked are read.
  const std::vector<int32_t> past = {5, 6, 301, 7};
  const platform::Status status = ReadRecords(2, past, &bytes, &whole);
  EXPECT_TRUE(status.IsNotFound()) << status.ToString();
  EXPECT_EQ(whole, 2u);
  ASSERT_TRUE(ReadRecord(2, 6).ok());
  EXPECT_EQ(bytes.substr(length, length), s.record_bytes());
  // A slot that is not open.
  EXPECT_TRUE(ReadRecords(7, past, &bytes, &whole).IsInvalidArgument());
}

TEST(ElementNumberTest, ReadsBackWhatTheNumberTextReadsBackAs) {
  auto slow = [](int type, const std::string& bytes) {
    std::string text;
    DecodeElement(type, bytes, &text);
    return ParsePlainDecimal(text);
  };
  auto check = [&](double v) {
    std::string bytes(8, '\0');
    StoreDouble(v, bytes.data());
    const double fast = ElementNumber(3, bytes);
    const double expected = slow(3, bytes);
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(fast)) << v;
    } else {
      EXPECT_EQ(fast, expected) << v;
      EXPECT_EQ(std::signbit(fast), std::signbit(expected)) << v;
    }
  };
  // Amounts, rates, values with more than 15 digits, the ends of the range.
  for (double v : {0.0,
                   -0.0,
                   0.1,
                   0.2,
                   0.1 + 0.2,
                   70.3,
                   -30.0,
                   1234.56,
                   1.0 / 3,
                   2.0 / 3,
                   166.386,
                   1 / 166.386,
                   1e15,
                   1e16,
                   123456789012345.6,
                   9.999999999999999e22,
                   1e-5,
                   5e-324,
                   1e-300,
                   1e300,
                   1.7976931348623157e308,
                   HUGE_VAL,
                   -HUGE_VAL,
                   std::nan("")}) {
    check(v);
    check(-v);
  }
  std::mt19937_64 random(7);
  std::uniform_int_distribution<uint64_t> bits;
  std::uniform_int_distribution<int64_t> cents(-10'000'000'000, 10'000'000'000);
  for (int i = 0; i < 20000; ++i) {
    check(static_cast<double>(cents(random)) / 100);
    const uint64_t b = bits(random);
    double v;
    std::memcpy(&v, &b, sizeof v);
    check(v);
  }
  // Integers, singles and text as their text reads.
  std::string two(2, '\0'), four(4, '\0');
  ASSERT_TRUE(EncodeElement(1, 2, "-3", two.data()).ok());
  EXPECT_EQ(ElementNumber(1, two), -3);
  ASSERT_TRUE(EncodeElement(4, 4, "123456", four.data()).ok());
  EXPECT_EQ(ElementNumber(4, four), 123456);
  ASSERT_TRUE(EncodeElement(2, 4, "0.1", four.data()).ok());
  EXPECT_EQ(ElementNumber(2, four), slow(2, four));
  EXPECT_EQ(ElementNumber(0, " 12.5 "), 12.5);
}

}  // namespace
}  // namespace qrole::data
