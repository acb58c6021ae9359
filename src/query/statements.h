// Account statements: the journal lines (or analytic lines) of one account,
// or of every account matching a pattern, between two dates, with debit,
// credit and running balance. Read in key order through the account-and-date
// index of the line file, as the record slots of the open company hold it;
// in web mode, one search of the web service.
#ifndef QROLE_QUERY_STATEMENTS_H_
#define QROLE_QUERY_STATEMENTS_H_

#include <cstdint>
#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::query {

// Line files a statement reads, numbered as the interface's QRExtractos
// (they are also the files' slot numbers).
inline constexpr int kExtractoDiario = 2;
inline constexpr int kExtractoAnalitico = 10;

// LeerExtracto: loads the statement of `cuenta` (a code, or a pattern with
// "*" or "?" walked over the chart of the file) from `desde` to `hasta`
// (client dates; empty: no limit) into the object's statement collection.
// Each account's statement starts with the amounts of its lines before
// `desde` in the running balance, which the call starts at 0 and carries
// from one account to the next. True when the collection holds a line.
// Raises 0x8004C356 without a company, 0x8004C353 for a date that is not
// valid or lies outside the fiscal year, 5 for a file other than the two.
bool LeerExtracto(server::Enlace& e, const std::string& cuenta, const std::string& desde,
                  const std::string& hasta, int archivo);

// LeerExtractoEx: the journal statement as text, one line per journal line,
// twelve TAB-separated columns (record number, account, stored date, entry,
// description, debit, credit, running balance, Punteo, journal, channel,
// reference), each line ended by CR. The balance starts at 0 and counts
// only the listed lines: no opening balance.
std::string LeerExtractoEx(server::Enlace& e, const std::string& cuenta, const std::string& desde,
                           const std::string& hasta);

// AñadirLineaExtracto: appends the line current in slot `file` (the journal
// or the analytic lines, read from record `record`) to the statement
// collection as an ExtractoClass, its Saldo the object's running balance
// moved on by the line's amount. Also the line builder of the searches.
void AnadirLineaExtracto(server::Enlace& e, int file, int32_t record);

}  // namespace qrole::query

#endif  // QROLE_QUERY_STATEMENTS_H_
