#include "posting/currency_slot.h"

#include "data/catalogue.h"
#include "data/currency_table.h"
#include "data/transaction.h"
#include "platform/env.h"
#include "server/company_header.h"
#include "server/currency.h"
#include "server/enlace.h"
#include "server/process_state.h"

namespace qrole::posting {

namespace {

bool Blank(const std::string& s) {
  return s.empty() || s[0] == '\0' || s.find_first_not_of(' ') == std::string::npos;
}

}  // namespace

std::string RanuraMoneda(server::Enlace& e) {
  server::ProcessState& process = server::Process();
  const std::string& code = process.currency_code;
  if (code.empty() || code[0] == ' ') {
    process.exchange_rate = 1;
    return "0";
  }
  server::CurrencySlots(e);
  data::CurrencyTable& table = data::Currencies();
  for (int i = 0; i < data::kCurrencySlots; ++i) {
    if (table.slots[static_cast<size_t>(i)].code == code) return std::string(1, char('0' + i));
  }
  // A currency the company has not used yet takes the first free record.
  const server::EnlaceState& s = e.state();
  const std::string path = data::ResolveSharedFile(
      "Con_Dir", data::CurrencyFileName(e.CurrencyBase()), s.company_directory, s.company_number);
  auto file = data::OpenDataFile(path, platform::OpenMode::ReadWrite);
  if (!file.ok()) return "";
  for (int i = 0; i < data::kCurrencySlots; ++i) {
    const uint64_t offset = static_cast<uint64_t>(i) * data::kCurrencyRecordLength;
    std::string record;
    if (!(*file)->ReadAt(offset, data::kCurrencyRecordLength, &record).ok()) return "";
    record.resize(data::kCurrencyRecordLength, ' ');  // a short file ends in free records
    if (!Blank(record.substr(0, 22)) || !Blank(record.substr(22, 3))) continue;
    data::CurrencySlot added;
    added.name = code;
    added.code = code;
    added.rate = process.exchange_rate;
    if (!(*file)->WriteAt(offset, data::EncodeCurrencyRecord(added)).ok()) return "";
    table.slots[static_cast<size_t>(i)] = added;
    return std::string(1, char('0' + i));
  }
  return "";
}

}  // namespace qrole::posting
