// Opening a company's catalogue tables into the record slots.
//
// Slots 1 to 10 (7 unused) hold the chart, the journal, the master data, the
// VAT book, the portfolio, the budgets, the cost centres, the alternative
// chart and the analytic lines, each with its index; the currency table is
// loaded with them. The status-29 retry of an append reopens the same set
// through the hook this module registers.
//
// Where files stay open between calls (platform::KeepFilesOpenBetweenCalls),
// the set stays open when a call ends (CloseFilesBetweenCalls) and the next
// OpenCompanyTables of the same company keeps each table that is still
// what was opened: the slot untouched since, the record file, the index file
// and the definition file still the same files (one look at each). Another
// process's writes are seen through the open files; a file replaced or
// removed since, or a definition changed, is opened again. Elsewhere every
// file is closed when a call ends and the set is opened anew at every call.

#ifndef QROLE_DATA_COMPANY_TABLES_H_
#define QROLE_DATA_COMPANY_TABLES_H_

#include <string>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace qrole::data {

// (slot, table) of the catalogue, in opening order.
const std::vector<std::pair<int, std::string>>& CatalogueTables();

// Opens every catalogue table of the company `number` in `directory` and
// loads the currency table for its "ARCHIVOMONEDABASE" value
// `currency_base`. A table whose definition file is missing shows its
// message and leaves its slot closed; the others still open. Returns the
// first failure (Ok when every table opened). Remembers the company so that
// an append refused with status 29 can reopen the set. Tables kept open
// from an earlier call (see above) are not opened again; their field values
// are made blank as an opening makes them.
platform::Status OpenCompanyTables(const std::string& directory, const std::string& number,
                                   int currency_base);

// The end of a call that used the record code: every slot and index file is
// closed, except, where files stay open between calls, the company's
// catalogue tables that OpenCompanyTables opened.
void CloseFilesBetweenCalls();

}  // namespace qrole::data

#endif  // QROLE_DATA_COMPANY_TABLES_H_
