// Deleting an account of the chart of accounts together with its master
// data. Creating and changing accounts is the ledger's (chart_accounts.h).

#ifndef QROLE_MAINTENANCE_ACCOUNTS_H_
#define QROLE_MAINTENANCE_ACCOUNTS_H_

#include <string>

#include "ledger/chart_accounts.h"

namespace qrole::server {
class Enlace;
}

namespace qrole::maintenance {

using ledger::CrearEnPlan;
using ledger::kCentrosDeCosto;
using ledger::kNivelAnalitica;
using ledger::kNivelTitulo;
using ledger::kPlanAlternativo;
using ledger::kPlanContable;

// AnularCuenta: deletes the account `cuenta` from the chart of accounts and,
// when the chart held it, its master-data record; True when the chart
// record was deleted. Nothing else that names the account is checked or
// touched. Every file of the record code is closed afterwards; the company
// stays open. Raises 0x8004C356 when no company is open, and 0x8004C35A when
// a record cannot be read or deleted.
//
// In web mode the service is asked to delete it ("BORRARCUENTA"); the answer
// is False even then, and a refusal ("ERROR...") raises 0x8004C35A.
bool AnularCuenta(server::Enlace& e, const std::string& cuenta);

}  // namespace qrole::maintenance

#endif  // QROLE_MAINTENANCE_ACCOUNTS_H_
