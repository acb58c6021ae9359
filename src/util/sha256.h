// SHA-256 (FIPS 180-4), for digests that identify a call's content.
#ifndef QROLE_UTIL_SHA256_H_
#define QROLE_UTIL_SHA256_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qrole::util {

// Digest of a byte stream fed in pieces:
//
//   Sha256 h;
//   h.Update("abc");
//   std::string digest = h.Finish();  // 32 bytes
class Sha256 {
 public:
  Sha256();
  void Update(std::string_view bytes);
  // The 32-byte digest of everything fed so far. The object must not be fed
  // or finished again afterwards.
  std::string Finish();

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;  // bytes fed
};

// The 32-byte digest of `bytes`.
std::string Sha256Of(std::string_view bytes);
// `bytes` as lower-case hexadecimal digits.
std::string HexOf(std::string_view bytes);

}  // namespace qrole::util

#endif  // QROLE_UTIL_SHA256_H_
