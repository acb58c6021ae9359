// Members of the pending entry, entry numbers and posting log families.

#include "automation/convert.h"
#include "ledger/audit_log.h"
#include "posting/entry_numbers.h"
#include "posting/grabar_asiento.h"
#include "posting/pending_entry.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

using typelib::Kind;

void RegisterEntryPostingMembers(MemberTable& t) {
  t.Add("AñadirApunte", Kind::kMethod, posting::AnadirApunte);
  t.Add("AñadirIVA", Kind::kMethod, posting::AnadirIVA);
  t.Add("AñadirCartera", Kind::kMethod, posting::AnadirCartera);
  t.Add("AñadirAnalitica", Kind::kMethod, posting::AnadirAnalitica);
  t.Add("AñadirRetencion", Kind::kMethod, posting::AnadirRetencion);
  // The English names add the same lines and hand nothing back.
  t.Add("AddEntry", Kind::kMethod, [](Enlace& e, Args& a) {
    posting::AnadirApunte(e, a);
    return Variant();
  });
  t.Add("AddCostCenter", Kind::kMethod, [](Enlace& e, Args& a) {
    posting::AnadirAnalitica(e, a);
    return Variant();
  });
  t.Add("AddPortfolio", Kind::kMethod, [](Enlace& e, Args& a) {
    posting::AnadirCartera(e, a);
    return Variant();
  });
  t.Add("AddVAT", Kind::kMethod, [](Enlace& e, Args& a) {
    posting::AddVAT(e, a);
    return Variant();
  });

  t.Add("GrabarAsiento", Kind::kMethod,
        [](Enlace& e, Args&) { return Variant::FromInteger(posting::GrabarAsiento(e)); });

  for (const char* name : {"Número", "Number"}) {
    t.Add(name, Kind::kGet,
          [](Enlace& e, Args&) { return Variant::FromString(e.state().entry_number); });
    t.Add(name, Kind::kLet, [](Enlace& e, Args& a) {
      posting::SetEntryNumber(e, a.value());
      return Variant();
    });
  }
  t.Add("IsNumeroAsiento", Kind::kMethod, [](Enlace& e, Args& a) {
    return Variant::FromBool(posting::IsNumeroAsiento(e, a.Str(0), a.Bool(1)));
  });
  t.Add("GrabarNuevoNumeroAsiento", Kind::kMethod, [](Enlace& e, Args&) {
    posting::GrabarNuevoNumeroAsiento(e);
    return Variant();
  });
  t.Add("AuditoriaSave", Kind::kMethod, [](Enlace& e, Args& a) {
    ledger::AuditoriaSave(e, ToStr(a[0]), a.Str(1));
    return Variant();
  });
}

}  // namespace qrole::server
