#include "posting/other_fields.h"

#include "automation/convert.h"
#include "data/table_component.h"
#include "qrole/error.h"

namespace qrole::posting {

void SetOtherFields(data::TableComponent& t, const std::string& otros) {
  size_t start = 0;
  while (start <= otros.size()) {
    size_t bar = otros.find('|', start);
    if (bar == std::string::npos) bar = otros.size();
    const std::string piece = otros.substr(start, bar - start);
    start = bar + 1;
    if (Trim(piece).empty()) continue;
    const size_t eq = piece.find('=');
    if (eq == std::string::npos) RaiseRuntimeError(runtime_error::kInvalidCall);
    const size_t eq2 = piece.find('=', eq + 1);
    const std::string value =
        Trim(piece.substr(eq + 1, eq2 == std::string::npos ? std::string::npos : eq2 - eq - 1));
    t.SetFieldByPositionOrName(Trim(piece.substr(0, eq)), Variant::FromString(value));
  }
}

}  // namespace qrole::posting
