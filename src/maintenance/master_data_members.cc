// Members of the account master data family.

#include "maintenance/master_data.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

namespace {

// The 23 arguments of CrearDatos, in the interface's order.
maintenance::DatosCuenta DatosOf(const Args& a) {
  maintenance::DatosCuenta d;
  d.cuenta = a.Str(0);
  d.titulo = a.Str(1);
  d.nif = a.Str(2);
  d.direccion = a.Str(3);
  d.cp = a.Str(4);
  d.municipio = a.Str(5);
  d.provincia = a.Str(6);
  d.cvp = a.Str(7);
  d.importe_347 = a.Dbl(8);
  d.telefono = a.Str(9);
  d.fax = a.Str(10);
  d.riesgo = a.Dbl(11);
  d.tipo_iva = a.Str(12);
  d.notas = a.Str(13);
  d.actualizar = a.Bool(14);
  d.pais = a.Str(15);
  d.vencimientos = a.Str(16);
  d.dias_de_pago = a.Str(17);
  d.email = a.Str(18);
  d.pagina_web = a.Str(19);
  d.criterio_caja = a.Bool(20);
  d.omitir_347 = a.Bool(21);
  d.omitir_415 = a.Bool(22);
  return d;
}

}  // namespace

void RegisterMasterDataMembers(MemberTable& t) {
  t.Add("CrearDatos", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(maintenance::CrearDatos(e, DatosOf(a)));
  });
}

}  // namespace qrole::server
