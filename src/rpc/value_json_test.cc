#include "rpc/value_json.h"

#include <gtest/gtest.h>

#include <map>

#include "automation/collection.h"
#include "rpc/json_writer.h"

namespace qrole::rpc {
namespace {

using nlohmann::json;

// Handles 100, 101, ... in order of first sight.
class FakeRefs : public ObjectRefs {
 public:
  int64_t HandleOf(const std::shared_ptr<Object>& object) override {
    for (const auto& [h, o] : objects_)
      if (o == object) return h;
    int64_t h = 100 + static_cast<int64_t>(objects_.size());
    objects_[h] = object;
    return h;
  }
  std::shared_ptr<Object> ObjectOf(int64_t handle) override {
    auto it = objects_.find(handle);
    if (it == objects_.end()) throw InvalidParams("no handle " + std::to_string(handle));
    return it->second;
  }

 private:
  std::map<int64_t, std::shared_ptr<Object>> objects_;
};

class ValueJsonTest : public ::testing::Test {
 protected:
  std::string Text(const Variant& v) { return ToJsonText(VariantToJson(v, refs_)); }
  Variant Value(const std::string& text) { return JsonToVariant(json::parse(text), refs_); }
  void ExpectRefused(const std::string& text) { EXPECT_THROW(Value(text), InvalidParams) << text; }

  FakeRefs refs_;
};

TEST_F(ValueJsonTest, ScalarsToJson) {
  EXPECT_EQ(Text(Variant()), "null");
  EXPECT_EQ(Text(Variant::Null()), R"({"$null":true})");
  EXPECT_EQ(Text(Variant::Missing()), R"({"$missing":true})");
  EXPECT_EQ(Text(Variant::FromError(5)), R"({"$error":5})");
  EXPECT_EQ(Text(Variant::FromBool(true)), "true");
  EXPECT_EQ(Text(Variant::FromBool(false)), "false");
  EXPECT_EQ(Text(Variant::FromInteger(-32768)), "-32768");
  EXPECT_EQ(Text(Variant::FromLong(2147483647)), "2147483647");
  EXPECT_EQ(Text(Variant::FromByte(255)), "255");
  EXPECT_EQ(Text(Variant::FromDouble(2.5)), "2.5");
  EXPECT_EQ(Text(Variant::FromDouble(3)), "3.0");
  EXPECT_EQ(Text(Variant::FromString("Añadir")), "\"Añadir\"");
  EXPECT_EQ(Text(Variant::FromDate(Date{45000.5})), "45000.5");
}

TEST_F(ValueJsonTest, SingleIsItsShortestDecimal) {
  EXPECT_EQ(Text(Variant::FromSingle(0.1f)), "0.1");
  EXPECT_EQ(Text(Variant::FromSingle(15.5f)), "15.5");
  EXPECT_EQ(Text(Variant::FromSingle(1.0f / 3.0f)), "0.33333334");
  EXPECT_EQ(Text(Variant::FromSingle(3.4028235e38f)), "3.4028235e+38");
  EXPECT_EQ(Text(Variant::FromSingle(1e-45f)), "1e-45");
  // Whatever the Single, the text reads back as the same Single.
  for (float f : {0.7f, 21.0f, 1234.567f, 7.1e-20f, 0.15f}) {
    double back = json::parse(Text(Variant::FromSingle(f))).get<double>();
    EXPECT_EQ(static_cast<float>(back), f);
  }
}

TEST_F(ValueJsonTest, CurrencyIsItsAmount) {
  EXPECT_EQ(Text(Variant::FromCurrency(Currency{123456})), "12.3456");
  EXPECT_EQ(Text(Variant::FromCurrency(Currency{-5000})), "-0.5");
  EXPECT_EQ(Text(Variant::FromCurrency(Currency{10000})), "1.0");
  EXPECT_EQ(Text(Variant::FromCurrency(Currency{999999999999999})), "99999999999.9999");
}

TEST_F(ValueJsonTest, NumbersFromJson) {
  EXPECT_EQ(Value("7"), Variant::FromLong(7));
  EXPECT_EQ(Value("-2147483648"), Variant::FromLong(-2147483647 - 1));
  EXPECT_EQ(Value("2147483647"), Variant::FromLong(2147483647));
  EXPECT_EQ(Value("2147483648"), Variant::FromDouble(2147483648.0));
  EXPECT_EQ(Value("-2147483649"), Variant::FromDouble(-2147483649.0));
  EXPECT_EQ(Value("18446744073709551615"), Variant::FromDouble(18446744073709551615.0));
  EXPECT_EQ(Value("5.0"), Variant::FromDouble(5));
  EXPECT_EQ(Value("1e2"), Variant::FromDouble(100));
  EXPECT_EQ(Value("0.1"), Variant::FromDouble(0.1));
}

TEST_F(ValueJsonTest, OtherScalarsFromJson) {
  EXPECT_EQ(Value("null"), Variant());
  EXPECT_EQ(Value("true"), Variant::FromBool(true));
  EXPECT_EQ(Value("\"x\""), Variant::FromString("x"));
  EXPECT_TRUE(Value(R"({"$null":true})").IsNull());
  EXPECT_TRUE(Value(R"({"$missing":true})").IsMissing());
  EXPECT_EQ(Value(R"({"$error":13})"), Variant::FromError(13));
  EXPECT_TRUE(Value(R"({"$object":null})").IsNothing());
}

TEST_F(ValueJsonTest, MalformedValuesAreRefused) {
  ExpectRefused("[1,2]");
  ExpectRefused("{}");
  ExpectRefused(R"({"x":1})");
  ExpectRefused(R"({"$null":false})");
  ExpectRefused(R"({"$missing":1})");
  ExpectRefused(R"({"$null":true,"extra":1})");
  ExpectRefused(R"({"$object":"1"})");
  ExpectRefused(R"({"$object":5})");  // no such handle
  ExpectRefused(R"({"$object":18446744073709551615})");
  ExpectRefused(R"({"$error":2147483648})");
  // A string that is not UTF-8 (built in process: the parser refuses it itself).
  EXPECT_THROW(JsonToVariant(json(std::string("a\xFF")), refs_), InvalidParams);
}

TEST_F(ValueJsonTest, ObjectsTravelAsHandles) {
  auto c = Collection::Create();
  EXPECT_EQ(Text(Variant::FromObject(c)), R"({"$object":100,"class":"Collection"})");
  EXPECT_EQ(Text(Variant::FromObject(c)), R"({"$object":100,"class":"Collection"})");
  EXPECT_EQ(Text(Variant::FromObject(nullptr)), R"({"$object":null})");
  EXPECT_EQ(Value(R"({"$object":100})").object(), c);
  EXPECT_EQ(Value(R"({"$object":100,"class":"Collection"})").object(), c);
}

TEST_F(ValueJsonTest, ArraysRoundTrip) {
  auto a = std::make_shared<Array>(std::vector<Array::Bound>{{1, 2}, {0, 3}});
  for (size_t i = 0; i < a->items().size(); ++i)
    a->items()[i] = Variant::FromLong(static_cast<int32_t>(i));
  a->items()[5] = Variant::FromString("z");
  const std::string text = R"({"$array":[[0,1,2],[3,4,"z"]],"lbound":[1,0]})";
  EXPECT_EQ(Text(Variant::FromArray(a)), text);
  Variant back = Value(text);
  ASSERT_TRUE(back.IsArray());
  EXPECT_EQ(back.array()->dims(), 2u);
  EXPECT_EQ(back.array()->bounds()[0].lower, 1);
  EXPECT_EQ(back.array()->bounds()[1].count, 3);
  EXPECT_EQ(back.array()->At({2, 2}), Variant::FromString("z"));
  EXPECT_EQ(Text(back), text);

  // Three dimensions, arrays inside arrays, empty arrays.
  const std::string cube = R"({"$array":[[[1],[2]],[[3],[4]]],"lbound":[0,-5,7]})";
  EXPECT_EQ(Text(Value(cube)), cube);
  const std::string nested = R"({"$array":[{"$array":["x"],"lbound":[0]},null],"lbound":[0]})";
  EXPECT_EQ(Text(Value(nested)), nested);
  EXPECT_EQ(Text(Value(R"({"$array":[],"lbound":[0]})")), R"({"$array":[],"lbound":[0]})");
  EXPECT_EQ(Text(Value(R"({"$array":[[],[]],"lbound":[0,1]})")),
            R"({"$array":[[],[]],"lbound":[0,1]})");
  EXPECT_EQ(Text(Variant::FromArray(std::make_shared<Array>(std::vector<Array::Bound>{}))),
            R"({"$array":[],"lbound":[]})");
}

TEST_F(ValueJsonTest, ArrayWithoutLboundCountsFromZero) {
  Variant v = Value(R"({"$array":[[1,2],[3,4]]})");
  ASSERT_TRUE(v.IsArray());
  EXPECT_EQ(v.array()->dims(), 2u);
  EXPECT_EQ(v.array()->At({1, 0}), Variant::FromLong(3));
}

TEST_F(ValueJsonTest, BadArraysAreRefused) {
  ExpectRefused(R"({"$array":[[1,2],[3]],"lbound":[0,0]})");      // ragged
  ExpectRefused(R"({"$array":[[1,2],3],"lbound":[0,0]})");        // ragged
  ExpectRefused(R"({"$array":[[1,2],[3,[4]]],"lbound":[0,0]})");  // too deep
  ExpectRefused(R"({"$array":[1,2],"lbound":[0,0]})");            // too shallow
  ExpectRefused(R"({"$array":[1],"lbound":[]})");
  ExpectRefused(R"({"$array":{},"lbound":[0]})");
  ExpectRefused(R"({"$array":[1],"lbound":[0.5]})");
  ExpectRefused(R"({"$array":[1],"lbound":"0"})");
  ExpectRefused(R"({"$array":[1,2],"lbound":[2147483647]})");  // upper bound overflows
  ExpectRefused(R"({"$array":[1],"lbound":[0],"x":1})");
  // 61 dimensions: one too many.
  std::string lbound = "0";
  for (int i = 1; i < 61; ++i) lbound += ",0";
  ExpectRefused(R"({"$array":)" + std::string(61, '[') + std::string(61, ']') + R"(,"lbound":[)" +
                lbound + "]}");
}

TEST_F(ValueJsonTest, DeepNestingIsRefusedNotFollowed) {
  std::string text;
  for (int i = 0; i < 10000; ++i) text += R"({"$array":[)";
  text += "1";
  for (int i = 0; i < 10000; ++i) text += R"(],"lbound":[0]})";
  ExpectRefused(text);
}

}  // namespace
}  // namespace qrole::rpc
