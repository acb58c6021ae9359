// The protocol of one connection, in process (the socket tests in tests/
// drive the same through qrole-server).

#include "rpc/session.h"

#include <gtest/gtest.h>

#include <new>

#include "platform/env.h"
#include "qrole/error.h"
#include "server/test_env.h"

namespace qrole::rpc {
namespace {

using nlohmann::json;

typelib::MemberInfo Method(const std::string& name) {
  typelib::MemberInfo m;
  m.name = name;
  m.kind = typelib::Kind::kMethod;
  m.type.vt = VarType::kVariant;
  return m;
}

const typelib::ClassInfo& FaultyClass() {
  static const typelib::ClassInfo info(
      "Faulty", "_Faulty",
      {Method("Boom"), Method("NoMemory"), Method("BoxThenFail"), Method("Box"), Method("Self")});
  return info;
}

// An object whose members fail in the ways a member can.
class Faulty : public Object {
 public:
  Faulty() : Object(FaultyClass()) {}
  ~Faulty() override { ++destroyed; }
  Variant Call(const typelib::MemberInfo& member, std::vector<Variant>&) override {
    if (member.name == "Boom") throw std::out_of_range("vector index 9 out of range");
    if (member.name == "NoMemory") throw std::bad_alloc();
    if (member.name == "Self") return Variant::FromObject(shared_from_this());
    platform::CurrentEnv()->Messages().Show("Cuidado", "Aviso", platform::MsgIcon::Warning,
                                            platform::MsgButtons::OkCancel);
    if (member.name == "BoxThenFail") RaiseObjectError(50006, "Empresa No Abierta");
    return Variant::FromLong(1);
  }
  static inline int destroyed = 0;
};

class SessionTest : public ::testing::Test {
 protected:
  // Sends one line; returns the one answer line, parsed (null when none).
  json Send(Session& s, const std::string& line) {
    std::string out;
    s.HandleMessage(line, &out);
    if (out.empty()) return nullptr;
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line per answer";
    return json::parse(out);
  }
  json Call(Session& s, const std::string& method, const json& params, int id = 1) {
    return Send(
        s, json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump());
  }
  int64_t Create(Session& s, const std::string& cls) {
    json a = Call(s, "create", {{"class", cls}});
    return a.at("result").at("$object").get<int64_t>();
  }
  static int Code(const json& answer) { return answer.at("error").at("code").get<int>(); }

  server::TestEnv env_;
  HandleSource handles_;
  Session session_{&handles_, {}};
};

TEST_F(SessionTest, InvalidMessages) {
  json a = Send(session_, "{\"jsonrpc\":\"2.0\",");
  EXPECT_EQ(Code(a), kParseError);
  EXPECT_TRUE(a.at("id").is_null());
  EXPECT_EQ(Code(Send(session_, "42")), kInvalidRequest);
  EXPECT_EQ(Code(Send(session_, R"({"id":1,"method":"create"})")), kInvalidRequest);
  EXPECT_EQ(Code(Send(session_, R"({"jsonrpc":"1.0","id":1,"method":"create"})")), kInvalidRequest);
  EXPECT_EQ(Code(Send(session_, R"({"jsonrpc":"2.0","id":1,"method":7})")), kInvalidRequest);
  EXPECT_EQ(Code(Send(session_, R"({"jsonrpc":"2.0","id":[1],"method":"create"})")),
            kInvalidRequest);
  EXPECT_EQ(Code(Send(session_, R"({"jsonrpc":"2.0","id":1,"method":"create","params":3})")),
            kInvalidRequest);
  json unknown = Send(session_, R"({"jsonrpc":"2.0","id":"x","method":"destroy"})");
  EXPECT_EQ(Code(unknown), kMethodNotFound);
  EXPECT_EQ(unknown.at("id"), "x");
  EXPECT_EQ(Code(Send(session_, "[]")), kInvalidRequest);
}

TEST_F(SessionTest, WrongParameterTypes) {
  int64_t e = Create(session_, "Enlace");
  EXPECT_EQ(Code(Call(session_, "create", json::array({"Enlace"}))), kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "create", {{"class", 5}})), kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "create", json::object())), kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "invoke", {{"object", "1"}, {"member", "Canal"}})), kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "invoke", {{"object", e}})), kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "invoke", {{"object", e}, {"member", "Canal"}, {"kind", "put"}})),
            kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "invoke", {{"object", e}, {"member", "Canal"}, {"args", "x"}})),
            kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "invoke", {{"object", e}, {"member", "Canal"}, {"named", 1}})),
            kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "invoke", {{"object", e}, {"member", "Canal"}, {"extra", 1}})),
            kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "release", {{"object", 1.5}})), kInvalidParams);
  // The session is still fine.
  EXPECT_EQ(Call(session_, "invoke", {{"object", e}, {"member", "Version"}})["result"]["value"],
            "7.5.1");
}

TEST_F(SessionTest, InvalidUtf8IsRefusedByItsId) {
  json a =
      Send(session_,
           "{\"jsonrpc\":\"2.0\",\"id\":4,\"method\":\"create\",\"params\":{\"class\":\"\xE9\"}}");
  EXPECT_EQ(Code(a), kInvalidParams);
  EXPECT_EQ(a.at("id"), 4);
  // As a notification: no answer; broken beyond that: a parse error.
  EXPECT_TRUE(Send(session_, "{\"jsonrpc\":\"2.0\",\"method\":\"x\",\"p\":\"\xE9\"}").is_null());
  EXPECT_EQ(Code(Send(session_, "{\"\xE9")), kParseError);
}

TEST_F(SessionTest, NotificationsAreRunButNotAnswered) {
  int64_t e = Create(session_, "Enlace");
  json let = {{"jsonrpc", "2.0"},
              {"method", "invoke"},
              {"params", {{"object", e}, {"member", "Canal"}, {"kind", "let"}, {"args", {12}}}}};
  EXPECT_TRUE(Send(session_, let.dump()).is_null());
  EXPECT_TRUE(Send(session_, R"({"jsonrpc":"2.0","method":"nothing"})").is_null());
  json get = Call(session_, "invoke", {{"object", e}, {"member", "Canal"}, {"kind", "get"}});
  EXPECT_EQ(get["result"]["value"], "012");
}

TEST_F(SessionTest, BatchesAnswerEveryRequestInOrder) {
  int64_t e = Create(session_, "Enlace");
  json batch = json::array();
  batch.push_back(
      {{"jsonrpc", "2.0"},
       {"id", 1},
       {"method", "invoke"},
       {"params", {{"object", e}, {"member", "Canal"}, {"kind", "let"}, {"args", {3}}}}});
  batch.push_back({{"jsonrpc", "2.0"}, {"method", "nothing"}});
  batch.push_back({{"jsonrpc", "2.0"},
                   {"id", 2},
                   {"method", "invoke"},
                   {"params", {{"object", e}, {"member", "Canal"}, {"kind", "get"}}}});
  batch.push_back(17);
  json a = Send(session_, batch.dump());
  ASSERT_TRUE(a.is_array());
  ASSERT_EQ(a.size(), 3u);
  EXPECT_EQ(a[0]["id"], 1);
  EXPECT_EQ(a[1]["result"]["value"], "003");
  EXPECT_EQ(Code(a[2]), kInvalidRequest);
}

TEST_F(SessionTest, HandlesAreUniqueAcrossSessionsAndPrivate) {
  Session other(&handles_, {});
  int64_t mine = Create(session_, "Enlace");
  int64_t theirs = Create(other, "Enlace");
  EXPECT_NE(mine, theirs);
  json a = Call(session_, "invoke", {{"object", theirs}, {"member", "Version"}});
  EXPECT_EQ(Code(a), kInvalidParams);
  EXPECT_EQ(Code(Call(session_, "release", {{"object", theirs}})), kInvalidParams);
  EXPECT_EQ(Code(Call(other, "invoke",
                      {{"object", theirs},
                       {"member", "Empresas"},
                       {"kind", "set"},
                       {"args", {{{"$object", mine}}}}})),
            kInvalidParams);
  EXPECT_EQ(Call(other, "invoke", {{"object", theirs}, {"member", "Version"}})["result"]["value"],
            "7.5.1");
}

TEST_F(SessionTest, TheSameObjectKeepsItsHandle) {
  int64_t e = Create(session_, "Enlace");
  json first = Call(session_, "invoke", {{"object", e}, {"member", "Empresas"}, {"kind", "get"}});
  json second = Call(session_, "invoke", {{"object", e}, {"member", "Empresas"}, {"kind", "get"}});
  int64_t h = first.at("result").at("value").at("$object").get<int64_t>();
  EXPECT_EQ(second["result"]["value"]["$object"], h);
  EXPECT_EQ(first["result"]["value"]["class"], "Collection");
  EXPECT_NE(h, e);
  EXPECT_EQ(session_.object_count(), 2u);
  // Released, it comes back under a new handle.
  EXPECT_TRUE(Call(session_, "release", {{"object", h}}).at("result").is_null());
  json third = Call(session_, "invoke", {{"object", e}, {"member", "Empresas"}, {"kind", "get"}});
  EXPECT_NE(third["result"]["value"]["$object"], h);
  EXPECT_EQ(Code(Call(session_, "release", {{"object", h}})), kInvalidParams);
}

TEST_F(SessionTest, ReleaseDestroysObjectsNobodyElseHolds) {
  Faulty::destroyed = 0;
  auto f = std::make_shared<Faulty>();
  int64_t h = session_.Adopt(f);
  EXPECT_EQ(session_.Adopt(f), h);
  std::weak_ptr<Faulty> weak = f;
  f.reset();
  EXPECT_FALSE(weak.expired());
  Call(session_, "release", {{"object", h}});
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(Faulty::destroyed, 1);
  session_.Adopt(std::make_shared<Faulty>());
  session_.Adopt(std::make_shared<Faulty>());
  EXPECT_EQ(session_.ReleaseAll(), 2u);
  EXPECT_EQ(Faulty::destroyed, 3);
  EXPECT_EQ(session_.object_count(), 0u);
}

TEST_F(SessionTest, FailuresThatAreNotAutomationErrors) {
  int64_t h = session_.Adopt(std::make_shared<Faulty>());
  json boom = Call(session_, "invoke", {{"object", h}, {"member", "Boom"}});
  EXPECT_EQ(Code(boom), kInternalError);
  EXPECT_EQ(boom["error"]["message"], "vector index 9 out of range");
  EXPECT_EQ(Code(Call(session_, "invoke", {{"object", h}, {"member", "NoMemory"}})),
            kInternalError);
  // The session goes on.
  EXPECT_EQ(Call(session_, "invoke", {{"object", h}, {"member", "Self"}})["result"]["value"],
            json({{"$object", h}, {"class", "Faulty"}}));
}

TEST_F(SessionTest, MessagesGoWithTheAnswerOrTheError) {
  int64_t h = session_.Adopt(std::make_shared<Faulty>());
  json ok = Call(session_, "invoke", {{"object", h}, {"member", "Box"}});
  json expected_box = {
      {"text", "Cuidado"}, {"title", "Aviso"}, {"icon", "warning"}, {"buttons", "okcancel"}};
  EXPECT_EQ(ok["result"]["messages"], json::array({expected_box}));
  json failed = Call(session_, "invoke", {{"object", h}, {"member", "BoxThenFail"}});
  EXPECT_EQ(Code(failed), -2147171498);
  EXPECT_EQ(failed["error"]["message"], "Empresa No Abierta");
  EXPECT_EQ(failed["error"]["data"], json({{"number", -2147171498},
                                           {"source", "Valdrix OLE Server"},
                                           {"description", "Empresa No Abierta"},
                                           {"messages", json::array({expected_box})}}));
  // Boxes do not leak into the next answer.
  json quiet = Call(session_, "invoke", {{"object", h}, {"member", "Self"}});
  EXPECT_FALSE(quiet["result"].contains("messages"));
}

TEST_F(SessionTest, AssignmentWithoutValueIsAnAutomationError) {
  int64_t e = Create(session_, "Enlace");
  json a = Call(session_, "invoke",
                {{"object", e}, {"member", "Canal"}, {"kind", "let"}, {"named", {{"x", 1}}}});
  EXPECT_EQ(Code(a), 450);
  a = Call(session_, "invoke", {{"object", e}, {"member", "Canal"}, {"kind", "let"}});
  EXPECT_EQ(Code(a), 450);
}

TEST_F(SessionTest, UnknownClassIsRefused) {
  json a = Call(session_, "create", {{"class", "Nada"}});
  EXPECT_EQ(Code(a), 429);
  EXPECT_EQ(a["error"]["data"]["number"], 429);
  EXPECT_EQ(session_.object_count(), 0u);
}

class AuthTest : public SessionTest {
 protected:
  Session tcp_{&handles_, {/*requires_auth=*/true, "s3cret"}};
};

TEST_F(AuthTest, CallsBeforeAuthAreRefused) {
  json a = Call(tcp_, "create", {{"class", "Enlace"}});
  EXPECT_EQ(Code(a), kNotAuthenticated);
  EXPECT_EQ(tcp_.object_count(), 0u);
  EXPECT_FALSE(tcp_.should_close());
  EXPECT_EQ(Call(tcp_, "auth", {{"token", "s3cret"}})["result"], true);
  EXPECT_TRUE(Call(tcp_, "create", {{"class", "Enlace"}}).contains("result"));
}

TEST_F(AuthTest, WrongTokenClosesTheConnection) {
  json a = Call(tcp_, "auth", {{"token", "s3cre"}});
  EXPECT_EQ(Code(a), kNotAuthenticated);
  EXPECT_TRUE(tcp_.should_close());
  EXPECT_EQ(Code(Call(tcp_, "auth", {{"token", 5}})), kInvalidParams);
}

TEST_F(AuthTest, NoTokenConfiguredMeansNoTcpCallIsAccepted) {
  Session s(&handles_, {true, ""});
  EXPECT_EQ(Code(Call(s, "auth", {{"token", ""}})), kNotAuthenticated);
  EXPECT_EQ(Code(Call(s, "create", {{"class", "Enlace"}})), kNotAuthenticated);
  // A Unix connection needs no auth; calling it anyway is harmless.
  EXPECT_EQ(Call(session_, "auth", {{"token", "anything"}})["result"], true);
}

}  // namespace
}  // namespace qrole::rpc
