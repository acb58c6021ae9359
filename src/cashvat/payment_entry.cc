// The journal entry of a collection or payment, posted on a second Enlace
// object so that the caller's own pending entry is neither used nor
// emptied.

#include <memory>
#include <utility>
#include <vector>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "cashvat/cash_basis_internal.h"
#include "qrole/error.h"
#include "server/company_catalogue.h"
#include "server/company_header.h"
#include "server/enlace.h"

namespace qrole::cashvat {

namespace {

using typelib::Kind;

// Journal line sides (TIPO).
constexpr uint8_t kDebe = 1;
constexpr uint8_t kHaber = 2;

Variant S(const std::string& s) { return Variant::FromString(s); }

}  // namespace

void GrabarAsientoCobro(server::Enlace& e, Cobro& c) {
  const server::EnlaceState& s = e.state();
  // The members run here are those of the caller's own objects: the member
  // table is installed by the time any member runs.
  auto otro = std::make_shared<server::Enlace>();
  auto call = [&](const char* name, std::vector<Variant> args, Kind kind = Kind::kMethod) {
    return Invoke(*otro, name, kind, std::move(args)).value;
  };

  // The same company, with its own password.
  const std::string clave =
      server::DescifrarClave(server::HeaderBytes(s.company_header, "PASSWORD1"));
  call("AbrirEmpresa", {S(s.company_path), S(clave)});

  const std::string prefijos = ToStr(call("Config", {S("iva2")}, Kind::kGet));
  if (Trim(prefijos).empty()) {
    RaisePlainError(50027,
                    "Error en la personalización de IVA/IGIC. Confirme las cuentas asociadas.");
  }
  // A supplier's account is paid (debit) from the payment account (credit);
  // a customer's is collected the other way round.
  const bool proveedor = EsProveedor(c.cuenta, prefijos);
  const uint8_t lado_cuenta = proveedor ? kDebe : kHaber;
  const uint8_t lado_pago = proveedor ? kHaber : kDebe;
  std::string descripcion = (proveedor ? "Pago " : "Cobro ") + std::string("Factura ") + c.factura;

  call("Número", {S("")}, Kind::kLet);
  call("Fecha", {S(c.fecha_cobro)}, Kind::kLet);
  if (!Trim(c.descripcion_asiento).empty()) descripcion = Trim(c.descripcion_asiento);
  if (c.referencia.empty()) c.referencia = c.factura;

  call("AñadirApunte", {S(c.cuenta), S(descripcion), Variant::FromByte(lado_cuenta),
                        Variant::FromDouble(c.importe), S(c.diario), S("0"), S(c.canal),
                        S(c.referencia), S(c.notas), S(c.archivo_imagen), S(""), S("")});
  call("AñadirApunte", {S(c.cuenta_pago), S(descripcion), Variant::FromByte(lado_pago),
                        Variant::FromDouble(c.importe), S(c.diario), S("0"), S(c.canal),
                        S(c.referencia), S(""), S(""), S(""), S("")});
  call("GrabarAsiento", {});

  e.state().entry_number = ToStr(call("Número", {}, Kind::kGet));
  call("CerrarEmpresa", {});
}

}  // namespace qrole::cashvat
