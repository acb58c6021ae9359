// Reading accounts with their fifteen period balances (opening, the twelve
// months, regularisation, closing) into the object's plan collection, from
// the chart of accounts, the budgets, the cost centres or the alternative
// chart. In web mode the accounts are one search of the web service.
#ifndef QROLE_QUERY_CHART_READING_H_
#define QROLE_QUERY_CHART_READING_H_

#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::query {

// Account files, numbered as the interface's QRPlanes.
inline constexpr int kPlanContable = 1;
inline constexpr int kPresupuestos = 6;
inline constexpr int kCentrosDeCosto = 8;
inline constexpr int kPlanAlterna = 9;

// LeerPlan: the chart's accounts that `cuenta` names (a code, a pattern, or
// several separated by ","), whose level matches `nivel` ("?" when empty)
// and, when given, whose title matches `titulo`. True when any was read.
bool LeerPlan(server::Enlace& e, const std::string& cuenta, const std::string& nivel,
              const std::string& titulo);

// LeerPlanEx: the same over account file `fi`, with a range up to
// `hasta_cuenta`, or the account after (1) or before (2) `cuenta`.
bool LeerPlanEx(server::Enlace& e, int fi, const std::string& cuenta, const std::string& nivel,
                const std::string& titulo, const std::string& hasta_cuenta, int siguiente);

// PlanDebe / PlanHaber: period `mes` (0 opening ... 14 closing) of entry
// `index` of the plan collection; 0 when either is out of range.
double PlanImporte(server::Enlace& e, double index, double mes, bool debe);

}  // namespace qrole::query

#endif  // QROLE_QUERY_CHART_READING_H_
