// The VAT book ("IVA01"): posting the pending VAT lines of an entry, the
// completion of their SII fields once the entry is written, and the count of
// the records of an invoice.
//
// Posting a line resolves its type (TipoIva: one character, its number; two,
// a code text; longer, a percentage looked up in the VAT-type file), computes
// the VAT and surcharge amounts and whichever of base and total the client
// left at 0, gives the line its order number within its book (S/R/T/C), and
// writes one record. Each record carries a temporary SII identifier (field
// 35) until CompletarSii finds it again by that identifier, writes the SII
// description, the rectified-invoice reference and the completion date, and
// clears it.

#ifndef QROLE_POSTING_VAT_BOOK_H_
#define QROLE_POSTING_VAT_BOOK_H_

#include <cstdint>
#include <string>

#include "posting/posting_context.h"

namespace qrole::posting {

// The VAT-book stage: one "IVA01" record per item of the object's pending VAT
// collection (Col::kIva), in order. Uses ctx.e, ctx.chart (the open "PLANC"
// table; the stage opens one of its own when it is null), ctx.accounting_date
// (stored form) and ctx.entry_number; the VAT book's record slot (4) gives
// the order numbers and is opened when it is not. Sets ctx.Defer(...) for
// 50007 (text empty), 50011 (text: the line's TipoIva) and 50012 (text
// empty); pushes "id~description~~~reference" per record to ctx.sii_pending
// and sets ctx.vat_posted. Changes the lines' CuotaProrrata and, when it
// computes it, Liquido. Nothing is done without VAT lines. Errors of the
// tables, of the VAT-type file (runtime error 53 or 75) and of an invalid
// OtrosCampos pair (9) propagate; the records written before stay written.
void PostVatLines(PostingContext& ctx);

// The SII completion pass over the records remembered in ctx.sii_pending:
// each record of this entry (ctx.entry_number) with that identifier gets
// its SII description (34), its rectified-invoice or customs reference (37)
// and today's date ("FECHA GRABACION"); its identifier (35) and field 38 are
// emptied. Nothing when nothing is remembered. Errors propagate.
void CompletarSii(PostingContext& ctx);

// ExisteIva: the number of VAT-book records of the open company whose
// invoice number (field 5, as its index compares it) is `referencia`.
// Raises 0x8004C356 when no company is open; closes every file before it
// returns. On the web the service searches "IVA01" for "FACTURA No.=" +
// `referencia` and the rows of its answer are counted (0x8004C35D when it
// answers "ERROR").
int32_t ExisteIva(server::Enlace& e, const std::string& referencia);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_VAT_BOOK_H_
