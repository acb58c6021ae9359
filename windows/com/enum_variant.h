// IEnumVARIANT over the items of a collection, for a client's For Each.

#ifndef QROLE_WINDOWS_COM_ENUM_VARIANT_H_
#define QROLE_WINDOWS_COM_ENUM_VARIANT_H_

#include <windows.h>
// The other Windows headers need windows.h first.
#include <oaidl.h>

#include <vector>

#include "qrole/variant.h"

namespace qrole::com {

// A new enumerator (reference count 1, owned by the caller) over a copy of
// `items`: changes to the collection during the loop do not disturb it.
IEnumVARIANT* NewEnumVariant(const std::vector<Variant>& items);

}  // namespace qrole::com

#endif  // QROLE_WINDOWS_COM_ENUM_VARIANT_H_
