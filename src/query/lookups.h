// Lookups of master data: the master data of accounts (DATOS), the fixed
// assets of the company (inmo3), the global register of third parties
// (Datgl00, shared by every company) and the withholdings posted (Ret01),
// each loaded into its collection of the object as record objects, and
// whether the global register knows a NIF.
//
// Each lookup empties its collection first; it answers True when the
// collection then holds a record. Texts are given without their trailing
// blanks. In web mode the master data of accounts is a search of the web
// service.
#ifndef QROLE_QUERY_LOOKUPS_H_
#define QROLE_QUERY_LOOKUPS_H_

#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::query {

// LeerDatos: the master data of `cuenta` into the master-data collection
// (DatosClass). A code with "*" or "?" is a pattern (the runtime's Like on
// the code without trailing blanks): every account matching it, in code
// order, or, with a `titulo` pattern (not blank), in title order those whose
// title matches it too. A plain code loads its one record, `titulo` unused;
// a code longer than the code field names no account. Raises 0x8004C356
// when no company is open.
bool LeerDatos(server::Enlace& e, const std::string& cuenta, const std::string& titulo);

// LeerInmovilizado: the company's fixed assets (InmoClass) of code `codigo`,
// or all of them when it is blank, in the table's order; I50_ImagenPdf holds
// the content stored with the asset. False, without touching any file, when
// no company is open.
bool LeerInmovilizado(server::Enlace& e, const std::string& codigo);

// LeerDatosGlobales: the third parties of the global register
// (DatosGlobalClass) with that NIF, or all of them when it is blank. False
// when the installation has no global data directory or the directory holds
// no register (which is not created).
bool LeerDatosGlobales(server::Enlace& e, const std::string& nif);

// ExisteNifDatosGlobales: with a NIF, whether the register has a record of
// it; with a blank one, whether it has a record without NIF. Never raises:
// any failure (no register among them) answers False.
bool ExisteNifDatosGlobales(server::Enlace& e, const std::string& nif);

// The bounds of a withholding listing; a blank bound does not limit it.
struct RangoRetenciones {
  std::string desde_cuenta;
  std::string hasta_cuenta;
  std::string desde_fecha;  // dates in any form a client writes them
  std::string hasta_fecha;
};

// The filter condition of the listing: "CLIENTE/PROVEEDOR >= " and "<= ",
// "FECHA CONTABLE >= " and "<= " with each bound that is not blank, joined
// by " and "; the empty text when every bound is blank.
std::string FiltroRetenciones(const RangoRetenciones& rango);

// LeerRetenciones: the withholdings posted (RetClass, with the fields that
// posting writes) of the company within `rango`, in the table's order, into
// the withholding collection (the one the pending entry uses). False,
// without touching any file, when no company is open. A date the filter
// cannot read raises the table component's condition error.
bool LeerRetenciones(server::Enlace& e, const RangoRetenciones& rango);

}  // namespace qrole::query

#endif  // QROLE_QUERY_LOOKUPS_H_
