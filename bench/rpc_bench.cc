// Round trips through qrole-server's socket, one connection, one call at a
// time (the client waits for each answer before sending the next call).
//
//   rpc_bench [--benchmark_filter=...]
//
// Starts its own server ($QROLE_TEST_BIN_DIR/qrole-server, by default the
// qrole-server beside this program) with a temporary QROLE_HOME.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "qrole/client.h"
#include "support/server_process.h"

namespace {

using nlohmann::json;

qrole::testing::ServerProcess& Server() {
  static std::unique_ptr<qrole::testing::ServerProcess> server = [] {
    if (!std::getenv("QROLE_TEST_BIN_DIR")) {
      char self[4096];
      ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
      std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
      ::setenv("QROLE_TEST_BIN_DIR", path.substr(0, path.rfind('/')).c_str(), 1);
    }
    qrole::testing::ServerOptions options;
    options.tcp = true;
    return std::make_unique<qrole::testing::ServerProcess>(options);
  }();
  return *server;
}

void CountCalls(benchmark::State& state) {
  state.counters["calls/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Property get: {"member":"Canal","kind":"get"} -> "000".
void BM_PropertyGet(benchmark::State& state) {
  qrole::Client c = Server().Connect();
  int64_t e = c.Create("Enlace");
  for (auto _ : state) {
    json v = c.Get(e, "Canal");
    benchmark::DoNotOptimize(v);
  }
  if (c.Get(e, "Canal") != "000") state.SkipWithError("wrong answer");
  CountCalls(state);
}
BENCHMARK(BM_PropertyGet)->UseRealTime();

// The same over TCP loopback.
void BM_PropertyGetTcp(benchmark::State& state) {
  qrole::Client c = Server().ConnectTcp();
  int64_t e = c.Create("Enlace");
  for (auto _ : state) {
    json v = c.Get(e, "Canal");
    benchmark::DoNotOptimize(v);
  }
  CountCalls(state);
}
BENCHMARK(BM_PropertyGetTcp)->UseRealTime();

// A method with twelve arguments, every one by reference (so twelve values
// also come back). The answer may be an error while the member is not built;
// the round trip is what is measured.
void BM_TwelveArgumentCall(benchmark::State& state) {
  qrole::Client c = Server().Connect();
  int64_t e = c.Create("Enlace");
  const json params = {{"object", e},
                       {"member", "AñadirApunte"},
                       {"args",
                        {"43000001", "Factura 2024/117 Distribuciones Norte", 1, 1210.5, "1", 0,
                         "001", "F2024-117", "Pago a 30 días", "", "", ""}}};
  bool answered_with_error = false;
  for (auto _ : state) {
    json answer = c.RequestRaw("invoke", params);
    answered_with_error = answer.contains("error");
    benchmark::DoNotOptimize(answer);
  }
  state.SetLabel(answered_with_error ? "answered with an error" : "answered with a result");
  CountCalls(state);
}
BENCHMARK(BM_TwelveArgumentCall)->UseRealTime();

// Creating and releasing an object.
void BM_CreateRelease(benchmark::State& state) {
  qrole::Client c = Server().Connect();
  for (auto _ : state) c.Release(c.Create("ApunteClass"));
  state.counters["pairs/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CreateRelease)->UseRealTime();

}  // namespace
