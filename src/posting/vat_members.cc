// Members of the VAT types family: the VAT types, the type codes and the
// count of an invoice's VAT-book records.

#include "automation/record_object.h"
#include "posting/vat_book.h"
#include "posting/vat_types.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

void RegisterVatMembers(MemberTable& t) {
  t.Add("TIPOSIVA", Kind::kMethod,
        [](Enlace& e, Args& a) { return Variant::FromObject(posting::TiposIva(e, a[0])); });
  t.Add("ValTIVA", Kind::kMethod,
        [](Enlace&, Args& a) { return Variant::FromLong(posting::ValTIVA(a.Str(0))); });
  t.Add("ExisteIva", Kind::kMethod,
        [](Enlace& e, Args& a) { return Variant::FromLong(posting::ExisteIva(e, a.Str(0))); });
}

}  // namespace qrole::server
