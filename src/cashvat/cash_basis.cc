// Recording a collection or payment of an invoice under the cash-basis
// scheme: the argument checks of the three members and the collection
// itself (RegistrarCobroCaja).

#include "cashvat/cash_basis.h"

#include <optional>

#include "automation/convert.h"
#include "cashvat/cash_basis_internal.h"
#include "data/table_component.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/dates.h"
#include "server/enlace.h"
#include "util/amounts.h"

namespace qrole::cashvat {

namespace {

using util::Redondear;

// The precision in which collected amounts are compared with the invoice.
constexpr int kDecimalesMoneda = 4;
// Decimals of the amounts written on a collection line, and of its ratio.
constexpr int kDecimalesImporte = 2;
constexpr int kDecimalesProporcion = 5;

// The highest ClavesOperacion and MedioPago values.
constexpr int32_t kUltimaClave = 8;
constexpr int32_t kUltimoMedio = 5;

Variant S(const std::string& s) { return Variant::FromString(s); }
Variant D(double d) { return Variant::FromDouble(d); }

[[noreturn]] void RaiseFacturaNoExiste(const Cobro& c) {
  RaisePlainError(50021,
                  "No existe la factura " + c.factura + " para el cliente/proveedor " + c.cuenta);
}

// The accounting date as clients read it (yymmdd digits).
std::string FechaContable(const server::Enlace& e) {
  std::string d = e.state().accounting_date;
  if (!d.empty() && static_cast<unsigned char>(d[0]) > 64) d[0] = static_cast<char>(d[0] - 17);
  return d;
}

// Refuses a collection date that is not a date: a collection line without
// one would be taken for a line of the invoice itself.
void ComprobarFechaCobro(const std::string& fecha) {
  if (!server::ConvertirFecha(fecha).empty()) return;  // raises for a wrong date
  RaiseObjectError(50003, "Formato Fecha no válido: " + fecha + "\n" +
                              "Formatos aceptados son: 31/12/13 o 131231");
}

// The sums over an invoice's lines in one or two books.
struct Factura {
  int lineas = 0;        // invoice lines found
  double total = 0;      // field 15
  double base = 0;       // field 6
  double liquido = 0;    // net amount: field 31, or total less withholding
  double retencion = 0;  // field 29
  bool con_retencion = false;
  double cobrado = 0;  // field 31 of the collections of the invoice date
  std::string letra;   // the invoice's book
  std::string fecha;   // the invoice date, given or found
};

void SumarLineas(data::TableComponent& libro, Factura& f) {
  for (; !libro.IsEof(); libro.MoveNext()) {
    if (EsLineaCobro(libro)) {
      if (f.fecha.empty()) f.fecha = Texto(libro, kFechaFactura);
      if (DiaDeFecha(Texto(libro, kFechaFactura)) == DiaDeFecha(f.fecha))
        f.cobrado += Importe(libro, kLiquido);
      continue;
    }
    ++f.lineas;
    const double total = Importe(libro, kTotal);
    const double liquido = Importe(libro, kLiquido);
    const double retencion = Importe(libro, kRetencion);
    f.total += total;
    f.base += Importe(libro, kBase);
    f.liquido += liquido != 0 ? liquido : total - retencion;
    if (retencion != 0) {
      f.con_retencion = true;
      f.retencion += retencion;
    }
    f.letra = Texto(libro, kLetra);
    if (f.fecha.empty()) f.fecha = Texto(libro, kFechaFactura);
  }
}

// Opens the previous year's book on `libro` with `filtro`; false when there
// is no previous company or its book has no such line.
bool BuscarEnAnterior(server::Enlace& e, data::TableComponent& libro, const std::string& filtro,
                      std::optional<EmpresaAnterior>& anterior) {
  anterior = BuscarEmpresaAnterior(e);
  if (!anterior) return false;
  libro.OpenTable(anterior->libro);
  libro.SetFilter(filtro);
  return libro.RecordCount() > 0;
}

// Amounts of a collection line that takes its share (`proporcion`) of the
// invoice line current in `factura`.
void ImportesParciales(data::TableComponent& factura, data::TableComponent& cobro,
                       double proporcion, bool con_retencion) {
  const double base = Redondear(ToDouble(factura.GetField(kBase)) * proporcion, kDecimalesImporte);
  const double porcentaje = (ToDouble(factura.GetField(kPorcentajeIva)) +
                             ToDouble(factura.GetField(kPorcentajeRecargo))) /
                            100;
  const double total = Redondear(base * (1 + porcentaje), kDecimalesImporte);
  const double liquido_factura = ToDouble(factura.GetField(kLiquido));
  const double liquido =
      liquido_factura != 0 ? liquido_factura : ToDouble(factura.GetField(kTotal));
  cobro.SetField(kBase, 0, D(base));
  cobro.SetField(kTotal, 0, D(total));
  cobro.SetField(kCuota, 0, D(Redondear(total - base, kDecimalesImporte)));
  cobro.SetField(kLiquido, 0, D(Redondear(liquido * proporcion, kDecimalesImporte)));
  if (con_retencion) {
    // Rounded to cents like every other amount of the book.
    const double retencion = util::ValorNumerico(ToStr(factura.GetField(kRetencion)));
    cobro.SetField(kRetencion, 0, D(Redondear(retencion * proporcion, kDecimalesImporte)));
  }
}

void ImportesFinales(const Restos& r, data::TableComponent& cobro) {
  cobro.SetField(kBase, 0, D(Redondear(r.base, kDecimalesImporte)));
  cobro.SetField(kTotal, 0, D(Redondear(r.total, kDecimalesImporte)));
  cobro.SetField(kCuota, 0, D(Redondear(r.cuota, kDecimalesImporte)));
  cobro.SetField(kRetencion, 0, D(Redondear(r.retencion, kDecimalesImporte)));
  cobro.SetField(kLiquido, 0, D(Redondear(r.liquido, kDecimalesImporte)));
}

}  // namespace

void ComprobarArgumentos(Operacion op, const Cobro& c) {
  const bool pago = op == Operacion::kPago;
  if (Trim(c.cuenta).empty())
    RaisePlainError(50020, pago ? "No existe el proveedor." : "No existe el cliente/proveedor.");
  if (Trim(c.factura).empty()) {
    RaisePlainError(50021, "No existe la factura " + c.factura +
                               (pago ? " para el proveedor " : " para el cliente ") + c.cuenta);
  }
  if (c.importe == 0) {
    RaisePlainError(
        50022, pago ? "No se puede efectuar un pago a 0" : "No se puede efectuar un cobro a 0");
  }
  if (op != Operacion::kAnadirIva && Trim(c.cuenta_pago).empty()) {
    RaisePlainError(50023, pago ? "La cuenta contable de pago no puede estar vacia"
                                : "La cuenta contable de cobro no puede estar vacia");
  }
  if (c.clave_operacion > kUltimaClave) RaisePlainError(50024, "Clave operacion incorrecta");
  if (c.medio > kUltimoMedio) RaisePlainError(50025, "Medio de cobro incorrecto");
  if (op == Operacion::kAnadirIva && Trim(c.descripcion_medio).empty())
    RaisePlainError(50026, "Descripcion del Medio de cobro incorrecta");
  if (op != Operacion::kAnadirIva && !Trim(c.archivo_imagen).empty() &&
      platform::ToUpperCase(c.archivo_imagen).find(".PDF") == std::string::npos) {
    RaisePlainError(55000, "Solo se puede importar archivos PDF");
  }
}

void RegistrarCobroCaja(server::Enlace& e, Cobro& c) {
  e.ComprobarEmpresaAbierta();
  if (Trim(c.fecha_cobro).empty()) c.fecha_cobro = FechaContable(e);
  ComprobarFechaCobro(c.fecha_cobro);

  const std::string libro_actual = LibroIva(e);
  data::TableComponent busca;
  data::TableComponent escribe;
  busca.OpenTable(libro_actual);
  escribe.OpenTable(libro_actual);

  // The invoice's lines in this year's book, else in the previous year's.
  const std::string filtro = FiltroFactura(c.cuenta, c.factura);
  const bool fecha_dada = !Trim(c.fecha_factura).empty();
  const std::string por_fecha = fecha_dada ? " and FECHA FACTURA = " + c.fecha_factura : "";
  busca.SetFilter(filtro + por_fecha);
  std::optional<EmpresaAnterior> anterior;
  if (busca.RecordCount() == 0 && !BuscarEnAnterior(e, busca, filtro, anterior))
    RaiseFacturaNoExiste(c);

  Factura f;
  f.fecha = Trim(c.fecha_factura);
  SumarLineas(busca, f);
  if (f.lineas == 0) {
    // Only its collections are in this year's book: the invoice is in the
    // previous year's.
    if (anterior ||
        !BuscarEnAnterior(e, busca, filtro + " and FECHA FACTURA = " + f.fecha, anterior))
      RaiseFacturaNoExiste(c);
    SumarLineas(busca, f);
    if (f.lineas == 0) RaiseFacturaNoExiste(c);
  }
  const std::string letra_cobro = LetraCobro(f.letra);
  // A line in no invoice book has no collection book to go to.
  if (letra_cobro.empty()) RaiseRuntimeError(runtime_error::kInvalidCall);

  bool final = false;
  if (c.comprobar) {
    auto moneda = [](double v) { return Redondear(v, kDecimalesMoneda); };
    const double referencia = moneda(f.con_retencion ? f.liquido : f.total);
    if (moneda(c.importe) > referencia)
      RaisePlainError(50026, "El Importe del cobro es superior al importe de la factura");
    const double resto = moneda(referencia - moneda(f.cobrado) - moneda(c.importe));
    if (resto < 0)
      RaisePlainError(50027, "El Importe del cobro es superior al importe restante de la factura");
    final = resto == 0;
  }

  if (c.grabar) GrabarAsientoCobro(e, c);

  // The invoice's lines in its own book.
  busca.SetFilter(filtro + por_fecha + " AND S/R/T/C = " + f.letra);
  // Collection lines are numbered in the book they are written in.
  const std::string orden = SiguienteNumeroOrden(libro_actual, letra_cobro);
  const double neto = f.liquido != 0 ? f.liquido : f.total;
  const double proporcion = neto != 0 ? Redondear(c.importe / neto, kDecimalesProporcion) : 0;
  if (!f.con_retencion && Trim(c.fecha_factura).empty()) c.fecha_factura = f.fecha;

  // A final collection line takes what is left of its VAT type once the
  // lines written before it are counted: a second line of one type is left
  // with nothing.
  for (; !busca.IsEof(); busca.MoveNext()) {
    if (EsLineaCobro(busca)) continue;
    escribe.AddNew();
    for (int campo = 1; campo <= kUltimoCampoCopiado; ++campo) {
      const Variant v = busca.GetFieldAt(campo);
      escribe.SetFieldAt(campo, v.IsString() ? S(Trim(v.str())) : v);
    }
    if (final) {
      const Restos r = RestoFacturaCaja(e, Texto(busca, kCuenta), Texto(busca, kFactura),
                                        Texto(busca, kTipoIva), anterior, f.fecha);
      ImportesFinales(r, escribe);
      if (!f.con_retencion) escribe.SetField(kFechaFactura, 0, S(f.fecha));
    } else {
      ImportesParciales(busca, escribe, proporcion, f.con_retencion);
      escribe.SetField(kFechaFactura, 0, S(f.fecha));
    }
    escribe.SetField(kRecargo, 0, D(0));
    escribe.SetField(kFechaAsiento, 0, S(c.fecha_cobro));
    escribe.SetField(kAsiento, 0, S(e.state().entry_number));
    escribe.SetField(kNumeroOrden, 0, S(orden));
    escribe.SetField(kLetra, 0, S(letra_cobro));
    escribe.SetField(kReferencia, 0, S(Texto(busca, kReferencia)));
    escribe.SetField(kClaveOperacion, 0, S(TextoClaveOperacion(c.clave_operacion)));
    escribe.SetField(kFechaCobro, 0, S(c.fecha_cobro));
    escribe.SetField(kMedioCobro, 0, S(LetraMedio(c.medio)));
    escribe.SetField(kDescripcionMedio, 0, S(c.descripcion_medio));
    escribe.SetField(kRegimenEspecial, 0, S(Texto(busca, kRegimenEspecial)));
    escribe.Update();
  }
  busca.Close();
  escribe.Close();
}

}  // namespace qrole::cashvat
