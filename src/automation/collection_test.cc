#include "automation/collection.h"

#include <gtest/gtest.h>

#include "automation/dispatcher.h"
#include "qrole/error.h"

namespace qrole {
namespace {

using typelib::Kind;

int32_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

TEST(CollectionTest, OneBasedItemsInInsertionOrder) {
  Collection c;
  EXPECT_EQ(c.Count(), 0);
  c.Add(Variant::FromString("a"));
  c.Add(Variant::FromString("b"));
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.Item(1), Variant::FromString("a"));
  EXPECT_EQ(c.Item(2), Variant::FromString("b"));
  EXPECT_EQ(ErrorOf([&] { c.Item(0); }), 9);
  EXPECT_EQ(ErrorOf([&] { c.Item(3); }), 9);
  c.Remove(Variant::FromLong(1));
  EXPECT_EQ(c.Item(1), Variant::FromString("b"));
}

TEST(CollectionTest, KeysAndPositions) {
  Collection c;
  c.Add(Variant::FromLong(1), "Uno");
  c.Add(Variant::FromLong(3), "tres");
  EXPECT_EQ(c.ItemByIndex(Variant::FromString("UNO")), Variant::FromLong(1));
  EXPECT_EQ(ErrorOf([&] { c.ItemByIndex(Variant::FromString("dos")); }), 5);
  EXPECT_EQ(ErrorOf([&] { c.Add(Variant::FromLong(9), "uno"); }), 457);
  // Add(Item, Key, Before) through late binding.
  Invoke(c, "Add", Kind::kMethod,
         {Variant::FromLong(2), Variant::FromString("dos"), Variant::FromLong(2)});
  EXPECT_EQ(c.Item(2), Variant::FromLong(2));
  EXPECT_EQ(c.Item(3), Variant::FromLong(3));
  Invoke(c, "Add", Kind::kMethod,
         {Variant::FromLong(4), Variant::Missing(), Variant::Missing(), Variant::FromLong(3)});
  EXPECT_EQ(c.Item(4), Variant::FromLong(4));
  EXPECT_EQ(Invoke(c, "count", Kind::kGet, {}).value, Variant::FromLong(4));
  EXPECT_EQ(Invoke(c, "Item", Kind::kMethod, {Variant::FromString("dos")}).value,
            Variant::FromLong(2));
  Invoke(c, "Remove", Kind::kMethod, {Variant::FromString("Dos")});
  EXPECT_EQ(c.Count(), 3);
}

}  // namespace
}  // namespace qrole
