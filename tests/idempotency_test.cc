// Retry-safe posting through qrole-server's socket: an invoke that carries an
// "idempotency_key" gets, when sent again, the answer the first call got, and
// posts nothing more: on another connection, after a restart, from another
// server process on the same data, and after the server is killed in the
// middle of a posting.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

constexpr int32_t kKeyReused = -2147171474;  // 0x8004C36E
constexpr int32_t kNoCompany = -2147171498;  // 0x8004C356
constexpr int kInvalidParams = -32602;

// One client's Enlace with a company open and the accounting date set.
struct Link {
  Link(const ServerProcess& server, const std::string& path) : c(server.Connect()) {
    e = c.Create("Enlace");
    c.Call(e, "AbrirEmpresa", {path});
    c.Let(e, "Fecha", "15/03/24");
  }
  // A pending entry of two lines of `amount`, described as `text`, with a
  // proposed number (or `number`).
  void Entry(const std::string& text, double amount, const std::string& number = "") {
    c.Let(e, "Número", number);
    c.Call(e, "AñadirApunte", {"4300001", text, 1, amount, "1"});
    c.Call(e, "AñadirApunte", {"7000000", text, 2, amount, "1"});
  }
  json Invoke(const std::string& member, const json& key, json args = json::array()) {
    return c.Request("invoke",
                     {{"object", e}, {"member", member}, {"args", args}, {"idempotency_key", key}});
  }
  json Post(const json& key) { return Invoke("GrabarAsiento", key); }
  // How many journal lines carry each description.
  std::map<std::string, int> Lines() {
    std::string text = c.Call(e, "Util_LeerDatos", {"EXTRA", "", "", ""}).get<std::string>();
    std::map<std::string, int> lines;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      std::vector<std::string> fields;
      std::istringstream in(text.substr(start, end - start));
      for (std::string f; std::getline(in, f, '\t');)
        fields.push_back(f.substr(0, f.find_last_not_of(' ') + 1));
      if (fields.size() > 3) ++lines[fields[3]];
    }
    return lines;
  }
  int Pending() { return c.Get(e, "ContadorApuntes").get<int>(); }

  qrole::Client c;
  int64_t e = 0;
};

// A server whose DATOS_DIR is `data_dir` (another server's, to share it).
ServerOptions SharingData(const std::string& data_dir) {
  ServerOptions options;
  options.home_files["registry.ini"] =
      "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir + "/\n";
  return options;
}

class IdempotencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrole::Client c = server_.Connect();
    int64_t e = c.Create("Enlace");
    path_ = c.Call(e, "CrearEmpresa", {"Claves", "24"}).get<std::string>();
  }

  ServerProcess server_;
  std::string path_;
};

TEST_F(IdempotencyTest, ARepeatedKeyGetsTheKeptAnswerAndPostsOnce) {
  Link first(server_, path_);
  first.Entry("F-1", 121);
  const json answer = first.Post("key-F-1");
  EXPECT_EQ(answer["value"], 0);
  const std::string posted = first.c.Get(first.e, "Número").get<std::string>();

  // The connection dropped before the answer came: the client connects
  // again, builds the same entry (and is proposed another number) and sends
  // the call with the same key.
  Link again(server_, path_);
  again.Entry("F-1", 121);
  EXPECT_NE(again.c.Get(again.e, "Número").get<std::string>(), posted);
  EXPECT_EQ(again.Post("key-F-1"), answer);
  // The object is as the posting left it: the entry gone, its number shown.
  EXPECT_EQ(again.Pending(), 0);
  EXPECT_EQ(again.c.Get(again.e, "Número").get<std::string>(), posted);
  EXPECT_EQ(again.Lines(), (std::map<std::string, int>{{"F-1", 2}}));

  // Once more on the first connection, and a new key posts anew.
  first.Entry("F-1", 121);
  EXPECT_EQ(first.Post("key-F-1"), answer);
  first.Entry("F-1", 121);
  first.Post("key-F-1-bis");
  EXPECT_EQ(first.Lines(), (std::map<std::string, int>{{"F-1", 4}}));
}

TEST_F(IdempotencyTest, TheKeyMustBeAStringOf1To128Characters) {
  Link link(server_, path_);
  link.Entry("F-1", 10);
  for (const json& key : {json(std::string(129, 'k')), json(""), json(12), json::array({"k"}),
                          json(std::string(128, 'k') + "\xC3\xB1")}) {
    RemoteError e = ErrorOf([&] { link.Post(key); });
    EXPECT_EQ(e.code(), kInvalidParams) << key.dump();
    EXPECT_NE(e.description().find("idempotency_key"), std::string::npos) << e.description();
  }
  EXPECT_EQ(link.Pending(), 2);  // refused before anything ran
  EXPECT_TRUE(link.Lines().empty());
  // 128 characters, whatever their bytes.
  std::string enes;
  for (int i = 0; i < 128; ++i) enes += "\xC3\xB1";
  link.Post(enes);
  link.Entry("F-1", 10);
  link.Post(enes);
  EXPECT_EQ(link.Lines(), (std::map<std::string, int>{{"F-1", 2}}));
}

TEST_F(IdempotencyTest, TheSameKeyForAnotherCallIsRefused) {
  Link link(server_, path_);
  link.Entry("F-1", 10);
  link.Post("shared");
  // Another amount, another description, another date, a number of its own.
  for (int variant = 0; variant < 4; ++variant) {
    Link other(server_, path_);
    if (variant == 2) other.c.Let(other.e, "Fecha", "16/03/24");
    other.Entry(variant == 1 ? "F-2" : "F-1", variant == 0 ? 11 : 10, variant == 3 ? "000777" : "");
    RemoteError e = ErrorOf([&] { other.Post("shared"); });
    EXPECT_EQ(e.number(), kKeyReused) << variant;
    EXPECT_EQ(e.source(), "Valdrix OLE Server");
    EXPECT_EQ(e.description(),
              "La clave de idempotencia ya se usó con otra operación o con otros datos\nshared");
    EXPECT_EQ(other.Pending(), 2) << "the entry stays, to be posted with a key of its own";
    if (variant == 1) other.Post("own");
  }
  // Another member with the same key.
  RemoteError e = ErrorOf([&] { link.Invoke("AnularAsiento", "shared", {"15/03/24", "000001"}); });
  EXPECT_EQ(e.number(), kKeyReused);
  EXPECT_EQ(link.Lines(), (std::map<std::string, int>{{"F-1", 2}, {"F-2", 2}}));
}

TEST_F(IdempotencyTest, AFailedCallLeavesTheKeyFree) {
  // No date: GrabarAsiento refuses and writes nothing.
  Link link(server_, path_);
  qrole::Client& c = link.c;
  const int64_t fresh = c.Create("Enlace");
  c.Call(fresh, "AbrirEmpresa", {path_});
  c.Let(fresh, "Número", "");
  c.Call(fresh, "AñadirApunte", {"4300001", "F-1", 1, 10, "1"});
  c.Call(fresh, "AñadirApunte", {"7000000", "F-1", 2, 10, "1"});
  const json post = {{"object", fresh}, {"member", "GrabarAsiento"}, {"idempotency_key", "k"}};
  RemoteError e = ErrorOf([&] { c.Request("invoke", post); });
  EXPECT_EQ(e.number(), 5000);
  // Mended and sent again with the same key, it posts.
  c.Let(fresh, "Fecha", "15/03/24");
  EXPECT_EQ(c.Request("invoke", post)["value"], 0);
  EXPECT_EQ(link.Lines(), (std::map<std::string, int>{{"F-1", 2}}));

  // Without a company the member refuses as it always does.
  const int64_t closed = c.Create("Enlace");
  e = ErrorOf([&] {
    c.Request("invoke",
              {{"object", closed}, {"member", "GrabarAsiento"}, {"idempotency_key", "z"}});
  });
  EXPECT_EQ(e.number(), kNoCompany);
  // Members that write nothing ignore a key.
  EXPECT_EQ(
      c.Request("invoke",
                {{"object", closed}, {"member", "Version"}, {"idempotency_key", "k"}})["value"],
      "7.5.1");
}

TEST_F(IdempotencyTest, AProblemReportedAfterThePostingIsKeptAsItsAnswer) {
  Link link(server_, path_);
  link.Entry("F-1", 100);
  // A VAT type the company does not have: the entry is posted, then 50011.
  link.c.Call(link.e, "AñadirIVA", {"4300001", "4770000", "F-1", "15/03/24", "0", "S", 100, 100});
  RemoteError first = ErrorOf([&] { link.Post("vat"); });
  ASSERT_EQ(first.number(), 50011);
  EXPECT_EQ(link.Lines(), (std::map<std::string, int>{{"F-1", 2}}));

  Link again(server_, path_);
  again.Entry("F-1", 100);
  again.c.Call(again.e, "AñadirIVA", {"4300001", "4770000", "F-1", "15/03/24", "0", "S", 100, 100});
  RemoteError repeated = ErrorOf([&] { again.Post("vat"); });
  EXPECT_EQ(repeated.code(), first.code());
  EXPECT_EQ(repeated.data(), first.data());
  EXPECT_EQ(again.Pending(), 0);
  EXPECT_EQ(again.Lines(), (std::map<std::string, int>{{"F-1", 2}}));
}

TEST_F(IdempotencyTest, ACancellationRepeatedWithItsKeyCancelsNothingMore) {
  Link link(server_, path_);
  link.Entry("F-1", 10);
  link.c.Call(link.e, "GrabarAsiento");
  const json args = {"15/03/24", "000001"};
  const json answer = link.Invoke("AnularAsiento", "cancel-1", args);
  EXPECT_TRUE(link.Lines().empty());
  // Number 000001 is free again and taken by a new entry.
  link.Entry("F-2", 20, "000001");
  link.c.Call(link.e, "GrabarAsiento");
  Link again(server_, path_);
  EXPECT_EQ(again.Invoke("AnularAsiento", "cancel-1", args), answer);
  EXPECT_EQ(again.Lines(), (std::map<std::string, int>{{"F-2", 2}}));
}

TEST_F(IdempotencyTest, ACollectionRepeatedWithItsKeyIsCollectedOnce) {
  Link link(server_, path_);
  link.c.Let(link.e, "Fecha", "15/03/24");
  link.c.Let(link.e, "Config", "40,41", {"iva2"});
  link.Entry("Factura F-1", 121);
  link.c.Call(link.e, "AñadirIVA", {"4300001", "4770000", "F-1", "15/03/24", "21", "S", 100, 121});
  link.c.Call(link.e, "GrabarAsiento");
  const json args = {"4300001", "F-1", 60,    "5720000", 0,  "20/03/24", 0, "Banco",
                     "",        "1",   "001", "",        "", "",         ""};
  const json answer = link.Invoke("CobroFacturaCriterioCaja", "cobro-1", args);
  const json posted = link.c.Get(link.e, "Número");
  EXPECT_EQ(answer["byref"]["14"], "C40315");  // the invoice's date

  Link again(server_, path_);
  EXPECT_EQ(again.Invoke("CobroFacturaCriterioCaja", "cobro-1", args), answer);
  EXPECT_EQ(again.c.Get(again.e, "Número"), posted);
  EXPECT_EQ(again.c.Get(again.e, "TotalPendiente", {"4300001", "F-1", "15/03/24"}), 61);
  EXPECT_EQ(again.Lines()["Cobro Factura F-1"], 2);
  // Another amount under the same key is another collection.
  json other = args;
  other[2] = 61;
  EXPECT_EQ(ErrorOf([&] { again.Invoke("CobroFacturaCriterioCaja", "cobro-1", other); }).number(),
            kKeyReused);
}

TEST_F(IdempotencyTest, TheKeyOutlivesTheServer) {
  json answer;
  {
    ServerProcess first(SharingData(server_.data_dir()));
    Link link(first, path_);
    link.Entry("F-1", 10);
    answer = link.Post("restart");
  }
  ServerProcess second(SharingData(server_.data_dir()));
  Link link(second, path_);
  link.Entry("F-1", 10);
  EXPECT_EQ(link.Post("restart"), answer);
  EXPECT_EQ(link.Lines(), (std::map<std::string, int>{{"F-1", 2}}));
}

TEST_F(IdempotencyTest, TwoServerProcessesOnOneCompanyPostAKeyOnce) {
  ServerProcess other(SharingData(server_.data_dir()));
  Link a(server_, path_);
  Link b(other, path_);
  a.Entry("F-1", 10);
  const json answer = a.Post("one");
  b.Entry("F-1", 10);
  EXPECT_EQ(b.Post("one"), answer);

  // Both send the same key at once: one posts, the other waits for the
  // company and then finds the key.
  for (int round = 0; round < 5; ++round) {
    const std::string key = "both-" + std::to_string(round);
    a.Entry("G-" + std::to_string(round), 5);
    b.Entry("G-" + std::to_string(round), 5);
    for (Link* link : {&a, &b}) {
      json request = {
          {"jsonrpc", "2.0"},
          {"id", 1000 + round},
          {"method", "invoke"},
          {"params", {{"object", link->e}, {"member", "GrabarAsiento"}, {"idempotency_key", key}}}};
      link->c.SendRaw(request.dump() + "\n");
    }
    json from_a = a.c.ReadMessage(20000), from_b = b.c.ReadMessage(20000);
    ASSERT_TRUE(from_a.contains("result")) << from_a.dump();
    EXPECT_EQ(from_a["result"], from_b["result"]);
  }
  std::map<std::string, int> expected = {{"F-1", 2}};
  for (int round = 0; round < 5; ++round) expected["G-" + std::to_string(round)] = 2;
  EXPECT_EQ(a.Lines(), expected);
  EXPECT_EQ(b.Pending(), 0);
}

// The server is killed at a random moment of a run of keyed postings; a new
// server is started, and the client sends again every posting it had no
// answer for, with its key: every entry is there exactly once.
TEST_F(IdempotencyTest, AKilledServerLosesNoEntryAndPostsNoneTwice) {
  constexpr int kEntries = 40;
  int answered_total = 0;
  for (int delay_ms : {15, 60, 140}) {
    const std::string prefix = "D" + std::to_string(delay_ms) + "-";
    std::vector<bool> answered(kEntries, false);
    {
      ServerOptions options = SharingData(server_.data_dir());
      options.expected_exit_status = 128 + SIGKILL;
      ServerProcess doomed(options);
      Link link(doomed, path_);
      std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        doomed.Stop(SIGKILL);
      });
      try {
        for (int i = 0; i < kEntries; ++i) {
          link.Entry(prefix + std::to_string(i), i + 1);
          link.Post(prefix + std::to_string(i));
          answered[i] = true;
        }
      } catch (const qrole::ConnectionError&) {
      }
      killer.join();
    }
    ServerProcess next(SharingData(server_.data_dir()));
    Link link(next, path_);
    for (int i = 0; i < kEntries; ++i) {
      if (answered[i]) {
        ++answered_total;
        continue;
      }
      link.Entry(prefix + std::to_string(i), i + 1);
      link.Post(prefix + std::to_string(i));
    }
    std::map<std::string, int> lines = link.Lines();
    for (int i = 0; i < kEntries; ++i)
      EXPECT_EQ(lines[prefix + std::to_string(i)], 2) << prefix << i;
  }
  // The kills came in the middle of the runs, not after them.
  EXPECT_LT(answered_total, 3 * kEntries);
}

}  // namespace
}  // namespace qrole::testing
