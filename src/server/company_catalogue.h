// The company catalogue and opening a company.

#ifndef QROLE_SERVER_COMPANY_CATALOGUE_H_
#define QROLE_SERVER_COMPANY_CATALOGUE_H_

#include <string>

namespace qrole::server {

class Enlace;

inline constexpr int kOpenRetryLimit = 2000;

// Rebuilds the object's company catalogue: every "*.QRT" of the data
// directory (never raises), or in web mode the companies the service lists.
void LoadEmpresas(Enlace& e);

// Opens the company named by `name` (empty: the registry's "Active"; a bare
// name is looked up in the data directory) with its password check. Errors
// carry the source "QROLE"; a failing step is run again, and its 2000th
// failure reaches the client (a wrong password at once). In web mode the
// service is asked; its refusals reach the client at once.
void AbrirEmpresa(Enlace& e, const std::string& name, const std::string& password);

// Creation of a company on the web service ("/C" password in web mode);
// raises 0x8004C35D when the service refuses.
void CrearEmpresaWeb(Enlace& e, const std::string& name, const std::string& password);

// The company file of the previous fiscal year ("Empresa Anterior").
std::string EmpresaAnioAnterior(Enlace& e);

// Unscrambles the stored four-character password (raw file bytes).
std::string DescifrarClave(const std::string& stored);

struct SplitPath {
  std::string directory;  // up to and including the last separator
  std::string name;
  std::string extension;  // three characters, or empty
  bool has_extension = false;
};
// Splits a path at its last separator ("\" or "/"); a "." followed by
// exactly three characters to the end marks the extension.
SplitPath SepararRuta(const std::string& path);

// The data version check of a company file: "OK" when this server can use
// its data, otherwise a message saying why not.
std::string CheckDataVersion(const std::string& path);

}  // namespace qrole::server

#endif  // QROLE_SERVER_COMPANY_CATALOGUE_H_
