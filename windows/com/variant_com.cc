#include "com/variant_com.h"

#include <vector>

#include "automation/convert.h"
#include "com/bstr.h"
#include "com/com_object.h"
#include "qrole/error.h"

namespace qrole::com {
namespace {

// Calls `f(indexes)` for every element of an array with `bounds`, the last
// index moving fastest.
template <typename F>
void ForEachIndex(const std::vector<Array::Bound>& bounds, F f) {
  if (bounds.empty()) return;
  for (const Array::Bound& b : bounds)
    if (b.count <= 0) return;
  std::vector<int32_t> index(bounds.size());
  for (size_t d = 0; d < bounds.size(); ++d) index[d] = bounds[d].lower;
  while (true) {
    f(index);
    size_t d = bounds.size();
    while (d > 0) {
      --d;
      if (++index[d] < bounds[d].lower + bounds[d].count) break;
      index[d] = bounds[d].lower;
      if (d == 0) return;
    }
  }
}

// Integers outside the interface's types: Long when they fit, otherwise
// Double.
Variant WideInteger(long double value) {
  if (value >= -2147483648.0L && value <= 2147483647.0L)
    return Variant::FromLong(static_cast<int32_t>(value));
  return Variant::FromDouble(static_cast<double>(value));
}

// VT_I1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT and VT_DECIMAL
// (by value; references already followed into `v`).
Variant WideNumber(VARTYPE vt, const void* p) {
  switch (vt) {
    case VT_I1:
      return WideInteger(*static_cast<const signed char*>(p));
    case VT_UI2:
      return WideInteger(*static_cast<const unsigned short*>(p));
    case VT_UI4:
    case VT_UINT:
      return WideInteger(*static_cast<const unsigned long*>(p));
    case VT_INT:
      return WideInteger(*static_cast<const int*>(p));
    case VT_I8:
      return WideInteger(static_cast<long double>(*static_cast<const LONGLONG*>(p)));
    case VT_UI8:
      return WideInteger(static_cast<long double>(*static_cast<const ULONGLONG*>(p)));
    case VT_DECIMAL: {
      double d = 0;
      if (FAILED(::VarR8FromDec(const_cast<DECIMAL*>(static_cast<const DECIMAL*>(p)), &d)))
        RaiseRuntimeError(runtime_error::kOverflow);
      return Variant::FromDouble(d);
    }
    default:
      RaiseRuntimeError(runtime_error::kTypeMismatch);
  }
}

Variant FromObjectPointer(IUnknown* unknown) {
  if (unknown == nullptr) return Variant::FromObject(nullptr);
  IDispatch* dispatch = nullptr;
  if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
    RaiseRuntimeError(runtime_error::kTypeMismatch);
  Variant out = Variant::FromObject(ObjectFromDispatch(dispatch));
  dispatch->Release();
  return out;
}

Variant FromSafeArray(SAFEARRAY* sa) {
  if (sa == nullptr)
    return Variant::FromArray(std::make_shared<Array>(std::vector<Array::Bound>{}));
  VARTYPE vt = VT_EMPTY;
  if (FAILED(::SafeArrayGetVartype(sa, &vt))) RaiseRuntimeError(runtime_error::kTypeMismatch);
  const UINT dims = ::SafeArrayGetDim(sa);
  std::vector<Array::Bound> bounds(dims);
  for (UINT d = 0; d < dims; ++d) {
    LONG lower = 0, upper = -1;
    ::SafeArrayGetLBound(sa, d + 1, &lower);
    ::SafeArrayGetUBound(sa, d + 1, &upper);
    bounds[d] = {lower, upper - lower + 1};
  }
  auto array = std::make_shared<Array>(bounds);
  ForEachIndex(bounds, [&](const std::vector<int32_t>& index) {
    std::vector<LONG> at(index.begin(), index.end());
    VARIANT element;
    ::VariantInit(&element);
    HRESULT hr;
    if (vt == VT_VARIANT) {
      hr = ::SafeArrayGetElement(sa, at.data(), &element);
    } else {
      V_VT(&element) = vt;
      hr = ::SafeArrayGetElement(sa, at.data(), &V_I4(&element));
    }
    if (FAILED(hr)) {
      V_VT(&element) = VT_EMPTY;
      RaiseRuntimeError(runtime_error::kTypeMismatch);
    }
    try {
      array->At(index) = FromVariant(element);
    } catch (...) {
      ::VariantClear(&element);
      throw;
    }
    ::VariantClear(&element);
  });
  return Variant::FromArray(array);
}

HRESULT ToSafeArray(const Array& array, VARTYPE element_vt, SAFEARRAY** out) {
  *out = nullptr;
  SAFEARRAY* sa;
  if (array.dims() == 0) {
    sa = ::SafeArrayCreateVector(element_vt, 0, 0);
  } else {
    std::vector<SAFEARRAYBOUND> bounds(array.dims());
    for (size_t d = 0; d < array.dims(); ++d) {
      bounds[d].lLbound = array.bounds()[d].lower;
      bounds[d].cElements = static_cast<ULONG>(array.bounds()[d].count);
    }
    sa = ::SafeArrayCreate(element_vt, static_cast<UINT>(array.dims()), bounds.data());
  }
  if (sa == nullptr) return E_OUTOFMEMORY;
  HRESULT result = S_OK;
  ForEachIndex(array.bounds(), [&](const std::vector<int32_t>& index) {
    if (FAILED(result)) return;
    std::vector<LONG> at(index.begin(), index.end());
    const Variant& item = array.At(index);
    if (element_vt == VT_VARIANT) {
      VARIANT v;
      ::VariantInit(&v);
      result = ToVariant(item, &v);
      if (SUCCEEDED(result)) result = ::SafeArrayPutElement(sa, at.data(), &v);
      ::VariantClear(&v);
    } else if (element_vt == VT_BSTR) {
      Bstr b(item.IsEmpty() ? std::string() : ToStr(item));
      result = ::SafeArrayPutElement(sa, at.data(), b.get());
    } else {
      VARIANT v;
      ::VariantInit(&v);
      result = ToVariant(ConvertTo(item, VarTypeOf(element_vt)), &v);
      if (SUCCEEDED(result)) result = ::SafeArrayPutElement(sa, at.data(), &V_I4(&v));
      ::VariantClear(&v);
    }
  });
  if (FAILED(result)) {
    ::SafeArrayDestroy(sa);
    return result;
  }
  *out = sa;
  return S_OK;
}

}  // namespace

VarType VarTypeOf(VARTYPE vt) {
  switch (vt & VT_TYPEMASK) {
    case VT_NULL:
      return VarType::kNull;
    case VT_I2:
      return VarType::kInteger;
    case VT_I4:
      return VarType::kLong;
    case VT_R4:
      return VarType::kSingle;
    case VT_R8:
      return VarType::kDouble;
    case VT_CY:
      return VarType::kCurrency;
    case VT_DATE:
      return VarType::kDate;
    case VT_BSTR:
      return VarType::kString;
    case VT_DISPATCH:
      return VarType::kObject;
    case VT_ERROR:
      return VarType::kError;
    case VT_BOOL:
      return VarType::kBoolean;
    case VT_VARIANT:
      return VarType::kVariant;
    case VT_UI1:
      return VarType::kByte;
    default:
      return VarType::kEmpty;
  }
}

Variant FromVariant(const VARIANT& v) {
  const VARTYPE vt = V_VT(&v);
  const bool byref = (vt & VT_BYREF) != 0;
  if (vt == (VT_BYREF | VT_VARIANT)) {
    if (V_VARIANTREF(&v) == nullptr) return Variant();
    return FromVariant(*V_VARIANTREF(&v));
  }
  if (vt & VT_ARRAY) return FromSafeArray(byref ? *V_ARRAYREF(&v) : V_ARRAY(&v));
  if (byref && V_BYREF(&v) == nullptr) RaiseRuntimeError(runtime_error::kTypeMismatch);
  switch (vt & ~VT_BYREF) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::Null();
    case VT_I2:
      return Variant::FromInteger(byref ? *V_I2REF(&v) : V_I2(&v));
    case VT_I4:
      return Variant::FromLong(byref ? *V_I4REF(&v) : V_I4(&v));
    case VT_R4:
      return Variant::FromSingle(byref ? *V_R4REF(&v) : V_R4(&v));
    case VT_R8:
      return Variant::FromDouble(byref ? *V_R8REF(&v) : V_R8(&v));
    case VT_CY:
      return Variant::FromCurrency(Currency{(byref ? *V_CYREF(&v) : V_CY(&v)).int64});
    case VT_DATE:
      return Variant::FromDate(Date{byref ? *V_DATEREF(&v) : V_DATE(&v)});
    case VT_BSTR:
      return Variant::FromString(FromBstr(byref ? *V_BSTRREF(&v) : V_BSTR(&v)));
    case VT_DISPATCH:
      return FromObjectPointer(byref ? *V_DISPATCHREF(&v) : V_DISPATCH(&v));
    case VT_UNKNOWN:
      return FromObjectPointer(byref ? *V_UNKNOWNREF(&v) : V_UNKNOWN(&v));
    case VT_ERROR:
      return Variant::FromError(byref ? *V_ERRORREF(&v) : V_ERROR(&v));
    case VT_BOOL:
      return Variant::FromBool((byref ? *V_BOOLREF(&v) : V_BOOL(&v)) != VARIANT_FALSE);
    case VT_UI1:
      return Variant::FromByte(byref ? *V_UI1REF(&v) : V_UI1(&v));
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return WideNumber(vt & ~VT_BYREF, byref ? V_BYREF(&v) : &V_I1(&v));
    case VT_DECIMAL:
      // A decimal fills the whole VARIANT: by value it starts at the VARIANT.
      return WideNumber(VT_DECIMAL, byref ? V_BYREF(&v) : &V_DECIMAL(&v));
    default:
      RaiseRuntimeError(runtime_error::kTypeMismatch);
  }
}

HRESULT ToVariant(const Variant& value, VARIANT* out, VARTYPE array_element) {
  ::VariantInit(out);
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kVariant:
      return S_OK;
    case VarType::kNull:
      V_VT(out) = VT_NULL;
      return S_OK;
    case VarType::kInteger:
      V_VT(out) = VT_I2;
      V_I2(out) = value.integer();
      return S_OK;
    case VarType::kLong:
      V_VT(out) = VT_I4;
      V_I4(out) = value.long_value();
      return S_OK;
    case VarType::kSingle:
      V_VT(out) = VT_R4;
      V_R4(out) = value.single();
      return S_OK;
    case VarType::kDouble:
      V_VT(out) = VT_R8;
      V_R8(out) = value.dbl();
      return S_OK;
    case VarType::kCurrency:
      V_VT(out) = VT_CY;
      V_CY(out).int64 = value.currency().scaled;
      return S_OK;
    case VarType::kDate:
      V_VT(out) = VT_DATE;
      V_DATE(out) = value.date().serial;
      return S_OK;
    case VarType::kString: {
      BSTR b = ToBstr(value.str());
      if (b == nullptr) return E_OUTOFMEMORY;
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = b;
      return S_OK;
    }
    case VarType::kObject:
      V_VT(out) = VT_DISPATCH;
      V_DISPATCH(out) = value.object() ? DispatchForObject(value.object()) : nullptr;
      return S_OK;
    case VarType::kError:
      V_VT(out) = VT_ERROR;
      V_ERROR(out) = value.error_code();
      return S_OK;
    case VarType::kBoolean:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = value.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case VarType::kByte:
      V_VT(out) = VT_UI1;
      V_UI1(out) = value.byte();
      return S_OK;
    case VarType::kArray: {
      SAFEARRAY* sa = nullptr;
      const HRESULT hr = ToSafeArray(*value.array(), array_element, &sa);
      if (FAILED(hr)) return hr;
      V_VT(out) = static_cast<VARTYPE>(VT_ARRAY | array_element);
      V_ARRAY(out) = sa;
      return S_OK;
    }
  }
  return S_OK;
}

void WriteBack(const Variant& value, VARIANTARG* arg) {
  const VARTYPE vt = V_VT(arg);
  if (!(vt & VT_BYREF) || V_BYREF(arg) == nullptr) return;
  if (vt == (VT_BYREF | VT_VARIANT)) {
    VARIANT fresh;
    if (FAILED(ToVariant(value, &fresh))) return;
    ::VariantClear(V_VARIANTREF(arg));
    *V_VARIANTREF(arg) = fresh;
    return;
  }
  if (vt & VT_ARRAY) {
    if (!value.IsArray()) return;
    SAFEARRAY* sa = nullptr;
    VARTYPE element = vt & VT_TYPEMASK;
    if (FAILED(ToSafeArray(*value.array(), element, &sa))) return;
    ::SafeArrayDestroy(*V_ARRAYREF(arg));
    *V_ARRAYREF(arg) = sa;
    return;
  }
  const VarType target = VarTypeOf(vt);
  if (target == VarType::kEmpty) return;
  Variant converted;
  try {
    converted = ConvertTo(value, target);
  } catch (const AutomationError&) {
    return;  // The caller's variable cannot hold the value: it keeps its own.
  }
  VARIANT fresh;
  if (FAILED(ToVariant(converted, &fresh))) return;
  switch (vt & VT_TYPEMASK) {
    case VT_BSTR:
      ::SysFreeString(*V_BSTRREF(arg));
      *V_BSTRREF(arg) = V_BSTR(&fresh);
      return;
    case VT_DISPATCH:
      if (*V_DISPATCHREF(arg) != nullptr) (*V_DISPATCHREF(arg))->Release();
      *V_DISPATCHREF(arg) = V_DISPATCH(&fresh);
      return;
    case VT_I2:
      *V_I2REF(arg) = V_I2(&fresh);
      return;
    case VT_I4:
      *V_I4REF(arg) = V_I4(&fresh);
      return;
    case VT_R4:
      *V_R4REF(arg) = V_R4(&fresh);
      return;
    case VT_R8:
      *V_R8REF(arg) = V_R8(&fresh);
      return;
    case VT_CY:
      *V_CYREF(arg) = V_CY(&fresh);
      return;
    case VT_DATE:
      *V_DATEREF(arg) = V_DATE(&fresh);
      return;
    case VT_ERROR:
      *V_ERRORREF(arg) = V_ERROR(&fresh);
      return;
    case VT_BOOL:
      *V_BOOLREF(arg) = V_BOOL(&fresh);
      return;
    case VT_UI1:
      *V_UI1REF(arg) = V_UI1(&fresh);
      return;
    default:
      ::VariantClear(&fresh);
      return;
  }
}

}  // namespace qrole::com
