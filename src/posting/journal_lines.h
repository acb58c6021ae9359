// The journal stage of posting: one "EXTRA" record per pending journal
// line, the account created when the chart lacks it, the link to the
// analytic lines, the line's note and attached PDF, and the monthly balances
// of every level of the account in the chart.
#ifndef QROLE_POSTING_JOURNAL_LINES_H_
#define QROLE_POSTING_JOURNAL_LINES_H_

#include <string>

namespace qrole {
class RecordObject;
}
namespace qrole::data {
class TableComponent;
}

namespace qrole::posting {

struct PostingContext;
class PostingRetry;

// Posts every pending journal line; `currency_slot` is the lines' currency
// slot digit (or empty). Returns true when at least one line was stored.
bool PostJournalLines(PostingContext& ctx, PostingRetry& retry, const std::string& currency_slot);

// The journal a line's `Diario` names: "1" to "9" and "A" to "C" (any case,
// upper-cased); anything else is journal "1".
std::string ValidJournal(const std::string& diario);

// Adds a posted line to the balances of the chart records of its account's
// first 1, 2, ... n characters: the debit (TIPO 1) or credit (TIPO 2) element
// of the line's period (journal "A" opening, "B" regularisation, "C"
// closing, otherwise the month of the accounting date) grows by the line's
// signed amount in the company's currency (the journal's amount field).
// Other types leave the balances alone.
void ActualizarSaldos(PostingContext& ctx, PostingRetry& retry, const std::string& account,
                      int tipo, const std::string& journal, double signed_amount);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_JOURNAL_LINES_H_
