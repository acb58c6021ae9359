// Which calls keep their answers, and the refusal of keys in web mode. (What
// keeping does is tested through the socket: tests/idempotency_test.cc.)

#include "server/kept_calls.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "qrole/error.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace qrole::server {
namespace {

using typelib::Kind;

const typelib::MemberInfo& Member(const std::string& name, Kind kind = Kind::kMethod) {
  const typelib::MemberInfo* m = typelib::Library::Get().enlace().Find(name, kind);
  if (m == nullptr) throw std::logic_error("no member " + name);
  return *m;
}

// The Python client sends keys with the members of its POSTING_MEMBERS: the
// same members the server keeps answers for.
TEST(KeptCallsTest, TheServerAndThePythonClientAgreeOnTheKeyedMembers) {
  std::ifstream in(std::string(QROLE_SOURCE_DIR) + "/clients/python/qrole/replay.py");
  ASSERT_TRUE(in) << "replay.py not found";
  std::stringstream text;
  text << in.rdbuf();
  const std::string source = text.str();
  const size_t start = source.find("POSTING_MEMBERS = frozenset(");
  ASSERT_NE(start, std::string::npos);
  const std::string list = source.substr(start, source.find("\n)\n", start) - start);
  std::set<std::string> client;
  const std::regex quoted("\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(list.begin(), list.end(), quoted);
       it != std::sregex_iterator(); ++it)
    client.insert((*it)[1]);
  ASSERT_GE(client.size(), 10u);

  std::set<std::string> server;
  for (const typelib::MemberInfo& m : typelib::Library::Get().enlace().members())
    if (KeepsAnswers(m)) server.insert(m.name);
  EXPECT_EQ(client, server);
  EXPECT_FALSE(KeepsAnswers(Member("AñadirApunte")));
  EXPECT_FALSE(KeepsAnswers(Member("CrearCuenta")));
}

TEST(KeptCallsTest, WebModeRefusesAKeyAndACallWithoutACompanyIsNotKept) {
  TestEnv env;
  std::shared_ptr<Enlace> e = Enlace::Create();
  KeptCall unopened(*e, Member("GrabarAsiento"), "k", "");
  EXPECT_FALSE(unopened.active());

  e->state().web_mode = true;
  try {
    KeptCall web(*e, Member("GrabarAsiento"), "k", "");
    ADD_FAILURE() << "a key was taken in web mode";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.number(), ObjectError(50013));
    EXPECT_EQ(error.source(), kServerSource);
    EXPECT_EQ(error.description().find("Esta opción no está disponible con enlace a "), 0u);
    EXPECT_EQ(error.description().substr(error.description().size() - 16), "\nidempotency_key");
  }
  // Members that keep nothing ignore the key, in web mode too.
  KeptCall read(*e, Member("Version"), "k", "");
  EXPECT_FALSE(read.active());
}

}  // namespace
}  // namespace qrole::server
