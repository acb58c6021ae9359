// Whether an account code fits the code field of a table as its definition
// lays it out. A code longer than the field would be stored cut, and so
// could name (or duplicate) another account: such codes are refused.

#ifndef QROLE_LEDGER_CODE_FIELD_H_
#define QROLE_LEDGER_CODE_FIELD_H_

#include <string_view>

namespace qrole::ledger {

// True when `code` (UTF-8) takes no more bytes of the file than field 1 of
// `table` holds; also true when the definition cannot be read, so that the
// table component reports that failure itself.
bool FitsCodeField(std::string_view table, std::string_view code);

}  // namespace qrole::ledger

#endif  // QROLE_LEDGER_CODE_FIELD_H_
