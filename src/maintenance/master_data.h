// Account master data: the record of an account in the company's "DATOS"
// table (name, NIF, address, contact data, VAT type, payment terms, the
// flags that keep it out of the 347 and 415 declarations, the cash-basis
// flag), created or updated by CrearDatos, and handed on to the global
// register of third parties when a NIF is given.

#ifndef QROLE_MAINTENANCE_MASTER_DATA_H_
#define QROLE_MAINTENANCE_MASTER_DATA_H_

#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::maintenance {

// The amount a client leaves at its default when it gives none.
inline constexpr double kImporteNoDado = -1;

// The arguments of CrearDatos. A text left at "-1" (kNotGiven) or an amount
// left at -1 is "not given": the stored value is kept. The three flags have
// no such value and are always written.
struct DatosCuenta {
  std::string cuenta;
  std::string titulo = "-1";
  std::string nif = "-1";
  std::string direccion = "-1";
  std::string cp = "-1";
  std::string municipio = "-1";
  std::string provincia = "-1";
  std::string cvp = "-1";
  double importe_347 = kImporteNoDado;
  std::string telefono = "-1";
  std::string fax = "-1";
  double riesgo = kImporteNoDado;
  std::string tipo_iva = "-1";
  std::string notas = "-1";
  bool actualizar = false;
  std::string pais = "-1";
  std::string vencimientos = "-1";
  std::string dias_de_pago = "-1";
  std::string email = "-1";
  std::string pagina_web = "-1";
  bool criterio_caja = false;
  bool omitir_347 = false;
  bool omitir_415 = false;
};

// CrearDatos. An account without master data gets a new record (every field
// not given blank, the quarterly 347 amounts 0); an account that has one is
// left alone (False) unless `actualizar`, when the fields given replace the
// stored ones (the title through the name index). The flags OMITIR347,
// OMITIR415 and CRITERIOCAJA are written "1" or "0" on every write. When a
// NIF (not blank) is given and the installation has a global data directory,
// the same data goes to the global register (CrearDatosGloblales), whose
// errors reach the caller. Every file of the record code is closed
// afterwards; the company stays open.
//
// True when the record was written; False when it existed and `actualizar`
// is False, when a write failed, or when the code is blank or longer than
// the table's code field (which would name another account).
//
// Raises 0x8004C356 when no company is open, 0x8004C35A when the table
// cannot be searched.
//
// In web mode the fields given go to the service as an update of "DATOS"
// (CamposDatosWeb) and the answer is True; the service keeps the global
// register itself. A refusal raises 0x8004C35D.
bool CrearDatos(server::Enlace& e, const DatosCuenta& datos);

// The texts the amounts are stored as: the 347 amount with "." as decimal
// separator and a leading blank when it is not negative (" 1500.5"); the
// risk as the runtime writes a Double in the user's locale ("2500,75").
std::string TextoImporte347(double importe);
std::string TextoRiesgo(double riesgo);

// The field list of the remote update of the master data: the fields given,
// by number, the amounts as their texts and the flags as Boolean texts
// (fields 20, 21 and 26). `actualizar` is not sent.
std::string CamposDatosWeb(const DatosCuenta& datos);

}  // namespace qrole::maintenance

#endif  // QROLE_MAINTENANCE_MASTER_DATA_H_
