// Automation values (qrole::Variant) and COM VARIANTs.
//
// The two type systems are the same by design (the VarType tags are the
// VARTYPE numbers): Empty, Null, Integer (VT_I2), Long (VT_I4), Single, Double,
// Currency, Date, String (BSTR, UTF-16 here, UTF-8 inside), Object
// (IDispatch), Error, Boolean, Byte, and arrays (SAFEARRAY). Other numeric
// VARTYPEs a client may send (VT_I1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT,
// VT_UINT, VT_DECIMAL) arrive as Long when they fit and as Double otherwise.
//
// Arrays keep their bounds and dimensions: element (i, j) of a client's array
// is element (i, j) of the Variant array, whatever the storage order of
// either side.

#ifndef QROLE_WINDOWS_COM_VARIANT_COM_H_
#define QROLE_WINDOWS_COM_VARIANT_COM_H_

#include <windows.h>
// The other Windows headers need windows.h first.
#include <oaidl.h>

#include "qrole/variant.h"

namespace qrole::com {

// The value a VARIANT holds, by-reference indirections followed. Objects come
// back as the server's own objects when they are, and as ForeignObjects
// wrapping the client's IDispatch otherwise. Raises 13 "Type mismatch" for a
// type the interface has no value for (records, pointers, interfaces without
// IDispatch).
Variant FromVariant(const VARIANT& v);

// Stores `value` into `*out`, which must hold nothing that needs freeing
// (VariantInit or VariantClear first). Arrays become arrays of VARIANTs, or of
// `array_element` when it names another element type (VT_BSTR for a declared
// String array). Objects are wrapped for COM (one wrapper per object while it
// lives, so that a client's "Is" sees the same object twice). Returns a
// failed HRESULT (and leaves *out Empty) only when memory runs out.
HRESULT ToVariant(const Variant& value, VARIANT* out, VARTYPE array_element = VT_VARIANT);

// Writes `value` back into a by-reference argument `arg` (VT_BYREF | type):
// a referenced VARIANT takes the value as it is; a typed reference takes it
// converted to its type, and keeps its old value when the conversion fails.
// An argument passed by value is left alone.
void WriteBack(const Variant& value, VARIANTARG* arg);

// The VarType of the server for a VARTYPE (its base type, without VT_BYREF or
// VT_ARRAY), or kEmpty when it has none.
VarType VarTypeOf(VARTYPE vt);

}  // namespace qrole::com

#endif  // QROLE_WINDOWS_COM_VARIANT_COM_H_
