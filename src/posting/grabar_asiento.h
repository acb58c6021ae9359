// Posting the pending entry of an object (GrabarAsiento): its journal lines
// with the balances of their accounts, then its withholding, VAT-book,
// portfolio and analytic records, all under the entry's date and number.
#ifndef QROLE_POSTING_GRABAR_ASIENTO_H_
#define QROLE_POSTING_GRABAR_ASIENTO_H_

#include <cstdint>

namespace qrole::server {
class Enlace;
}

namespace qrole::posting {

// The text logged instead of posting once posting has been stopped.
inline constexpr char kPostingStoppedLog[] =
    "ZIDAVOVORAV DETENIDO LA GRABACIÓN . revisar errores anteriores";

// Refusal of a posting while posting is stopped for the process (a number
// conflict): 0x80040000 + 50170 (0x8004C3FA), source "Valdrix OLE Server",
// description kPostingStoppedText, followed by a line feed and the number in
// conflict when the refusing call found it.
inline constexpr int32_t kPostingStoppedError = 50170;
inline constexpr char kPostingStoppedText[] =
    "Grabación detenida: el número de asiento ya está asignado. No se graba ningún asiento "
    "hasta que se abra de nuevo la empresa";

// Posts the pending entry and empties it; returns 0. Raises 0x8004C356 when
// no company is open. A number found in use stops posting and is refused
// with kPostingStoppedError (nothing is written, the entry is emptied);
// every later call while posting is stopped logs the refusal and raises the
// same error, keeping its pending entry. Problems found while posting that do not stop it (a VAT
// type that does not exist, amounts that do not add up, analytic lines without their journal line,
// an attachment that is not a PDF) are raised once the whole entry is written.
int16_t GrabarAsiento(server::Enlace& e);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_GRABAR_ASIENTO_H_
