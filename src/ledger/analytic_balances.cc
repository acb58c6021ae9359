#include "ledger/analytic_balances.h"

#include <string>
#include <string_view>

#include "automation/convert.h"
#include "data/engine_status.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/process_state.h"

namespace qrole::ledger {

namespace {

namespace es = data::engine_status;

// Field codes of the cost-centre chart and of the analytic lines.
constexpr int kCodeAccount = 1;
constexpr int kCodeTitle = 2;
constexpr int kCodeLevel = 3;
constexpr int kCodeAnalytic = 6;
constexpr int kCodeDebit = 12;
constexpr int kCodeCredit = 13;
constexpr int kBalanceElements = 15;
constexpr int kLineDate = 1;
constexpr int kLineSide = 5;
constexpr int kLineAmount = 6;
constexpr int kLineJournal = 8;

constexpr int kMaxLevels = 8;
constexpr char kLevelTitle[] = "Mayor sin título";

[[noreturn]] void RaiseFileFailure(const std::string& what) {
  throw AutomationError(runtime_error::kFileAccess, kRuntimeSource,
                        RuntimeErrorText(runtime_error::kFileAccess) + "\n" + what);
}

void Check(const platform::Status& status, const std::string& what) {
  if (!status.ok()) RaiseFileFailure(what + ": " + status.ToString());
}

// The record of the cost-centre chart whose key 1 is `key` (Windows-1252),
// 0 when there is none.
int32_t SeekAccount(std::string_view key) {
  const int16_t status =
      data::SendEngineCommand("S\\1\\" + std::to_string(kCostCentreSlot) + "\\" + std::string(key));
  if (status == es::kOk) return data::Globals().engine_record;
  if (status == es::kKeyNotFound || status == es::kEndOfIndex) return 0;
  RaiseFileFailure("Costo: " + data::Globals().engine_command + " (" + std::to_string(status) +
                   ")");
}

// Appends a level account of the cost-centre chart and returns its record.
int32_t CreateLevelAccount(std::string_view prefix, int level) {
  data::Slot& chart = data::GetSlot(kCostCentreSlot);
  chart.ClearValues();
  chart.SetRaw(chart.FieldByCode(kCodeAccount), prefix);
  chart.SetText(chart.FieldByCode(kCodeTitle), kLevelTitle);
  chart.SetText(chart.FieldByCode(kCodeLevel), std::to_string(level));
  chart.SetText(chart.FieldByCode(kCodeAnalytic), "0");
  for (int element = 0; element < kBalanceElements; ++element) {
    chart.SetNumber(chart.FieldByCode(kCodeDebit) + element, 0);
    chart.SetNumber(chart.FieldByCode(kCodeCredit) + element, 0);
  }
  Check(data::AppendRecord(kCostCentreSlot), "Costo");
  return data::Globals().engine_record;
}

// The balance element of the analytic line in slot 10.
int BalanceElement(const data::Slot& line) {
  const std::string journal = line.TrimmedText(line.FieldByCode(kLineJournal));
  if (journal == "A") return 0;
  if (journal == "B") return 13;
  if (journal == "C") return 14;
  const std::string date = line.Value(line.FieldByCode(kLineDate));
  const double month = date.size() >= 4 ? Val(date.substr(2, 2)) : 0;
  return month >= 1 && month <= 12 ? static_cast<int>(month) : 0;
}

}  // namespace

CostCentreLevels LocalizarNivelesAnalitica(const std::string& account) {
  CostCentreLevels records{};
  const data::Slot& chart = data::GetSlot(kCostCentreSlot);
  if (!chart.is_open() || !chart.has_index()) RaiseFileFailure("Costo: tabla no abierta");
  const std::string key = platform::Utf8ToCp1252(account);
  records[0] = SeekAccount(key);
  if (records[0] == 0) return records;
  const size_t length = RTrim(key).size();
  const auto& levels = server::Process().cost_centre_levels;
  for (int i = 1; i <= kMaxLevels; ++i) {
    const int level_length =
        i < static_cast<int>(levels.size()) ? levels[static_cast<size_t>(i)] : 0;
    if (level_length <= 0 || static_cast<size_t>(level_length) >= length) continue;
    const std::string prefix = key.substr(0, static_cast<size_t>(level_length));
    int32_t record = SeekAccount(prefix);
    if (record == 0) record = CreateLevelAccount(prefix, i);
    records[static_cast<size_t>(i)] = record;
  }
  return records;
}

void ActualizarSaldosAnalitica(int16_t sign, const std::string& account) {
  const data::Slot& line = data::GetSlot(kAnalyticSlot);
  if (!line.is_open()) RaiseFileFailure("Anali: tabla no abierta");
  const CostCentreLevels records = LocalizarNivelesAnalitica(account);
  const std::string side = line.TrimmedText(line.FieldByCode(kLineSide));
  // A line that is neither a debit nor a credit has no balance to change.
  // (The desktop program sounds a warning here; a server has no one to hear it.)
  if (side != "1" && side != "2") return;
  const int element = BalanceElement(line);
  const double amount = line.Number(line.FieldByCode(kLineAmount));

  const data::Slot& chart = data::GetSlot(kCostCentreSlot);
  const int field = chart.FieldByCode(side == "1" ? kCodeDebit : kCodeCredit) + element;
  for (int32_t record : records) {
    if (record == 0) continue;
    // Read and written under the record's lock, so that another process
    // changing the same balance meanwhile loses nothing.
    data::MaintenanceRecordLock lock(kCostCentreSlot, record);
    Check(lock.status(), "Costo");
    platform::Result<double> old = data::ReadDoubleField(kCostCentreSlot, record, field);
    Check(old.status(), "Costo");
    Check(data::WriteDoubleField(kCostCentreSlot, record, field, *old + sign * amount), "Costo");
  }
}

}  // namespace qrole::ledger
