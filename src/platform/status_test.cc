#include "platform/status.h"

#include <memory>
#include <string>

#include "gtest/gtest.h"

namespace qrole::platform {
namespace {

TEST(StatusTest, KindsAndMessages) {
  EXPECT_TRUE(Status().ok());
  EXPECT_EQ(Status::Ok().ToString(), "OK");

  const Status not_found = Status::NotFound("/a/b");
  EXPECT_FALSE(not_found.ok());
  EXPECT_TRUE(not_found.IsNotFound());
  EXPECT_FALSE(not_found.IsBusy());
  EXPECT_EQ(not_found.message(), "/a/b");
  EXPECT_EQ(not_found.ToString(), "Not found: /a/b");

  EXPECT_TRUE(Status::Corruption("x").IsCorruption());
  EXPECT_TRUE(Status::IOError("x").IsIOError());
  EXPECT_TRUE(Status::InvalidArgument("x").IsInvalidArgument());
  EXPECT_TRUE(Status::Busy("x").IsBusy());
  EXPECT_TRUE(Status::NoSpace("x").IsNoSpace());
  EXPECT_EQ(Status::NoSpace("disk").ToString(), "No space: disk");
  EXPECT_EQ(Status::Busy("").ToString(), "Busy");

  EXPECT_TRUE(Status::FromCode(StatusCode::Ok, "ignored").ok());
  EXPECT_EQ(Status::FromCode(StatusCode::Ok, "ignored").message(), "");
  EXPECT_EQ(Status::FromCode(StatusCode::Busy, "m").code(), StatusCode::Busy);
}

Result<int> Half(int n) {
  if (n % 2 != 0) return Status::InvalidArgument("odd");
  return n / 2;
}

TEST(ResultTest, ValueOrStatus) {
  Result<int> good = Half(8);
  ASSERT_TRUE(good.ok());
  EXPECT_TRUE(good.status().ok());
  EXPECT_EQ(*good, 4);
  EXPECT_EQ(good.value_or(-1), 4);

  Result<int> bad = Half(7);
  EXPECT_FALSE(bad.ok());
  EXPECT_TRUE(bad.status().IsInvalidArgument());
  EXPECT_EQ(bad.value_or(-1), -1);

  // An ok status without value must not pass for success.
  Result<int> odd = Status::Ok();
  EXPECT_FALSE(odd.ok());
  EXPECT_TRUE(odd.status().IsInvalidArgument());
}

TEST(ResultTest, MoveOnlyValuesAndConversions) {
  Result<std::unique_ptr<int>> owned = std::make_unique<int>(5);
  ASSERT_TRUE(owned.ok());
  std::unique_ptr<int> taken = std::move(owned).value();
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(*taken, 5);

  Result<std::string> text = "abc";
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(text->size(), 3u);
}

TEST(ResultDeathTest, ValueOfFailedResultAborts) {
  Result<int> bad = Status::Busy("locked");
  EXPECT_DEATH({ (void)bad.value(); }, "Busy: locked");
}

}  // namespace
}  // namespace qrole::platform
