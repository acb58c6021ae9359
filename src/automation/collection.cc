#include "automation/collection.h"

#include <algorithm>

#include "automation/convert.h"
#include "qrole/error.h"

namespace qrole {

namespace {

typelib::TypeRef T(VarType vt, std::string spelling) {
  typelib::TypeRef t;
  t.vt = vt;
  t.spelling = std::move(spelling);
  return t;
}

typelib::ParamInfo P(std::string name, bool optional) {
  typelib::ParamInfo p;
  p.name = std::move(name);
  p.type = T(VarType::kVariant, "Variant");
  p.byref = true;
  p.optional = optional;
  return p;
}

typelib::MemberInfo M(std::string name, typelib::Kind kind, typelib::TypeRef type,
                      std::vector<typelib::ParamInfo> params) {
  typelib::MemberInfo m;
  m.name = std::move(name);
  m.kind = kind;
  m.type = std::move(type);
  m.params = std::move(params);
  return m;
}

enum Member { kAdd, kCount, kItem, kRemove };

}  // namespace

const typelib::ClassInfo& Collection::ClassDescription() {
  using typelib::Kind;
  static const typelib::ClassInfo info(
      "Collection", "_Collection",
      {M("Add", Kind::kMethod, T(VarType::kEmpty, "void"),
         {P("Item", false), P("Key", true), P("Before", true), P("After", true)}),
       M("Count", Kind::kGet, T(VarType::kLong, "Long"), {}),
       M("Item", Kind::kMethod, T(VarType::kVariant, "Variant"), {P("Index", false)}),
       M("Remove", Kind::kMethod, T(VarType::kEmpty, "void"), {P("Index", false)})});
  return info;
}

Collection::Collection() : Object(ClassDescription()) {}

const Variant& Collection::Item(int32_t index) const {
  if (index < 1 || index > Count()) RaiseRuntimeError(runtime_error::kSubscript);
  return items_[static_cast<size_t>(index - 1)];
}

size_t Collection::Position(const Variant& index) const {
  if (index.IsString()) {
    std::string key = typelib::FoldName(index.str());
    for (size_t i = 0; i < keys_.size(); ++i)
      if (!key.empty() && keys_[i] == key) return i;
    RaiseRuntimeError(runtime_error::kInvalidCall);
  }
  int32_t n = ToLong(index);
  if (n < 1 || n > Count()) RaiseRuntimeError(runtime_error::kSubscript);
  return static_cast<size_t>(n - 1);
}

const Variant& Collection::ItemByIndex(const Variant& index) const {
  return items_[Position(index)];
}

void Collection::Add(Variant item, const std::string& key) {
  std::string folded = typelib::FoldName(key);
  if (!folded.empty()) {
    for (const std::string& k : keys_)
      if (k == folded)
        throw AutomationError(457, kRuntimeSource,
                              "This key is already associated with an element of this collection");
  }
  items_.push_back(std::move(item));
  keys_.push_back(std::move(folded));
}

void Collection::Remove(const Variant& index) {
  size_t p = Position(index);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(p));
  keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(p));
}

void Collection::Clear() {
  items_.clear();
  keys_.clear();
}

Variant Collection::Call(const typelib::MemberInfo& member, std::vector<Variant>& args) {
  switch (member.index) {
    case kAdd: {
      if (!args[2].IsMissing() || !args[3].IsMissing()) {
        // Positional insertion before or after an existing item.
        bool before = !args[2].IsMissing();
        size_t p = Position(before ? args[2] : args[3]) + (before ? 0 : 1);
        std::string key = args[1].IsMissing() ? "" : ToStr(args[1]);
        Add(args[0], key);
        std::rotate(items_.begin() + static_cast<std::ptrdiff_t>(p), items_.end() - 1,
                    items_.end());
        std::rotate(keys_.begin() + static_cast<std::ptrdiff_t>(p), keys_.end() - 1, keys_.end());
        return Variant();
      }
      Add(args[0], args[1].IsMissing() ? "" : ToStr(args[1]));
      return Variant();
    }
    case kCount:
      return Variant::FromLong(Count());
    case kItem:
      return ItemByIndex(args[0]);
    case kRemove:
      Remove(args[0]);
      return Variant();
  }
  RaiseRuntimeError(runtime_error::kNoSuchMember);
}

}  // namespace qrole
