// Accounts of the company's three charts: creating an account (with
// automatic numbering of codes that hold "*") and changing the title or the
// analytic flag of an existing one. Posting creates the accounts its lines
// name; the account members of maintenance create and change them.

#ifndef QROLE_LEDGER_CHART_ACCOUNTS_H_
#define QROLE_LEDGER_CHART_ACCOUNTS_H_

#include <string>

#include "qrole/variant.h"

namespace qrole::server {
class Enlace;
}

namespace qrole::ledger {

// The charts, numbered as the interface's QRPlanes.
inline constexpr int kPlanContable = 1;     // chart of accounts, "PLANC"
inline constexpr int kCentrosDeCosto = 8;   // cost centres, "Costo"
inline constexpr int kPlanAlternativo = 9;  // alternative chart, "PLANA"

// The level codes with a meaning of their own: -1 changes the title of an
// existing account (a new one gets level "0"); "-6" marks an existing
// account analytic, or creates an analytic account of level "0".
inline constexpr int kNivelTitulo = -1;
inline constexpr const char* kNivelAnalitica = "-6";

// CrearEnPlan: plan 1 (chart of accounts "PLANC"), 8 (cost centres "Costo"),
// 9 (alternative chart "PLANA"). `cuenta` receives a generated code when the
// routine generates one; `nivel` is the caller's level value (changed as the
// routine says). Returns the member's Boolean result.
//
// Without "*" in the code: a missing account is created with the title, the
// level (or "0" for the level codes above), zero balances, the analytic flag
// (not in the cost-centre chart) and the NIF unless it is "-1"; an existing
// account is changed only for the level codes above, and the answer is then
// True. With "*": the last code of the chart that matches the pattern (or,
// when none does, the text before the "*") is padded with "0" to the first
// width of the company's "AUX" setting that exceeds it, its trailing number
// is increased by one, and that code, written into `cuenta`, is created;
// False, with nothing written, when it is already in the chart. A code that
// is blank or longer than the chart's code field is refused with False.
//
// Raises 0x8004C356 when no company is open; errors of the table component
// reach the caller.
//
// In web mode code, title and level (and the analytic flag when set, the NIF
// when given) go to the service as an update of the chart's file ("1", "8"
// or "9"); the service creates or numbers the account, `cuenta` keeps what
// the caller wrote, and the answer is True. A refusal raises 0x8004C35D.
bool CrearEnPlan(server::Enlace& e, int plan, std::string* cuenta, const std::string& titulo,
                 Variant* nivel, bool analitica, const std::string& nif);

}  // namespace qrole::ledger

#endif  // QROLE_LEDGER_CHART_ACCOUNTS_H_
