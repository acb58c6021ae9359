// Creating objects and calling their members through qrole-server's socket.

#include <gtest/gtest.h>

#include <set>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;
using Kind = qrole::Client::Kind;

class InvokeTest : public ::testing::Test {
 protected:
  ServerProcess server_;
  qrole::Client client_ = server_.Connect();
};

TEST_F(InvokeTest, CreatesEveryPublicClass) {
  const char* classes[] = {"Enlace",        "StrBuilder",       "Collection",     "ApunteClass",
                           "IVAClass",      "CarteraClass",     "AnaliticaClass", "RetClass",
                           "ExtractoClass", "PlanClass",        "DebeClass",      "HaberClass",
                           "DatosClass",    "DatosGlobalClass", "InmoClass",      "TipoIvaClass",
                           "FechaAsto"};
  std::set<int64_t> handles;
  for (const char* cls : classes) {
    json ref = client_.Request("create", {{"class", cls}});
    EXPECT_EQ(ref["class"], cls);
    EXPECT_TRUE(handles.insert(HandleOf(ref)).second) << "handle reused for " << cls;
  }
}

TEST_F(InvokeTest, CreatesByProgIdIgnoringCase) {
  EXPECT_EQ(client_.Request("create", {{"class", "QROLE75.Enlace"}})["class"], "Enlace");
  EXPECT_EQ(client_.Request("create", {{"class", "qrole75.enlace"}})["class"], "Enlace");
  EXPECT_EQ(client_.Request("create", {{"class", "strbuilder"}})["class"], "StrBuilder");
  RemoteError e = ErrorOf([&] { client_.Create("QROLE75.Nada"); });
  EXPECT_EQ(e.number(), 429);
  EXPECT_TRUE(e.is_automation_error());
}

TEST_F(InvokeTest, PropertiesOfTheObject) {
  int64_t e = client_.Create("QROLE75.Enlace");
  EXPECT_EQ(client_.Get(e, "Canal"), "000");
  client_.Let(e, "Canal", "7x");
  EXPECT_EQ(client_.Get(e, "Canal"), "007");
  client_.Let(e, "Canal", 12);
  EXPECT_EQ(client_.Get(e, "Canal"), "012");
  EXPECT_EQ(client_.Get(e, "Usuario"), "98");
  client_.Let(e, "Usuario", "5");
  EXPECT_EQ(client_.Get(e, "Usuario"), "05");
  EXPECT_EQ(client_.Call(e, "Version"), "7.5.1");
  // Objects are separate: a second Enlace has its own channel.
  int64_t other = client_.Create("Enlace");
  EXPECT_EQ(client_.Get(other, "Canal"), "000");
  EXPECT_EQ(client_.Get(e, "Canal"), "012");
}

TEST_F(InvokeTest, MemberNamesIgnoreCaseButNotAccents) {
  int64_t e = client_.Create("Enlace");
  client_.Let(e, "CANAL", "3");
  EXPECT_EQ(client_.Get(e, "canal"), "003");
  // The accented name is found (its body is not built yet), the unaccented one is not.
  EXPECT_EQ(ErrorOf([&] { client_.Call(e, "añadirapunte"); }).number(), 449);
  EXPECT_EQ(ErrorOf([&] { client_.Call(e, "anadirapunte"); }).number(), 438);
}

TEST_F(InvokeTest, RecordFields) {
  int64_t a = client_.Create("ApunteClass");
  EXPECT_EQ(client_.Get(a, "Importe"), 0);
  client_.Let(a, "Importe", 12.5);
  EXPECT_EQ(client_.Get(a, "Importe"), 12.5);
  client_.Let(a, "Importe", "3");  // converted to the field's type
  json importe = client_.Get(a, "importe");
  EXPECT_TRUE(importe.is_number_float()) << importe;
  EXPECT_EQ(importe, 3.0);
  client_.Let(a, "TIPO", "7");
  EXPECT_EQ(client_.Get(a, "TIPO"), 7);
  client_.Let(a, "Descripción", "Añadir € ñ");
  EXPECT_EQ(client_.Get(a, "descripción"), "Añadir € ñ");
  EXPECT_EQ(ErrorOf([&] { client_.Let(a, "Importe", "abc"); }).number(), 13);
  EXPECT_EQ(ErrorOf([&] { client_.Let(a, "TIPO", 300); }).number(), 6);
  EXPECT_EQ(client_.Get(a, "TIPO"), 7);  // unchanged by the failed assignment
}

TEST_F(InvokeTest, ByReferenceArgumentsComeBackConverted) {
  int64_t e = client_.Create("Enlace");
  json r = client_.Invoke(e, "MASTER", Kind::kMethod, {"5", "", "otra"});
  EXPECT_TRUE(r["value"].is_null());
  EXPECT_EQ(r["byref"], json({{"0", 5}, {"1", ""}, {"2", "otra"}}));
  EXPECT_FALSE(r.contains("messages"));
  // An optional parameter left out is not reported; one passed is.
  // Text to number follows the Spanish conventions: "7,6" rounds to 8.
  r = client_.Invoke(e, "MASTER", Kind::kMethod, {"7,6", "", "otra", Missing()});
  EXPECT_EQ(r["byref"], json({{"0", 8}, {"1", ""}, {"2", "otra"}}));
  r = client_.Invoke(e, "MASTER", Kind::kMethod, {"1", 2, "otra", 4});
  EXPECT_EQ(r["byref"]["1"], "2");
  EXPECT_EQ(r["byref"]["3"], "4");
  // A property get has no by-reference parameters.
  EXPECT_EQ(client_.Invoke(e, "Canal", Kind::kGet)["byref"], json::object());
}

TEST_F(InvokeTest, MessageBoxesComeWithTheAnswer) {
  int64_t e = client_.Create("Enlace");
  json r = client_.Invoke(e, "MASTER", Kind::kMethod, {5, "", "QV7501"});
  ASSERT_TRUE(r.contains("messages")) << r;
  EXPECT_EQ(
      r["messages"],
      json::array({{{"text", "FUNCIÓN 5"}, {"title", ""}, {"icon", "none"}, {"buttons", "ok"}}}));
  EXPECT_TRUE(server_.WaitForLog("FUNCIÓN 5")) << "the box is logged too";
  // The next call shows none.
  EXPECT_FALSE(client_.Invoke(e, "Version")["value"].is_null());
  EXPECT_FALSE(client_.Invoke(e, "Version").contains("messages"));
}

TEST_F(InvokeTest, NamedArguments) {
  int64_t e = client_.Create("Enlace");
  json r = client_.Invoke(e, "MASTER", Kind::kMethod, {"6"},
                          {{"clave_master", "QV7501"}, {"Parametros", "p"}});
  EXPECT_EQ(r["messages"][0]["text"], "FUNCIÓN 6");
  // By-reference results of named arguments are keyed by the name as sent.
  EXPECT_EQ(r["byref"], json({{"0", 6}, {"Parametros", "p"}, {"clave_master", "QV7501"}}));
  r = client_.Invoke(e, "MASTER", Kind::kMethod, json::array(),
                     {{"NUMFUNCION", 9}, {"Parametros", ""}, {"CLAVE_MASTER", "QV7501"}});
  EXPECT_EQ(r["messages"][0]["text"], "FUNCIÓN 9");
  RemoteError bad = ErrorOf([&] {
    client_.Invoke(e, "MASTER", Kind::kMethod, {"1", "", "x"}, {{"Nada", 1}});
  });
  EXPECT_EQ(bad.number(), 448);
}

TEST_F(InvokeTest, MissingArguments) {
  int64_t e = client_.Create("Enlace");
  // A short list and an explicit {"$missing": true} both leave a parameter out.
  RemoteError short_list = ErrorOf([&] { client_.Call(e, "MASTER", {"5"}); });
  EXPECT_EQ(short_list.number(), 449);
  EXPECT_EQ(short_list.description(), "Argument not optional");
  RemoteError marked = ErrorOf([&] { client_.Call(e, "MASTER", {"5", Missing(), "x"}); });
  EXPECT_EQ(marked.number(), 449);
  // Leaving out an optional one is fine.
  EXPECT_NO_THROW(client_.Call(e, "MASTER", {"5", "", "x", Missing()}));
  // A missing argument given by name fills nothing either.
  RemoteError named = ErrorOf([&] {
    client_.Invoke(e, "MASTER", Kind::kMethod, {"5", ""}, {{"CLAVE_MASTER", Missing()}});
  });
  EXPECT_EQ(named.number(), 449);
}

TEST_F(InvokeTest, ErrorsOfTheRuntimeHaveTheirShape) {
  int64_t e = client_.Create("Enlace");
  json answer =
      client_.RequestRaw("invoke", {{"object", e}, {"member", "NoSuchThing"}, {"kind", "method"}});
  ASSERT_TRUE(answer.contains("error")) << answer;
  const std::string text = "Object doesn't support this property or method";
  EXPECT_EQ(answer["error"], json({{"code", 438},
                                   {"message", text},
                                   {"data",
                                    {{"number", 438},
                                     {"source", "QROLE75"},
                                     {"description", text},
                                     {"messages", json::array()}}}}));

  EXPECT_EQ(ErrorOf([&] { client_.Get(e, "Usuario", {1}); }).number(), 450);
  EXPECT_EQ(ErrorOf([&] { client_.Let(e, "Version", "x"); }).number(), 450);
  RemoteError overflow = ErrorOf([&] { client_.Let(e, "Canal", "40000"); });
  EXPECT_EQ(overflow.number(), 6);
  EXPECT_EQ(overflow.code(), 6);
  EXPECT_EQ(overflow.description(), "Overflow");
  EXPECT_EQ(client_.Get(e, "Canal"), "000");  // left as it was
}

TEST_F(InvokeTest, RefusalsCarryTheServersNumberSourceAndDescription) {
  int64_t e = client_.Create("Enlace");
  // The folders of the web link, asked outside web mode.
  RemoteError err = ErrorOf([&] { client_.Call(e, "LeerCarpetas"); });
  EXPECT_EQ(err.number(), static_cast<int32_t>(0x8004C35F));
  EXPECT_EQ(err.code(), static_cast<int32_t>(0x8004C35F));
  EXPECT_EQ(err.source(), "Valdrix OLE Server");
  EXPECT_EQ(err.description().rfind("Esta opción solo está disponible con enlace a ", 0), 0u)
      << err.description();
  // The connection and the object go on.
  EXPECT_EQ(client_.Call(e, "Version"), "7.5.1");
}

TEST_F(InvokeTest, StrBuilder) {
  int64_t sb = client_.Create("StrBuilder");
  client_.Call(sb, "Append", {"abc"});
  client_.Call(sb, "PrePend", {"ñ"});
  EXPECT_EQ(client_.Call(sb, "ToString"), "ñabc");
  EXPECT_EQ(client_.Call(sb, "Found", {"ab"}), true);
  EXPECT_EQ(client_.Call(sb, "Found", {"zz"}), false);
  client_.Call(sb, "Clear");
  EXPECT_EQ(client_.Call(sb, "ToString"), "");
}

TEST_F(InvokeTest, Collection) {
  int64_t c = client_.Create("Collection");
  int64_t rec = client_.Create("ApunteClass");
  client_.Call(c, "Add", {"uno"});
  client_.Call(c, "Add", {ObjectArg(rec)});
  EXPECT_EQ(client_.Get(c, "Count"), 2);
  EXPECT_EQ(client_.Call(c, "Item", {1}), "uno");
  json item = client_.Call(c, "Item", {2});
  EXPECT_EQ(item, json({{"$object", rec}, {"class", "ApunteClass"}}));
  client_.Call(c, "Remove", {1});
  EXPECT_EQ(client_.Get(c, "Count"), 1);
  EXPECT_EQ(ErrorOf([&] { client_.Call(c, "Item", {5}); }).number(), 9);
}

TEST_F(InvokeTest, ObjectPropertiesKeepOneHandlePerObject) {
  int64_t e = client_.Create("Enlace");
  json first = client_.Get(e, "Empresas");
  json again = client_.Get(e, "Empresas");
  EXPECT_EQ(first["class"], "Collection");
  EXPECT_EQ(first, again);
  int64_t mine = client_.Create("Collection");
  client_.Set(e, "Empresas", mine);
  EXPECT_EQ(HandleOf(client_.Get(e, "Empresas")), mine);
  client_.Set(e, "Empresas", std::nullopt);
  // The object made a fresh catalogue when it had Nothing.
  EXPECT_EQ(client_.Get(e, "Empresas")["class"], "Collection");
}

TEST_F(InvokeTest, ProcessWideStateIsSharedByConnections) {
  qrole::Client other = server_.Connect();
  int64_t a = client_.Create("Enlace");
  int64_t b = other.Create("Enlace");
  client_.Let(a, "Moneda", "USD");
  EXPECT_EQ(other.Get(b, "Moneda"), "USD");
  other.Let(b, "Canal", 4);
  EXPECT_EQ(client_.Get(a, "Canal"), "000");
}

}  // namespace
}  // namespace qrole::testing
