// Indexed accessors and counters of the object's ten collections.

#include <cmath>

#include "automation/convert.h"
#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

namespace {

using typelib::Kind;

// Item `index` of `c` when 0 < index <= Count, otherwise Nothing.
Variant ItemOrNothing(Collection& c, const Variant& index) {
  double d = ToDouble(index);
  if (!(d > 0) || d > c.Count()) return Variant::FromObject(nullptr);
  int32_t i = RoundToLong(d);
  if (i < 1 || i > c.Count()) return Variant::FromObject(nullptr);
  return c.Item(i);
}

}  // namespace

void RegisterPendingEntryMembers(MemberTable& t) {
  struct Entry {
    const char* accessor;
    const char* counter;
    Col col;
  };
  static const Entry kEntries[] = {
      {"Apunte", "ContadorApuntes", Col::kApuntes},
      {"iva", "ContadorIva", Col::kIva},
      {"cartera", "ContadorCartera", Col::kCartera},
      {"Analitica", "ContadorAnalitica", Col::kAnalitica},
      {"Retencion", "ContadorRetenciones", Col::kRetenciones},
      {"Extracto", "ContadorExtracto", Col::kExtracto},
      {"Plan", "ContadorPlan", Col::kPlan},
      {"DATOS", "ContadorDatos", Col::kDatos},
      {"DatosGlobales", "ContadorDatosGlobal", Col::kDatosGlobales},
      {"inmovilizado", "ContadorInmovilizado", Col::kInmovilizado},
  };
  for (const Entry& entry : kEntries) {
    Col col = entry.col;
    t.Add(entry.accessor, Kind::kMethod,
          [col](Enlace& e, Args& a) { return ItemOrNothing(e.collection(col), a[0]); });
    t.Add(entry.counter, Kind::kGet,
          [col](Enlace& e, Args&) { return Variant::FromLong(e.collection(col).Count()); });
  }
}

}  // namespace qrole::server
