// Checks of the pending entry made before any of it is written, so that an
// entry the books cannot hold is refused whole rather than stored in part
// or stored wrong.
//
// A journal line's account longer than the chart's code field cannot be an
// account: stored, it would be cut and name another one, and looking it up
// level by level would cost in proportion to the square of its length. Such
// an entry is refused with 0x8004C35A (0x80040000 + 50010), source "Valdrix
// OLE Server", description kAccountTooLongText + the field's width + "
// caracteres)" + a line feed + the start of the code.
//
// Every amount of the entry (each Double of its journal, VAT, portfolio,
// analytic and withholding lines), and the company- and second-currency
// amounts of its journal and analytic lines, must lie within
// ±kLargestAmount: beyond it the rounding to the currency's decimals and the
// rates and sums applied while posting could leave the range of a Double,
// and the amount could not be stored. Otherwise the entry is refused with
// the runtime's 6 "Overflow".
//
// A refused entry is emptied, as after any failed posting, and the refusal
// is written to the posting log.
#ifndef QROLE_POSTING_ENTRY_CHECKS_H_
#define QROLE_POSTING_ENTRY_CHECKS_H_

namespace qrole::server {
class Enlace;
}

namespace qrole::posting {

inline constexpr double kLargestAmount = 1e300;
inline constexpr char kAccountTooLongText[] =
    "Cuenta demasiado larga para el plan contable (máximo ";

// Raises as above when the pending entry of `e` cannot be posted. The
// company's record files must be open (the chart's layout gives the width).
void CheckPendingEntry(server::Enlace& e);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_ENTRY_CHECKS_H_
