// Posting entries in-process: an invoice entry (customer, sales and VAT
// journal lines, one VAT-book line) posted again and again into one company,
// and the chart read back with its balances.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "automation/dispatcher.h"
#include "platform/env.h"
#include "platform/scoped_temp_dir.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace {

using qrole::Invoke;
using qrole::Variant;
using qrole::typelib::Kind;

Variant S(const std::string& s) { return Variant::FromString(s); }
Variant D(double d) { return Variant::FromDouble(d); }

struct Company {
  Company()
      : env("[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + Datos() + "\nVersion=7.5\n") {
    Invoke(*e, "CrearEmpresa", Kind::kMethod, {S("Bench"), S("24")});
    Invoke(*e, "AbrirEmpresa", Kind::kMethod, {S("Bench")});
    Invoke(*e, "Fecha", Kind::kLet, {S("15/03/24")});
  }
  std::string Datos() {
    const std::string d = dirs.path() + "/datos/";
    qrole::platform::CurrentEnv()->Files().CreateDirectories(d).IgnoreError();
    return d;
  }
  void PostInvoice(int n) {
    Invoke(*e, "Número", Kind::kLet, {S("")});
    const std::string ref = "F-" + std::to_string(n);
    Invoke(*e, "AñadirApunte", Kind::kMethod,
           {S("4300001"), S("Factura " + ref), Variant::FromByte(1), D(121), S("1")});
    Invoke(*e, "AñadirApunte", Kind::kMethod,
           {S("7000000"), S("Factura " + ref), Variant::FromByte(2), D(100), S("1")});
    Invoke(*e, "AñadirApunte", Kind::kMethod,
           {S("4770000"), S("Factura " + ref), Variant::FromByte(2), D(21), S("1")});
    Invoke(*e, "AñadirIVA", Kind::kMethod,
           {S("4300001"), S("4770000"), S(ref), S("15/03/24"), S("21"), S("R"), D(100), D(121)});
    Invoke(*e, "GrabarAsiento", Kind::kMethod, {});
  }

  qrole::platform::ScopedTempDir dirs;
  qrole::server::TestEnv env;
  std::shared_ptr<qrole::server::Enlace> e = qrole::server::Enlace::Create();
};

// Entries per second, the journal growing as the benchmark runs.
void BM_PostInvoiceEntry(benchmark::State& state) {
  Company c;
  int n = 0;
  for (auto _ : state) c.PostInvoice(++n);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PostInvoiceEntry)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// One account with its fifteen periods, read back after 200 entries.
void BM_ReadAccountBalances(benchmark::State& state) {
  Company c;
  for (int n = 1; n <= 200; ++n) c.PostInvoice(n);
  for (auto _ : state)
    benchmark::DoNotOptimize(Invoke(*c.e, "LeerPlan", Kind::kMethod, {S("4300001")}).value);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadAccountBalances)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
