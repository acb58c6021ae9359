// Posting invoice entries through qrole-server's socket into a growing
// company, as a client program would: `Fecha`, `Número` proposed, three
// journal lines, one VAT line, `GrabarAsiento`.
//
//   posting_socket_bench [ENTRIES [BLOCK [CLIENTS]]]
//
// ENTRIES (default 20000) are posted in blocks of BLOCK (default 10000); for
// each block it prints the entries per second and what the server did per
// entry: its read and write system calls (from /proc/PID/io) and its CPU
// time. With CLIENTS > 1, that many servers (one client each) post into the
// one company at once and the figures are for all of them together.
//
// Starts its own servers ($QROLE_TEST_BIN_DIR/qrole-server, by default the
// one beside this program) with temporary homes; the company is made in the
// first one's data directory. QROLE_BENCH_FLUSH_MS sets FlushIntervalMs.

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "qrole/client.h"
#include "support/server_process.h"

namespace {

using qrole::testing::ServerOptions;
using qrole::testing::ServerProcess;

struct Usage {
  long long syscalls = 0;  // read + write system calls
  double cpu_s = 0;        // user + system time
};

Usage UsageOf(pid_t pid) {
  Usage u;
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "syscr:" || key == "syscw:") u.syscalls += value;
  }
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  for (int i = 1; i <= 15 && stat >> field; ++i) {
    if (i == 14 || i == 15) u.cpu_s += std::atof(field.c_str()) / sysconf(_SC_CLK_TCK);
  }
  return u;
}

void PostInvoice(qrole::Client& c, int64_t e, long n) {
  const double base = 100 + static_cast<double>(n % 37);
  const double vat = std::round(base * 21) / 100;
  const std::string ref = "F-" + std::to_string(n);
  const std::string customer = "43000" + std::to_string(10 + n % 50);
  c.Let(e, "Fecha", "15/03/24");
  c.Let(e, "Número", "");
  c.Call(e, "AñadirApunte", {customer, "Factura " + ref, 1, base + vat, "1", "", "000", ref});
  c.Call(e, "AñadirApunte", {"7000000", "Factura " + ref, 2, base, "1", "", "000", ref});
  c.Call(e, "AñadirApunte", {"4770000", "Factura " + ref, 2, vat, "1", "", "000", ref});
  c.Call(e, "AñadirIVA", {customer, "4770000", ref, "15/03/24", "21", "R", base, base + vat});
  c.Call(e, "GrabarAsiento");
}

}  // namespace

int main(int argc, char** argv) {
  const long entries = argc > 1 ? std::atol(argv[1]) : 20000;
  const long block = argc > 2 ? std::atol(argv[2]) : 10000;
  const int clients = argc > 3 ? std::atoi(argv[3]) : 1;
  if (!std::getenv("QROLE_TEST_BIN_DIR")) {
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
    ::setenv("QROLE_TEST_BIN_DIR", path.substr(0, path.rfind('/')).c_str(), 1);
  }
  ServerOptions options;
  if (const char* flush = std::getenv("QROLE_BENCH_FLUSH_MS")) {
    options.settings = std::string("FlushIntervalMs=") + flush + "\n";
  }
  std::vector<std::unique_ptr<ServerProcess>> servers;
  for (int i = 0; i < clients; ++i) servers.push_back(std::make_unique<ServerProcess>(options));
  std::string path;
  {
    qrole::Client c = servers[0]->Connect();
    int64_t e = c.Create("Enlace");
    path = c.Call(e, "CrearEmpresa", {"Bench", "24"}).get<std::string>();
  }
  std::vector<qrole::Client> conns;
  std::vector<int64_t> objects;
  for (auto& s : servers) {
    conns.push_back(s->Connect());
    objects.push_back(conns.back().Create("Enlace"));
    conns.back().Call(objects.back(), "AbrirEmpresa", {path});
  }
  std::printf("%d client(s), one server each; blocks of %ld entries\n", clients, block);
  std::printf("%10s %12s %14s %14s\n", "entries", "entries/s", "syscalls/entry", "cpu ms/entry");
  long posted = 0;
  while (posted < entries) {
    std::vector<Usage> before;
    for (auto& s : servers) before.push_back(UsageOf(s->pid()));
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    const long per_client = block / clients;
    for (int i = 0; i < clients; ++i) {
      threads.emplace_back([&, i] {
        for (long k = 0; k < per_client; ++k)
          PostInvoice(conns[static_cast<size_t>(i)], objects[static_cast<size_t>(i)],
                      posted + i * per_client + k);
      });
    }
    for (auto& t : threads) t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long done = per_client * clients;
    posted += done;
    Usage used;
    for (size_t i = 0; i < servers.size(); ++i) {
      Usage after = UsageOf(servers[i]->pid());
      used.syscalls += after.syscalls - before[i].syscalls;
      used.cpu_s += after.cpu_s - before[i].cpu_s;
    }
    std::printf("%10ld %12.0f %14.1f %14.3f\n", posted, static_cast<double>(done) / seconds,
                static_cast<double>(used.syscalls) / static_cast<double>(done),
                1000 * used.cpu_s / static_cast<double>(done));
    std::fflush(stdout);
  }
  return 0;
}
