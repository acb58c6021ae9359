#include "query/record_scan.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "data/globals.h"
#include "data/number_codec.h"
#include "data/record_file.h"
#include "data/slot.h"
#include "platform/text_encoding.h"
#include "query/keyed_files_internal.h"

namespace qrole::query {

namespace {

// The upper-case byte of every Windows-1252 byte (itself when it is no
// letter, or when its capital has no byte of its own).
const std::array<unsigned char, 256>& UpperBytes() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b) {
      const char32_t upper =
          platform::UpperCodePoint(platform::Cp1252ToCodePoint(static_cast<unsigned char>(b)));
      const int byte = platform::CodePointToCp1252(upper);
      t[static_cast<size_t>(b)] = static_cast<unsigned char>(byte >= 0 ? byte : b);
    }
    return t;
  }();
  return table;
}

std::string Upper(std::string_view cp1252) {
  const auto& upper = UpperBytes();
  std::string out(cp1252);
  for (char& c : out) c = static_cast<char>(upper[static_cast<unsigned char>(c)]);
  return out;
}

std::string TableName(const data::Slot& s) {
  std::string name = s.table_name();
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

}  // namespace

int32_t RecordsInSlot(int slot) {
  const data::Slot& s = data::GetSlot(slot);
  if (!s.is_open()) return 0;
  const platform::Result<int64_t> count = data::RecordCount(slot);
  if (!count.ok()) internal::RaiseReadFailure(TableName(s), count.status());
  return static_cast<int32_t>(std::min<int64_t>(*count, std::numeric_limits<int32_t>::max()));
}

int32_t NextMatchingRecord(int slot, int code, int32_t after, int32_t last, const FieldTest& test) {
  const data::Slot& s = data::GetSlot(slot);
  const int field = s.FieldByCode(code);
  if (!s.is_open() || field == 0) return 0;
  const data::FieldLayout& layout = s.field(field);
  for (int32_t record = std::max(after, 0) + 1; record <= last; ++record) {
    const platform::Status read = data::ReadFirstFields(slot, record);
    // A record cut short is one being written: the file ends before it.
    if (read.IsNotFound()) return 0;
    if (!read.ok()) internal::RaiseReadFailure(TableName(s), read);
    const std::string_view bytes = s.record_bytes();
    if (s.IsCancelled()) continue;
    if (bytes.find_first_not_of('\0') == std::string_view::npos) continue;  // never written
    if (test(bytes.substr(static_cast<size_t>(layout.start), static_cast<size_t>(layout.width))))
      return record;
  }
  return 0;
}

FieldTest HoldsText(std::string_view utf8, bool match_case) {
  const std::string wanted = platform::Utf8ToCp1252(utf8);
  if (match_case) {
    return [wanted](std::string_view bytes) { return bytes.find(wanted) != std::string::npos; };
  }
  return [upper = Upper(wanted)](std::string_view bytes) {
    return Upper(bytes).find(upper) != std::string::npos;
  };
}

FieldTest HoldsAmount(double amount) {
  std::string plus(8, '\0');
  std::string minus(8, '\0');
  data::StoreDouble(amount, plus.data());
  data::StoreDouble(-amount, minus.data());
  return [plus, minus](std::string_view bytes) { return bytes == plus || bytes == minus; };
}

}  // namespace qrole::query
