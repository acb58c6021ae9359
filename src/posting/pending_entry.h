// The pending entry: the lines a client adds to the entry it is building
// (journal, VAT book, portfolio, analytic and withholding lines), kept in
// the object's collections until the entry is posted. Nothing is written to
// the company data here; every line but a withholding is written to the
// posting log.
//
// Each function is the member of the same name: `a` holds the member's
// arguments in the order of the interface, converted to their declared
// types; the result is the record object added to its collection.
#ifndef QROLE_POSTING_PENDING_ENTRY_H_
#define QROLE_POSTING_PENDING_ENTRY_H_

#include "automation/object.h"

namespace qrole::server {
class Enlace;
}

namespace qrole::posting {

// A journal line (ApunteClass). Starts the entry.
Variant AnadirApunte(server::Enlace& e, Args& a);
// A VAT-book line (IVAClass), its invoice date in the stored form. Starts
// the entry.
Variant AnadirIVA(server::Enlace& e, Args& a);
// A due date of the portfolio (CarteraClass). Starts the entry.
Variant AnadirCartera(server::Enlace& e, Args& a);
// An analytic line (AnaliticaClass). Does not start the entry: added before
// any other line, it goes with the entry started next.
Variant AnadirAnalitica(server::Enlace& e, Args& a);
// A withholding line (RetClass), its order number left to posting. Starts
// the entry; not logged.
Variant AnadirRetencion(server::Enlace& e, Args& a);

// AddVAT: AñadirIVA without the SII fields (empty texts, amounts 0).
void AddVAT(server::Enlace& e, Args& a);

// A VAT-book line of an entry read back from the book (IVAClass), kept as
// the book holds it: the invoice date is not converted, the prorated VAT,
// collection date and means, and net amount come from the book, and nothing
// is logged. Starts the entry. `a`: CuentaClienteProveedor, CuentaIVA,
// Factura, FechaFactura, TipoIva, SRTC, Base, TOTAL, Prorata, titulo, NIf,
// NumeroOrden, CLAVEOPERACION, Referencia, Seriefacturas, FechaCobro,
// MedioCobro, DescripcionMedioCobro, CuotaProrrata, PorcRetencion,
// RegimenEspecial, Liquido, SII_Codigo, SII_DescripcionDocumento, SII_Id,
// SII_FacturaExtendida, SII_FacturaRectificativa_DUA,
// SII_PeriodoPresentacion.
Variant CargarLineaIva(server::Enlace& e, Args& a);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_PENDING_ENTRY_H_
