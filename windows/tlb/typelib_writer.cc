#include "tlb/typelib_writer.h"

#include <windows.h>
// The other Windows headers need windows.h first.
#include <oaidl.h>
#include <oleauto.h>

#include <cstdio>
#include <deque>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <vector>

#include "automation/convert.h"
#include "com/bstr.h"
#include "com/name_guid.h"
#include "com/variant_com.h"
#include "platform/windows_internal_win.h"
#include "qrole/error.h"

namespace qrole::com {
namespace {

using platform::internal::Widen;
using typelib::Kind;

std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof(buf), "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

// The VARTYPE of a basic declared type.
VARTYPE BasicVt(VarType vt) {
  switch (vt) {
    case VarType::kString:
      return VT_BSTR;
    case VarType::kLong:
      return VT_I4;
    case VarType::kInteger:
      return VT_I2;
    case VarType::kByte:
      return VT_UI1;
    case VarType::kDouble:
      return VT_R8;
    case VarType::kSingle:
      return VT_R4;
    case VarType::kCurrency:
      return VT_CY;
    case VarType::kBoolean:
      return VT_BOOL;
    case VarType::kDate:
      return VT_DATE;
    case VarType::kEmpty:
      return VT_VOID;
    case VarType::kObject:
      return VT_DISPATCH;
    default:
      return VT_VARIANT;
  }
}

class Writer {
 public:
  Writer(const typelib::Library& library, std::string* error) : lib_(library), error_(error) {}
  ~Writer() {
    for (auto& [name, info] : infos_) info->Release();
    if (dispatch_ != nullptr) dispatch_->Release();
    if (stdole_ != nullptr) stdole_->Release();
    if (out_ != nullptr) out_->Release();
  }

  bool Run(const std::wstring& path) {
    if (!Ok(::CreateTypeLib2(SYS_WIN32, path.c_str(), &out_), "CreateTypeLib2")) return false;
    const std::wstring name = Widen(lib_.name());
    const GUID libid = LibraryGuid();
    if (!Ok(out_->SetName(const_cast<LPOLESTR>(name.c_str())), "library name") ||
        !Ok(out_->SetGuid(libid), "library GUID") ||
        !Ok(out_->SetVersion(kTypeLibMajor, kTypeLibMinor), "library version") ||
        !Ok(out_->SetLcid(LANG_NEUTRAL), "library locale") ||
        !Ok(out_->SetDocString(const_cast<LPOLESTR>(L"Valdrix OLE Server")), "library text")) {
      return false;
    }
    if (!Ok(::LoadTypeLib(L"stdole2.tlb", &stdole_), "loading stdole2.tlb") ||
        !Ok(stdole_->GetTypeInfoOfGuid(IID_IDispatch, &dispatch_), "IDispatch of stdole2.tlb")) {
      return false;
    }
    for (const typelib::EnumInfo& e : lib_.enums())
      if (!AddEnum(e)) return false;
    for (const typelib::ClassInfo& c : lib_.classes())
      if (!AddInterface(c)) return false;
    for (const typelib::ClassInfo& c : lib_.classes())
      if (!AddCoclass(c)) return false;
    for (const typelib::ClassInfo& c : lib_.classes())
      if (!AddMembers(c)) return false;
    for (auto& [type_name, info] : infos_)
      if (!Ok(info->LayOut(), "laying out " + type_name)) return false;
    return Ok(out_->SaveAllChanges(), "saving the library");
  }

 private:
  bool Ok(HRESULT hr, const std::string& what) {
    if (SUCCEEDED(hr)) return true;
    *error_ = what + " failed with " + Hex(hr);
    return false;
  }

  ICreateTypeInfo* Create(const std::string& name, TYPEKIND kind) {
    ICreateTypeInfo* info = nullptr;
    const std::wstring wname = Widen(name);
    if (!Ok(out_->CreateTypeInfo(const_cast<LPOLESTR>(wname.c_str()), kind, &info),
            "creating " + name)) {
      return nullptr;
    }
    infos_[name] = info;
    return info;
  }

  ITypeInfo* TypeInfoOf(const std::string& name) {
    auto it = infos_.find(name);
    if (it == infos_.end()) return nullptr;
    ITypeInfo* info = nullptr;
    it->second->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&info));
    return info;
  }

  bool AddEnum(const typelib::EnumInfo& e) {
    ICreateTypeInfo* info = Create(e.name, TKIND_ENUM);
    if (info == nullptr) return false;
    if (!Ok(info->SetGuid(NameGuid("enum:" + e.name)), "GUID of " + e.name)) return false;
    for (size_t i = 0; i < e.values.size(); ++i) {
      VARIANT value;
      ::VariantInit(&value);
      V_VT(&value) = VT_I4;
      V_I4(&value) = e.values[i].value;
      VARDESC desc{};
      desc.memid = static_cast<MEMBERID>(0x40000000 + i);
      desc.varkind = VAR_CONST;
      desc.lpvarValue = &value;
      desc.elemdescVar.tdesc.vt = VT_I4;
      const std::wstring name = Widen(e.values[i].name);
      const std::string where = e.name + "." + e.values[i].name;
      if (!Ok(info->AddVarDesc(static_cast<UINT>(i), &desc), where) ||
          !Ok(info->SetVarName(static_cast<UINT>(i), const_cast<LPOLESTR>(name.c_str())), where)) {
        return false;
      }
    }
    return true;
  }

  bool AddInterface(const typelib::ClassInfo& c) {
    ICreateTypeInfo* info = Create(c.interface_name(), TKIND_DISPATCH);
    if (info == nullptr) return false;
    HREFTYPE base = 0;
    const std::string& name = c.interface_name();
    return Ok(info->SetGuid(InterfaceGuid(name)), "GUID of " + name) &&
           Ok(info->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE |
                                 TYPEFLAG_FNONEXTENSIBLE),
              "flags of " + name) &&
           Ok(info->AddRefTypeInfo(dispatch_, &base), "IDispatch in " + name) &&
           Ok(info->AddImplType(0, base), "base of " + name);
  }

  bool AddCoclass(const typelib::ClassInfo& c) {
    ICreateTypeInfo* info = Create(c.name(), TKIND_COCLASS);
    if (info == nullptr) return false;
    ITypeInfo* interface_info = TypeInfoOf(c.interface_name());
    if (interface_info == nullptr) return Ok(E_FAIL, "interface of " + c.name());
    HREFTYPE ref = 0;
    const bool ok = Ok(info->SetGuid(ClassGuid(c.name())), "GUID of " + c.name()) &&
                    Ok(info->SetTypeFlags(TYPEFLAG_FCANCREATE), "flags of " + c.name()) &&
                    Ok(info->AddRefTypeInfo(interface_info, &ref), "interface of " + c.name()) &&
                    Ok(info->AddImplType(0, ref), "interface of " + c.name()) &&
                    Ok(info->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "default of " + c.name());
    interface_info->Release();
    return ok;
  }

  // The TYPEDESC of a declared type in interface `owner` (nested descriptions
  // are kept in `arena`). False when a referenced type is missing.
  bool Describe(ICreateTypeInfo* owner, const typelib::TypeRef& t, bool byref,
                std::deque<TYPEDESC>& arena, TYPEDESC* out) {
    TYPEDESC base{};
    if (t.vt == VarType::kArray) {
      typelib::TypeRef element;
      const std::string spelling = t.spelling.substr(0, t.spelling.size() - 2);
      element.spelling = spelling;
      element.vt = VarType::kVariant;
      for (const auto& [n, vt] :
           std::initializer_list<std::pair<const char*, VarType>>{{"String", VarType::kString},
                                                                  {"Long", VarType::kLong},
                                                                  {"Integer", VarType::kInteger},
                                                                  {"Byte", VarType::kByte},
                                                                  {"Double", VarType::kDouble},
                                                                  {"Boolean", VarType::kBoolean}}) {
        if (spelling == n) element.vt = vt;
      }
      arena.push_back(TYPEDESC{});
      arena.back().vt = BasicVt(element.vt);
      base.vt = VT_SAFEARRAY;
      base.lptdesc = &arena.back();
    } else if (!t.enum_name.empty() || (t.vt == VarType::kObject && !t.class_name.empty() &&
                                        t.class_name != "Collection")) {
      const std::string target = t.enum_name.empty() ? "_" + t.class_name : t.enum_name;
      ITypeInfo* info = TypeInfoOf(target);
      if (info == nullptr) return Ok(E_FAIL, "type " + target);
      HREFTYPE ref = 0;
      const HRESULT hr = owner->AddRefTypeInfo(info, &ref);
      info->Release();
      if (!Ok(hr, "reference to " + target)) return false;
      if (t.enum_name.empty()) {
        arena.push_back(TYPEDESC{});
        arena.back().vt = VT_USERDEFINED;
        arena.back().hreftype = ref;
        base.vt = VT_PTR;
        base.lptdesc = &arena.back();
      } else {
        base.vt = VT_USERDEFINED;
        base.hreftype = ref;
      }
    } else {
      base.vt = BasicVt(t.vt);
    }
    if (byref) {
      arena.push_back(base);
      out->vt = VT_PTR;
      out->lptdesc = &arena.back();
    } else {
      *out = base;
    }
    return true;
  }

  // The default value of a parameter as the library stores it: converted to
  // the parameter's type (enumerations as Long, Variants as given), except
  // that a whole-number Double is stored as a Long: the system's writer keeps
  // no Double constants (what it writes for one does not read back), and a
  // client converts a default to its parameter's type anyway.
  static Variant DefaultFor(const typelib::ParamInfo& p) {
    if (p.type.vt == VarType::kVariant || !p.type.enum_name.empty()) return *p.default_value;
    Variant v = ConvertTo(*p.default_value, p.type.vt);
    if (v.type() == VarType::kDouble &&
        v.dbl() == static_cast<double>(static_cast<int32_t>(v.dbl())))
      return Variant::FromLong(static_cast<int32_t>(v.dbl()));
    if (v.type() == VarType::kDouble)
      throw std::runtime_error("a Double default that is not a whole number: " + p.name);
    return v;
  }

  bool AddMembers(const typelib::ClassInfo& c) {
    ICreateTypeInfo* info = infos_[c.interface_name()];
    UINT index = 0;
    for (const typelib::MemberInfo& m : c.members()) {
      const std::string where =
          c.interface_name() + "." + m.name + " (" + typelib::KindName(m.kind) + ")";
      std::deque<TYPEDESC> arena;
      std::deque<PARAMDESCEX> defaults;
      std::vector<ELEMDESC> params;
      std::vector<VARIANT*> to_clear;
      bool ok = true;
      for (const typelib::ParamInfo& p : m.params) {
        ELEMDESC e{};
        ok = ok && Describe(info, p.type, p.byref, arena, &e.tdesc);
        USHORT flags = PARAMFLAG_FIN;
        if (p.byref) flags |= PARAMFLAG_FOUT;
        if (p.optional) flags |= PARAMFLAG_FOPT;
        if (ok && p.default_value) {
          flags |= PARAMFLAG_FHASDEFAULT;
          defaults.push_back(PARAMDESCEX{});
          defaults.back().cBytes = sizeof(PARAMDESCEX);
          ok = Ok(ToVariant(DefaultFor(p), &defaults.back().varDefaultValue), where);
          to_clear.push_back(&defaults.back().varDefaultValue);
          e.paramdesc.pparamdescex = &defaults.back();
        }
        e.paramdesc.wParamFlags = flags;
        params.push_back(e);
      }
      const bool assigns = m.kind == Kind::kLet || m.kind == Kind::kSet;
      FUNCDESC desc{};
      if (assigns) {
        ELEMDESC e{};
        ok = ok && Describe(info, m.type, false, arena, &e.tdesc);
        e.paramdesc.wParamFlags = PARAMFLAG_FIN;
        params.push_back(e);
        desc.elemdescFunc.tdesc.vt = VT_VOID;
      } else {
        ok = ok && Describe(info, m.type, false, arena, &desc.elemdescFunc.tdesc);
      }
      if (ok) {
        desc.memid = m.dispid;
        desc.funckind = FUNC_DISPATCH;
        desc.invkind = m.kind == Kind::kMethod ? INVOKE_FUNC
                       : m.kind == Kind::kGet  ? INVOKE_PROPERTYGET
                       : m.kind == Kind::kLet  ? INVOKE_PROPERTYPUT
                                               : INVOKE_PROPERTYPUTREF;
        desc.callconv = CC_STDCALL;
        desc.cParams = static_cast<SHORT>(params.size());
        desc.lprgelemdescParam = params.empty() ? nullptr : params.data();
        ok = Ok(info->AddFuncDesc(index, &desc), where);
      }
      for (VARIANT* v : to_clear) ::VariantClear(v);
      if (!ok) return false;
      std::vector<std::wstring> names{Widen(m.name)};
      for (const typelib::ParamInfo& p : m.params) names.push_back(Widen(p.name));
      std::vector<LPOLESTR> pointers;
      for (std::wstring& n : names) pointers.push_back(n.data());
      if (!Ok(info->SetFuncAndParamNames(index, pointers.data(),
                                         static_cast<UINT>(pointers.size())),
              "names of " + where)) {
        return false;
      }
      ++index;
    }
    return true;
  }

  const typelib::Library& lib_;
  std::string* error_;
  ICreateTypeLib2* out_ = nullptr;
  ITypeLib* stdole_ = nullptr;
  ITypeInfo* dispatch_ = nullptr;
  std::map<std::string, ICreateTypeInfo*> infos_;
};

}  // namespace

bool WriteTypeLibrary(const typelib::Library& library, const std::wstring& path,
                      std::string* error) {
  try {
    Writer writer(library, error);
    return writer.Run(path);
  } catch (const std::exception& e) {
    *error = std::string("writing the type library: ") + e.what();
    return false;
  }
}

}  // namespace qrole::com
