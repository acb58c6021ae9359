// Values through the socket: every JSON form of the socket contract goes in
// and comes back out of a Collection (whose items are kept as given) or a
// record field (converted to the field's type).

#include <gtest/gtest.h>

#include "qrole/client.h"
#include "support/remote_error.h"
#include "support/server_process.h"

namespace qrole::testing {
namespace {

using nlohmann::json;

class ValuesTest : public ::testing::Test {
 protected:
  // `value` stored in a new Collection and read back.
  json RoundTrip(const json& value) {
    int64_t c = client_.Create("Collection");
    client_.Call(c, "Add", json::array({value}));
    json back = client_.Call(c, "Item", {1});
    client_.Release(c);
    return back;
  }
  int InvalidParamsCode(const json& value) {
    int64_t c = client_.Create("Collection");
    return static_cast<int>(ErrorOf([&] { client_.Call(c, "Add", json::array({value})); }).code());
  }

  ServerProcess server_;
  qrole::Client client_ = server_.Connect();
};

TEST_F(ValuesTest, Scalars) {
  EXPECT_EQ(RoundTrip("texto ñ €"), "texto ñ €");
  EXPECT_EQ(RoundTrip(""), "");
  EXPECT_EQ(RoundTrip(true), true);
  EXPECT_EQ(RoundTrip(false), false);
  EXPECT_TRUE(RoundTrip(nullptr).is_null());
  EXPECT_EQ(RoundTrip(NullValue()), NullValue());
  EXPECT_EQ(RoundTrip(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST_F(ValuesTest, NumbersKeepIntegerOrFraction) {
  json small = RoundTrip(42);
  EXPECT_TRUE(small.is_number_integer());
  EXPECT_EQ(small, 42);
  EXPECT_EQ(RoundTrip(-2147483648LL), -2147483648LL);
  // Beyond 32 bits a number arrives as Double and goes back with a fraction.
  json big = RoundTrip(4294967296LL);
  EXPECT_TRUE(big.is_number_float()) << big;
  EXPECT_EQ(big, 4294967296.0);
  json whole_double = RoundTrip(5.0);
  EXPECT_TRUE(whole_double.is_number_float());
  EXPECT_EQ(RoundTrip(0.1), 0.1);
  EXPECT_EQ(RoundTrip(-1e300), -1e300);
}

TEST_F(ValuesTest, SingleComesBackAsItsShortestDecimal) {
  int64_t iva = client_.Create("IVAClass");
  client_.Let(iva, "PorcRetencion", 0.1);
  json answer =
      client_.RequestRaw("invoke", {{"object", iva}, {"member", "PorcRetencion"}, {"kind", "get"}});
  EXPECT_EQ(answer["result"]["value"], 0.1);  // not 0.10000000149011612
  client_.Let(iva, "PorcRetencion", 15);
  EXPECT_EQ(client_.Get(iva, "PorcRetencion"), 15.0);
  client_.Let(iva, "PorcRetencion", "19");
  EXPECT_EQ(client_.Get(iva, "PorcRetencion"), 19.0);
}

TEST_F(ValuesTest, SingleTextOnTheWire) {
  int64_t iva = client_.Create("IVAClass");
  client_.Let(iva, "PorcRetencion", 0.7);
  client_.SendRaw(R"({"jsonrpc":"2.0","id":"w","method":"invoke","params":{"object":)" +
                  std::to_string(iva) + R"(,"member":"PorcRetencion","kind":"get"}})" + "\n");
  std::optional<std::string> line = client_.ReadLine();
  ASSERT_TRUE(line);
  EXPECT_NE(line->find(R"("value":0.7)"), std::string::npos) << *line;
}

TEST_F(ValuesTest, Arrays) {
  json one = {{"$array", {1, "dos", 3.5, nullptr}}, {"lbound", {0}}};
  EXPECT_EQ(RoundTrip(one), one);
  json two = {{"$array", {{1, 2, 3}, {4, 5, 6}}}, {"lbound", {1, -2}}};
  EXPECT_EQ(RoundTrip(two), two);
  json three = {{"$array", {{{1}, {2}}, {{3}, {4}}}}, {"lbound", {0, 0, 5}}};
  EXPECT_EQ(RoundTrip(three), three);
  json inner = {{"$array", {"x"}}, {"lbound", {0}}};
  json nested = {{"$array", {inner, NullValue()}}, {"lbound", {0}}};
  EXPECT_EQ(RoundTrip(nested), nested);
  json empty = {{"$array", json::array()}, {"lbound", {0}}};
  EXPECT_EQ(RoundTrip(empty), empty);
  // Without lbound every dimension starts at 0.
  EXPECT_EQ(RoundTrip({{"$array", {{1, 2}, {3, 4}}}}),
            json({{"$array", {{1, 2}, {3, 4}}}, {"lbound", {0, 0}}}));
}

TEST_F(ValuesTest, ArraysFromTheServer) {
  int64_t e = client_.Create("Enlace");
  json table = client_.Call(e, "Util_TextoToArray", {"a\tb"});
  ASSERT_TRUE(table.contains("$array")) << table;
  ASSERT_TRUE(table.contains("lbound")) << table;
  // Nested as deep as it has dimensions, every list of a level equally long.
  size_t dims = table["lbound"].size();
  json level = table["$array"];
  for (size_t d = 0; d + 1 < dims; ++d) {
    ASSERT_TRUE(level.is_array());
    for (const json& row : level) EXPECT_EQ(row.size(), level[0].size());
    level = level[0];
  }
  EXPECT_EQ(RoundTrip(table), table);
}

TEST_F(ValuesTest, Objects) {
  int64_t rec = client_.Create("ApunteClass");
  json back = RoundTrip(ObjectArg(rec));
  EXPECT_EQ(back, json({{"$object", rec}, {"class", "ApunteClass"}}));
  EXPECT_EQ(RoundTrip({{"$object", rec}, {"class", "ApunteClass"}}), back);
  EXPECT_EQ(RoundTrip(NothingArg()), NothingArg());
}

TEST_F(ValuesTest, MalformedValuesAreInvalidParams) {
  constexpr int kInvalidParams = -32602;
  EXPECT_EQ(InvalidParamsCode(json::array({1, 2})), kInvalidParams);
  EXPECT_EQ(InvalidParamsCode(json::object()), kInvalidParams);
  EXPECT_EQ(InvalidParamsCode({{"$null", false}}), kInvalidParams);
  EXPECT_EQ(InvalidParamsCode({{"$array", {{1, 2}, {3}}}, {"lbound", {0, 0}}}), kInvalidParams);
  EXPECT_EQ(InvalidParamsCode({{"$array", {1, 2}}, {"lbound", {0, 0}}}), kInvalidParams);
  // The last element of a dimension must have an index that fits 32 bits.
  EXPECT_EQ(InvalidParamsCode({{"$array", {1, 2}}, {"lbound", {2147483647}}}), kInvalidParams);
  json at_the_top = {{"$array", {1}}, {"lbound", {2147483647}}};
  EXPECT_EQ(RoundTrip(at_the_top), at_the_top);
  EXPECT_EQ(InvalidParamsCode({{"$object", 987654}}), kInvalidParams);
  EXPECT_EQ(InvalidParamsCode({{"$object", "1"}}), kInvalidParams);
}

}  // namespace
}  // namespace qrole::testing
