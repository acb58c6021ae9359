// Helper members: text tables.

#include "server/enlace.h"
#include "server/member_table.h"
#include "util/text_table.h"

namespace qrole::server {

void RegisterHelperMembers(MemberTable& t) {
  t.Add("Util_TextoToArray", typelib::Kind::kMethod, [](Enlace&, Args& a) {
    return Variant::FromArray(util::TextoATabla(a.Str(0), 0, 0, "\t"));
  });
}

}  // namespace qrole::server
