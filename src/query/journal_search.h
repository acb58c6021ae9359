// Searches of the journal: the lines of a reference, of a description or of
// an amount, loaded into the object's statement collection as statement
// lines (the same collection and line builder as the account statements),
// and whether a reference has been posted.
//
// Each search starts afresh: the statement collection is emptied and the
// running balance and the search position start at 0. The balance then runs
// over the lines loaded, in the order they are found; the search position
// ends on the record of the last line loaded ([0]) and the number of lines
// loaded ([1]). The company's record files are open during the search only.
// In web mode each search is one search of the web service, whose rows are
// loaded as statement lines; the search position stays at 0.
#ifndef QROLE_QUERY_JOURNAL_SEARCH_H_
#define QROLE_QUERY_JOURNAL_SEARCH_H_

#include <cstdint>
#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::query {

// BuscarReferencia: the lines whose reference is exactly `referencia` (the
// whole field: "F-1" does not find "F-10"), in the order of the reference
// index. True when a line was found.
bool BuscarReferencia(server::Enlace& e, const std::string& referencia);

// BuscarDescripcion: the lines whose description holds `descripcion`
// anywhere, in record order; `mayusculas_minusculas` True makes letter case
// matter. True when a line was found.
bool BuscarDescripcion(server::Enlace& e, const std::string& descripcion,
                       bool mayusculas_minusculas);

// BuscarImporte: the lines of `importe` or of its negative, in record order.
// True when a line was found.
bool BuscarImporte(server::Enlace& e, double importe);

// ExisteReferencia: the entry number of the first line (in the reference
// index) whose reference is exactly `referencia`, as a number; 0 when no line
// carries it. The statement collection is not touched.
int32_t ExisteReferencia(server::Enlace& e, const std::string& referencia);

// All raise 0x8004C356 when no company is open.

}  // namespace qrole::query

#endif  // QROLE_QUERY_JOURNAL_SEARCH_H_
