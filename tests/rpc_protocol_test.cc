// The JSON-RPC protocol of qrole-server through its socket: malformed input,
// notifications, ordering, limits, clients that leave early, object handles.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdio>
#include <thread>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;

// Bounds every read in these tests, so a server that wrongly stays silent
// fails the test instead of hanging it.
constexpr int kAnswerTimeoutMs = 10000;

class ProtocolTest : public ::testing::Test {
 protected:
  // Sends `line` (a '\n' is added) and returns the answer.
  json Exchange(qrole::Client& c, const std::string& line) {
    c.SendRaw(line + "\n");
    return c.ReadMessage(kAnswerTimeoutMs);
  }
  static int Code(const json& answer) {
    EXPECT_TRUE(answer.contains("error")) << answer;
    return answer.value("/error/code"_json_pointer, 0);
  }
  static std::string Request(int id, const std::string& method, const json& params) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump();
  }

  ServerProcess server_;
  qrole::Client client_ = server_.Connect();
};

TEST_F(ProtocolTest, MalformedMessagesAreAnsweredAndServingGoesOn) {
  json a = Exchange(client_, "{\"jsonrpc\": \"2.0\", \"id\": 1, \"method\": ");
  EXPECT_EQ(Code(a), kParseError);
  EXPECT_TRUE(a["id"].is_null());
  EXPECT_EQ(a["jsonrpc"], "2.0");
  EXPECT_EQ(Code(Exchange(client_, "nonsense")), kParseError);
  EXPECT_EQ(Code(Exchange(client_, "\"just a string\"")), kInvalidRequest);
  EXPECT_EQ(Code(Exchange(client_, "[]")), kInvalidRequest);
  EXPECT_EQ(Code(Exchange(client_, R"({"id":1,"method":"create"})")), kInvalidRequest);
  EXPECT_EQ(Code(Exchange(client_, R"({"jsonrpc":"2.0","id":2})")), kInvalidRequest);
  EXPECT_EQ(Code(Exchange(client_, R"({"jsonrpc":"2.0","id":{},"method":"create"})")),
            kInvalidRequest);
  json unknown = Exchange(client_, R"({"jsonrpc":"2.0","id":"q","method":"frobnicate"})");
  EXPECT_EQ(Code(unknown), kMethodNotFound);
  EXPECT_EQ(unknown["id"], "q");
  EXPECT_EQ(client_.Call(client_.Create("Enlace"), "Version"), "7.5.1");
}

TEST_F(ProtocolTest, DeeplyNestedJsonIsRefusedWithoutHarm) {
  const size_t depth = 500000;  // far beyond what a recursive reader survives
  std::string nested = std::string(depth, '[') + std::string(depth, ']');
  json a = Exchange(client_, nested);
  ASSERT_TRUE(a.is_array()) << "a batch of one invalid request";
  EXPECT_EQ(Code(a[0]), kInvalidRequest);
  json b = Exchange(
      client_, R"({"jsonrpc":"2.0","id":1,"method":"create","params":{"class":)" + nested + "}}");
  EXPECT_EQ(Code(b), kInvalidParams);
  std::string deep_value;
  for (int i = 0; i < 100000; ++i) deep_value += R"({"$array":[)";
  deep_value += "1";
  for (int i = 0; i < 100000; ++i) deep_value += "]}";
  int64_t c = client_.Create("Collection");
  json v =
      Exchange(client_, R"({"jsonrpc":"2.0","id":2,"method":"invoke","params":{"object":)" +
                            std::to_string(c) + R"(,"member":"Add","args":[)" + deep_value + "]}}");
  EXPECT_EQ(Code(v), kInvalidParams);
  EXPECT_EQ(client_.Get(c, "Count"), 0);
}

TEST_F(ProtocolTest, WrongParameterTypesAreInvalidParams) {
  int64_t e = client_.Create("Enlace");
  EXPECT_EQ(Code(Exchange(client_, Request(1, "create", {{"class", 1}}))), kInvalidParams);
  EXPECT_EQ(Code(Exchange(client_, Request(2, "create", json::array({"Enlace"})))), kInvalidParams);
  EXPECT_EQ(Code(Exchange(client_, Request(3, "invoke", {{"object", "x"}, {"member", "A"}}))),
            kInvalidParams);
  EXPECT_EQ(Code(Exchange(client_, Request(4, "invoke", {{"object", e}, {"member", 5}}))),
            kInvalidParams);
  EXPECT_EQ(Code(Exchange(client_,
                          Request(5, "invoke", {{"object", e}, {"member", "Canal"}, {"kind", 1}}))),
            kInvalidParams);
  EXPECT_EQ(Code(Exchange(client_, Request(6, "invoke",
                                           {{"object", e}, {"member", "Canal"}, {"args", "x"}}))),
            kInvalidParams);
  EXPECT_EQ(Code(Exchange(client_, Request(7, "release", {{"object", nullptr}}))), kInvalidParams);
  json answer = Exchange(client_, Request(8, "invoke", {{"object", e}, {"member", "Version"}}));
  EXPECT_EQ(answer["result"]["value"], "7.5.1");
}

TEST_F(ProtocolTest, TextThatIsNotUtf8IsRefused) {
  int64_t e = client_.Create("Enlace");
  std::string line = R"({"jsonrpc":"2.0","id":31,"method":"invoke","params":{"object":)" +
                     std::to_string(e) + R"(,"member":"Canal","kind":"let","args":["caf)" + "\xE9" +
                     R"("]}})";
  json a = Exchange(client_, line);
  EXPECT_EQ(Code(a), kInvalidParams);
  EXPECT_EQ(a["id"], 31);
  EXPECT_EQ(client_.Get(e, "Canal"), "000");  // not run
}

TEST_F(ProtocolTest, NotificationsRunWithoutAnswer) {
  int64_t e = client_.Create("Enlace");
  client_.SendRaw(
      json{{"jsonrpc", "2.0"},
           {"method", "invoke"},
           {"params", {{"object", e}, {"member", "Canal"}, {"kind", "let"}, {"args", {9}}}}}
          .dump() +
      "\n");
  client_.SendRaw(R"({"jsonrpc":"2.0","method":"frobnicate"})"
                  "\n");
  // The first answer to arrive is the one to this request.
  json a = Exchange(client_,
                    Request(77, "invoke", {{"object", e}, {"member", "Canal"}, {"kind", "get"}}));
  EXPECT_EQ(a["id"], 77);
  EXPECT_EQ(a["result"]["value"], "009");
}

TEST_F(ProtocolTest, PipelinedRequestsAreAnsweredInOrder) {
  int64_t e = client_.Create("Enlace");
  std::string batch;
  for (int i = 0; i < 500; ++i) {
    batch +=
        Request(i, "invoke", {{"object", e}, {"member", "Canal"}, {"kind", "let"}, {"args", {i}}}) +
        "\n";
    batch += Request(100000 + i, "invoke", {{"object", e}, {"member", "Canal"}, {"kind", "get"}}) +
             "\r\n";                      // CR LF line ends are accepted
    if (i % 100 == 0) batch += "\n  \n";  // blank lines are skipped
  }
  client_.SendRaw(batch);
  for (int i = 0; i < 500; ++i) {
    json let = client_.ReadMessage(kAnswerTimeoutMs);
    ASSERT_EQ(let["id"], i);
    json get = client_.ReadMessage(kAnswerTimeoutMs);
    ASSERT_EQ(get["id"], 100000 + i);
    char expected[8];
    std::snprintf(expected, sizeof expected, "%03d", i);
    ASSERT_EQ(get["result"]["value"], expected);
  }
}

TEST_F(ProtocolTest, JsonRpcBatches) {
  int64_t e = client_.Create("Enlace");
  json batch = json::array({
      json::parse(Request(1, "invoke", {{"object", e}, {"member", "Usuario"}, {"kind", "get"}})),
      json{{"jsonrpc", "2.0"}, {"method", "frobnicate"}},
      json::parse(Request(2, "nothing", json::object())),
  });
  json a = Exchange(client_, batch.dump());
  ASSERT_TRUE(a.is_array()) << a;
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0]["result"]["value"], "98");
  EXPECT_EQ(Code(a[1]), kMethodNotFound);
}

TEST_F(ProtocolTest, AClientThatDoesNotReadDoesNotStallOthers) {
  int64_t e = client_.Create("Enlace");
  const int kCount = 20000;
  std::string flood;
  for (int i = 0; i < kCount; ++i)
    flood += Request(i, "invoke", {{"object", e}, {"member", "Version"}}) + "\n";
  // Written by another thread: the server stops reading while its answers pile up.
  std::thread writer([&] { client_.SendRaw(flood); });
  qrole::Client other = server_.Connect();
  EXPECT_EQ(other.Call(other.Create("Enlace"), "Version"), "7.5.1");
  for (int i = 0; i < kCount; ++i) {
    json a = client_.ReadMessage(kAnswerTimeoutMs);
    if (a["id"] != i) {
      ADD_FAILURE() << "answer " << i << " out of order: " << a;
      break;
    }
  }
  writer.join();
}

TEST(LineLimit, TooLongLineIsAnsweredThenClosed) {
  ServerOptions options;
  options.args = {"--max-message-bytes", "65536"};
  ServerProcess server(options);
  qrole::Client c = server.Connect();
  int64_t e = c.Create("Enlace");
  // A complete line within the limit is fine.
  std::string padded = json{{"jsonrpc", "2.0"},
                            {"id", 1},
                            {"method", "invoke"},
                            {"params", {{"object", e}, {"member", "Version"}}}}
                           .dump();
  padded.insert(padded.size() - 1, std::string(60000, ' '));
  c.SendRaw(padded + "\n");
  EXPECT_EQ(c.ReadMessage(kAnswerTimeoutMs)["result"]["value"], "7.5.1");
  // One over it, with or without its line end, is not.
  try {
    c.SendRaw(std::string(200000, 'x'));
  } catch (const qrole::ConnectionError&) {
    // The server may close before reading it all.
  }
  json a = c.ReadMessage(kAnswerTimeoutMs);
  EXPECT_EQ(a["error"]["code"], kInvalidRequest);
  EXPECT_TRUE(a["id"].is_null());
  EXPECT_FALSE(c.ReadLine(kAnswerTimeoutMs)) << "the connection should be closed";
  EXPECT_TRUE(server.WaitForLog("released 1 object"));
  // Others are still served.
  qrole::Client other = server.Connect();
  EXPECT_EQ(other.Call(other.Create("Enlace"), "Version"), "7.5.1");
}

TEST(LineLimit, DefaultLimitIs64MiB) {
  ServerProcess server;
  qrole::Client c = server.Connect();
  std::string huge(64u * 1024 * 1024 + 1, 'x');
  try {
    c.SendRaw(huge);
  } catch (const qrole::ConnectionError&) {
  }
  json a = c.ReadMessage(30000);
  EXPECT_EQ(a["error"]["code"], kInvalidRequest);
  EXPECT_FALSE(c.ReadLine(kAnswerTimeoutMs));
  qrole::Client other = server.Connect();
  EXPECT_EQ(other.Call(other.Create("Enlace"), "Version"), "7.5.1");
}

TEST_F(ProtocolTest, ClientLeavingMidLine) {
  {
    qrole::Client leaving = server_.Connect();
    leaving.Create("Enlace");
    leaving.SendRaw(R"({"jsonrpc":"2.0","id":5,"method":"cre)");
  }
  EXPECT_TRUE(server_.WaitForLog("in the middle of a message"));
  EXPECT_TRUE(server_.WaitForLog("released 1 object"));
  EXPECT_EQ(client_.Call(client_.Create("Enlace"), "Version"), "7.5.1");
}

TEST_F(ProtocolTest, ClientLeavingBeforeItsAnswers) {
  {
    qrole::Client leaving = server_.Connect();
    leaving.Create("Enlace");
    int64_t sb = leaving.Create("StrBuilder");
    std::string text(4 * 1024 * 1024, 'a');
    std::string calls =
        Request(1, "invoke", {{"object", sb}, {"member", "Append"}, {"args", {text}}}) + "\n";
    for (int i = 0; i < 2000; ++i)
      calls += Request(2 + i, "invoke", {{"object", sb}, {"member", "ToString"}}) + "\n";
    std::thread writer([&] {
      try {
        leaving.SendRaw(calls);
      } catch (const qrole::ConnectionError&) {
      }
    });
    // Leave once the server is busy with the calls and its answers pile up
    // unread.
    EXPECT_TRUE(leaving.ReadLine(kAnswerTimeoutMs));
    ::shutdown(leaving.fd(), SHUT_RDWR);
    writer.join();
  }
  EXPECT_TRUE(server_.WaitForLog("released 2 objects", std::chrono::seconds(60)));
  EXPECT_EQ(client_.Call(client_.Create("Enlace"), "Version"), "7.5.1");
}

TEST_F(ProtocolTest, HandlesOfAnotherConnectionAreRefused) {
  qrole::Client other = server_.Connect();
  int64_t mine = client_.Create("Enlace");
  int64_t theirs = other.Create("Collection");
  EXPECT_NE(mine, theirs);
  EXPECT_EQ(ErrorOf([&] { other.Call(mine, "Version"); }).code(), kInvalidParams);
  EXPECT_EQ(ErrorOf([&] { other.Release(mine); }).code(), kInvalidParams);
  EXPECT_EQ(ErrorOf([&] { client_.Set(mine, "Empresas", theirs); }).code(), kInvalidParams);
  EXPECT_EQ(ErrorOf([&] { client_.Call(987654, "Version"); }).code(), kInvalidParams);
  // Both still hold their own.
  EXPECT_EQ(client_.Call(mine, "Version"), "7.5.1");
  EXPECT_EQ(other.Get(theirs, "Count"), 0);
}

TEST_F(ProtocolTest, ReleaseDropsTheConnectionsReference) {
  int64_t e = client_.Create("Enlace");
  int64_t c = client_.Create("Collection");
  client_.Call(c, "Add", {"kept"});
  client_.Set(e, "Empresas", c);
  client_.Release(c);
  EXPECT_EQ(ErrorOf([&] { client_.Get(c, "Count"); }).code(), kInvalidParams);
  EXPECT_EQ(ErrorOf([&] { client_.Release(c); }).code(), kInvalidParams);
  // The object itself lives on where it is still held, under a new handle.
  json again = client_.Get(e, "Empresas");
  EXPECT_NE(HandleOf(again), c);
  EXPECT_EQ(client_.Call(HandleOf(again), "Item", {1}), "kept");
}

TEST_F(ProtocolTest, ObjectsAreReleasedWhenTheConnectionCloses) {
  {
    qrole::Client leaving = server_.Connect();
    leaving.Create("Enlace");
    leaving.Create("StrBuilder");
    int64_t c = leaving.Create("Collection");
    leaving.Release(c);
    leaving.Create("ApunteClass");
  }
  EXPECT_TRUE(server_.WaitForLog("released 3 objects"));
}

TEST_F(ProtocolTest, TwoClientsAtOnce) {
  constexpr int kRounds = 1500;
  auto work = [&](int salt, std::string* failure) {
    try {
      qrole::Client c = server_.Connect();
      int64_t e = c.Create("Enlace");
      for (int i = 0; i < kRounds; ++i) {
        int value = (i * 7 + salt) % 1000;
        c.Let(e, "Canal", value);
        char expected[8];
        std::snprintf(expected, sizeof expected, "%03d", value);
        if (c.Get(e, "Canal") != expected) {
          *failure = "round " + std::to_string(i) + " read another client's value";
          return;
        }
      }
    } catch (const std::exception& ex) {
      *failure = ex.what();
    }
  };
  std::string failure_a, failure_b;
  std::thread a(work, 1, &failure_a);
  std::thread b(work, 500, &failure_b);
  a.join();
  b.join();
  EXPECT_EQ(failure_a, "");
  EXPECT_EQ(failure_b, "");
}

}  // namespace
}  // namespace qrole::testing
