// The posting log: a text file per company and year to which every line
// added to a pending entry, and every incident of posting, is appended.
//
// Each line holds nine TAB-separated values: date (mm-dd-yyyy), time
// (hh:mm:ss), server version, computer name, user name, company number,
// company directory, company path and the message. The file is Windows-1252
// text with CR LF line ends.
#ifndef QROLE_LEDGER_AUDIT_LOG_H_
#define QROLE_LEDGER_AUDIT_LOG_H_

#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::ledger {

// The default log of the object's company: company directory + "QROLE_" +
// company number + "_" + the current year + ".log". Empty when the object
// has never had a company (no directory to put it in).
std::string DefaultAuditPath(const server::Enlace& e);

// The line AuditoriaSave appends for `message` (without its CR LF).
std::string AuditLine(const server::Enlace& e, const std::string& message);

// Appends the line of `message` to `file` when, trimmed, it is not empty,
// otherwise to the default log. Never fails: a log that cannot be written is
// skipped.
void AuditoriaSave(const server::Enlace& e, const std::string& message,
                   const std::string& file = "");

}  // namespace qrole::ledger

#endif  // QROLE_LEDGER_AUDIT_LOG_H_
