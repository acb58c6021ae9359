// Values between the server and COM: strings, VARIANTs, arrays, by-reference
// write-back, error numbers and the name-based GUIDs.

#include <gtest/gtest.h>

#include <cstring>

#include "com/bstr.h"
#include "com/error_info.h"
#include "com/name_guid.h"
#include "com/variant_com.h"
#include "qrole/error.h"

namespace qrole::com {
namespace {

std::string HexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

// VARIANT owned for the length of a test.
struct Var {
  Var() { ::VariantInit(&v); }
  ~Var() { ::VariantClear(&v); }
  VARIANT v;
};

Variant RoundTrip(const Variant& value) {
  Var out;
  EXPECT_EQ(ToVariant(value, &out.v), S_OK);
  return FromVariant(out.v);
}

TEST(NameGuidTest, Sha1OfKnownTexts) {
  EXPECT_EQ(HexOf(Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(HexOf(Sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(HexOf(Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST(NameGuidTest, NameBasedVersionFiveGuids) {
  const GUID a = ClassGuid("Enlace");
  EXPECT_EQ(a.Data3 >> 12, 5);         // version 5
  EXPECT_EQ(a.Data4[0] & 0xC0, 0x80);  // RFC 4122 variant
  EXPECT_TRUE(IsEqualGUID(a, ClassGuid("Enlace")));
  EXPECT_FALSE(IsEqualGUID(a, ClassGuid("StrBuilder")));
  EXPECT_FALSE(IsEqualGUID(a, InterfaceGuid("Enlace")));
  EXPECT_FALSE(IsEqualGUID(LibraryGuid(), a));
  const std::string text = GuidText(a);
  ASSERT_EQ(text.size(), 38u);
  EXPECT_EQ(text.front(), '{');
  EXPECT_EQ(text[9], '-');
  EXPECT_EQ(text.back(), '}');
  CLSID parsed;
  std::wstring wide(text.begin(), text.end());
  ASSERT_EQ(::CLSIDFromString(wide.c_str(), &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, a));
}

TEST(BstrTest, Utf8AndUtf16) {
  Bstr accented("Año € \xF0\x9F\x98\x80");  // a character beyond the 16-bit range
  ASSERT_NE(accented.get(), nullptr);
  EXPECT_EQ(::SysStringLen(accented.get()), 8u);  // the last one as a surrogate pair
  EXPECT_EQ(accented.get()[1], L'\x00F1');
  EXPECT_EQ(accented.get()[4], L'\x20AC');
  EXPECT_EQ(FromBstr(accented.get()), "Año € \xF0\x9F\x98\x80");
  Bstr with_nul(std::string("a\0b", 3));
  EXPECT_EQ(::SysStringLen(with_nul.get()), 3u);
  EXPECT_EQ(FromBstr(with_nul.get()), std::string("a\0b", 3));
  EXPECT_EQ(FromBstr(nullptr), "");
  // A byte that is not UTF-8 keeps its Windows-1252 meaning.
  Bstr stray("\x80");
  EXPECT_EQ(stray.get()[0], L'\x20AC');
  // An unpaired surrogate from a client becomes U+FFFD.
  BSTR lone = ::SysAllocStringLen(L"\xD800x", 2);
  EXPECT_EQ(FromBstr(lone), "\xEF\xBF\xBDx");
  ::SysFreeString(lone);
}

TEST(VariantComTest, EveryScalarTypeRoundTrips) {
  const Variant values[] = {
      Variant(),
      Variant::Null(),
      Variant::FromInteger(-7),
      Variant::FromLong(123456),
      Variant::FromSingle(2.5f),
      Variant::FromDouble(-0.125),
      Variant::FromCurrency(Currency{123456789}),
      Variant::FromDate(Date{45000.5}),
      Variant::FromString("Cobro nº 7"),
      Variant::FromError(ErrorCode::kParamNotFound),
      Variant::FromBool(true),
      Variant::FromBool(false),
      Variant::FromByte(200),
      Variant::FromObject(nullptr),
  };
  for (const Variant& v : values) {
    EXPECT_EQ(RoundTrip(v), v) << VarTypeName(v.type());
  }
  EXPECT_TRUE(RoundTrip(Variant::Missing()).IsMissing());
}

TEST(VariantComTest, BooleansUseTheAutomationTrue) {
  Var out;
  ASSERT_EQ(ToVariant(Variant::FromBool(true), &out.v), S_OK);
  EXPECT_EQ(V_VT(&out.v), VT_BOOL);
  EXPECT_EQ(V_BOOL(&out.v), VARIANT_TRUE);
}

TEST(VariantComTest, OtherNumericTypesArriveAsLongOrDouble) {
  Var v;
  V_VT(&v.v) = VT_UI4;
  V_UI4(&v.v) = 7;
  EXPECT_EQ(FromVariant(v.v), Variant::FromLong(7));
  V_UI4(&v.v) = 4000000000u;
  EXPECT_EQ(FromVariant(v.v), Variant::FromDouble(4000000000.0));
  V_VT(&v.v) = VT_I8;
  V_I8(&v.v) = -5;
  EXPECT_EQ(FromVariant(v.v), Variant::FromLong(-5));
  V_I8(&v.v) = 5000000000LL;
  EXPECT_EQ(FromVariant(v.v), Variant::FromDouble(5000000000.0));
  V_VT(&v.v) = VT_I1;
  V_I1(&v.v) = -3;
  EXPECT_EQ(FromVariant(v.v), Variant::FromLong(-3));
  V_VT(&v.v) = VT_UI2;
  V_UI2(&v.v) = 65535;
  EXPECT_EQ(FromVariant(v.v), Variant::FromLong(65535));
  V_VT(&v.v) = VT_DECIMAL;
  ASSERT_EQ(::VarDecFromR8(12.25, &V_DECIMAL(&v.v)), S_OK);
  V_VT(&v.v) = VT_DECIMAL;
  EXPECT_EQ(FromVariant(v.v), Variant::FromDouble(12.25));
}

TEST(VariantComTest, ByReferenceValuesAreFollowed) {
  BSTR text = ::SysAllocString(L"ref");
  VARIANT inner;
  ::VariantInit(&inner);
  V_VT(&inner) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&inner) = &text;
  VARIANT outer;
  ::VariantInit(&outer);
  V_VT(&outer) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&outer) = &inner;
  EXPECT_EQ(FromVariant(outer), Variant::FromString("ref"));
  ::SysFreeString(text);
}

TEST(VariantComTest, UnsupportedTypesAreATypeMismatch) {
  Var v;
  V_VT(&v.v) = VT_RECORD;
  try {
    FromVariant(v.v);
    FAIL() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 13);
  }
  V_VT(&v.v) = VT_EMPTY;
}

TEST(VariantComTest, TwoDimensionalArraysKeepBoundsAndPlaces) {
  auto array = std::make_shared<Array>(std::vector<Array::Bound>{{1, 2}, {0, 3}});
  for (int32_t i = 1; i <= 2; ++i)
    for (int32_t j = 0; j < 3; ++j)
      array->At({i, j}) = Variant::FromString(std::to_string(i) + "," + std::to_string(j));
  Var out;
  ASSERT_EQ(ToVariant(Variant::FromArray(array), &out.v), S_OK);
  ASSERT_EQ(V_VT(&out.v), VT_ARRAY | VT_VARIANT);
  SAFEARRAY* sa = V_ARRAY(&out.v);
  ASSERT_EQ(::SafeArrayGetDim(sa), 2u);
  LONG lower = -1, upper = -1;
  ::SafeArrayGetLBound(sa, 1, &lower);
  ::SafeArrayGetUBound(sa, 1, &upper);
  EXPECT_EQ(lower, 1);
  EXPECT_EQ(upper, 2);
  ::SafeArrayGetLBound(sa, 2, &lower);
  ::SafeArrayGetUBound(sa, 2, &upper);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, 2);
  // Element (2, 1) as a client indexes it.
  LONG at[] = {2, 1};
  VARIANT element;
  ::VariantInit(&element);
  ASSERT_EQ(::SafeArrayGetElement(sa, at, &element), S_OK);
  EXPECT_EQ(FromBstr(V_BSTR(&element)), "2,1");
  ::VariantClear(&element);
  // And back.
  Variant back = FromVariant(out.v);
  ASSERT_TRUE(back.IsArray());
  EXPECT_EQ(back.array()->bounds()[0].lower, 1);
  EXPECT_EQ(back.array()->bounds()[1].count, 3);
  EXPECT_EQ(back.array()->At({1, 2}), Variant::FromString("1,2"));
  EXPECT_EQ(back.array()->At({2, 0}), Variant::FromString("2,0"));
}

TEST(VariantComTest, TypedArrays) {
  auto array = std::make_shared<Array>(std::vector<Array::Bound>{{0, 2}});
  array->At({0}) = Variant::FromString("uno");
  array->At({1}) = Variant::FromLong(2);
  Var out;
  ASSERT_EQ(ToVariant(Variant::FromArray(array), &out.v, VT_BSTR), S_OK);
  ASSERT_EQ(V_VT(&out.v), VT_ARRAY | VT_BSTR);
  Variant back = FromVariant(out.v);
  EXPECT_EQ(back.array()->At({1}), Variant::FromString("2"));
  // An array with no dimensions leaves as an empty vector.
  Var empty;
  ASSERT_EQ(
      ToVariant(Variant::FromArray(std::make_shared<Array>(std::vector<Array::Bound>{})), &empty.v),
      S_OK);
  LONG upper = 0;
  ::SafeArrayGetUBound(V_ARRAY(&empty.v), 1, &upper);
  EXPECT_EQ(upper, -1);
}

TEST(WriteBackTest, IntoVariantsAndTypedReferences) {
  VARIANT target;
  ::VariantInit(&target);
  V_VT(&target) = VT_I2;
  V_I2(&target) = 5;
  VARIANT by_variant;
  V_VT(&by_variant) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&by_variant) = &target;
  WriteBack(Variant::FromString("5"), &by_variant);
  ASSERT_EQ(V_VT(&target), VT_BSTR);
  EXPECT_EQ(FromBstr(V_BSTR(&target)), "5");
  ::VariantClear(&target);

  BSTR text = ::SysAllocString(L"old");
  VARIANT by_bstr;
  V_VT(&by_bstr) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&by_bstr) = &text;
  WriteBack(Variant::FromLong(42), &by_bstr);
  EXPECT_EQ(FromBstr(text), "42");
  ::SysFreeString(text);

  short number = 9;
  VARIANT by_short;
  V_VT(&by_short) = VT_BYREF | VT_I2;
  V_I2REF(&by_short) = &number;
  WriteBack(Variant::FromString("12"), &by_short);
  EXPECT_EQ(number, 12);
  // A value the caller's variable cannot hold leaves it as it was.
  WriteBack(Variant::FromString("no number"), &by_short);
  EXPECT_EQ(number, 12);
  WriteBack(Variant::FromLong(100000), &by_short);
  EXPECT_EQ(number, 12);

  VARIANT by_value;
  V_VT(&by_value) = VT_I4;
  V_I4(&by_value) = 1;
  WriteBack(Variant::FromLong(2), &by_value);
  EXPECT_EQ(V_I4(&by_value), 1);
}

TEST(ErrorInfoTest, NumbersAndHResults) {
  EXPECT_EQ(static_cast<uint32_t>(ErrorHResult(6)), 0x800A0006u);
  EXPECT_EQ(static_cast<uint32_t>(ErrorHResult(50011)), 0x800AC35Bu);
  EXPECT_EQ(static_cast<uint32_t>(ErrorHResult(ObjectError(50006))), 0x8004C356u);
  EXPECT_EQ(static_cast<uint32_t>(ErrorHResult(runtime_error::kNotImplemented)), 0x80004001u);
  for (int32_t n : {6, 13, 449, 50011, 59999, ObjectError(50006), runtime_error::kNotImplemented})
    EXPECT_EQ(ErrorNumber(ErrorHResult(n)), n);
}

TEST(ErrorInfoTest, ExcepinfoAndTheErrorObject) {
  EXCEPINFO info;
  const HRESULT hr =
      ReportError(AutomationError(ObjectError(50006), kServerSource, "Empresa No Abierta ... Año"),
                  IID_IDispatch, &info);
  EXPECT_EQ(hr, DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<uint32_t>(info.scode), 0x8004C356u);
  EXPECT_EQ(FromBstr(info.bstrSource), "Valdrix OLE Server");
  EXPECT_EQ(FromBstr(info.bstrDescription), "Empresa No Abierta ... Año");
  IErrorInfo* error = nullptr;
  ASSERT_EQ(::GetErrorInfo(0, &error), S_OK);
  Bstr source, description;
  error->GetSource(source.out());
  error->GetDescription(description.out());
  error->Release();
  EXPECT_EQ(FromBstr(source.get()), "Valdrix OLE Server");
  EXPECT_EQ(FromBstr(description.get()), "Empresa No Abierta ... Año");
  // What a call of a client's object that raised the same would give.
  AutomationError back = ErrorFromCall(hr, &info);
  EXPECT_EQ(back.number(), ObjectError(50006));
  EXPECT_EQ(back.source(), "Valdrix OLE Server");
  EXPECT_EQ(back.description(), "Empresa No Abierta ... Año");
}

}  // namespace
}  // namespace qrole::com
