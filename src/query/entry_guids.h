// Identifiers of the client's own attached to entry numbers (the company
// table "GUID1", one record per entry number), and the dates on which an
// entry number occurs in the journal. In web mode they are the web service's:
// "GETGUID", "SETGUID", "GETASIENTOS" and "GETFECHAS" requests.
#ifndef QROLE_QUERY_ENTRY_GUIDS_H_
#define QROLE_QUERY_ENTRY_GUIDS_H_

#include <memory>
#include <string>

#include "automation/collection.h"

namespace qrole::server {
class Enlace;
}

namespace qrole::query {

// Guid get: the identifier of entry `asiento`, trimmed; "" when it has none.
std::string LeerGuid(server::Enlace& e, const std::string& asiento);

// Guid let: stores `valor` as the identifier of entry `asiento`, replacing
// the one it had; the empty text removes it. Any failure, and a number or
// identifier that the table cannot hold as given, raises 50200 "Error al
// crear un GUID" (nothing is stored then).
void GrabarGuid(server::Enlace& e, const std::string& asiento, const std::string& valor);

// GetAsientos: the entry numbers that carry identifier `guid`.
std::shared_ptr<Collection> GetAsientos(server::Enlace& e, const std::string& guid);

// GetFechas: the dates (stored form) of the journal lines of entry number
// `asiento`, each once, in date order.
std::shared_ptr<Collection> GetFechas(server::Enlace& e, const std::string& asiento);

}  // namespace qrole::query

#endif  // QROLE_QUERY_ENTRY_GUIDS_H_
