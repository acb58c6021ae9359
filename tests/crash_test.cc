// The books after qrole-server is killed at random moments of posting and
// cancelling, and while several servers post into one company at once:
// every entry whole, every balance equal to its lines (qrole check), every
// confirmed entry there, no entry number used twice, and posting goes on.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "qrole/client.h"
#include "support/run_command.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

constexpr const char* kDate = "15/03/24";

// Posts one invoice entry (three journal lines, one VAT line) and returns
// its number.
std::string PostInvoice(qrole::Client& c, int64_t e, int n) {
  c.Let(e, "Fecha", kDate);
  c.Let(e, "Número", "");
  const std::string number = c.Get(e, "Número").get<std::string>();
  const double base = 100 + n % 37, vat = std::round(base * 21) / 100;
  const std::string ref = "F-" + std::to_string(n);
  c.Call(
      e, "AñadirApunte",
      {"43000" + std::to_string(10 + n % 7), "Factura " + ref, 1, base + vat, "1", "", "000", ref});
  c.Call(e, "AñadirApunte", {"7000000", "Factura " + ref, 2, base, "1", "", "000", ref});
  c.Call(e, "AñadirApunte", {"4770000", "Factura " + ref, 2, vat, "1", "", "000", ref});
  c.Call(
      e, "AñadirIVA",
      {"43000" + std::to_string(10 + n % 7), "4770000", ref, kDate, "21", "R", base, base + vat});
  c.Call(e, "GrabarAsiento");
  return number;
}

// The entry numbers of the journal (cancelled lines are not exported), with
// their line counts.
std::map<std::string, int> JournalEntries(const ServerProcess& home, const std::string& path) {
  CommandResult r = RunCommand({BinPath("qrole"), "export", path, "--format", "csv"},
                               {{"QROLE_HOME", home.home()}, {"QROLE_PROGRAM_DIR", ""}});
  EXPECT_EQ(r.status, 0) << r.err;
  std::map<std::string, int> entries;
  std::istringstream in(r.out);
  std::string line;
  std::getline(in, line);  // the column names
  while (std::getline(in, line)) {
    const size_t a = line.find(','), b = line.find(',', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    ++entries[line.substr(a + 1, b - a - 1)];
  }
  return entries;
}

// qrole check over the company: the number of faults, -1 when it could not
// check; `report` gets what it printed.
int Faults(const ServerProcess& home, const std::string& path, std::string* report) {
  CommandResult r = RunCommand({BinPath("qrole"), "check", path, "--json"},
                               {{"QROLE_HOME", home.home()}, {"QROLE_PROGRAM_DIR", ""}});
  *report = r.out + r.err;
  json j = json::parse(r.out, nullptr, false);
  if (j.is_discarded() || !j.contains("fault_count")) return -1;
  return j["fault_count"].get<int>();
}

ServerOptions KilledServer() {
  ServerOptions options;
  options.expected_exit_status = 128 + SIGKILL;
  return options;
}

TEST(CrashTest, KilledWhilePostingAndCancellingTheBooksStayWhole) {
  ServerProcess home;  // the data directory and the settings
  std::string path;
  {
    qrole::Client c = home.Connect();
    int64_t e = c.Create("Enlace");
    path = c.Call(e, "CrearEmpresa", {"Caja", "24"}).get<std::string>();
  }
  std::set<std::string> confirmed, cancelled, in_doubt;
  std::mt19937 random(20261208);
  int n = 0, kills = 0, landed = 0;
  for (int round = 0; round < 50; ++round) {
    ServerProcess server(KilledServer());
    qrole::Client c = server.Connect();
    int64_t e = c.Create("Enlace");
    c.Call(e, "AbrirEmpresa", {path});
    std::atomic<bool> stopped{false};
    const int delay_ms = 5 + static_cast<int>(random() % 60);
    std::thread killer([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      stopped = true;
      server.Stop(SIGKILL);
    });
    try {
      while (!stopped) {
        const std::string number = PostInvoice(c, e, ++n);
        confirmed.insert(number);
        if (n % 4 == 0) {
          // Cancel an earlier entry that is still there.
          const std::string& victim = *std::next(confirmed.begin(), random() % confirmed.size());
          if (!cancelled.count(victim) && !in_doubt.count(victim)) {
            const std::string number = victim;
            in_doubt.insert(number);  // until the answer comes
            c.Call(e, "AnularAsiento", {kDate, number});
            in_doubt.erase(number);
            cancelled.insert(number);
          }
        }
      }
    } catch (const std::exception&) {
      ++landed;  // the kill came inside a call
    }
    killer.join();
    ++kills;
  }
  EXPECT_EQ(kills, 50);
  EXPECT_GT(landed, 25);

  // A new server opens the company (finishing whatever was cut short), the
  // books check whole, and posting goes on.
  ServerProcess after;
  qrole::Client c = after.Connect();
  int64_t e = c.Create("Enlace");
  c.Call(e, "AbrirEmpresa", {path});
  const std::string last = PostInvoice(c, e, ++n);
  std::string report;
  EXPECT_EQ(Faults(home, path, &report), 0) << report;
  std::map<std::string, int> entries = JournalEntries(home, path);
  for (const auto& [number, lines] : entries) EXPECT_EQ(lines, 3) << "entry " << number;
  for (const std::string& number : confirmed) {
    if (in_doubt.count(number)) continue;  // its cancellation was cut short
    if (cancelled.count(number)) {
      EXPECT_EQ(entries.count(number), 0u) << "cancelled entry " << number;
    } else {
      EXPECT_EQ(entries.count(number), 1u) << "confirmed entry " << number;
    }
  }
  EXPECT_EQ(entries.count(last), 1u);
  // At most one entry per kill was posted without its answer arriving.
  EXPECT_LE(entries.size(), confirmed.size() - cancelled.size() + 1 + 50);
}

// Four servers, two objects each, posting and cancelling into one company at
// once.
TEST(ConcurrencyTest, FourServersPostIntoOneCompany) {
  ServerProcess home;
  std::string path;
  {
    qrole::Client c = home.Connect();
    int64_t e = c.Create("Enlace");
    path = c.Call(e, "CrearEmpresa", {"Tienda", "24"}).get<std::string>();
  }
  constexpr int kServers = 4, kObjects = 2, kEntries = 60;
  std::vector<std::unique_ptr<ServerProcess>> servers;
  for (int s = 0; s < kServers; ++s) servers.push_back(std::make_unique<ServerProcess>());
  std::vector<std::vector<std::string>> posted(kServers * kObjects);
  std::vector<std::vector<std::string>> gone(kServers * kObjects);
  std::vector<std::string> errors(kServers * kObjects);
  std::vector<std::thread> threads;
  for (int s = 0; s < kServers; ++s) {
    for (int o = 0; o < kObjects; ++o) {
      const int slot = s * kObjects + o;
      threads.emplace_back([&, s, slot] {
        try {
          qrole::Client c = servers[static_cast<size_t>(s)]->Connect();
          int64_t e = c.Create("Enlace");
          c.Call(e, "AbrirEmpresa", {path});
          for (int i = 0; i < kEntries; ++i) {
            const std::string number = PostInvoice(c, e, slot * 1000 + i);
            posted[static_cast<size_t>(slot)].push_back(number);
            if (i % 10 == 9) {
              const std::string victim =
                  posted[static_cast<size_t>(slot)][static_cast<size_t>(i - 5)];
              c.Call(e, "AnularAsiento", {kDate, victim});
              gone[static_cast<size_t>(slot)].push_back(victim);
            }
          }
        } catch (const std::exception& ex) {
          errors[static_cast<size_t>(slot)] = ex.what();
        }
      });
    }
  }
  for (std::thread& t : threads) t.join();
  for (const std::string& error : errors) EXPECT_EQ(error, "");

  std::set<std::string> all, cancelled;
  for (const auto& list : posted) {
    for (const std::string& number : list) EXPECT_TRUE(all.insert(number).second) << number;
  }
  for (const auto& list : gone) cancelled.insert(list.begin(), list.end());
  EXPECT_EQ(all.size(), static_cast<size_t>(kServers * kObjects * kEntries));
  std::map<std::string, int> entries = JournalEntries(home, path);
  EXPECT_EQ(entries.size(), all.size() - cancelled.size());
  for (const auto& [number, lines] : entries) {
    EXPECT_EQ(lines, 3) << "entry " << number;
    EXPECT_TRUE(all.count(number) && !cancelled.count(number)) << "entry " << number;
  }
  std::string report;
  EXPECT_EQ(Faults(home, path, &report), 0) << report;
}

}  // namespace
}  // namespace qrole::testing
