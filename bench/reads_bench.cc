// Reading a large company back: account statements and the chart with its
// balances, at 100,000 invoice entries (three journal lines each).
//
// The company: 3,000 customer accounts (4300001 to 4303000, about 33 lines
// each), five sales accounts (7000000 to 7000004, 20,000 lines each) and one
// VAT account (4770000, a line in every entry); entries in date order over
// the twelve months. It is made quickly: one entry is posted through the
// members, then its journal records are copied under new entry numbers,
// accounts and dates straight into the record file, the chart records of the
// new accounts are copied from those posting made, every chart balance is set
// to the sum of its lines, and the indexes are rebuilt from the records.
//
// Each benchmark reads through the members in process, as the server does
// for a call; the "Socket" ones send the same call through qrole-server's
// socket (a server started on the company's data directory).
// QROLE_BENCH_ENTRIES sets the number of entries (default 100000).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "check/check_internal.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "data/reindex.h"
#include "platform/env.h"
#include "platform/scoped_temp_dir.h"
#include "qrole/client.h"
#include "server/enlace.h"
#include "server/test_env.h"
#include "support/server_process.h"

namespace {

using qrole::Invoke;
using qrole::Variant;
using qrole::typelib::Kind;
namespace internal = qrole::check::internal;

Variant S(const std::string& s) { return Variant::FromString(s); }
Variant D(double d) { return Variant::FromDouble(d); }

constexpr int kCustomers = 3000;
constexpr int kSalesAccounts = 5;

// Journal and chart field codes.
enum : int { kFecha = 1, kCuenta = 2, kAsiento = 3 };
enum : int { kCodigo = 1, kTitulo = 2, kDebe = 12, kHaber = 13 };

std::string Customer(int i) { return std::to_string(4300001 + i); }
std::string Sales(int i) { return std::to_string(7000000 + i); }

int Entries() {
  const char* n = std::getenv("QROLE_BENCH_ENTRIES");
  return n ? std::atoi(n) : 100000;
}

// Puts `text` into field `field` of `record`, blank padded to its width.
void Put(const internal::TableFile& t, std::string& record, int field, const std::string& text) {
  const auto& f = t.slot.field(field);
  std::string v = text;
  v.resize(static_cast<size_t>(f.width), ' ');
  record.replace(static_cast<size_t>(f.start), v.size(), v);
}

void PutNumber(const internal::TableFile& t, std::string& record, int field, double value) {
  qrole::data::StoreDouble(value, record.data() + t.slot.field(field).start);
}

class LargeCompany {
 public:
  explicit LargeCompany(int entries)
      : entries_(entries),
        env_("[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + Datos() + "\nVersion=7.5\n") {
    Invoke(*e_, "CrearEmpresa", Kind::kMethod, {S("Grande"), S("24")});
    Invoke(*e_, "AbrirEmpresa", Kind::kMethod, {S("Grande")});
    Invoke(*e_, "Fecha", Kind::kLet, {S("15/03/24")});
    Invoke(*e_, "Número", Kind::kLet, {S("")});
    Invoke(*e_, "AñadirApunte", Kind::kMethod,
           {S(Customer(0)), S("Factura"), Variant::FromByte(1), D(121), S("1")});
    Invoke(*e_, "AñadirApunte", Kind::kMethod,
           {S(Sales(0)), S("Factura"), Variant::FromByte(2), D(100), S("1")});
    Invoke(*e_, "AñadirApunte", Kind::kMethod,
           {S("4770000"), S("Factura"), Variant::FromByte(2), D(21), S("1")});
    Invoke(*e_, "GrabarAsiento", Kind::kMethod, {});
    path_ = e_->state().company_path;
    dir_ = e_->state().company_directory;
    number_ = e_->state().company_number;
    qrole::server::CloseAllFiles();

    WriteJournal();
    WriteChart();
    for (const auto& [slot, table] : {std::pair{1, "PLANC"}, std::pair{2, "EXTRA"}}) {
      if (!qrole::data::ReindexTable(slot, table, dir_, number_).ok()) std::abort();
    }
    qrole::data::CloseAllFiles();
  }

  qrole::server::Enlace& enlace() { return *e_; }
  const std::string& path() const { return path_; }
  const std::string& data_dir() const { return data_dir_; }

 private:
  std::string Datos() {
    data_dir_ = dirs_.path() + "/datos/";
    qrole::platform::CurrentEnv()->Files().CreateDirectories(data_dir_).IgnoreError();
    return data_dir_;
  }

  // Entry i (0-based): customer i % 3000, sales account i % 5, the VAT
  // account; dated in order over the year, day 1 + i % 28.
  void WriteJournal() {
    auto t = internal::OpenTable(dir_, number_, "EXTRA");
    if (!t.ok()) std::abort();
    const internal::TableFile& tf = **t;
    const auto length = static_cast<size_t>(tf.length());
    std::string first;
    if (!tf.slot.file()->ReadAt(0, length * 3, &first).ok()) std::abort();
    std::string out;
    out.reserve(length * 3 * static_cast<size_t>(entries_));
    // The year as the posted entry stored it ("C4" for 2024).
    const std::string year =
        first.substr(static_cast<size_t>(tf.slot.field(tf.Field(kFecha)).start), 2);
    char number[16], date[32];
    for (int i = 0; i < entries_; ++i) {
      std::snprintf(number, sizeof number, "%06d", i + 1);
      const int month = 1 + static_cast<int>(static_cast<int64_t>(i) * 12 / entries_);
      std::snprintf(date, sizeof date, "%s%02d%02d", year.c_str(), month, 1 + i % 28);
      const std::string accounts[3] = {Customer(i % kCustomers), Sales(i % kSalesAccounts),
                                       "4770000"};
      for (int l = 0; l < 3; ++l) {
        std::string record = first.substr(static_cast<size_t>(l) * length, length);
        Put(tf, record, tf.Field(kAsiento), number);
        Put(tf, record, tf.Field(kFecha), date);
        Put(tf, record, tf.Field(kCuenta), accounts[l]);
        out += record;
        ++lines_[accounts[l]][static_cast<size_t>(month)];
      }
    }
    auto file = qrole::platform::CurrentEnv()->Files().Open(tf.data_path,
                                                            qrole::platform::OpenMode::ReadWrite);
    if (!file.ok() || !(*file)->WriteAt(0, out).ok()) std::abort();
  }

  // The chart records of the new accounts, copied from the first customer's
  // and sales account's; then every record's twelve monthly balances set to
  // the sums of the lines of the accounts under it.
  void WriteChart() {
    auto t = internal::OpenTable(dir_, number_, "PLANC");
    if (!t.ok()) std::abort();
    const internal::TableFile& tf = **t;
    const auto length = static_cast<size_t>(tf.length());
    std::string all;
    if (!tf.slot.file()->ReadAt(0, length * static_cast<size_t>(tf.records), &all).ok())
      std::abort();
    std::vector<std::string> records;
    for (int64_t r = 0; r < tf.records; ++r)
      records.push_back(all.substr(static_cast<size_t>(r) * length, length));
    // What one line adds to its leaf account's debit and credit (the March
    // balances the posted entry left).
    std::map<std::string, std::pair<double, double>> per_line;
    std::map<std::string, std::string> leaf_record;
    for (const std::string& rec : records) {
      const std::string code = internal::TrimmedField(tf, rec, tf.Field(kCodigo));
      if (code == Customer(0) || code == Sales(0) || code == "4770000") {
        per_line[code] = {internal::NumberField(tf, rec, tf.Field(kDebe) + 3),
                          internal::NumberField(tf, rec, tf.Field(kHaber) + 3)};
        leaf_record[code] = rec;
      }
    }
    if (per_line.size() != 3) std::abort();
    for (int i = 1; i < kCustomers; ++i) {
      std::string rec = leaf_record[Customer(0)];
      Put(tf, rec, tf.Field(kCodigo), Customer(i));
      Put(tf, rec, tf.Field(kTitulo), "Cliente " + std::to_string(i + 1));
      records.push_back(rec);
    }
    for (int i = 1; i < kSalesAccounts; ++i) {
      std::string rec = leaf_record[Sales(0)];
      Put(tf, rec, tf.Field(kCodigo), Sales(i));
      Put(tf, rec, tf.Field(kTitulo), "Ventas " + std::to_string(i + 1));
      records.push_back(rec);
    }
    auto template_of = [](const std::string& account) {
      return account.compare(0, 2, "43") == 0  ? Customer(0)
             : account.compare(0, 1, "7") == 0 ? Sales(0)
                                               : std::string("4770000");
    };
    std::string out;
    for (std::string& rec : records) {
      const std::string code = internal::TrimmedField(tf, rec, tf.Field(kCodigo));
      std::array<double, 13> debe{}, haber{};
      bool touched = false;
      for (const auto& [account, months] : lines_) {
        if (code.empty() || account.compare(0, code.size(), code) != 0) continue;
        touched = true;
        const auto [d, h] = per_line[template_of(account)];
        for (size_t m = 1; m <= 12; ++m) {
          debe[m] += d * static_cast<double>(months[m]);
          haber[m] += h * static_cast<double>(months[m]);
        }
      }
      if (touched) {
        for (int m = 1; m <= 12; ++m) {
          PutNumber(tf, rec, tf.Field(kDebe) + m, debe[static_cast<size_t>(m)]);
          PutNumber(tf, rec, tf.Field(kHaber) + m, haber[static_cast<size_t>(m)]);
        }
      }
      out += rec;
    }
    auto file = qrole::platform::CurrentEnv()->Files().Open(tf.data_path,
                                                            qrole::platform::OpenMode::ReadWrite);
    if (!file.ok() || !(*file)->WriteAt(0, out).ok()) std::abort();
  }

  int entries_;
  qrole::platform::ScopedTempDir dirs_;
  std::string data_dir_;
  qrole::server::TestEnv env_;
  std::shared_ptr<qrole::server::Enlace> e_ = qrole::server::Enlace::Create();
  std::string path_, dir_, number_;
  std::map<std::string, std::array<int64_t, 13>> lines_;  // account -> lines by month
};

LargeCompany& Company() {
  static LargeCompany* company = new LargeCompany(Entries());
  return *company;
}

int32_t Count(const char* counter) {
  return qrole::ToLong(Invoke(Company().enlace(), counter, Kind::kGet, {}).value);
}

// LeerExtracto of `account` (from, to), in process.
void Statement(benchmark::State& state, const std::string& account, const std::string& from,
               const std::string& to) {
  qrole::server::Enlace& e = Company().enlace();
  for (auto _ : state) {
    const Variant r =
        Invoke(e, "LeerExtracto", Kind::kMethod, {S(account), S(from), S(to), Variant::FromLong(2)})
            .value;
    if (!qrole::ToBool(r)) state.SkipWithError("empty statement");
  }
  state.counters["lines"] = Count("ContadorExtracto");
}

void BM_StatementOfACustomer(benchmark::State& state) { Statement(state, "4301234", "", ""); }
BENCHMARK(BM_StatementOfACustomer)->Unit(benchmark::kMillisecond);

void BM_StatementOfACustomerFromMay(benchmark::State& state) {
  Statement(state, "4301234", "01/05/24", "");
}
BENCHMARK(BM_StatementOfACustomerFromMay)->Unit(benchmark::kMillisecond);

void BM_StatementOf20000Lines(benchmark::State& state) { Statement(state, "7000003", "", ""); }
BENCHMARK(BM_StatementOf20000Lines)->Unit(benchmark::kMillisecond);

// One month of the busiest account: the opening balance counts the lines of
// the months before.
void BM_StatementOfOneMonthOf100000Lines(benchmark::State& state) {
  Statement(state, "4770000", "01/11/24", "30/11/24");
}
BENCHMARK(BM_StatementOfOneMonthOf100000Lines)->Unit(benchmark::kMillisecond);

void BM_StatementTextOf20000Lines(benchmark::State& state) {
  qrole::server::Enlace& e = Company().enlace();
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = qrole::ToStr(Invoke(e, "LeerExtractoEx", Kind::kMethod, {S("7000003")}).value).size();
    if (bytes == 0) state.SkipWithError("empty statement");
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_StatementTextOf20000Lines)->Unit(benchmark::kMillisecond);

// LeerPlan of `account` (and level), in process.
void Plan(benchmark::State& state, const std::string& account, const std::string& level) {
  qrole::server::Enlace& e = Company().enlace();
  for (auto _ : state) {
    if (!qrole::ToBool(Invoke(e, "LeerPlan", Kind::kMethod, {S(account), S(level)}).value))
      state.SkipWithError("nothing read");
  }
  state.counters["accounts"] = Count("ContadorPlan");
}

// The customers' group account with its fifteen periods.
void BM_PlanOfAGroup(benchmark::State& state) { Plan(state, "430", ""); }
BENCHMARK(BM_PlanOfAGroup)->Unit(benchmark::kMicrosecond);

// Every account of group 47 (taxes), beside the 3,000 customers of group 43.
void BM_PlanOfAGroupsAccounts(benchmark::State& state) { Plan(state, "47*", ""); }
BENCHMARK(BM_PlanOfAGroupsAccounts)->Unit(benchmark::kMicrosecond);

void BM_PlanOfACustomer(benchmark::State& state) { Plan(state, "4301234", ""); }
BENCHMARK(BM_PlanOfACustomer)->Unit(benchmark::kMicrosecond);

// Through the socket: a qrole-server on the company's data directory.
class SocketClient {
 public:
  SocketClient() : server_(Options()), client_(server_.Connect()) {
    enlace_ = client_.Create("Enlace");
    client_.Call(enlace_, "AbrirEmpresa", {Company().path()});
  }
  qrole::Client& client() { return client_; }
  int64_t enlace() const { return enlace_; }
  // The server's CPU time so far (user + system), in seconds.
  double ServerCpu() const {
    std::ifstream stat("/proc/" + std::to_string(server_.pid()) + "/stat");
    std::string field;
    double cpu = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
      if (i == 14 || i == 15)
        cpu += std::atof(field.c_str()) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    return cpu;
  }

 private:
  static qrole::testing::ServerOptions Options() {
    if (!std::getenv("QROLE_TEST_BIN_DIR")) {
      char self[4096];
      const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
      const std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
      ::setenv("QROLE_TEST_BIN_DIR", path.substr(0, path.rfind('/')).c_str(), 1);
    }
    qrole::testing::ServerOptions options;
    options.home_files["registry.ini"] =
        "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + Company().data_dir() + "\nVersion=7.5\n";
    return options;
  }
  qrole::testing::ServerProcess server_;
  qrole::Client client_;
  int64_t enlace_ = 0;
};

SocketClient& Socket() {
  static SocketClient* socket = new SocketClient();
  return *socket;
}

// The server's CPU time per call, in milliseconds (the wall time also holds
// the round trip and any wait for a core).
void CountServerCpu(benchmark::State& state, double before) {
  state.counters["server_cpu_ms"] = 1000 * (Socket().ServerCpu() - before) /
                                    static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

void SocketStatement(benchmark::State& state, const std::string& account) {
  SocketClient& s = Socket();
  const double before = s.ServerCpu();
  for (auto _ : state) {
    if (!s.client().Call(s.enlace(), "LeerExtracto", {account}).get<bool>())
      state.SkipWithError("empty statement");
  }
  CountServerCpu(state, before);
  state.counters["lines"] =
      static_cast<double>(s.client().Get(s.enlace(), "ContadorExtracto").get<int64_t>());
}

void BM_SocketStatementOfACustomer(benchmark::State& state) { SocketStatement(state, "4301234"); }
BENCHMARK(BM_SocketStatementOfACustomer)->Unit(benchmark::kMillisecond);

void BM_SocketStatementOf20000Lines(benchmark::State& state) { SocketStatement(state, "7000003"); }
BENCHMARK(BM_SocketStatementOf20000Lines)->Unit(benchmark::kMillisecond);

void BM_SocketPlanOfAGroup(benchmark::State& state) {
  SocketClient& s = Socket();
  const double before = s.ServerCpu();
  for (auto _ : state) {
    if (!s.client().Call(s.enlace(), "LeerPlan", {"430"}).get<bool>())
      state.SkipWithError("nothing read");
  }
  CountServerCpu(state, before);
}
BENCHMARK(BM_SocketPlanOfAGroup)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
