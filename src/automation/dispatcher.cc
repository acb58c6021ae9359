#include "automation/dispatcher.h"

#include "automation/convert.h"
#include "automation/record_object.h"
#include "qrole/error.h"

namespace qrole {

using typelib::Kind;
using typelib::MemberInfo;

const MemberInfo& ResolveMember(const typelib::ClassInfo& cls, const std::string& name, Kind kind,
                                const std::vector<Variant>& args) {
  std::vector<const MemberInfo*> entries = cls.FindByName(name);
  if (entries.empty()) RaiseRuntimeError(runtime_error::kNoSuchMember);
  auto find = [&](Kind k) -> const MemberInfo* {
    for (const MemberInfo* m : entries)
      if (m->kind == k) return m;
    return nullptr;
  };
  const MemberInfo* m = find(kind);
  if (!m) {
    switch (kind) {
      case Kind::kMethod:
        m = find(Kind::kGet);
        break;
      case Kind::kGet:
        m = find(Kind::kMethod);
        break;
      case Kind::kLet:
        // Assigning an object to a property that only has set.
        if (!args.empty() && args.back().IsObject()) m = find(Kind::kSet);
        break;
      case Kind::kSet:
        m = find(Kind::kLet);
        break;
    }
  }
  if (!m) RaiseRuntimeError(runtime_error::kWrongArgCount);
  return *m;
}

Variant ConvertToDeclared(const Variant& v, const typelib::TypeRef& type) {
  if (type.vt == VarType::kObject) {
    if (v.IsEmpty()) return Variant::FromObject(nullptr);
    if (!v.IsObject()) RaiseRuntimeError(runtime_error::kTypeMismatch);
    if (!type.class_name.empty() && v.object() &&
        typelib::FoldName(v.object()->class_name()) != typelib::FoldName(type.class_name))
      RaiseRuntimeError(runtime_error::kTypeMismatch);
    return v;
  }
  if (type.vt == VarType::kEmpty) return Variant();
  if (v.IsMissing() && type.vt == VarType::kVariant) return v;
  return ConvertTo(v, type.vt);
}

InvokeResult Invoke(Object& target, const std::string& name, Kind kind, std::vector<Variant> args,
                    const NamedArgs& named) {
  const MemberInfo& m = ResolveMember(target.info(), name, kind, args);
  const bool assigns = m.kind == Kind::kLet || m.kind == Kind::kSet;
  // The value being assigned is always the last positional argument.
  if (assigns && args.empty()) RaiseRuntimeError(runtime_error::kWrongArgCount);

  Variant assigned;
  if (assigns) {
    assigned = std::move(args.back());
    args.pop_back();
  }
  const size_t nparams = m.params.size();
  if (!assigns && nparams == 0 && !args.empty() && named.empty()) {
    // Arguments given to a property without parameters go to the default
    // member of the object it returns: Empresas(1) is Empresas.Item(1).
    std::vector<Variant> none;
    Variant object = target.Call(m, none);
    if (!object.IsObject() || !object.object() ||
        object.object()->info().FindByName("Item").empty())
      RaiseRuntimeError(runtime_error::kWrongArgCount);
    return Invoke(*object.object(), "Item", Kind::kMethod, std::move(args));
  }
  if (args.size() > nparams) RaiseRuntimeError(runtime_error::kWrongArgCount);
  std::vector<Variant> call(nparams, Variant::Missing());
  std::vector<bool> passed(nparams, false);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].IsMissing()) continue;
    call[i] = std::move(args[i]);
    passed[i] = true;
  }
  for (const auto& [pname, value] : named) {
    std::string folded = typelib::FoldName(pname);
    size_t i = 0;
    while (i < nparams && typelib::FoldName(m.params[i].name) != folded) ++i;
    if (i == nparams) RaiseRuntimeError(runtime_error::kNamedNotFound);
    if (value.IsMissing()) continue;
    call[i] = value;
    passed[i] = true;
  }
  for (size_t i = 0; i < nparams; ++i) {
    const typelib::ParamInfo& p = m.params[i];
    if (passed[i]) {
      call[i] = ConvertToDeclared(call[i], p.type);
    } else if (!p.optional) {
      RaiseRuntimeError(runtime_error::kNotOptional);
    } else if (p.default_value) {
      call[i] = ConvertToDeclared(*p.default_value, p.type);
    } else if (p.type.vt == VarType::kVariant) {
      call[i] = Variant::Missing();
    } else {
      call[i] = ZeroValue(p.type);
    }
  }
  if (assigns) call.push_back(ConvertToDeclared(assigned, m.type));

  InvokeResult result;
  result.value = target.Call(m, call);
  if (!assigns && m.type.vt != VarType::kVariant && m.type.vt != VarType::kEmpty)
    result.value = ConvertToDeclared(result.value, m.type);
  if (assigns || m.type.vt == VarType::kEmpty) result.value = Variant();
  for (size_t i = 0; i < nparams; ++i) {
    if (passed[i] && m.params[i].byref)
      result.byref.emplace_back(static_cast<int>(i), std::move(call[i]));
  }
  return result;
}

}  // namespace qrole
