#include "server/member_table.h"

#include <stdexcept>

namespace qrole::server {

MemberTable::MemberTable(const typelib::ClassInfo& cls)
    : cls_(cls), handlers_(cls.members().size()), effects_(cls.members().size(), Effect::kNone) {}

void MemberTable::SetEffect(const std::string& name, typelib::Kind kind, Effect effect) {
  const typelib::MemberInfo* m = cls_.Find(name, kind);
  if (!m || m->name != name)
    throw std::logic_error("no interface entry " + name + " (" + typelib::KindName(kind) + ")");
  effects_[static_cast<size_t>(m->index)] = effect;
}

Effect MemberTable::EffectOf(const typelib::MemberInfo& member) const {
  if (&member < &cls_.members().front() || &member > &cls_.members().back()) return Effect::kNone;
  return effects_[static_cast<size_t>(member.index)];
}

void MemberTable::Add(const std::string& name, typelib::Kind kind, MemberHandler handler) {
  const typelib::MemberInfo* m = cls_.Find(name, kind);
  if (!m || m->name != name)
    throw std::logic_error("no interface entry " + name + " (" + typelib::KindName(kind) + ")");
  auto& slot = handlers_[static_cast<size_t>(m->index)];
  if (slot) throw std::logic_error("entry registered twice: " + name);
  slot = std::move(handler);
}

const MemberHandler* MemberTable::Find(const typelib::MemberInfo& member) const {
  if (&member < &cls_.members().front() || &member > &cls_.members().back()) return nullptr;
  const MemberHandler& h = handlers_[static_cast<size_t>(member.index)];
  return h ? &h : nullptr;
}

size_t MemberTable::implemented() const {
  size_t n = 0;
  for (const auto& h : handlers_)
    if (h) ++n;
  return n;
}

namespace {
const MemberTable* installed = nullptr;
}  // namespace

void InstallMemberTable(const MemberTable* table) { installed = table; }
const MemberTable* InstalledMemberTable() { return installed; }

}  // namespace qrole::server
