// The type library embedded in QROLE75.exe against the interface
// description and the dispatcher's table: every class, member, accessor,
// dispatch identifier, parameter (name, type, direction, optional flag,
// default value), enumeration and GUID. The two can never drift apart.

#include <gtest/gtest.h>
#include <windows.h>
// The other Windows headers need windows.h first.
#include <oaidl.h>
#include <oleauto.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "com/bstr.h"
#include "com/dispatch_table.h"
#include "com/name_guid.h"
#include "com/variant_com.h"
#include "platform/executable.h"
#include "platform/path.h"
#include "platform/windows_internal_win.h"
#include "tlb/typelib_writer.h"
#include "typelib/interface.h"

namespace qrole::com {
namespace {

using typelib::Kind;

class TypeLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string exe =
        platform::JoinPath(platform::DirName(platform::ExecutablePath()), "QROLE75.exe");
    ASSERT_EQ(::LoadTypeLibEx(platform::internal::WindowsPath(exe).c_str(), REGKIND_NONE, &lib_),
              S_OK)
        << exe;
  }
  void TearDown() override {
    if (lib_ != nullptr) lib_->Release();
    ::CoUninitialize();
  }

  ITypeInfo* Info(const GUID& guid) {
    ITypeInfo* info = nullptr;
    EXPECT_EQ(lib_->GetTypeInfoOfGuid(guid, &info), S_OK);
    return info;
  }

  static std::string Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    Bstr name;
    info->GetDocumentation(id, name.out(), nullptr, nullptr, nullptr);
    return FromBstr(name.get());
  }

  // The type a TYPEDESC names, spelled as the description spells types.
  static std::string Spell(ITypeInfo* owner, const TYPEDESC& t) {
    switch (t.vt) {
      case VT_BSTR:
        return "String";
      case VT_I4:
        return "Long";
      case VT_I2:
        return "Integer";
      case VT_UI1:
        return "Byte";
      case VT_R8:
        return "Double";
      case VT_R4:
        return "Single";
      case VT_CY:
        return "Currency";
      case VT_BOOL:
        return "Boolean";
      case VT_DATE:
        return "Date";
      case VT_VARIANT:
        return "Variant";
      case VT_VOID:
        return "void";
      case VT_DISPATCH:
        return "IDispatch";
      case VT_SAFEARRAY:
        return Spell(owner, *t.lptdesc) + "[]";
      case VT_PTR:
        return Spell(owner, *t.lptdesc) + "*";
      case VT_USERDEFINED: {
        ITypeInfo* ref = nullptr;
        if (FAILED(owner->GetRefTypeInfo(t.hreftype, &ref))) return "?";
        std::string name = Name(ref);
        ref->Release();
        return name;
      }
      default:
        return "vt" + std::to_string(t.vt);
    }
  }

  // The spelling a declared type must have in the library.
  static std::string Expected(const typelib::TypeRef& t) {
    if (t.vt == VarType::kObject) {
      if (t.class_name.empty() || t.class_name == "Collection") return "IDispatch";
      return "_" + t.class_name + "*";
    }
    return t.spelling;
  }

  ITypeLib* lib_ = nullptr;
};

TEST_F(TypeLibraryTest, LibraryAttributes) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib_->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, LibraryGuid()));
  EXPECT_EQ(attr->wMajorVerNum, kTypeLibMajor);
  EXPECT_EQ(attr->wMinorVerNum, kTypeLibMinor);
  EXPECT_EQ(attr->syskind, SYS_WIN32);
  lib_->ReleaseTLibAttr(attr);
  Bstr name;
  lib_->GetDocumentation(-1, name.out(), nullptr, nullptr, nullptr);
  EXPECT_EQ(FromBstr(name.get()), "QROLE75");
}

TEST_F(TypeLibraryTest, EveryEnumerationWithItsValues) {
  for (const typelib::EnumInfo& e : typelib::Library::Get().enums()) {
    ITypeInfo* info = Info(NameGuid("enum:" + e.name));
    ASSERT_NE(info, nullptr) << e.name;
    EXPECT_EQ(Name(info), e.name);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_ENUM);
    ASSERT_EQ(attr->cVars, e.values.size()) << e.name;
    for (UINT i = 0; i < attr->cVars; ++i) {
      VARDESC* var = nullptr;
      ASSERT_EQ(info->GetVarDesc(i, &var), S_OK);
      EXPECT_EQ(Name(info, var->memid), e.values[i].name);
      EXPECT_EQ(FromVariant(*var->lpvarValue), Variant::FromLong(e.values[i].value)) << e.name;
      info->ReleaseVarDesc(var);
    }
    info->ReleaseTypeAttr(attr);
    info->Release();
  }
}

TEST_F(TypeLibraryTest, EveryClassIsACreatableCoclassOfItsInterface) {
  for (const typelib::ClassInfo& c : typelib::Library::Get().classes()) {
    ITypeInfo* info = Info(ClassGuid(c.name()));
    ASSERT_NE(info, nullptr) << c.name();
    EXPECT_EQ(Name(info), c.name());
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE) << c.name();
    ASSERT_EQ(attr->cImplTypes, 1);
    info->ReleaseTypeAttr(attr);
    HREFTYPE ref = 0;
    ITypeInfo* interface_info = nullptr;
    INT flags = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(ref, &interface_info), S_OK);
    info->GetImplTypeFlags(0, &flags);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    EXPECT_EQ(Name(interface_info), c.interface_name());
    interface_info->Release();
    info->Release();
  }
}

// Every accessor of every member: the interface has exactly the entries of
// the description, in its order, with its identifiers and parameters; and
// the dispatcher finds every name at the identifier the library gives it.
TEST_F(TypeLibraryTest, EveryMemberMatchesTheDescriptionAndTheDispatcher) {
  for (const typelib::ClassInfo& c : typelib::Library::Get().classes()) {
    SCOPED_TRACE(c.interface_name());
    ITypeInfo* info = Info(InterfaceGuid(c.interface_name()));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(Name(info), c.interface_name());
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    // The entries of the interface, less those it inherits from IDispatch
    // (which some systems count in cFuncs, listed or not).
    std::vector<UINT> own;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
      FUNCDESC* f = nullptr;
      ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK) << "entry " << i;
      const std::string name = Name(info, f->memid);
      info->ReleaseFuncDesc(f);
      static const char* const kInherited[] = {
          "QueryInterface", "AddRef",        "Release", "GetTypeInfoCount",
          "GetTypeInfo",    "GetIDsOfNames", "Invoke"};
      if (std::find(std::begin(kInherited), std::end(kInherited), name) == std::end(kInherited))
        own.push_back(i);
    }
    info->ReleaseTypeAttr(attr);
    ASSERT_EQ(own.size(), c.members().size());
    const DispatchTable& table = DispatchTable::For(c);
    for (UINT i = 0; i < c.members().size(); ++i) {
      const typelib::MemberInfo& m = c.members()[i];
      SCOPED_TRACE(m.name + " " + typelib::KindName(m.kind));
      FUNCDESC* f = nullptr;
      ASSERT_EQ(info->GetFuncDesc(own[i], &f), S_OK);
      EXPECT_EQ(f->memid, m.dispid);
      EXPECT_EQ(table.IdOf(m.name).value_or(-1), f->memid);
      const INVOKEKIND kinds[] = {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT,
                                  INVOKE_PROPERTYPUTREF};
      EXPECT_EQ(f->invkind, kinds[static_cast<int>(m.kind)]);
      const bool assigns = m.kind == Kind::kLet || m.kind == Kind::kSet;
      ASSERT_EQ(static_cast<size_t>(f->cParams), m.params.size() + (assigns ? 1 : 0));
      std::vector<BSTR> names(m.params.size() + 2);
      UINT count = 0;
      info->GetNames(f->memid, names.data(), static_cast<UINT>(names.size()), &count);
      // Accessors share an identifier; the names are those of the first.
      EXPECT_EQ(FromBstr(names[0]), m.name);
      for (size_t p = 0; p < m.params.size() && p + 1 < count; ++p)
        EXPECT_EQ(FromBstr(names[p + 1]), m.params[p].name);
      for (UINT n = 0; n < count; ++n) ::SysFreeString(names[n]);
      EXPECT_EQ(Spell(info, f->elemdescFunc.tdesc), assigns ? "void" : Expected(m.type));
      for (size_t p = 0; p < m.params.size(); ++p) {
        const typelib::ParamInfo& want = m.params[p];
        SCOPED_TRACE(want.name);
        const ELEMDESC& got = f->lprgelemdescParam[p];
        EXPECT_EQ(Spell(info, got.tdesc), Expected(want.type) + (want.byref ? "*" : ""));
        const USHORT flags = got.paramdesc.wParamFlags;
        EXPECT_TRUE(flags & PARAMFLAG_FIN);
        EXPECT_EQ((flags & PARAMFLAG_FOUT) != 0, want.byref);
        EXPECT_EQ((flags & PARAMFLAG_FOPT) != 0, want.optional);
        EXPECT_EQ((flags & PARAMFLAG_FHASDEFAULT) != 0, want.default_value.has_value());
        if (want.default_value && (flags & PARAMFLAG_FHASDEFAULT)) {
          // As a client reads it: converted to the parameter's type.
          Variant stored = FromVariant(got.paramdesc.pparamdescex->varDefaultValue);
          if (want.type.vt == VarType::kVariant || !want.type.enum_name.empty()) {
            EXPECT_EQ(stored, *want.default_value);
          } else {
            EXPECT_EQ(ConvertTo(stored, want.type.vt),
                      ConvertTo(*want.default_value, want.type.vt));
          }
        }
      }
      if (assigns) {
        const ELEMDESC& value = f->lprgelemdescParam[m.params.size()];
        EXPECT_EQ(Spell(info, value.tdesc), Expected(m.type));
        EXPECT_FALSE(value.paramdesc.wParamFlags & PARAMFLAG_FOUT);
      }
      info->ReleaseFuncDesc(f);
    }
    info->Release();
  }
}

}  // namespace
}  // namespace qrole::com
