#include "com/dispatch_table.h"

#include <map>
#include <memory>

namespace qrole::com {

const DispatchTable& DispatchTable::For(const typelib::ClassInfo& cls) {
  static std::map<const typelib::ClassInfo*, std::unique_ptr<DispatchTable>> tables;
  auto& slot = tables[&cls];
  if (!slot) slot = std::make_unique<DispatchTable>(cls);
  return *slot;
}

DispatchTable::DispatchTable(const typelib::ClassInfo& cls) : cls_(cls) {
  bool described = false;
  for (const typelib::MemberInfo& m : cls.members())
    if (m.dispid != 0) described = true;
  DISPID next = 1;
  for (const typelib::MemberInfo& m : cls.members()) {
    const std::string folded = typelib::FoldName(m.name);
    if (ids_.count(folded)) continue;
    DISPID id;
    if (described) {
      id = m.dispid;
    } else if (folded == "item") {
      id = DISPID_VALUE;
    } else {
      id = next++;
    }
    ids_[folded] = id;
    names_[id] = m.name;
  }
  // The runtime's collection is the one class a client enumerates.
  if (!described && cls.name() == "Collection") enumerable_ = true;
}

std::optional<DISPID> DispatchTable::IdOf(const std::string& name) const {
  const std::string folded = typelib::FoldName(name);
  if (enumerable_ && folded == "_newenum") return DISPID_NEWENUM;
  auto it = ids_.find(folded);
  if (it == ids_.end()) return std::nullopt;
  return it->second;
}

const std::string* DispatchTable::NameOf(DISPID id) const {
  auto it = names_.find(id);
  return it == names_.end() ? nullptr : &it->second;
}

std::optional<DISPID> DispatchTable::ParamIdOf(const std::string& member_name,
                                               const std::string& param) const {
  const std::string folded = typelib::FoldName(param);
  for (const typelib::MemberInfo* m : cls_.FindByName(member_name)) {
    for (size_t i = 0; i < m->params.size(); ++i)
      if (typelib::FoldName(m->params[i].name) == folded) return static_cast<DISPID>(i);
  }
  return std::nullopt;
}

}  // namespace qrole::com
