// Companies for `qrole`: the catalogue of the data directory, and opening
// one company in this process, as a client's `AbrirEmpresa` opens it.

#ifndef QROLE_TOOLS_QROLE_COMPANY_H_
#define QROLE_TOOLS_QROLE_COMPANY_H_

#include <memory>
#include <string>
#include <vector>

#include "server/enlace.h"

namespace qrole::cli {

// One company file of the catalogue and what its header says.
struct CompanyInfo {
  std::string path;       // the company file, as the catalogue lists it
  std::string name;       // the file name without ".QRT"
  std::string number;     // the two-character company number
  std::string year;       // the two-digit year the fiscal year starts in
  int full_year = 0;      // that year with its century (0 when unreadable)
  int opening_month = 0;  // the month the fiscal year starts in (1..12)
  std::string error;      // why the header could not be read (empty: read)
};

// The server's start-up for this process (settings, locale, program
// directory). Call once before anything else here.
void StartInProcess();

// The catalogue: every company file of the data directory ("DATOS_DIR" of
// the settings), in the order the directory lists them, with its header.
std::vector<CompanyInfo> ListCompanies();

// A company opened in this process.
struct OpenCompany {
  std::shared_ptr<server::Enlace> enlace;
  std::string path;       // the company file
  std::string directory;  // its folder, with a final "/"
  std::string number;     // its two-character number
};

// Opens the company that `ref` names: a company file (with or without
// ".QRT"), the name of one in the data directory, or its company number
// ("1", "01"). Throws Failure when nothing matches or the number is
// ambiguous, and the opening's AutomationError (a wrong password, ...).
OpenCompany Open(const std::string& ref, const std::string& password);

}  // namespace qrole::cli

#endif  // QROLE_TOOLS_QROLE_COMPANY_H_
