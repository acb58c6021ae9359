// Pieces of the cash-basis collections: reading an invoice's lines in a VAT
// book, the previous fiscal year's book, the remainders of an invoice line,
// order numbers, the texts a collection line carries, and the journal entry
// of a collection posted on a second object.

#ifndef QROLE_CASHVAT_CASH_BASIS_INTERNAL_H_
#define QROLE_CASHVAT_CASH_BASIS_INTERNAL_H_

#include <cstdint>
#include <optional>
#include <string>

#include "cashvat/cash_basis.h"

namespace qrole::data {
class TableComponent;
}

namespace qrole::cashvat {

// Field codes of the VAT book used here.
enum CampoIva : int {
  kCuenta = 1,
  kFactura = 5,
  kBase = 6,
  kTipoIva = 7,
  kAsiento = 8,
  kLetra = 10,  // book letter, "S/R/T/C"
  kFechaFactura = 11,
  kNumeroOrden = 12,
  kPorcentajeIva = 13,
  kPorcentajeRecargo = 14,
  kTotal = 15,
  kCuota = 17,
  kRecargo = 18,
  kFechaAsiento = 21,
  kReferencia = 22,
  kClaveOperacion = 25,
  kFechaCobro = 26,
  kMedioCobro = 27,
  kDescripcionMedio = 28,
  kRetencion = 29,
  kRegimenEspecial = 30,
  kLiquido = 31,
};
// The fields a collection line copies from its invoice line, by position.
inline constexpr int kUltimoCampoCopiado = 22;

// The open company's VAT book: company directory + "iva01" + number + ".qrd".
std::string LibroIva(const server::Enlace& e);

// The company of the previous fiscal year, as far as its VAT book goes.
struct EmpresaAnterior {
  std::string numero;  // its two-character company number
  std::string libro;   // path of its VAT book
};
// The company named by the setting "Empresa Anterior" (a bare name is in the
// company directory; ".QRT" is added when missing), when its file has
// content. Nothing when the setting is empty, the file is missing or empty,
// its VAT book does not exist, or it names the open company itself.
std::optional<EmpresaAnterior> BuscarEmpresaAnterior(server::Enlace& e);

// The filter of an invoice's lines: "CLIENTE/PROVEEDOR = " + cuenta +
// " and factura No. =" + factura.
std::string FiltroFactura(const std::string& cuenta, const std::string& factura);

// The day (yyyymmdd) of a date text in any form callers use or the book
// stores; 0 for a blank or unreadable date.
int32_t DiaDeFecha(const std::string& text);

// The current record of `libro` has a collection date (field 26).
bool TieneFechaCobro(data::TableComponent& libro);
// The current record is a collection or payment line: it has a collection
// date and its book letter, upper-cased, is V, W, X, Y or blank.
bool EsLineaCobro(data::TableComponent& libro);

// A text field of the current record, trimmed.
std::string Texto(data::TableComponent& libro, int campo);
// A numeric field of the current record rounded to the currency decimals.
double Importe(data::TableComponent& libro, int campo);

// What is left of one line of an invoice: its amounts less those of its
// collections (lines of the same account, invoice and VAT type whose invoice
// date is `fecha_factura`), over the open company's book and the previous
// year's one when given.
struct Restos {
  double base = 0;       // field 6
  double cuota = 0;      // field 17
  double total = 0;      // field 15
  double liquido = 0;    // field 31
  double retencion = 0;  // field 29
};
Restos RestoFacturaCaja(const server::Enlace& e, const std::string& cuenta,
                        const std::string& factura, const std::string& tipo_iva,
                        const std::optional<EmpresaAnterior>& anterior,
                        const std::string& fecha_factura);

// The next order number of book `letra` in the VAT book at `libro`, ten
// digits ("0000000001" for an empty book).
std::string SiguienteNumeroOrden(const std::string& libro, const std::string& letra);

// The collection book of an invoice book: S, R, T, C, F, G, K, L (any case;
// blank counts as S) give V, W, X, Y, W, V, Y, X. Empty for any other letter.
std::string LetraCobro(const std::string& letra_factura);
// The medium letter of a MedioPago value: 0 C, 1 T, 2 and 3 O, 4 N, 5 D; a
// value whose text has more than one character counts by its first digit.
std::string LetraMedio(int32_t medio);
// The operation key stored on a collection line: its number, or "Z" for 0.
std::string TextoClaveOperacion(int32_t clave);

// True when `cuenta` is a supplier's: it begins with one of the account
// prefixes of the comma-separated list `prefijos`, compared by numeric value.
bool EsProveedor(const std::string& cuenta, const std::string& prefijos);

// Posts the collection's two-line entry on a second Enlace object opened on
// the same company, and makes its number the caller's current entry number.
// Raises 50027 when the company's supplier prefixes ("iva2") are not set.
// `c.referencia` given back: an empty one becomes the invoice number.
void GrabarAsientoCobro(server::Enlace& e, Cobro& c);

}  // namespace qrole::cashvat

#endif  // QROLE_CASHVAT_CASH_BASIS_INTERNAL_H_
