// Members of the master-data lookups family (the collections' accessors and
// counters are with the other collections; LeerCartera is with the portfolio).

#include "automation/convert.h"
#include "qrole/error.h"
#include "query/journal_search.h"
#include "query/lookups.h"
#include "query/table_utilities.h"
#include "server/enlace.h"
#include "server/member_table.h"
#include "server/web_requests.h"

namespace qrole::server {

using typelib::Kind;

void RegisterLookupMembers(MemberTable& t) {
  t.Add("Util_LeerTablas", typelib::Kind::kMethod,
        [](Enlace&, Args&) { return Variant::FromString(query::LeerTablas()); });
  t.Add("Util_LeerCampos", typelib::Kind::kMethod,
        [](Enlace&, Args& a) { return Variant::FromArray(query::LeerCampos(a.Str(0))); });
  t.Add("Util_LeerDatos", typelib::Kind::kMethod, [](Enlace& e, Args& a) {
    // The company's tables are the web service's: there are none to read here.
    if (e.state().web_mode) RaiseNotOnWeb(e);
    return Variant::FromString(query::LeerDatos(e.state().company_directory,
                                                e.state().company_number, a.Str(0), a.Str(1),
                                                a.Str(2), a.Str(3)));
  });

  t.Add("LeerDatos", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(query::LeerDatos(e, a.Str(0), a.Str(1)));
  });
  t.Add("LeerInmovilizado", Kind::kMethod,
        [](Enlace& e, Args& a) { return Variant::FromBool(query::LeerInmovilizado(e, a.Str(0))); });
  t.Add("LeerDatosGlobales", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(query::LeerDatosGlobales(e, a.Str(0)));
  });
  t.Add("ExisteNifDatosGlobales", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(query::ExisteNifDatosGlobales(e, a.Str(0)));
  });
  t.Add("LeerRetenciones", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(query::LeerRetenciones(e, {a.Str(0), a.Str(1), a.Str(2), a.Str(3)}));
  });

  t.Add("BuscarReferencia", Kind::kMethod,
        [](Enlace& e, Args& a) { return Variant::FromBool(query::BuscarReferencia(e, a.Str(0))); });
  t.Add("BuscarDescripcion", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(query::BuscarDescripcion(e, a.Str(0), a.Bool(1)));
  });
  t.Add("BuscarImporte", Kind::kMethod,
        [](Enlace& e, Args& a) { return Variant::FromBool(query::BuscarImporte(e, a.Dbl(0))); });
  t.Add("ExisteReferencia", Kind::kMethod,
        [](Enlace& e, Args& a) { return Variant::FromLong(query::ExisteReferencia(e, a.Str(0))); });
}

}  // namespace qrole::server
