// The books checker over a large company: invoice entries (three journal
// lines and one VAT-book line each) spread over the twelve months, with the
// chart's balances and the indexes as posting leaves them.
//
// The company is made quickly: one entry is posted through the members, its
// records are copied under new entry numbers straight into the record files,
// the chart balances are set to what the copies add up to, and the indexes
// are rebuilt from the records.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "automation/dispatcher.h"
#include "check/check.h"
#include "check/check_internal.h"
#include "data/globals.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "data/reindex.h"
#include "platform/env.h"
#include "platform/scoped_temp_dir.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace {

using qrole::Invoke;
using qrole::Variant;
using qrole::typelib::Kind;
namespace check = qrole::check;
namespace internal = qrole::check::internal;

Variant S(const std::string& s) { return Variant::FromString(s); }
Variant D(double d) { return Variant::FromDouble(d); }

class LargeCompany {
 public:
  explicit LargeCompany(int entries)
      : env_("[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + Datos() + "\nVersion=7.5\n") {
    Invoke(*e_, "CrearEmpresa", Kind::kMethod, {S("Grande"), S("24")});
    Invoke(*e_, "AbrirEmpresa", Kind::kMethod, {S("Grande")});
    Invoke(*e_, "Fecha", Kind::kLet, {S("15/03/24")});
    Invoke(*e_, "Número", Kind::kLet, {S("")});
    Invoke(*e_, "AñadirApunte", Kind::kMethod,
           {S("4300001"), S("Factura"), Variant::FromByte(1), D(121), S("1")});
    Invoke(*e_, "AñadirApunte", Kind::kMethod,
           {S("7000000"), S("Factura"), Variant::FromByte(2), D(100), S("1")});
    Invoke(*e_, "AñadirApunte", Kind::kMethod,
           {S("4770000"), S("Factura"), Variant::FromByte(2), D(21), S("1")});
    Invoke(*e_, "AñadirIVA", Kind::kMethod,
           {S("4300001"), S("4770000"), S("F-1"), S("15/03/24"), S("21"), S("R"), D(100), D(121)});
    Invoke(*e_, "GrabarAsiento", Kind::kMethod, {});
    path_ = e_->state().company_path;
    dir_ = e_->state().company_directory;
    number_ = e_->state().company_number;
    qrole::server::CloseAllFiles();

    // Entry i (1-based) falls in month 1 + (i - 1) % 12.
    std::array<int64_t, 13> per_month{};
    for (int i = 1; i <= entries; ++i) ++per_month[static_cast<size_t>(1 + (i - 1) % 12)];
    Copy("EXTRA", 3, 1, 3, entries);
    Copy("IVA01", 1, 21, 8, entries);
    SpreadBalances(per_month);
    for (const auto& [slot, table] : {std::pair{2, "EXTRA"}, std::pair{4, "IVA01"}}) {
      if (!qrole::data::ReindexTable(slot, table, dir_, number_).ok()) std::abort();
    }
    qrole::data::CloseAllFiles();
  }

  const std::string& path() const { return path_; }

 private:
  std::string Datos() {
    const std::string d = dirs_.path() + "/datos/";
    qrole::platform::CurrentEnv()->Files().CreateDirectories(d).IgnoreError();
    return d;
  }

  // Appends copies 2..entries of the first `lines` records of `table`, each
  // with its entry number and the month of its date changed.
  void Copy(const std::string& table, int lines, int date_code, int number_code, int entries) {
    auto t = internal::OpenTable(dir_, number_, table);
    if (!t.ok()) std::abort();
    const auto length = static_cast<size_t>((*t)->length());
    std::string first;
    if (!(*t)->slot.file()->ReadAt(0, length * static_cast<size_t>(lines), &first).ok())
      std::abort();
    const auto date_at = static_cast<size_t>((*t)->slot.field((*t)->Field(date_code)).start);
    const auto number_at = static_cast<size_t>((*t)->slot.field((*t)->Field(number_code)).start);
    std::string out;
    out.reserve(first.size() * static_cast<size_t>(entries));
    char number[16];
    for (int i = 1; i <= entries; ++i) {
      std::snprintf(number, sizeof number, "%06d", i);
      const int month = 1 + (i - 1) % 12;
      for (int l = 0; l < lines; ++l) {
        std::string record = first.substr(static_cast<size_t>(l) * length, length);
        record.replace(number_at, 6, number);
        record[date_at + 2] = static_cast<char>('0' + month / 10);
        record[date_at + 3] = static_cast<char>('0' + month % 10);
        out += record;
      }
    }
    auto file = qrole::platform::CurrentEnv()->Files().Open((*t)->data_path,
                                                            qrole::platform::OpenMode::ReadWrite);
    if (!file.ok() || !(*file)->WriteAt(0, out).ok()) std::abort();
  }

  // Every chart balance of March (what the first entry added) becomes that
  // amount times the entries of each month.
  void SpreadBalances(const std::array<int64_t, 13>& per_month) {
    auto t = internal::OpenTable(dir_, number_, "PLANC");
    if (!t.ok()) std::abort();
    auto file = qrole::platform::CurrentEnv()->Files().Open((*t)->data_path,
                                                            qrole::platform::OpenMode::ReadWrite);
    if (!file.ok()) std::abort();
    std::vector<std::pair<uint64_t, double>> writes;
    const auto length = static_cast<uint64_t>((*t)->length());
    internal::ForEachRecord(**t, [&](int64_t record, std::string_view bytes) {
      for (int code : {12, 13}) {
        const int march = (*t)->Field(code) + 3;
        const double v = internal::NumberField(**t, bytes, march);
        if (v == 0) continue;
        for (int m = 1; m <= 12; ++m) {
          const auto at = static_cast<uint64_t>(record - 1) * length +
                          static_cast<uint64_t>((*t)->slot.field(march - 3 + m).start);
          writes.push_back({at, v * static_cast<double>(per_month[static_cast<size_t>(m)])});
        }
      }
    }).IgnoreError();
    for (const auto& [at, v] : writes) {
      std::string b(8, '\0');
      qrole::data::StoreDouble(v, b.data());
      if (!(*file)->WriteAt(at, b).ok()) std::abort();
    }
  }

  qrole::platform::ScopedTempDir dirs_;
  qrole::server::TestEnv env_;
  std::shared_ptr<qrole::server::Enlace> e_ = qrole::server::Enlace::Create();
  std::string path_, dir_, number_;
};

// One whole check of a company of state.range(0) invoice entries.
void BM_CheckCompany(benchmark::State& state) {
  LargeCompany company(static_cast<int>(state.range(0)));
  check::Report report;
  for (auto _ : state) {
    auto r = check::CheckCompany(company.path());
    if (!r.ok()) {
      state.SkipWithError(r.status().ToString().c_str());
      return;
    }
    report = std::move(r).value();
  }
  if (!report.clean()) state.SkipWithError(check::FormatText(report).substr(0, 2000).c_str());
  state.counters["entries"] = static_cast<double>(report.entries);
  state.counters["lines"] = static_cast<double>(report.journal_lines);
  state.counters["entries/s"] = benchmark::Counter(
      static_cast<double>(report.entries) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CheckCompany)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
