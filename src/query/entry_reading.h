// Reading posted entries back into the object's entry collections: the
// journal lines, VAT-book lines, portfolio and analytic lines of one entry,
// found by its date and number or by walking the journal's entry index.
//
// The cursor is the object's accounting date and current entry number: a
// read entry's date and number become them, and the walking reads move from
// them. A local read leaves the entry not started, so that the client's next
// added line empties what was read. In web mode each read is one
// "LEERASIENTO" request, and the lines of the answer are added as the
// client's own are: the entry stays started, and added lines join them.
#ifndef QROLE_QUERY_ENTRY_READING_H_
#define QROLE_QUERY_ENTRY_READING_H_

#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::query {

// LeerAsiento: the entry of date `fecha` and number `asiento`; an empty one
// keeps the object's own. Nothing happens when both the date and the number
// end up empty. The date is any form `Fecha` takes (31/12/13, 131231,
// 31/12/2013), without the fiscal-year check.
void LeerAsiento(server::Enlace& e, const std::string& fecha, const std::string& asiento);

// LeerPrimerAsiento / LeerUltimoAsiento: the first or last entry of the
// journal in date and number order. An empty journal empties the entry and
// leaves the cursor where it was.
void LeerPrimerAsiento(server::Enlace& e);
void LeerUltimoAsiento(server::Enlace& e);

// LeerProximoAsiento / LeerAnteriorAsiento: the entry after or before the
// cursor's in date and number order (the cursor's entry need not exist).
// None there empties the entry and leaves the cursor where it was.
void LeerProximoAsiento(server::Enlace& e);
void LeerAnteriorAsiento(server::Enlace& e);

// LeerReferencia: not available; always raises 0x8004C35D ("... no está
// disponible con enlace a " + host in web mode).
[[noreturn]] void LeerReferencia(server::Enlace& e);

}  // namespace qrole::query

#endif  // QROLE_QUERY_ENTRY_READING_H_
