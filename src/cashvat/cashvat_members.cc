// Members of the cash-basis VAT family: collections and payments of
// invoices, their VAT-book lines alone, the pending amount of an invoice and
// whether an account is under the scheme. Local company files only.

#include "automation/convert.h"
#include "cashvat/cash_basis.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

namespace {

using cashvat::Cobro;
using cashvat::Operacion;
using typelib::Kind;

void RequireLocal(const Enlace& e, const std::string& member) {
  if (e.state().web_mode) RaiseNotImplemented(member + " (web)");
}

// CobroFacturaCriterioCaja and PagoFacturaCriterioCaja: account, invoice,
// amount, payment account, operation key, collection date, medium and its
// description, then the entry's description, journal, channel, reference,
// notes, attachment and the invoice date.
Variant CobroConAsiento(Enlace& e, Args& a, Operacion op, const char* member) {
  Cobro c;
  c.cuenta = a.Str(0);
  c.factura = a.Str(1);
  c.importe = a.Dbl(2);
  c.cuenta_pago = a.Str(3);
  c.clave_operacion = a.Lng(4);
  c.fecha_cobro = a.Str(5);
  c.medio = a.Lng(6);
  c.descripcion_medio = a.Str(7);
  c.descripcion_asiento = a.Str(8);
  c.diario = a.Str(9);
  c.canal = a.Str(10);
  c.referencia = a.Str(11);
  c.notas = a.Str(12);
  c.archivo_imagen = a.Str(13);
  c.fecha_factura = a.Str(14);
  c.comprobar = true;
  c.grabar = true;
  cashvat::ComprobarArgumentos(op, c);
  RequireLocal(e, member);
  cashvat::RegistrarCobroCaja(e, c);
  a.ref(5) = Variant::FromString(c.fecha_cobro);
  a.ref(11) = Variant::FromString(c.referencia);
  a.ref(14) = Variant::FromString(c.fecha_factura);
  return Variant();
}

// AñadirIvaCriterioCaja and AddVATCashBased: account, invoice, amount,
// medium and its description, whether to check the amount, operation key,
// collection date and invoice date. The invoice date is not used: every
// line of the invoice counts.
Variant AnadirIvaCriterioCaja(Enlace& e, Args& a, const char* member) {
  Cobro c;
  c.cuenta = a.Str(0);
  c.factura = a.Str(1);
  c.importe = a.Dbl(2);
  c.medio = a.Lng(3);
  c.descripcion_medio = a.Str(4);
  c.comprobar = a.Bool(5);
  c.clave_operacion = a.Lng(6);
  c.fecha_cobro = a.Str(7);
  c.grabar = false;
  cashvat::ComprobarArgumentos(Operacion::kAnadirIva, c);
  RequireLocal(e, member);
  cashvat::RegistrarCobroCaja(e, c);
  a.ref(7) = Variant::FromString(c.fecha_cobro);
  return Variant();
}

}  // namespace

void RegisterCashVatMembers(MemberTable& t) {
  t.Add("CobroFacturaCriterioCaja", Kind::kMethod, [](Enlace& e, Args& a) {
    return CobroConAsiento(e, a, Operacion::kCobro, "CobroFacturaCriterioCaja");
  });
  t.Add("PagoFacturaCriterioCaja", Kind::kMethod, [](Enlace& e, Args& a) {
    return CobroConAsiento(e, a, Operacion::kPago, "PagoFacturaCriterioCaja");
  });
  t.Add("AñadirIvaCriterioCaja", Kind::kMethod,
        [](Enlace& e, Args& a) { return AnadirIvaCriterioCaja(e, a, "AñadirIvaCriterioCaja"); });
  t.Add("AddVATCashBased", Kind::kMethod,
        [](Enlace& e, Args& a) { return AnadirIvaCriterioCaja(e, a, "AddVATCashBased"); });
  t.Add("TotalPendiente", Kind::kGet, [](Enlace& e, Args& a) {
    RequireLocal(e, "TotalPendiente");
    return Variant::FromDouble(cashvat::TotalPendiente(e, a.Str(0), a.Str(1), a.Str(2)));
  });
  t.Add("EsCriterioCaja", Kind::kMethod, [](Enlace& e, Args& a) {
    RequireLocal(e, "EsCriterioCaja");
    return Variant::FromBool(cashvat::EsCriterioCaja(e, a.Str(0)));
  });
}

}  // namespace qrole::server
