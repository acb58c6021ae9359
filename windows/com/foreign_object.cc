#include "com/foreign_object.h"

#include <map>

#include "com/bstr.h"
#include "com/error_info.h"
#include "com/variant_com.h"
#include "platform/windows_internal_win.h"
#include "qrole/error.h"

namespace qrole::com {
namespace {

std::string TypeName(IDispatch* dispatch) {
  ITypeInfo* info = nullptr;
  UINT count = 0;
  std::string name;
  if (SUCCEEDED(dispatch->GetTypeInfoCount(&count)) && count > 0 &&
      SUCCEEDED(dispatch->GetTypeInfo(0, 0, &info)) && info != nullptr) {
    Bstr text;
    if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, text.out(), nullptr, nullptr, nullptr)))
      name = FromBstr(text.get());
    info->Release();
  }
  if (!name.empty() && name[0] == '_') name.erase(0, 1);
  return name.empty() ? "Object" : name;
}

// One description per class name, kept for the process's life.
const typelib::ClassInfo& ClassNamed(const std::string& name) {
  static std::map<std::string, std::unique_ptr<typelib::ClassInfo>> classes;
  auto& slot = classes[name];
  if (!slot)
    slot =
        std::make_unique<typelib::ClassInfo>(name, "_" + name, std::vector<typelib::MemberInfo>{});
  return *slot;
}

}  // namespace

std::shared_ptr<ForeignObject> ForeignObject::Wrap(IDispatch* dispatch) {
  return std::make_shared<ForeignObject>(ClassNamed(TypeName(dispatch)), dispatch);
}

ForeignObject::ForeignObject(const typelib::ClassInfo& info, IDispatch* dispatch)
    : Object(info), dispatch_(dispatch) {
  dispatch_->AddRef();
}

ForeignObject::~ForeignObject() { dispatch_->Release(); }

Variant ForeignObject::CallByName(const std::string& name, typelib::Kind kind,
                                  const std::vector<Variant>& args) {
  std::wstring wide = platform::internal::Widen(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) throw ErrorFromCall(hr, nullptr);

  std::vector<VARIANT> values(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    // Reverse order, as IDispatch takes them.
    hr = ToVariant(args[i], &values[args.size() - 1 - i]);
    if (FAILED(hr)) {
      for (VARIANT& v : values) ::VariantClear(&v);
      throw ErrorFromCall(hr, nullptr);
    }
  }
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
  WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  if (kind == typelib::Kind::kLet || kind == typelib::Kind::kSet) {
    flags = kind == typelib::Kind::kLet ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYPUTREF;
    params.rgdispidNamedArgs = &put;
    params.cNamedArgs = 1;
  } else if (kind == typelib::Kind::kGet) {
    flags = DISPATCH_PROPERTYGET;
  }
  VARIANT result;
  ::VariantInit(&result);
  EXCEPINFO excepinfo{};
  hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &excepinfo,
                         nullptr);
  for (VARIANT& v : values) ::VariantClear(&v);
  if (FAILED(hr)) throw ErrorFromCall(hr, &excepinfo);
  Variant out;
  try {
    out = FromVariant(result);
  } catch (...) {
    ::VariantClear(&result);
    throw;
  }
  ::VariantClear(&result);
  return out;
}

Variant ForeignObject::Call(const typelib::MemberInfo&, std::vector<Variant>&) {
  RaiseRuntimeError(runtime_error::kNoSuchMember);
}

}  // namespace qrole::com
