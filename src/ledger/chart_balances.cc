#include "ledger/chart_balances.h"

#include "automation/convert.h"
#include "data/engine_status.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/navigation.h"
#include "data/record_file.h"

namespace qrole::ledger {

int BalanceElement(const std::string& journal, const std::string& date) {
  if (journal == "A") return 0;
  if (journal == "B") return 13;
  if (journal == "C") return 14;
  const double month = date.size() >= 4 ? Val(date.substr(2, 2)) : 0;
  return month >= 1 && month <= 12 ? static_cast<int>(month) : 0;
}

bool ChartOpen() {
  const data::Slot& chart = data::GetSlot(kChartSlot);
  return chart.is_open() && chart.has_index();
}

platform::Result<int32_t> FindChartAccount(const std::string& code) {
  if (!ChartOpen()) return platform::Status::InvalidArgument("PLANC is not open");
  platform::Result<bool> found = data::SeekEqual(kChartSlot, 1, code);
  if (!found.ok()) return found.status();
  return *found ? data::Globals().engine_record : 0;
}

platform::Result<std::vector<int32_t>> ChartLevelsOf(const std::string& account) {
  if (!ChartOpen()) return platform::Status::InvalidArgument("PLANC is not open");
  std::vector<int32_t> records;
  // Only the record numbers: each balance is read under its lock.
  const std::string seek = "S\\1\\" + std::to_string(kChartSlot) + "\\";
  for (size_t length = 1; length <= account.size(); ++length) {
    if (data::SendEngineCommand(seek + account.substr(0, length)) == data::engine_status::kOk)
      records.push_back(data::Globals().engine_record);
  }
  return records;
}

platform::Status AddToChartBalance(int32_t record, int side, int element, double amount) {
  const data::Slot& chart = data::GetSlot(kChartSlot);
  const int field = chart.FieldByCode(side == 1 ? kChartDebit : kChartCredit) + element;
  platform::Status status = data::LockRecord(kChartSlot, record);
  if (!status.ok()) return status;
  platform::Result<double> old = data::ReadDoubleField(kChartSlot, record, field);
  status =
      old.ok() ? data::WriteDoubleField(kChartSlot, record, field, *old + amount) : old.status();
  // Once written, the change stands: a lock that fails to go is released
  // when the file is closed.
  data::UnlockRecord(kChartSlot, record).IgnoreError();
  return status;
}

platform::Status AddToAccountLevels(const std::string& account, int side, int element,
                                    double amount) {
  if (side != 1 && side != 2) return platform::Status::Ok();
  platform::Result<std::vector<int32_t>> records = ChartLevelsOf(account);
  if (!records.ok()) return records.status();
  for (int32_t record : *records) {
    platform::Status status = AddToChartBalance(record, side, element, amount);
    if (!status.ok()) return status;
  }
  return platform::Status::Ok();
}

}  // namespace qrole::ledger
