// The GUIDs of the type library, its interfaces and its classes.
//
// Every GUID is a name-based UUID (version 5, SHA-1) of a fixed namespace and
// a text naming the thing: "library:QROLE75", "interface:_Enlace",
// "class:Enlace". They are stable across builds and machines without a table
// to keep, and a class added to the interface description gets its own at once.
// The type-library generator, the registration and the class factories all
// take them from here.

#ifndef QROLE_WINDOWS_COM_NAME_GUID_H_
#define QROLE_WINDOWS_COM_NAME_GUID_H_

#include <windows.h>

#include <string>
#include <string_view>

namespace qrole::com {

// The name-based GUID of `name` (UTF-8) in the server's namespace.
GUID NameGuid(std::string_view name);

GUID LibraryGuid();                                   // of the type library
GUID InterfaceGuid(std::string_view interface_name);  // "_Enlace", "_ApunteClass"
GUID ClassGuid(std::string_view class_name);          // "Enlace", "ApunteClass"

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::string GuidText(const GUID& guid);

// SHA-1 of `data`, 20 bytes (exposed for its test).
std::string Sha1(std::string_view data);

}  // namespace qrole::com

#endif  // QROLE_WINDOWS_COM_NAME_GUID_H_
