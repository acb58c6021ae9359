// The withholding, portfolio and analytic stages of posting an entry, run
// after the journal lines, and the numbers they and the journal lines draw.
//
// The stages read the pending lines of the context's object and stamp every
// record with the context's accounting date and entry number. They need the
// company's catalogue tables open in the record slots (the chart for the
// portfolio titles, the journal, cost-centre chart and analytic file for
// the analytic lines); the withholding and portfolio tables are opened
// through the table component. A failure of a table or file is raised as an
// AutomationError and ends the stage where it stands.
#ifndef QROLE_POSTING_SECONDARY_RECORDS_H_
#define QROLE_POSTING_SECONDARY_RECORDS_H_

#include <string>

#include "posting/posting_context.h"

namespace qrole::posting {

// One "Ret01" record per pending withholding line, each with the next order
// number.
void PostWithholdings(PostingContext& ctx);

// One "EFECT" record per pending portfolio line; the due date is stored in
// the stored date form whichever of the three client forms it came in
// (dd/mm/yyyy, a short form with "/", or a compact one without).
void PostPortfolio(PostingContext& ctx);

// One analytic record per pending analytic line, copied from the first
// posted journal line of its account (ctx.analytic_lines) that is not fully
// distributed yet, with the line's description, cost-centre account and
// amount; the cost-centre balances follow. A line with no such journal line
// is not written and defers status 50008 with its account.
void PostAnalyticLines(PostingContext& ctx);

// The next analytic link number (six digits), written by posting in field
// 18 of a journal line on an analytic account: the company's analytic
// counter + 1, or the highest link of the analytic file + 1 when that one is
// taken; the counter is stored back under the header's lock. A file that is
// busy is tried again, up to 1000 failures; a missing company file ends it at
// once. When it gives up the answer is the empty text (no link).
std::string EnlazarAnalitica(server::Enlace& e);

// The account's title in the chart (trailing blanks cut), empty when it is
// not there.
std::string TituloCuenta(server::Enlace& e, const std::string& account);

// The next withholding order number: the highest of "Ret01" + 1, as ten
// digits with leading zeros.
std::string SiguienteOrdenRetencion(server::Enlace& e);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_SECONDARY_RECORDS_H_
