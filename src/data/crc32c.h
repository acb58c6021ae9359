// CRC-32C (Castagnoli), the checksum of the company log's records.
#ifndef QROLE_DATA_CRC32C_H_
#define QROLE_DATA_CRC32C_H_

#include <cstdint>
#include <string_view>

namespace qrole::data {

// Extends `crc` (0 to start) over `bytes`.
uint32_t Crc32c(uint32_t crc, std::string_view bytes);

}  // namespace qrole::data

#endif  // QROLE_DATA_CRC32C_H_
