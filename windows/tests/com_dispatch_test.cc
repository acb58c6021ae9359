// IDispatch over the server's objects, in process: name lookup, every way a
// client passes arguments, by-reference write-back, errors, identity,
// enumeration and default members.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "automation/collection.h"
#include "com/bstr.h"
#include "com/com_object.h"
#include "com/variant_com.h"
#include "server/object_factory.h"
#include "server/test_env.h"

namespace qrole::com {
namespace {

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    enlace_ = DispatchForObject(server::CreateObjectByName("Enlace"));
  }
  void TearDown() override {
    if (enlace_ != nullptr) enlace_->Release();
    ::CoUninitialize();
  }

  DISPID Id(IDispatch* d, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << "no member";
    return id;
  }

  // Calls `name` with `args` (in the client's order) and `flags`; returns
  // the HRESULT and fills *result and *error.
  HRESULT Call(IDispatch* d, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
               VARIANT* result, EXCEPINFO* error = nullptr) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    DISPID put = DISPID_PROPERTYPUT;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      params.rgdispidNamedArgs = &put;
      params.cNamedArgs = 1;
    }
    EXCEPINFO ignored;
    if (error == nullptr) error = &ignored;
    std::memset(error, 0, sizeof(*error));
    if (result != nullptr) ::VariantInit(result);
    HRESULT hr = d->Invoke(Id(d, name), IID_NULL, 0, flags, &params, result, error, nullptr);
    if (error == &ignored) {
      ::SysFreeString(ignored.bstrSource);
      ::SysFreeString(ignored.bstrDescription);
    }
    return hr;
  }

  static VARIANT Str(const wchar_t* s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = ::SysAllocString(s);
    return v;
  }
  static VARIANT Long(LONG n) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
  }

  server::TestEnv env_;
  IDispatch* enlace_ = nullptr;
};

TEST_F(DispatchTest, NamesAreFoundAsLateBindingFindsThem) {
  LPOLESTR names[] = {
      const_cast<LPOLESTR>(L"a\x00F1"
                           L"adirapunte")};
  DISPID id = 0;
  EXPECT_EQ(enlace_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id,
            typelib::Library::Get().enlace().Find("AñadirApunte", typelib::Kind::kMethod)->dispid);
  LPOLESTR missing[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
  EXPECT_EQ(enlace_->GetIDsOfNames(IID_NULL, missing, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  // Parameter names of named arguments: their positions.
  LPOLESTR with_params[] = {const_cast<LPOLESTR>(L"MASTER"), const_cast<LPOLESTR>(L"clave_master"),
                            const_cast<LPOLESTR>(L"Nada")};
  DISPID ids[3];
  EXPECT_EQ(enlace_->GetIDsOfNames(IID_NULL, with_params, 3, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[1], 2);
  EXPECT_EQ(ids[2], DISPID_UNKNOWN);
}

TEST_F(DispatchTest, MethodsAndProperties) {
  VARIANT result;
  ASSERT_EQ(Call(enlace_, L"Version", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(FromVariant(result), Variant::FromString("7.5.1"));
  ::VariantClear(&result);
  ASSERT_EQ(Call(enlace_, L"Canal", DISPATCH_PROPERTYPUT, {Str(L"7x")}, nullptr), S_OK);
  ASSERT_EQ(Call(enlace_, L"Canal", DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(FromVariant(result), Variant::FromString("007"));
  ::VariantClear(&result);
}

TEST_F(DispatchTest, ErrorsCarryNumberSourceAndDescription) {
  EXCEPINFO error;
  EXPECT_EQ(Call(enlace_, L"Canal", DISPATCH_PROPERTYPUT, {Long(40000)}, nullptr, &error),
            DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<uint32_t>(error.scode), 0x800A0006u);
  EXPECT_EQ(FromBstr(error.bstrSource), "QROLE75");
  EXPECT_EQ(FromBstr(error.bstrDescription), "Overflow");
  ::SysFreeString(error.bstrSource);
  ::SysFreeString(error.bstrDescription);
  // A member of web mode on a local object: the object's own error, an HRESULT.
  EXPECT_EQ(Call(enlace_, L"LeerCarpetas", DISPATCH_METHOD, {}, nullptr, &error), DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<uint32_t>(error.scode), 0x8004C35Fu);
  EXPECT_EQ(FromBstr(error.bstrSource), "Valdrix OLE Server");
  EXPECT_EQ(FromBstr(error.bstrDescription),
            "Esta opción solo está disponible con enlace a webservice.invalid");
  ::SysFreeString(error.bstrSource);
  ::SysFreeString(error.bstrDescription);
  // An identifier the object does not have.
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(enlace_->Invoke(12345, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
}

TEST_F(DispatchTest, ByReferenceArgumentsAreWrittenBack) {
  // Util_TextoToArray(Txt As String) takes its text by reference.
  short number = 5;
  VARIANT by_short;
  V_VT(&by_short) = VT_BYREF | VT_I2;
  V_I2REF(&by_short) = &number;
  VARIANT result;
  ASSERT_EQ(Call(enlace_, L"Util_TextoToArray", DISPATCH_METHOD, {by_short}, &result), S_OK);
  EXPECT_EQ(number, 5);
  ::VariantClear(&result);
  VARIANT held;
  ::VariantInit(&held);
  V_VT(&held) = VT_R8;
  V_R8(&held) = 2.5;
  VARIANT by_variant;
  V_VT(&by_variant) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&by_variant) = &held;
  ASSERT_EQ(Call(enlace_, L"Util_TextoToArray", DISPATCH_METHOD, {by_variant}, &result), S_OK);
  ::VariantClear(&result);
  EXPECT_EQ(FromVariant(held), Variant::FromString("2,5"));
  ::VariantClear(&held);
}

TEST_F(DispatchTest, NamedAndMissingArguments) {
  // MASTER(NUMFUNCION, Parametros, CLAVE_MASTER, [Reservado]) with the code
  // given by name and the optional one missing.
  VARIANT args[3];
  V_VT(&args[0]) = VT_BSTR;  // CLAVE_MASTER, named
  V_BSTR(&args[0]) = ::SysAllocString(L"XX0000");
  V_VT(&args[1]) = VT_BSTR;  // Parametros
  V_BSTR(&args[1]) = ::SysAllocString(L"p");
  V_VT(&args[2]) = VT_I2;  // NUMFUNCION
  V_I2(&args[2]) = 1;
  DISPID named[] = {2};
  DISPPARAMS params{args, named, 3, 1};
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(enlace_->Invoke(Id(enlace_, L"MASTER"), IID_NULL, 0, DISPATCH_METHOD, &params, &result,
                            nullptr, nullptr),
            S_OK);
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
  for (VARIANT& v : args) ::VariantClear(&v);
  // The required code left out (VT_ERROR DISP_E_PARAMNOTFOUND): 449.
  VARIANT missing[3];
  V_VT(&missing[0]) = VT_ERROR;
  V_ERROR(&missing[0]) = DISP_E_PARAMNOTFOUND;
  missing[1] = Str(L"p");
  missing[2] = Long(1);
  DISPPARAMS omitted{missing, nullptr, 3, 0};
  EXCEPINFO error{};
  EXPECT_EQ(enlace_->Invoke(Id(enlace_, L"MASTER"), IID_NULL, 0, DISPATCH_METHOD, &omitted, &result,
                            &error, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<uint32_t>(error.scode), 0x800A01C1u);
  ::SysFreeString(error.bstrSource);
  ::SysFreeString(error.bstrDescription);
  ::VariantClear(&missing[1]);
}

TEST_F(DispatchTest, OneWrapperPerObjectWhileItLives) {
  VARIANT first, second;
  ASSERT_EQ(Call(enlace_, L"Empresas", DISPATCH_PROPERTYGET, {}, &first), S_OK);
  ASSERT_EQ(Call(enlace_, L"Empresas", DISPATCH_PROPERTYGET, {}, &second), S_OK);
  ASSERT_EQ(V_VT(&first), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(&first), V_DISPATCH(&second));
  // Handing it back gives the server its own object.
  std::shared_ptr<Object> object = ObjectFromDispatch(V_DISPATCH(&first));
  EXPECT_NE(dynamic_cast<Collection*>(object.get()), nullptr);
  EXPECT_EQ(DispatchForObject(object), V_DISPATCH(&first));
  V_DISPATCH(&first)->Release();
  const size_t live = LiveWrapperCount();
  ::VariantClear(&first);
  ::VariantClear(&second);
  EXPECT_EQ(LiveWrapperCount(), live - 1);
}

TEST_F(DispatchTest, CollectionsCountItemEnumerate) {
  VARIANT result;
  ASSERT_EQ(Call(enlace_, L"Empresas", DISPATCH_PROPERTYGET, {}, &result), S_OK);
  IDispatch* c = V_DISPATCH(&result);
  ASSERT_EQ(Call(c, L"Add", DISPATCH_METHOD, {Str(L"uno")}, nullptr), S_OK);
  ASSERT_EQ(Call(c, L"Add", DISPATCH_METHOD, {Str(L"dos")}, nullptr), S_OK);
  // The default member is Item.
  VARIANT index = Long(2);
  DISPPARAMS params{&index, nullptr, 1, 0};
  VARIANT item;
  ::VariantInit(&item);
  ASSERT_EQ(c->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                      &item, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(FromVariant(item), Variant::FromString("dos"));
  ::VariantClear(&item);
  // For Each asks for DISPID_NEWENUM.
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT enumerator;
  ::VariantInit(&enumerator);
  ASSERT_EQ(c->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                      &enumerator, nullptr, nullptr),
            S_OK);
  IEnumVARIANT* e = nullptr;
  ASSERT_EQ(V_UNKNOWN(&enumerator)->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e)),
            S_OK);
  VARIANT got[3];
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(3, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(FromVariant(got[0]), Variant::FromString("uno"));
  EXPECT_EQ(FromVariant(got[1]), Variant::FromString("dos"));
  ::VariantClear(&got[0]);
  ::VariantClear(&got[1]);
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(1), S_OK);
  EXPECT_EQ(e->Next(1, got, nullptr), S_OK);
  EXPECT_EQ(FromVariant(got[0]), Variant::FromString("dos"));
  ::VariantClear(&got[0]);
  e->Release();
  ::VariantClear(&enumerator);
  // Empresas(1): the index goes to the collection's default member.
  VARIANT first;
  ASSERT_EQ(Call(enlace_, L"Empresas", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Long(1)}, &first),
            S_OK);
  EXPECT_EQ(FromVariant(first), Variant::FromString("uno"));
  ::VariantClear(&first);
  ::VariantClear(&result);
}

TEST_F(DispatchTest, PropertyPutRefWithObjects) {
  IDispatch* builder = DispatchForObject(server::CreateObjectByName("StrBuilder"));
  IDispatch* record = DispatchForObject(server::CreateObjectByName("IVAClass"));
  VARIANT object;
  V_VT(&object) = VT_DISPATCH;
  V_DISPATCH(&object) = builder;
  ASSERT_EQ(Call(record, L"CuentaIVA", DISPATCH_PROPERTYPUTREF, {object}, nullptr), S_OK);
  VARIANT back;
  ASSERT_EQ(Call(record, L"CuentaIVA", DISPATCH_PROPERTYGET, {}, &back), S_OK);
  EXPECT_EQ(V_DISPATCH(&back), builder);
  ::VariantClear(&back);
  // A collection-typed property refuses another class.
  EXCEPINFO error;
  EXPECT_EQ(Call(enlace_, L"Empresas", DISPATCH_PROPERTYPUTREF, {object}, nullptr, &error),
            DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<uint32_t>(error.scode), 0x800A000Du);
  ::SysFreeString(error.bstrSource);
  ::SysFreeString(error.bstrDescription);
  record->Release();
  builder->Release();
}

}  // namespace
}  // namespace qrole::com
