// Cost-centre balances: the monthly debits and credits of a cost-centre
// account and of every level account above it, kept in step with the
// analytic lines that are written (posting) or removed (cancellations).
//
// Both routines work on the record slots of the open company: the
// cost-centre chart "Costo" in slot 8 (with its index) and the analytic
// line in the field values of slot 10 ("Anali"). Level lengths are the
// cost-centre level lengths of the last opened company (ProcessState).
#ifndef QROLE_LEDGER_ANALYTIC_BALANCES_H_
#define QROLE_LEDGER_ANALYTIC_BALANCES_H_

#include <array>
#include <cstdint>
#include <string>

namespace qrole::ledger {

// Record slots of the tables the balances involve.
inline constexpr int kCostCentreSlot = 8;
inline constexpr int kAnalyticSlot = 10;

// Record numbers of the cost-centre chart records a line updates: [0] the
// account itself, [i] its level-i account (1..8); 0 where there is none.
using CostCentreLevels = std::array<int32_t, 9>;

// Finds the account in the cost-centre chart (index 1) and, for each level i
// whose length L is not 0 and is shorter than the account (trailing blanks
// not counted), the account of its first L characters, creating a missing
// one (title "Mayor sin título", level i, not analytic, balances 0). When
// the account itself is not in the chart nothing is found nor created.
// Raises when the index or the record file fails.
CostCentreLevels LocalizarNivelesAnalitica(const std::string& account);

// Adds `sign` (1 adds, -1 subtracts) times the analytic line's amount (field
// 6 of slot 10) to the balance element of the account and its levels: the
// debit array for side "1", the credit array for side "2" (field 5); any
// other side changes nothing. The element is 0 for journal "A", 13 for "B",
// 14 for "C", else the month of the line's date (field 1; a month above 12
// counts as 0). Each balance is changed in place under the record's lock
// when index maintenance is on. Raises when the files fail.
void ActualizarSaldosAnalitica(int16_t sign, const std::string& account);

}  // namespace qrole::ledger

#endif  // QROLE_LEDGER_ANALYTIC_BALANCES_H_
