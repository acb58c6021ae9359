// Members of the fixed assets and global data family.

#include "automation/record_object.h"
#include "maintenance/assets.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

namespace {

// The record object an argument holds; nullptr for Nothing (the dispatcher
// has checked its class).
const RecordObject* RecordArg(const Args& a, size_t i) {
  const Variant& v = a[i];
  if (!v.IsObject()) return nullptr;
  return dynamic_cast<const RecordObject*>(v.object().get());
}

}  // namespace

void RegisterAssetMembers(MemberTable& t) {
  t.Add("CrearInmovilizado", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(maintenance::CrearInmovilizado(e, RecordArg(a, 0)));
  });
  t.Add("CrearDatosGloblales", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(maintenance::CrearDatosGloblales(e, RecordArg(a, 0)));
  });
}

}  // namespace qrole::server
