#include "maintenance/journal_balances.h"

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "data/globals.h"
#include "data/message_table.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/transaction.h"
#include "ledger/audit_log.h"
#include "ledger/chart_balances.h"
#include "maintenance/cancellation_internal.h"
#include "platform/env.h"
#include "platform/text_encoding.h"
#include "server/company_header.h"
#include "server/enlace.h"
#include "server/process_state.h"

namespace qrole::maintenance {

namespace {

using internal::CheckFile;

// Journal field codes.
constexpr int kLineDate = 1;
constexpr int kLineAccount = 2;
constexpr int kLineSide = 5;
constexpr int kLineAmount = 6;
constexpr int kLineJournal = 8;
// Index of the journal by account + date.
constexpr int kJournalByAccount = 2;

using ledger::kBalanceElements;
using ledger::kChartAccount;
using ledger::kChartAnalytic;
using ledger::kChartCredit;
using ledger::kChartDebit;
using ledger::kChartLevel;
using ledger::kChartTitle;

// The company header's running totals and the month of their last change.
constexpr char kTotalDebit[] = "CARGOSA";
constexpr char kTotalCredit[] = "ABONOSA";
constexpr char kTotalsMonth[] = "MES";
// Attempts at the header before giving up, and the pause between two.
constexpr int kHeaderAttempts = 1000;
constexpr int kHeaderPauseMs = 1;
// Message of the record layer for a file in use by another process.
constexpr int kFileInUseMessage = 153;

// The record of the chart whose code is `code`; 0 when there is none.
int32_t SeekChart(const std::string& code) {
  platform::Result<int32_t> found = ledger::FindChartAccount(code);
  CheckFile(found.status(), "PLANC");
  return *found;
}

struct Balances {
  std::array<double, kBalanceElements> debit{};
  std::array<double, kBalanceElements> credit{};
};

// The balances of the journal lines whose account begins with `prefix`, as
// posting would have added them to a chart account of that code.
Balances JournalBalancesUnder(const std::string& prefix) {
  Balances b;
  const data::Slot& journal = data::GetSlot(kJournalSlot);
  const int account_field = journal.FieldByCode(kLineAccount);
  platform::Result<bool> found = data::SeekAtLeast(kJournalSlot, kJournalByAccount, prefix);
  for (;;) {
    CheckFile(found.status(), "EXTRA");
    if (!*found) break;
    if (journal.Value(account_field).compare(0, prefix.size(), prefix) != 0) break;
    if (!journal.IsCancelled()) {
      const JournalLineBalance line = JournalLineFromSlot();
      const auto element = static_cast<size_t>(BalanceElement(line.journal, line.date));
      if (line.side == "1") b.debit[element] += line.amount;
      if (line.side == "2") b.credit[element] += line.amount;
    }
    found = data::MoveNext(kJournalSlot);
  }
  return b;
}

// Appends the level account `prefix` of level `level` with the balances of
// the journal lines beneath it, and returns its record.
int32_t CreateLevelAccount(const std::string& prefix, int level) {
  const Balances b = JournalBalancesUnder(prefix);
  data::Slot& chart = data::GetSlot(kChartSlot);
  chart.ClearValues();
  chart.SetRaw(chart.FieldByCode(kChartAccount), prefix);
  chart.SetText(chart.FieldByCode(kChartTitle), kLevelAccountTitle);
  chart.SetText(chart.FieldByCode(kChartLevel), std::to_string(level));
  chart.SetText(chart.FieldByCode(kChartAnalytic), "0");
  for (int element = 0; element < kBalanceElements; ++element) {
    chart.SetNumber(chart.FieldByCode(kChartDebit) + element,
                    b.debit[static_cast<size_t>(element)]);
    chart.SetNumber(chart.FieldByCode(kChartCredit) + element,
                    b.credit[static_cast<size_t>(element)]);
  }
  CheckFile(data::AppendRecord(kChartSlot), "PLANC");
  return data::Globals().engine_record;
}

std::string HeaderDoubleBytes(double value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

double HeaderDouble(const std::string& header, const server::HeaderField& field) {
  double value = 0;
  std::memcpy(&value, header.data() + field.position - 1, sizeof value);
  return value;
}

enum class Attempt { kDone, kRetry, kGiveUp };

// One attempt at the company totals, under the lock of the header's bytes.
// Only the bytes of the month and of the total are written: the rest of the
// header may have been changed by another program since it was read.
Attempt TryCompanyTotals(server::Enlace& e, int16_t sign, const JournalLineBalance& line) {
  const std::string& path = e.state().company_path;
  auto opened = data::OpenDataFile(path, platform::OpenMode::ReadWrite);
  if (!opened.ok()) return opened.status().IsNotFound() ? Attempt::kGiveUp : Attempt::kRetry;
  platform::File& f = **opened;
  if (!f.LockRange(0, server::kHeaderSize, true).ok()) return Attempt::kRetry;
  Attempt result = Attempt::kRetry;
  std::string header;
  if (f.ReadAt(0, server::kHeaderSize, &header).ok() && header.size() == server::kHeaderSize) {
    const server::HeaderField month = server::CampoCabecera(kTotalsMonth);
    const server::HeaderField total =
        server::CampoCabecera(line.side == "1" ? kTotalDebit : kTotalCredit);
    server::SetHeaderText(&header, kTotalsMonth,
                          line.date.size() >= 4 ? line.date.substr(2, 2) : "");
    const std::string total_bytes =
        HeaderDoubleBytes(HeaderDouble(header, total) + sign * line.amount);
    header.replace(static_cast<size_t>(total.position - 1), total_bytes.size(), total_bytes);
    if (f.WriteAt(static_cast<uint64_t>(month.position - 1), header.substr(month.position - 1, 2))
            .ok() &&
        f.WriteAt(static_cast<uint64_t>(total.position - 1), total_bytes).ok()) {
      // The object's copy follows the file.
      std::string& copy = e.state().company_header;
      if (copy.size() >= server::kHeaderSize) {
        copy.replace(static_cast<size_t>(month.position - 1), 2, header, month.position - 1, 2);
        copy.replace(static_cast<size_t>(total.position - 1), total_bytes.size(), total_bytes);
      }
      result = Attempt::kDone;
    }
  }
  f.UnlockRange(0, server::kHeaderSize).IgnoreError();
  return result;
}

void UpdateCompanyTotals(server::Enlace& e, int16_t sign, const JournalLineBalance& line) {
  platform::Env* env = platform::CurrentEnv();
  for (int failures = 0; failures < kHeaderAttempts; ++failures) {
    const Attempt attempt = TryCompanyTotals(e, sign, line);
    if (attempt == Attempt::kDone) return;
    if (attempt == Attempt::kGiveUp) break;
    env->GetClock().SleepMs(kHeaderPauseMs);
  }
  env->Messages().Show(data::Message(kFileInUseMessage), "", platform::MsgIcon::Warning,
                       platform::MsgButtons::Ok);
  ledger::AuditoriaSave(e, "Anulación de apuntes. " + data::Message(kFileInUseMessage) +
                               ": no se han actualizado los totales de la empresa (cuenta " +
                               platform::Cp1252ToUtf8(line.account) + ")");
}

}  // namespace

JournalLineBalance JournalLineFromSlot() {
  const data::Slot& journal = data::GetSlot(kJournalSlot);
  JournalLineBalance line;
  line.account = Trim(journal.Value(journal.FieldByCode(kLineAccount)));
  line.date = journal.Value(journal.FieldByCode(kLineDate));
  line.side = Trim(journal.Value(journal.FieldByCode(kLineSide)));
  line.journal = Trim(journal.Value(journal.FieldByCode(kLineJournal)));
  line.amount = journal.Number(journal.FieldByCode(kLineAmount));
  return line;
}

std::vector<int32_t> LocalizarNivelesCuenta(const std::string& account) {
  std::vector<int32_t> records;
  if (!ledger::ChartOpen()) internal::RaiseFileFailure("PLANC", "");
  const size_t n = account.size();
  if (n == 0) return records;
  // Posting added the line to each of these.
  std::vector<bool> present(n + 1, false);
  for (size_t length = 1; length <= n; ++length) {
    const int32_t record = SeekChart(account.substr(0, length));
    if (record == 0) continue;
    records.push_back(record);
    present[length] = true;
  }
  // The levels the company's structure asks for, below an account the chart
  // holds, are made whole.
  if (!present[n]) return records;
  const auto& levels = server::Process().account_levels;
  for (size_t i = 1; i < levels.size(); ++i) {
    const int level_length = levels[i];
    if (level_length <= 0 || static_cast<size_t>(level_length) >= n) continue;
    const auto length = static_cast<size_t>(level_length);
    if (present[length]) continue;
    records.push_back(CreateLevelAccount(account.substr(0, length), static_cast<int>(i)));
    present[length] = true;
  }
  return records;
}

void ActualizarSaldosApunte(server::Enlace& e, int16_t sign, const JournalLineBalance& line) {
  const std::vector<int32_t> records = LocalizarNivelesCuenta(line.account);
  // A line that is neither a debit nor a credit has no balance to change.
  // (The desktop program sounds a warning here; a server has no one to hear it.)
  if (line.side != "1" && line.side != "2") return;
  const int side = line.side == "1" ? 1 : 2;
  const int element = BalanceElement(line.journal, line.date);
  for (int32_t record : records) {
    CheckFile(ledger::AddToChartBalance(record, side, element, sign * line.amount), "PLANC");
  }
  UpdateCompanyTotals(e, sign, line);
}

}  // namespace qrole::maintenance
