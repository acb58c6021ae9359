#include "com/name_guid.h"

#include <cstdint>
#include <cstdio>

namespace qrole::com {
namespace {

// Namespace of the server's name-based GUIDs.
constexpr unsigned char kNamespace[16] = {0x6b, 0x1d, 0x0e, 0x52, 0x8a, 0x3c, 0x4f, 0x71,
                                          0x9b, 0x2e, 0x51, 0x0a, 0x75, 0xc3, 0x9d, 0x40};

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

}  // namespace

std::string Sha1(std::string_view data) {
  uint32_t h[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
  std::string msg(data);
  const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
  msg.push_back(static_cast<char>(0x80));
  while (msg.size() % 64 != 56) msg.push_back('\0');
  for (int i = 7; i >= 0; --i) msg.push_back(static_cast<char>((bits >> (i * 8)) & 0xFF));
  for (size_t block = 0; block < msg.size(); block += 64) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
      const auto* p = reinterpret_cast<const unsigned char*>(msg.data() + block + i * 4);
      w[i] = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    }
    for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
      uint32_t f, k;
      if (i < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999u;
      } else if (i < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1u;
      } else if (i < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDCu;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6u;
      }
      const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
      e = d;
      d = c;
      c = Rotl(b, 30);
      b = a;
      a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
  }
  std::string out;
  for (uint32_t v : h)
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (i * 8)) & 0xFF));
  return out;
}

GUID NameGuid(std::string_view name) {
  std::string input(reinterpret_cast<const char*>(kNamespace), sizeof(kNamespace));
  input.append(name);
  const std::string digest = Sha1(input);
  unsigned char b[16];
  for (int i = 0; i < 16; ++i) b[i] = static_cast<unsigned char>(digest[static_cast<size_t>(i)]);
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x50);  // version 5
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  GUID g;
  g.Data1 = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  g.Data2 = static_cast<uint16_t>((b[4] << 8) | b[5]);
  g.Data3 = static_cast<uint16_t>((b[6] << 8) | b[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = b[8 + i];
  return g;
}

GUID LibraryGuid() { return NameGuid("library:QROLE75"); }

GUID InterfaceGuid(std::string_view interface_name) {
  return NameGuid("interface:" + std::string(interface_name));
}

GUID ClassGuid(std::string_view class_name) { return NameGuid("class:" + std::string(class_name)); }

std::string GuidText(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof(buf), "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

}  // namespace qrole::com
