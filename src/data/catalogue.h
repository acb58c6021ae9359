// The company file set: file names, shared product files, free company
// numbers and header names, and the folders the product keeps its files in.

#ifndef QROLE_DATA_CATALOGUE_H_
#define QROLE_DATA_CATALOGUE_H_

#include <string>

#include "platform/system_info.h"

namespace qrole::data {

// Directory (with or without a final separator) + table + number + extension.
std::string CompanyFileName(const std::string& directory, const std::string& table,
                            const std::string& number, const std::string& extension);

// Full path of a shared product file named by a setting ("Con_Dir" for the
// concept files such as the currency table, "Iva_Dir" for the shared VAT
// types). A file of the open company (characters 6-7 of its name are the
// company number) is taken from the company directory. A setting that is
// empty, or that names a folder where the file cannot be opened, falls back
// to the default folder (with a warning box in the second case), which is
// stored in the setting and created.
std::string ResolveSharedFile(const std::string& setting, const std::string& file,
                              const std::string& company_directory,
                              const std::string& company_number);

// The default folder of a shared-file setting, ending with "/".
std::string DefaultSharedFolder(const std::string& setting);

// The first company number "01" to "99" with no file "?????nn.*" in
// `directory` (the open company's directory when empty) and other than
// `avoid`. Raises 50012 "RUTA= ..." when there is no directory and 50011
// "No hay espacio en el directorio ..." when every number is taken, both with
// the source "QROLE".
std::string FindFreeCompanyNumber(const std::string& directory, const std::string& avoid,
                                  const std::string& open_company_directory);

// `wanted` when no file has that name, else the first free
// name-without-".QRT" + "~" + n + ".QRt".
std::string FreeHeaderName(const std::string& wanted);

// The short form of a path (the path itself here), as the index open
// command carries it.
std::string ShortPath(const std::string& path);

// The path of a system folder, or of `fallback` when the first is unknown.
std::string SpecialFolder(platform::KnownFolder id, platform::KnownFolder fallback);

// Creates every missing folder of `path`; true when the folder exists after.
bool MakeFolderChain(const std::string& path);

}  // namespace qrole::data

#endif  // QROLE_DATA_CATALOGUE_H_
