// Entry numbers: the proposal of the next number from the counter in the
// company header, the check of a number against the journal, and the
// storing of the counter once an entry has been posted.
//
// A number already used in the journal is taken for a damaged counter: the
// user is told, the incident is logged and posting stops for the whole
// process until a company is opened again (ProcessState::stop_posting).
#ifndef QROLE_POSTING_ENTRY_NUMBERS_H_
#define QROLE_POSTING_ENTRY_NUMBERS_H_

#include <string>

#include "qrole/variant.h"

namespace qrole::server {
class Enlace;
}

namespace qrole::posting {

// The header field that holds the last entry number used.
inline constexpr char kEntryCounterField[] = "CONTADORASIENTOS";

// `Número` let: a value that is not the empty text is the client's own
// number (stored as given, not checked, the counter left alone); the empty
// text asks for a proposal: "(Auto)" in web mode, otherwise the counter + 1
// in six digits, or "-1" (and the pending entry emptied) when the journal
// already holds that number. Raises 0x8004C356 when no company is open.
void SetEntryNumber(server::Enlace& e, const Variant& value);

// True when `number` (or, when it is blank, the object's current number) is
// blank or already used by a line of the journal; a used number is reported
// (message box, log line) and stops posting; with `close_and_end` the files
// are closed and the pending entry emptied as well.
bool IsNumeroAsiento(server::Enlace& e, const std::string& number, bool close_and_end);

// Stores the current number as the company's counter (nothing in web mode or
// for a number the client gave). Never fails: a header that cannot be
// written is left as it is.
void GrabarNuevoNumeroAsiento(server::Enlace& e);

// Creates the company's last-insertion file ("ultimainsercion" + number +
// ".txt") when missing and writes the posting log buffer into it, which it
// then empties. Never fails.
void GrabarUltimaInsercion(server::Enlace& e);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_ENTRY_NUMBERS_H_
