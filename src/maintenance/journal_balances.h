// The balances a journal line stands in: the monthly debits and credits of
// its account and of every account above it in the chart of accounts, and
// the company's running totals in the company header. Cancellations take a
// line out of them again (sign -1).
//
// Posting adds a line to every chart account whose code begins the line's
// account (the account itself and each level above it that the chart
// holds), in the debit (side "1") or credit (side "2") element of its
// period, with its signed amount in the company's currency (the journal's
// amount field, whatever currency the line was given in): credits
// accumulate as negative amounts. Taking a line out reverses exactly that, so that the
// chart keeps holding the sum of the lines left in the journal.
//
// The routines work on the record slots of the open company: the chart
// "PLANC" in slot 1 and the journal "EXTRA" in slot 2, each with its index.
// Level lengths are the account level lengths of the last opened company.
#ifndef QROLE_MAINTENANCE_JOURNAL_BALANCES_H_
#define QROLE_MAINTENANCE_JOURNAL_BALANCES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "ledger/chart_balances.h"

namespace qrole::server {
class Enlace;
}

namespace qrole::maintenance {

using ledger::BalanceElement;
using ledger::kChartSlot;
using ledger::kJournalSlot;

// Title of a level account that a cancellation finds missing and creates.
inline constexpr char kLevelAccountTitle[] = "*** MAYOR SIN TÍTULO ***";

// A journal line as its balances see it.
struct JournalLineBalance {
  std::string account;  // Windows-1252 bytes, without blanks around it
  std::string date;     // stored form (yymmdd, a letter for the 2000s)
  std::string side;     // "1" debit, "2" credit, anything else: no balance
  std::string journal;  // "A" opening, "B" regularisation, "C" closing
  double amount = 0;    // the amount posting added to the chart
};

// The line whose values the journal slot holds (read with ReadRecord). The
// amount is the line's signed amount in the company's currency (field 6).
JournalLineBalance JournalLineFromSlot();

// The chart records whose balances hold a line on `account` (Windows-1252,
// trimmed): every record whose code is the first 1, 2, ... n characters of
// the account. When the account itself is in the chart, each level account
// (the first L characters, for every account level length L shorter than the
// account) that the chart lacks is created with the title above, its level
// number, not analytic, and the balances of the journal lines beneath it as
// the journal stands; its record is part of the answer. Raises 0x8004C35A
// when a file fails.
std::vector<int32_t> LocalizarNivelesCuenta(const std::string& account);

// Adds `sign` (1 adds, -1 takes out) times the line's amount to the debit or
// credit element of its period in every record LocalizarNivelesCuenta gives,
// each changed in place under the record's lock, and to the company's total
// debit ("CARGOSA") or total credit ("ABONOSA") in the company header, whose
// month ("MES") becomes the line's. A side other than "1" or "2" changes no
// balance. The header is changed under the lock of its bytes; a company file
// that stays busy for 1000 attempts is left alone, with message 153 shown and
// the incident written to the posting log. Raises 0x8004C35A when the chart
// fails. The chart's side is changed through ledger/chart_balances.h.
void ActualizarSaldosApunte(server::Enlace& e, int16_t sign, const JournalLineBalance& line);

}  // namespace qrole::maintenance

#endif  // QROLE_MAINTENANCE_JOURNAL_BALANCES_H_
