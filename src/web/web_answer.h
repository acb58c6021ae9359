// Tabular answers of the web service loaded into the statement collection.

#ifndef QROLE_WEB_WEB_ANSWER_H_
#define QROLE_WEB_WEB_ANSWER_H_

#include <cstdint>
#include <string>

#include "automation/collection.h"
#include "web/web_session.h"

namespace qrole::web {

// The file kind of an analytic statement (QRExtractos.Analitico): its rows
// carry the account in field 19 instead of field 2.
inline constexpr int kAnalyticStatementKind = 10;

// What the statement rows take from their object: the running balance,
// carried from row to row (and from call to call: the statement methods
// reset it), and the keyed engine's record number, put in every row.
struct StatementContext {
  double* running_balance;
  int32_t engine_record;
};

// Empties `extracto` and fills it with one ExtractoClass per non-empty row
// of `answer`: lines separated by LF (a CR before the LF is dropped), line 0
// a header of TAB-separated field numbers (0 to 99) that tells which column
// holds which field, every other line a row of TAB-separated values. A field
// that the header does not list, or that a row lacks, reads as empty.
void CargarRespuestaWeb(const std::string& answer, int file_kind, Collection& extracto,
                        const StatementContext& context);

// Sends the search "BUSCAR" of `filter` in `file` and loads the answer into
// `extracto` (file kind: the numeric value of `file`); true when it then
// holds at least one row. Raises as PeticionWebCampos.
bool BuscarWeb(WebSession& s, const std::string& filter, const std::string& file,
               Collection& extracto, const StatementContext& context);

}  // namespace qrole::web

#endif  // QROLE_WEB_WEB_ANSWER_H_
