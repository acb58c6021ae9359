// The table component over a journal-like table of one million records of
// 433 bytes with four indexes (date + entry, account + date, entry + date,
// reference), as the journal has: a filter that an index answers against one
// that must read the whole file, each followed by MoveFirst and two field
// reads, as the readers of entries and references do.
//
// The table is written once through the record code (records, then a rebuild
// of the index) in a fresh directory under $TMPDIR (or /tmp), removed at the
// end.
//
//   table_component_bench [--benchmark_filter=...]   QROLE_BENCH_RECORDS=n to change the size

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data/globals.h"
#include "data/message_table.h"
#include "data/record_file.h"
#include "data/reindex.h"
#include "data/slot.h"
#include "data/table_component.h"
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

// A field entry: declared length, type, name, code.
std::string Field(int length, int type, const std::string& name, int code) {
  char head[32];
  std::snprintf(head, sizeof head, "  %2d%2d%2d", length / 100, length % 100, type);
  if (length < 100) head[2] = head[3] = ' ';
  std::string entry = head + name;
  entry.resize(31, ' ');
  char tail[16];
  std::snprintf(tail, sizeof tail, "%2d", code);
  return entry + tail;
}

// FECHA date, CUENTA 10, ASIENTO 6, DESCRIPCION 40, TIPO 1, IMPORTE double,
// REFERENCIA 20 (code 22), NOTAS 80, RESTO 262: 433 bytes, as the journal.
std::string Definition() {
  return Entry(" 9 bench journal") + Field(6, 5, "FECHA", 1) + Field(10, 0, "CUENTA", 2) +
         Field(6, 0, "ASIENTO", 3) + Field(40, 0, "DESCRIPCION", 4) + Field(1, 0, "TIPO", 5) +
         Field(8, 3, "IMPORTE", 6) + Field(20, 0, "REFERENCIA", 22) + Field(80, 0, "NOTAS", 16) +
         Field(262, 0, "RESTO", 29) + Entry("I1 1 1 6") + Entry("I1 3 1 6") + Entry("I2 2 110") +
         Entry("I2 1 1 6") + Entry("I3 3 1 6") + Entry("I3 1 1 6") + Entry("I4 7 120");
}

std::string Account(int64_t i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "43%05lld", static_cast<long long>((i * 7919) % 50000));
  return buf;
}

std::string Reference(int64_t i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "R%010lld", static_cast<long long>(i));
  return buf;
}

std::string EntryNumber(int64_t i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%06lld", static_cast<long long>(i / 5 % 1000000));
  return buf;
}

std::string Description(int64_t i) { return "Linea de factura " + std::to_string(i); }

struct Bench {
  std::unique_ptr<platform::ScopedTempDir> dir;
  std::string path;
  int64_t records = 0;
};

// Writes the table once: records through WriteRecord, then the index rebuilt.
Bench& State() {
  static Bench bench;
  if (bench.dir) return bench;
  const std::string tmp = platform::EnvironmentVariable("TMPDIR");
  bench.dir = std::make_unique<platform::ScopedTempDir>(tmp.empty() ? "/tmp" : tmp);
  platform::NativeFileSystem()
      ->WriteAllAtomic(bench.dir->Child("BENCH.QRA"), Definition())
      .IgnoreError();
  FillMessageTable();
  SetProgramDirectory(bench.dir->path());
  SetCompany(bench.dir->path(), "01");
  SetIndexMaintenance(true);
  if (!OpenTableFile(2, "BENCH", 0, bench.dir->path(), "01").ok()) std::abort();
  Slot& slot = GetSlot(2);
  bench.records = Records();
  for (int64_t i = 0; i < bench.records; ++i) {
    slot.SetRaw(1, i % 2 ? "B31231" : "C40101");
    slot.SetRaw(2, Account(i));
    slot.SetRaw(3, EntryNumber(i));
    slot.SetRaw(4, Description(i));
    slot.SetRaw(5, i % 2 ? "1" : "2");
    slot.SetNumber(6, static_cast<double>(i % 10000) / 100);
    slot.SetRaw(7, Reference(i));
    if (!WriteRecord(2, static_cast<int32_t>(i + 1)).ok()) std::abort();
  }
  if (!ReindexTable(2, "BENCH", bench.dir->path(), "01").ok()) std::abort();
  CloseAllFiles();
  bench.path = bench.dir->Child("BENCH01.QRD");
  return bench;
}

// SetFilter + MoveFirst + two field reads, on a table kept open; `make`
// gives the condition for a random record.
template <class Make>
void FilterAndRead(benchmark::State& state, Make&& make, int64_t expected) {
  Bench& bench = State();
  TableComponent table;
  table.OpenTable(bench.path);
  std::mt19937_64 random(42);
  std::vector<std::string> conditions;
  for (int n = 0; n < 1000; ++n) {
    conditions.push_back(
        make(static_cast<int64_t>(random() % static_cast<uint64_t>(bench.records))));
  }
  size_t next = 0;
  double sum = 0;
  for (auto _ : state) {
    table.SetFilter(conditions[next]);
    next = next + 1 == conditions.size() ? 0 : next + 1;
    table.MoveFirst();
    if (table.IsEof() || (expected > 0 && table.RecordCount() != expected)) {
      state.SkipWithError("the record was not found");
      break;
    }
    sum += table.GetField(6).dbl();
    benchmark::DoNotOptimize(table.GetField(2));
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void BM_IndexedFilterReference(benchmark::State& state) {
  FilterAndRead(
      state, [](int64_t i) { return "REFERENCIA = " + Reference(i); }, 1);
}

void BM_IndexedFilterAccount(benchmark::State& state) {
  FilterAndRead(
      state, [](int64_t i) { return "CUENTA = " + Account(i); }, 0);
}

void BM_IndexedFilterDateAndEntry(benchmark::State& state) {
  FilterAndRead(
      state,
      [](int64_t i) {
        return std::string("FECHA = ") + (i % 2 ? "31/12/13" : "01/01/24") +
               " and ASIENTO = " + EntryNumber(i);
      },
      0);
}

void BM_ScanFilterDescription(benchmark::State& state) {
  FilterAndRead(
      state, [](int64_t i) { return "DESCRIPCION = " + Description(i); }, 1);
}

// What a method does: a fresh instance opened, filtered, read and closed,
// while the record code keeps the table's index open (as the catalogue does).
void BM_OpenFilterReadClose(benchmark::State& state) {
  Bench& bench = State();
  if (!OpenTableFile(2, "BENCH", 1, bench.dir->path(), "01").ok()) std::abort();
  std::mt19937_64 random(7);
  for (auto _ : state) {
    TableComponent table;
    table.OpenTable(bench.path);
    table.SetFilter("REFERENCIA = " + Reference(static_cast<int64_t>(
                                          random() % static_cast<uint64_t>(bench.records))));
    table.MoveFirst();
    if (table.IsEof()) state.SkipWithError("the record was not found");
    benchmark::DoNotOptimize(table.GetField(6));
    table.Close();
  }
  CloseAllFiles();
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_IndexedFilterReference)->MinTime(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IndexedFilterAccount)->MinTime(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IndexedFilterDateAndEntry)->MinTime(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenFilterReadClose)->MinTime(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanFilterDescription)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qrole::data

BENCHMARK_MAIN();
