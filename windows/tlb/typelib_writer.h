// The type library QROLE75, written from the interface description with the
// system's own type-library writer (ICreateTypeLib2).
//
// What it holds, all taken from typelib::Library:
//  - the enumerations, as enums of Long constants;
//  - one dispatch interface per class ("_Enlace", "_StrBuilder",
//    "_ApunteClass", ...), hidden as the runtime's class interfaces are, with
//    one entry per member and accessor: dispatch identifier, kind (method,
//    property get, let, set), result type, and every parameter with its name,
//    type, [in] or [in, out] (by reference), optional flag and default value;
//    a let or set takes the assigned value as a last, unnamed, by-value
//    parameter;
//  - one creatable coclass per class, its dispatch interface as default.
// Types: String BSTR, Long, Integer, Byte, Double, Single, Currency, Boolean,
// Date, Variant; record classes and StrBuilder as pointers to their dispatch
// interfaces; Collection and untyped objects as IDispatch (the runtime's
// Collection is not part of this library); arrays as SAFEARRAYs of their
// element type; enumerations by name. Defaults are stored in the parameter's
// type, but whole-number Doubles as Longs (the system's writer stores no
// Double constants). The GUIDs come from com/name_guid.h.

#ifndef QROLE_WINDOWS_TLB_TYPELIB_WRITER_H_
#define QROLE_WINDOWS_TLB_TYPELIB_WRITER_H_

#include <string>

#include "typelib/interface.h"

namespace qrole::com {

// Writes the type library of `library` to the file `path` (replacing it).
// Returns true on success; otherwise false with a message naming the entry
// that failed in *error. COM must be initialised on the calling thread.
bool WriteTypeLibrary(const typelib::Library& library, const std::wstring& path,
                      std::string* error);

// Major and minor version of the library ("7.5").
inline constexpr int kTypeLibMajor = 7;
inline constexpr int kTypeLibMinor = 5;

}  // namespace qrole::com

#endif  // QROLE_WINDOWS_TLB_TYPELIB_WRITER_H_
