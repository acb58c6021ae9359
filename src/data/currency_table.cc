#include "data/currency_table.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "automation/convert.h"
#include "data/catalogue.h"
#include "platform/env.h"
#include "platform/file_identity.h"
#include "platform/text_encoding.h"

namespace qrole::data {

CurrencyTable& Currencies() {
  static CurrencyTable table;
  return table;
}

std::string CurrencyFileName(int base) { return base == 1 ? "Moneda1.qrf" : "Moneda.qrf"; }

std::string EncodeCurrencyRecord(const CurrencySlot& slot) {
  std::string rec(kCurrencyRecordLength, ' ');
  std::string name = platform::Utf8ToCp1252(slot.name);
  name.resize(22, ' ');
  std::string code = platform::Utf8ToCp1252(slot.code);
  code.resize(3, ' ');
  rec.replace(0, 22, name);
  rec.replace(22, 3, code);
  rec[25] = static_cast<char>('0' + (slot.decimals >= 0 && slot.decimals <= 9 ? slot.decimals : 0));
  uint64_t bits;
  std::memcpy(&bits, &slot.rate, 8);
  for (int i = 0; i < 8; ++i) rec[static_cast<size_t>(26 + i)] = static_cast<char>(bits >> (8 * i));
  return rec;
}

platform::Status ParseCurrencyTable(const std::string& bytes, CurrencyTable* table) {
  CurrencyTable t;
  for (int i = 0; i < kCurrencySlots; ++i) {
    size_t at = static_cast<size_t>(i) * kCurrencyRecordLength;
    if (at + kCurrencyRecordLength > bytes.size()) break;  // a short table leaves slots empty
    std::string rec = bytes.substr(at, kCurrencyRecordLength);
    CurrencySlot& s = t.slots[static_cast<size_t>(i)];
    s.name = RTrim(platform::Cp1252ToUtf8(rec.substr(0, 22)));
    s.code = platform::Cp1252ToUtf8(rec.substr(22, 3));
    s.decimals = static_cast<int>(Val(rec.substr(25, 1)));
    uint64_t bits = 0;
    for (int b = 7; b >= 0; --b)
      bits = (bits << 8) | static_cast<unsigned char>(rec[static_cast<size_t>(26 + b)]);
    std::memcpy(&s.rate, &bits, 8);
  }
  if (bytes.size() < 2 * kCurrencyRecordLength)
    return platform::Status::Corruption("currency table shorter than two records");
  t.rate = t.slots[1].rate;
  if (std::round(t.rate * 1000.0) / 1000.0 == 0.006) t.rate = 1.0 / 166.386;
  t.loaded = true;
  *table = t;
  return platform::Status::Ok();
}

platform::Status LoadCurrencyTable(int base, const std::string& company_directory,
                                   const std::string& company_number) {
  std::string path =
      ResolveSharedFile("Con_Dir", CurrencyFileName(base), company_directory, company_number);
  // Loaded with every opening of the company's tables, changed hardly ever:
  // read again only when the file is another or has changed (versions are
  // the operating system's, so only through its own file system).
  static auto* loaded = new std::pair<std::string, std::string>();  // path, version
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  const std::string version =
      &files == platform::NativeFileSystem() ? platform::FileVersion(path) : std::string();
  if (Currencies().loaded && !version.empty() && loaded->first == path && loaded->second == version)
    return platform::Status::Ok();
  auto bytes = files.ReadAll(path);
  if (!bytes.ok()) return bytes.status();
  platform::Status status = ParseCurrencyTable(*bytes, &Currencies());
  *loaded = status.ok() ? std::make_pair(path, version) : std::pair<std::string, std::string>();
  return status;
}

}  // namespace qrole::data
