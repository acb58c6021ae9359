#include "com/com_object.h"

#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/collection.h"
#include "automation/dispatcher.h"
#include "com/bstr.h"
#include "com/dispatch_table.h"
#include "com/enum_variant.h"
#include "com/error_info.h"
#include "com/foreign_object.h"
#include "com/name_guid.h"
#include "com/variant_com.h"
#include "platform/windows_internal_win.h"
#include "qrole/error.h"

namespace qrole::com {

// {7A3C5E10-2B4D-4F6A-9C1E-5D8B0F2A6E31}
const IID IID_IQroleObject = {
    0x7a3c5e10, 0x2b4d, 0x4f6a, {0x9c, 0x1e, 0x5d, 0x8b, 0x0f, 0x2a, 0x6e, 0x31}};

namespace {

LifetimeHooks g_hooks;
ITypeLib* g_library = nullptr;

using typelib::Kind;

class ComObject;

std::unordered_map<const Object*, ComObject*>& LiveWrappers() {
  static auto* live = new std::unordered_map<const Object*, ComObject*>();
  return *live;
}

// The VARTYPE of the elements of a declared array type ("String[]" ->
// VT_BSTR); VT_VARIANT for anything else.
VARTYPE ArrayElement(const typelib::TypeRef& type) {
  if (type.vt != VarType::kArray) return VT_VARIANT;
  const std::string& s = type.spelling;
  if (s == "String[]") return VT_BSTR;
  if (s == "Long[]") return VT_I4;
  if (s == "Integer[]") return VT_I2;
  if (s == "Double[]") return VT_R8;
  if (s == "Byte[]") return VT_UI1;
  if (s == "Boolean[]") return VT_BOOL;
  return VT_VARIANT;
}

Kind KindOf(WORD flags) {
  if (flags & DISPATCH_PROPERTYPUTREF) return Kind::kSet;
  if (flags & DISPATCH_PROPERTYPUT) return Kind::kLet;
  if (flags & DISPATCH_METHOD) return Kind::kMethod;
  return Kind::kGet;
}

class ComObject final : public IDispatch, public ISupportErrorInfo {
 public:
  explicit ComObject(std::shared_ptr<Object> object)
      : object_(std::move(object)),
        table_(DispatchTable::For(object_->info())),
        iid_(InterfaceGuid(object_->info().interface_name())) {
    LiveWrappers()[object_.get()] = this;
    AcquireServer();
  }
  ~ComObject() {
    LiveWrappers().erase(object_.get());
    ReleaseServer();
  }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  const std::shared_ptr<Object>& object() const { return object_; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, iid_)) {
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
      *out = static_cast<ISupportErrorInfo*>(this);
    } else if (IsEqualIID(riid, IID_IQroleObject)) {
      *out = static_cast<IDispatch*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const long n = --refs_;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
    return IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, iid_) ? S_OK : S_FALSE;
  }

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    ITypeInfo* info = nullptr;
    *count = SUCCEEDED(GetTypeInfo(0, 0, &info)) ? 1 : 0;
    if (info != nullptr) info->Release();
    return S_OK;
  }

  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (g_library == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    return g_library->GetTypeInfoOfGuid(iid_, info);
  }

  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count == 0) return S_OK;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    const std::string member = Utf8(names[0]);
    HRESULT hr = S_OK;
    if (std::optional<DISPID> id = table_.IdOf(member)) {
      ids[0] = *id;
    } else {
      ids[0] = DISPID_UNKNOWN;
      hr = DISP_E_UNKNOWNNAME;
    }
    for (UINT i = 1; i < count; ++i) {
      std::optional<DISPID> id =
          hr == S_OK ? table_.ParamIdOf(member, Utf8(names[i])) : std::nullopt;
      ids[i] = id ? *id : DISPID_UNKNOWN;
      if (!id) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excepinfo, UINT*) override {
    // The object stays alive during its own call, whatever the call does.
    AddRef();
    HRESULT hr;
    try {
      hr = InvokeMember(id, flags, params, result);
    } catch (const AutomationError& e) {
      hr = ReportError(e, iid_, excepinfo);
    } catch (const std::bad_alloc&) {
      hr = ReportError(AutomationError(runtime_error::kOutOfMemory, kRuntimeSource,
                                       RuntimeErrorText(runtime_error::kOutOfMemory)),
                       iid_, excepinfo);
    } catch (const std::exception& e) {
      hr = ReportError(
          AutomationError(51, kRuntimeSource, std::string("Internal error: ") + e.what()), iid_,
          excepinfo);
    }
    Release();
    return hr;
  }

 private:
  static std::string Utf8(const OLECHAR* s) {
    return s == nullptr ? std::string() : platform::internal::Narrow(s);
  }

  HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    static DISPPARAMS kNoParams = {nullptr, nullptr, 0, 0};
    if (params == nullptr) params = &kNoParams;
    if (result != nullptr) ::VariantInit(result);
    if (id == DISPID_NEWENUM && table_.enumerable()) {
      auto* collection = dynamic_cast<Collection*>(object_.get());
      if (collection == nullptr || result == nullptr) return DISP_E_MEMBERNOTFOUND;
      V_VT(result) = VT_UNKNOWN;
      V_UNKNOWN(result) = NewEnumVariant(collection->items());
      return S_OK;
    }
    const std::string* name = table_.NameOf(id);
    if (name == nullptr) return DISP_E_MEMBERNOTFOUND;
    const Kind kind = KindOf(flags);

    // Arguments: positional ones come last in rgvarg, in reverse order; named
    // ones first, with their identifiers (the parameter positions, or
    // DISPID_PROPERTYPUT for the value being assigned).
    const UINT named_count = params->cNamedArgs;
    const UINT positional = params->cArgs - named_count;
    std::vector<Variant> args;
    std::vector<VARIANTARG*> slots;  // by parameter position
    args.reserve(positional + 1);
    for (UINT i = 0; i < positional; ++i) {
      VARIANTARG* arg = &params->rgvarg[params->cArgs - 1 - i];
      args.push_back(FromVariant(*arg));
      slots.push_back(arg);
    }
    Variant assigned;
    bool has_assigned = false;
    std::vector<std::pair<DISPID, VARIANTARG*>> named;
    for (UINT i = 0; i < named_count; ++i) {
      if (params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) {
        assigned = FromVariant(params->rgvarg[i]);
        has_assigned = true;
      } else {
        named.emplace_back(params->rgdispidNamedArgs[i], &params->rgvarg[i]);
      }
    }
    if (has_assigned) args.push_back(assigned);
    const typelib::MemberInfo& member = ResolveMember(object_->info(), *name, kind, args);
    NamedArgs named_args;
    for (const auto& [param, arg] : named) {
      if (param < 0 || static_cast<size_t>(param) >= member.params.size())
        RaiseRuntimeError(runtime_error::kNamedNotFound);
      named_args.emplace_back(member.params[static_cast<size_t>(param)].name, FromVariant(*arg));
      if (slots.size() <= static_cast<size_t>(param)) slots.resize(static_cast<size_t>(param) + 1);
      slots[static_cast<size_t>(param)] = arg;
    }

    if (!has_assigned && named_args.empty() && member.params.empty() && !args.empty() &&
        member.type.vt == VarType::kObject) {
      return InvokeDefaultOfResult(*name, kind, std::move(args), result);
    }
    InvokeResult out = qrole::Invoke(*object_, *name, kind, std::move(args), named_args);

    for (const auto& [position, value] : out.byref) {
      if (static_cast<size_t>(position) < slots.size() && slots[static_cast<size_t>(position)])
        WriteBack(value, slots[static_cast<size_t>(position)]);
    }
    if (result != nullptr) {
      const HRESULT hr = ToVariant(out.value, result, ArrayElement(member.type));
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  // obj.Prop(args) where Prop takes no arguments and gives an object: the
  // arguments go to that object's default member, as the runtime's own
  // dispatch does it (e.Empresas(1) is e.Empresas.Item(1)).
  HRESULT InvokeDefaultOfResult(const std::string& name, Kind kind, std::vector<Variant> args,
                                VARIANT* result) {
    Variant holder = qrole::Invoke(*object_, name, kind, {}).value;
    if (!holder.IsObject() || !holder.object()) RaiseRuntimeError(runtime_error::kObjectNotSet);
    Object& target = *holder.object();
    const std::string* default_member = DispatchTable::For(target.info()).NameOf(DISPID_VALUE);
    if (default_member == nullptr) RaiseRuntimeError(runtime_error::kWrongArgCount);
    InvokeResult out = qrole::Invoke(target, *default_member, Kind::kMethod, std::move(args));
    if (result != nullptr) return ToVariant(out.value, result);
    return S_OK;
  }

  std::shared_ptr<Object> object_;
  const DispatchTable& table_;
  const IID iid_;
  long refs_ = 0;
};

}  // namespace

void SetLifetimeHooks(LifetimeHooks hooks) { g_hooks = hooks; }

void AcquireServer() {
  if (g_hooks.acquire != nullptr) g_hooks.acquire();
}

void ReleaseServer() {
  if (g_hooks.release != nullptr) g_hooks.release();
}

void SetTypeLibrary(ITypeLib* library) {
  if (library != nullptr) library->AddRef();
  if (g_library != nullptr) g_library->Release();
  g_library = library;
}

IDispatch* DispatchForObject(const std::shared_ptr<Object>& object) {
  if (auto* foreign = dynamic_cast<ForeignObject*>(object.get())) {
    IDispatch* d = foreign->dispatch();
    d->AddRef();
    return d;
  }
  auto it = LiveWrappers().find(object.get());
  ComObject* wrapper = it != LiveWrappers().end() ? it->second : new ComObject(object);
  wrapper->AddRef();
  return wrapper;
}

std::shared_ptr<Object> ObjectFromDispatch(IDispatch* dispatch) {
  if (dispatch == nullptr) return nullptr;
  IDispatch* own = nullptr;
  if (SUCCEEDED(dispatch->QueryInterface(IID_IQroleObject, reinterpret_cast<void**>(&own)))) {
    std::shared_ptr<Object> object = static_cast<ComObject*>(own)->object();
    own->Release();
    return object;
  }
  return ForeignObject::Wrap(dispatch);
}

size_t LiveWrapperCount() { return LiveWrappers().size(); }

}  // namespace qrole::com
