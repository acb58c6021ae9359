// Cancelling posted accounting data: a whole entry with every record posting
// wrote for it, one journal line by its record number, or every journal line
// that carries a reference. Each line removed is first taken out of the
// balances of its account and its levels, and of the company's totals
// (journal_balances.h); each analytic line removed is taken out of the
// cost-centre balances. There is no transaction: a failure part-way leaves
// what was already removed removed.
#ifndef QROLE_MAINTENANCE_CANCELLATION_H_
#define QROLE_MAINTENANCE_CANCELLATION_H_

#include <cstdint>
#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::maintenance {

// AnularAsiento: removes the entry `numero` of date `fecha` (a client date
// of the open fiscal year): its journal lines, VAT-book lines, portfolio
// lines, the analytic lines of its journal lines, and the withholdings of
// that date and number. Returns 0; an entry that does not exist removes
// nothing. Afterwards the object's entry counts as started. Raises
// 0x8004C356 when no company is open, 0x8004C353 for a date that is not
// valid or not in the fiscal year, 0x8004C35A "No se puede borrar el asiento
// ya que esta bloqueado segun la Ley de fraude" (nothing removed) when a line
// carries an attached document of more than 10 bytes, and 0x8004C35A with
// the reindexing message when an index failed while records were removed
// (everything else is still done).
//
// In web mode the service is asked to remove it ("ANULARASIENTO" with the
// date and number as written); a refusal raises 0x8004C35D.
int16_t AnularAsiento(server::Enlace& e, const std::string& fecha, const std::string& numero);

// AnularApuntePorRegistro: removes journal line `registro` and, with
// `incluir_analitica`, its analytic lines. A number below 1, or a line that
// does not exist or is already removed, changes nothing. Returns false.
// Raises 0x8004C356 when no company is open, and 0x8004C35A with the
// reindexing message when an index failed while records were removed.
// In web mode, whether a company is open or not, raises 0x8004C35D "Esta
// opción no está disponible con enlace a " + the service's host.
bool AnularApuntePorRegistro(server::Enlace& e, int32_t registro, bool incluir_analitica);

// AnularApuntePorReferencia: removes every journal line whose reference is
// `referencia` (compared in the reference's width) with its analytic lines
// (always, whatever `incluir_analitica` says); with `incluir_iva`, the VAT
// lines that carry the reference or, when it is short or none does, those
// of the entries of the removed lines; and the portfolio lines of those
// entries. Returns true when the removed lines add up to 0 (none removed
// included); false, doing nothing, for a blank reference. Errors while the
// VAT book is cleaned are passed over. Raises 0x8004C356 when no company is
// open, and 0x8004C35A as AnularApuntePorRegistro does.
//
// In web mode the service is asked to remove the lines of the reference
// ("ANULARASIENTO" with the element REFERENCIA "REFERENCIA=" + reference);
// True, or a refusal raised as 0x8004C35D.
bool AnularApuntePorReferencia(server::Enlace& e, const std::string& referencia, bool incluir_iva,
                               bool incluir_analitica);

}  // namespace qrole::maintenance

#endif  // QROLE_MAINTENANCE_CANCELLATION_H_
