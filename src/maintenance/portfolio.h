// The portfolio's due dates ("EFECT"): selecting them by portfolio or bank
// code, due-date range, account and entry number, to mark, delete or read
// them.
#ifndef QROLE_MAINTENANCE_PORTFOLIO_H_
#define QROLE_MAINTENANCE_PORTFOLIO_H_

#include <cstdint>
#include <memory>
#include <string>

namespace qrole {
class Collection;
}
namespace qrole::server {
class Enlace;
}

namespace qrole::maintenance {

// The five criteria of a selection; an empty one selects everything.
struct CriteriosCartera {
  std::string cartera;  // portfolio or bank code
  std::string desde;    // first due date, as the table component reads dates
  std::string hasta;    // last due date
  std::string cuenta;
  std::string asiento;  // entry number
};

// FiltroCartera: the filter condition of the criteria given, in the order
// above, joined by " AND "; the values exactly as written. The empty text
// when every criterion is empty.
std::string FiltroCartera(const CriteriosCartera& c);

// MarcarCartera: writes `marca` into the mark of every selected due date.
// Returns 0. In web mode the service marks them ("FILTERUPDATE" of "EFECT")
// and the answer is the number it answers (its leading number, rounded).
int32_t MarcarCartera(server::Enlace& e, const std::string& marca, const CriteriosCartera& c);

// AnularCartera: deletes every selected due date. Returns 0. In web mode
// the service deletes them ("FILTERBORRAR") and the answer is its number.
int32_t AnularCartera(server::Enlace& e, const CriteriosCartera& c);

// LeerCartera: the selected due dates as a new collection of CarteraClass
// (empty when none), in the table's order. The pending portfolio lines are
// not touched. In web mode they come from the service's answer to a search
// ("BUSCAR" of "EFECT"): a header of field numbers, then one row each.
//
// In web mode a refusal of the service raises 0x8004C35D in all three.
std::shared_ptr<Collection> LeerCartera(server::Enlace& e, const CriteriosCartera& c);

}  // namespace qrole::maintenance

#endif  // QROLE_MAINTENANCE_PORTFOLIO_H_
