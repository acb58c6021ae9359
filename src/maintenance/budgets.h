// Budget accounts: twelve monthly amounts per account code in the company's
// budget table ("PRESU").

#ifndef QROLE_MAINTENANCE_BUDGETS_H_
#define QROLE_MAINTENANCE_BUDGETS_H_

#include <cstdint>
#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::maintenance {

// CrearPresupuesto: creates the budget account `cuenta`, or resets an
// existing one: title, level and analytic marker replaced, the twelve
// monthly amounts set to 0. True when written; False when anything failed
// (failures are not raised) or the code is blank or longer than the table's
// code field. Raises 0x8004C356 when no company is open.
//
// In web mode the fields go to the service as an update of "PRESU" (a value
// "-1" left out) and the answer is True; its refusal raises 0x8004C35D.
bool CrearPresupuesto(server::Enlace& e, const std::string& cuenta, const std::string& titulo,
                      const std::string& nivel, const std::string& analitica);

// ModificarPresupuesto: sets the amount of month `mes` (1 to 12) of the
// budget account `cuenta`. False, with nothing written, for a month outside
// 1..12, a missing account or any failure. Raises 0x8004C356 when no company
// is open.
//
// In web mode the code and the amount (as field 2, element `mes`, whatever
// the month) go to the service as an update of "PRESU"; True, or a refusal
// raised as 0x8004C35D.
bool ModificarPresupuesto(server::Enlace& e, const std::string& cuenta, int32_t mes,
                          double importe);

}  // namespace qrole::maintenance

#endif  // QROLE_MAINTENANCE_BUDGETS_H_
