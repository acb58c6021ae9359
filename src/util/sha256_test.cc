#include "util/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace qrole::util {
namespace {

// The test vectors of FIPS 180-4's examples and the usual long message.
TEST(Sha256Test, KnownDigests) {
  EXPECT_EQ(HexOf(Sha256Of("")),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(HexOf(Sha256Of("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(HexOf(Sha256Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(HexOf(Sha256Of(std::string(1000000, 'a'))),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256Test, PiecesGiveTheDigestOfTheWhole) {
  std::string text;
  for (int i = 0; i < 300; ++i) text.push_back(static_cast<char>(i * 7));
  const std::string whole = Sha256Of(text);
  // Every split point, across the 64-byte blocks and the padding's edge (55, 56, 64).
  for (size_t split : {size_t{0}, size_t{1}, size_t{55}, size_t{56}, size_t{63}, size_t{64},
                       size_t{65}, size_t{128}, size_t{299}, size_t{300}}) {
    Sha256 h;
    h.Update(std::string_view(text).substr(0, split));
    h.Update(std::string_view(text).substr(split));
    EXPECT_EQ(h.Finish(), whole) << split;
  }
  for (size_t n : {size_t{55}, size_t{56}, size_t{57}, size_t{64}}) {
    Sha256 byte_by_byte;
    for (size_t i = 0; i < n; ++i) byte_by_byte.Update(std::string_view(text).substr(i, 1));
    EXPECT_EQ(byte_by_byte.Finish(), Sha256Of(std::string_view(text).substr(0, n))) << n;
  }
}

}  // namespace
}  // namespace qrole::util
