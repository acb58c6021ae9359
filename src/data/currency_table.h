// The currency table ("Moneda1.qrf" for euro-based companies, "Moneda.qrf"
// for peseta-based ones): ten fixed-length records, loaded into ten
// process-wide currency slots when a company's tables are opened.
//
// Record layout (40 bytes, Windows-1252 text blank-padded):
//   0-21  name (22 characters)
//   22-24 currency code (3 characters)
//   25    number of decimals (one digit)
//   26-33 exchange rate, IEEE double, little-endian
//   34-39 reserved (blanks)

#ifndef QROLE_DATA_CURRENCY_TABLE_H_
#define QROLE_DATA_CURRENCY_TABLE_H_

#include <array>
#include <string>

#include "platform/status.h"

namespace qrole::data {

inline constexpr size_t kCurrencyRecordLength = 40;
inline constexpr int kCurrencySlots = 10;

struct CurrencySlot {
  std::string name;  // UTF-8
  std::string code;  // three characters
  int decimals = 0;
  double rate = 0;
};

struct CurrencyTable {
  std::array<CurrencySlot, kCurrencySlots> slots;
  double rate = 0;  // the conversion rate kept from the second record
  bool loaded = false;
};

// The process-wide slots.
CurrencyTable& Currencies();

// The table file name for a company's "ARCHIVOMONEDABASE" value.
std::string CurrencyFileName(int base);

// Loads the currency table of a company whose "ARCHIVOMONEDABASE" is `base`,
// located through the "Con_Dir" setting. A rate stored as 0.006 (rounded to
// three decimals) becomes 1 / 166.386.
platform::Status LoadCurrencyTable(int base, const std::string& company_directory,
                                   const std::string& company_number);

// Parses the bytes of a table file into `table`.
platform::Status ParseCurrencyTable(const std::string& bytes, CurrencyTable* table);

// One record of the table, as written to the file.
std::string EncodeCurrencyRecord(const CurrencySlot& slot);

}  // namespace qrole::data

#endif  // QROLE_DATA_CURRENCY_TABLE_H_
