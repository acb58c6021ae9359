// The data engine at one million records with four indexes, through the
// engine's command texts: appends (keys and record written), exact searches
// ("S\"), steps ("N\"), and a rebuild of the whole index.
//
// The benchmarks share one table and run in order: BM_Append fills it, the
// others read it. Files live in a fresh directory under $TMPDIR (or /tmp).
//
//   data_engine_bench [--benchmark_filter=...]   QROLE_BENCH_RECORDS=n to change the size

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/message_table.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/reindex.h"
#include "platform/executable.h"
#include "platform/file_system.h"
#include "platform/scoped_temp_dir.h"

namespace qrole::data {
namespace {

int64_t Records() {
  const std::string n = platform::EnvironmentVariable("QROLE_BENCH_RECORDS");
  return n.empty() ? 1000000 : std::atoll(n.c_str());
}

std::string Entry(std::string text) {
  text.resize(33, ' ');
  return text;
}

// A journal-like table: date, account, entry number, description, amount,
// reference; indexes 1 = date + entry number, 2 = account, 3 = reference,
// 4 = account 1-6 + description 1-10.
std::string Definition() {
  return Entry(" 6 bench") + Entry("    0605FECHA") + Entry("    1000CUENTA") +
         Entry("    0004ASIENTO") + Entry("    3000CONCEPTO") + Entry("    0003IMPORTE") +
         Entry("    1200REFERENCIA") + Entry("I1 1 1 6") + Entry("I1 3 1 8") + Entry("I2 2 110") +
         Entry("I3 6 112") + Entry("I4 2 1 6") + Entry("I4 4 110");
}

std::string Account(int64_t i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "43%05lld", static_cast<long long>((i * 7919) % 50000));
  return buf;
}

std::string Reference(int64_t i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "R%010lld", static_cast<long long>(i));
  return buf;
}

struct Bench {
  std::unique_ptr<platform::ScopedTempDir> dir;
  int64_t appended = 0;
};

Bench& State() {
  static Bench bench;
  if (!bench.dir) {
    const std::string tmp = platform::EnvironmentVariable("TMPDIR");
    bench.dir = std::make_unique<platform::ScopedTempDir>(tmp.empty() ? "/tmp" : tmp);
    platform::NativeFileSystem()
        ->WriteAllAtomic(bench.dir->Child("BENCH.QRA"), Definition())
        .IgnoreError();
    FillMessageTable();
    SetProgramDirectory(bench.dir->path());
    SetCompany(bench.dir->path(), "01");
    SetIndexMaintenance(true);
    if (!OpenTableFile(2, "BENCH", 1, bench.dir->path(), "01").ok()) std::abort();
  }
  return bench;
}

void BM_Append(benchmark::State& state) {
  Bench& bench = State();
  Slot& slot = GetSlot(2);
  for (auto _ : state) {
    const int64_t i = bench.appended++;
    slot.SetRaw(1, i % 2 ? "B31231" : "C40101");
    slot.SetRaw(2, Account(i));
    slot.SetNumber(3, static_cast<double>(i % 100000));
    slot.SetRaw(4, "Factura de venta numero " + std::to_string(i));
    slot.SetNumber(5, static_cast<double>(i % 10000) / 100);
    slot.SetRaw(6, Reference(i));
    if (!AppendRecord(2).ok()) state.SkipWithError("append failed");
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["records"] = static_cast<double>(bench.appended);
}

void BM_SearchExact(benchmark::State& state) {
  Bench& bench = State();
  std::mt19937_64 random(42);
  std::vector<std::string> commands;
  for (int n = 0; n < 100000; ++n) {
    commands.push_back("S\\3\\2\\" + Reference(static_cast<int64_t>(
                                         random() % static_cast<uint64_t>(bench.appended))));
  }
  DataGlobals& g = Globals();
  size_t next = 0;
  int64_t found = 0;
  for (auto _ : state) {
    g.engine_command = commands[next];
    next = next + 1 == commands.size() ? 0 : next + 1;
    Engine().Execute(g.engine_command, g.engine_record, g.engine_status);
    found += g.engine_status == 0;
  }
  if (found != state.iterations()) state.SkipWithError("a key was not found");
  state.SetItemsProcessed(state.iterations());
}

// Exact search through the navigation helper, record read included.
void BM_SeekAndRead(benchmark::State& state) {
  Bench& bench = State();
  std::mt19937_64 random(7);
  std::vector<std::string> keys;
  for (int n = 0; n < 100000; ++n) {
    keys.push_back(
        Reference(static_cast<int64_t>(random() % static_cast<uint64_t>(bench.appended))) + " ");
  }
  size_t next = 0;
  for (auto _ : state) {
    platform::Result<bool> found = SeekEqual(2, 3, keys[next]);
    next = next + 1 == keys.size() ? 0 : next + 1;
    if (!found.ok() || !*found) state.SkipWithError("a key was not found");
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_StepNext(benchmark::State& state) {
  State();
  DataGlobals& g = Globals();
  std::string first = "F\\2\\2";
  std::string next = "N\\2";
  Engine().Execute(first, g.engine_record, g.engine_status);
  for (auto _ : state) {
    Engine().Execute(next, g.engine_record, g.engine_status);
    if (g.engine_status != 0) Engine().Execute(first, g.engine_record, g.engine_status);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Reindex(benchmark::State& state) {
  Bench& bench = State();
  for (auto _ : state) {
    if (!Reindex(2).ok()) state.SkipWithError("reindex failed");
  }
  state.SetItemsProcessed(state.iterations() * bench.appended);
  platform::Result<IndexCheck> check = VerifyIndex(2);
  if (!check.ok() || !check->ok()) state.SkipWithError("the index does not agree");
  platform::Result<IndexFileInfo> info = Engine().Info(2);
  if (info.ok()) {
    state.counters["index_MiB"] = static_cast<double>(info->used_bytes) / (1 << 20);
    state.counters["map_MiB"] = static_cast<double>(info->map_size) / (1 << 20);
  }
  state.counters["records_MiB"] =
      static_cast<double>(bench.appended * GetSlot(2).record_length()) / (1 << 20);
}

BENCHMARK(BM_Append)->Iterations(Records())->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SearchExact)->MinTime(2)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_SeekAndRead)->MinTime(2)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_StepNext)->MinTime(2)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Reindex)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qrole::data

BENCHMARK_MAIN();
