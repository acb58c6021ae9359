// Cash-basis VAT (criterio de caja): the VAT of an invoice is declared when
// it is collected or paid. Each collection or payment adds to the VAT book
// ("IVA01") one line per line of the invoice, in the collection book that
// matches the invoice's book (S and G to V, R and F to W, T and L to X, C and
// K to Y), carrying the collection date and medium and the collected share
// of the invoice's amounts. The last collection of an invoice takes exactly
// what is left, so that its collection lines add up to the invoice.
//
// The invoice is looked for in the open company's VAT book and, when it is
// not there, in the book of the previous fiscal year's company (the setting
// "Empresa Anterior"). Collections and payments also post a two-line journal
// entry, on a second Enlace object, so that the caller's own pending entry
// is left alone; only the caller's current entry number changes.

#ifndef QROLE_CASHVAT_CASH_BASIS_H_
#define QROLE_CASHVAT_CASH_BASIS_H_

#include <cstdint>
#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::cashvat {

// The three members that record a collection, each with its own argument
// checks and messages.
enum class Operacion {
  kCobro,      // CobroFacturaCriterioCaja: a customer's collection, with its entry
  kPago,       // PagoFacturaCriterioCaja: a payment to a supplier, with its entry
  kAnadirIva,  // AñadirIvaCriterioCaja: the VAT-book lines only
};

// One collection or payment of an invoice. The fields marked "given back"
// may be changed by RegistrarCobroCaja; the members hand them back to the
// caller's by-reference arguments.
struct Cobro {
  std::string cuenta;   // customer or supplier account
  std::string factura;  // invoice number
  double importe = 0;   // amount collected or paid
  int32_t medio = 0;    // MedioPago
  std::string descripcion_medio;
  // Refuse amounts above what is left of the invoice, and recognise the
  // collection that settles it (its amounts are then exactly the remainder).
  bool comprobar = true;
  int32_t clave_operacion = 0;  // ClavesOperacion
  // Given back: an empty date becomes the accounting date (Fecha).
  std::string fecha_cobro;
  // Posting of the journal entry: the counterpart account and the entry's
  // description, journal, channel, notes and attachment.
  bool grabar = false;
  std::string cuenta_pago;
  std::string descripcion_asiento;
  std::string diario = "1";
  std::string canal = "001";
  std::string referencia;  // given back: when posting, empty becomes the invoice number
  std::string notas;
  std::string archivo_imagen;
  // Given back: when empty and the invoice has no withholding, the invoice's
  // own date (stored form). When given, only the lines of that date count.
  std::string fecha_factura;
};

// The argument checks of `op`, in order; raises the first failure as a
// plain-numbered error (50020 to 50026, 55000) with the server's source.
void ComprobarArgumentos(Operacion op, const Cobro& c);

// Records one collection or payment (the checks above done): finds the
// invoice, checks the amount against what is left of it (when
// `c.comprobar`), posts the entry (when `c.grabar`) and writes the
// collection lines. Raises 50021 when the invoice is not found, 50026 or
// 50027 when the amount exceeds the invoice or its remainder, 50027 when the
// company's supplier prefixes ("iva2") are not set, 0x8004C353 when the
// collection date is not a date. Errors of the tables and of the posting
// reach the caller; lines already written stay written.
void RegistrarCobroCaja(server::Enlace& e, Cobro& c);

// TotalPendiente: the net amount of the invoice of `cuenta` dated
// `fecha_factura` less its collections, in this and the previous fiscal
// year's VAT book. Raises 50021 when neither book has a line of it.
double TotalPendiente(server::Enlace& e, const std::string& cuenta, const std::string& factura,
                      const std::string& fecha_factura);

// EsCriterioCaja: True when the whole company is under the scheme (its
// setting "CriteriodeCaja" is 1), or the account is flagged in the chart, or
// in its master data (the chart then takes the flag over).
bool EsCriterioCaja(server::Enlace& e, const std::string& cuenta);

}  // namespace qrole::cashvat

#endif  // QROLE_CASHVAT_CASH_BASIS_H_
