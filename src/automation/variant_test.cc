#include "qrole/variant.h"

#include <gtest/gtest.h>

#include "qrole/error.h"

namespace qrole {
namespace {

TEST(VariantTest, TypesAndEquality) {
  EXPECT_TRUE(Variant().IsEmpty());
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_TRUE(Variant::Missing().IsMissing());
  EXPECT_FALSE(Variant::FromError(5).IsMissing());
  EXPECT_TRUE(Variant::FromObject(nullptr).IsNothing());
  EXPECT_EQ(Variant::FromLong(1), Variant::FromLong(1));
  EXPECT_FALSE(Variant::FromLong(1) == Variant::FromInteger(1));
  EXPECT_EQ(Variant::FromBool(true).boolean(), true);
  EXPECT_EQ(Variant::FromSingle(0.5f).single(), 0.5f);
  EXPECT_THROW(Variant::FromLong(1).str(), std::logic_error);
  EXPECT_STREQ(VarTypeName(VarType::kCurrency), "Currency");
}

TEST(VariantTest, ArraysWithBounds) {
  auto a = std::make_shared<Array>(std::vector<Array::Bound>{{0, 2}, {1, 3}});
  EXPECT_EQ(a->size(), 6u);
  a->At({1, 3}) = Variant::FromString("last");
  EXPECT_EQ(a->items().back(), Variant::FromString("last"));
  EXPECT_TRUE(a->At({0, 1}).IsEmpty());
  for (std::vector<int32_t> bad : {std::vector<int32_t>{2, 1}, {0, 0}, {0, 4}, {0}}) {
    try {
      a->At(bad);
      ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), 9);
      EXPECT_EQ(e.description(), "Subscript out of range");
    }
  }
  Variant v1 = Variant::FromArray(a);
  auto b = std::make_shared<Array>(*a);
  EXPECT_EQ(v1, Variant::FromArray(b));
  b->At({0, 1}) = Variant::FromLong(1);
  EXPECT_FALSE(v1 == Variant::FromArray(b));
}

TEST(VariantTest, ErrorsCarryNumberSourceAndText) {
  EXPECT_EQ(ObjectError(50006), static_cast<int32_t>(0x8004C356));
  EXPECT_EQ(ObjectError(50006), -2147171498);
  try {
    RaiseObjectError(50006, "Empresa No Abierta ... Abrir Empresa y reintentar");
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), -2147171498);
    EXPECT_EQ(e.source(), "Valdrix OLE Server");
    EXPECT_EQ(e.description(), "Empresa No Abierta ... Abrir Empresa y reintentar");
  }
  try {
    RaiseRuntimeError(runtime_error::kOverflow);
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 6);
    EXPECT_EQ(e.description(), "Overflow");
  }
}

}  // namespace
}  // namespace qrole
