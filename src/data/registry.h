// The product's settings in the current user's registry.
//
// Values live under "SOFTWARE\QRN\" + product + "\" + section (product
// "Valdrix", section "Settings" by default), in the platform's settings store.

#ifndef QROLE_DATA_REGISTRY_H_
#define QROLE_DATA_REGISTRY_H_

#include <string>

#include "qrole/variant.h"

namespace qrole::data {

inline constexpr const char* kDefaultSection = "Settings";
inline constexpr const char* kDefaultProduct = "Valdrix";

// Reads a setting. A missing or unreadable value, or one that is exactly one
// blank, gives `default_value`; at most 255 characters are read; the texts
// "Verdadero" and "Falso" become the Booleans True and False. The key is
// created when it does not exist. The value "Directory", when missing, reads
// as the program directory this build ships.
Variant LeerRegistro(const std::string& name, const std::string& section = kDefaultSection,
                     const Variant& default_value = Variant::FromString(""),
                     const std::string& product = kDefaultProduct);

// Writes a setting as text (an empty value is written as one blank). When the
// key cannot be created or opened, shows "Unable to Create/Open SubKey." CR
// "Valdrix will now abort." and still attempts the write.
void GrabarRegistro(const std::string& name, const Variant& value,
                    const std::string& section = kDefaultSection,
                    const std::string& product = kDefaultProduct);

// The program directory this build ships (table definitions, templates, VAT
// types, currency tables), ending with "/": QROLE_PROGRAM_DIR when set, else
// the first of platform::ShippedFileFolders that holds "PLANC.QRA" (on
// Windows the executable's folder, then ../share/qrole), else the first.
std::string ShippedProgramDirectory();

}  // namespace qrole::data

#endif  // QROLE_DATA_REGISTRY_H_
