// Creating a company: a new company file with a fresh company number in the
// data directory and, when a chart template is chosen, a copy of it.

#ifndef QROLE_SERVER_COMPANY_CREATION_H_
#define QROLE_SERVER_COMPANY_CREATION_H_

#include <string>

namespace qrole::server {

class Enlace;

struct CreationArgs {
  std::string year = "Actual: Formato= 12";
  std::string levels = "12345";
  std::string auxiliaries = "0010";
  std::string currency_base = "1";
  std::string opening_month = "01";
  int chart = -1;    // PlanContableNuevo
  int vat_kind = 0;  // Iva_Igic
};

// The options text that carries the arguments ("/A:24 /N:12345 ...").
std::string CreationOptions(const CreationArgs& args);

// Creates the company file set named `name` with the options text `options`
// (as it follows "/C" in an opening password, or as CreationOptions builds
// it). Returns the path of the new company file. Raises 50011 or 50012
// (source "QROLE") when no company number is free, and the file errors of
// the creation; a name holding a control character is refused first (75,
// "Nombre de empresa no válido (caracteres de control): ").
std::string CreateCompanyFileSet(const std::string& name, const std::string& options);

// CrearEmpresa in web mode: asks the service to create the company `name`
// ("CREAREMPRESA" with the name and the options text) and returns its
// answer. Raises 0x8004C35D "Esta opción no está disponible con enlace a " +
// the service's host when the answer begins with "ERROR".
std::string CrearEmpresaEnWeb(Enlace& e, const std::string& name, const std::string& options);

// The one-byte header position that keeps the chart family code.
inline constexpr size_t kChartFamilyByte = 172;  // 1-based

}  // namespace qrole::server

#endif  // QROLE_SERVER_COMPANY_CREATION_H_
