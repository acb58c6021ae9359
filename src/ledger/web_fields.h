// Field lists of the remote update requests: each item names a field (and
// an element of an array field) and its value, for the web service's table
// update of the chart, budget and master-data records.

#ifndef QROLE_LEDGER_WEB_FIELDS_H_
#define QROLE_LEDGER_WEB_FIELDS_H_

#include <cstdint>
#include <string>

namespace qrole::ledger {

// The value a member's optional argument holds when the client gave none;
// such a field is left out of the request.
inline constexpr const char* kNotGiven = "-1";

// CampoWeb: one field item, `numero` "=" `valor` TAB, or with an element
// (`elemento` >= 1) `numero` "+" `elemento` "=" `valor` TAB. Every "=" of the
// value becomes "-" so that the item keeps one separator. A value of exactly
// "-1" gives the empty text.
std::string CampoWeb(int32_t numero, const std::string& valor, int32_t elemento = 0);

// The field list of an account of a chart: code, title and level, the
// analytic flag when set, and the NIF when given.
std::string CamposCuentaWeb(const std::string& cuenta, const std::string& titulo,
                            const std::string& nivel, bool analitica, const std::string& nif);

// The field list of a budget account: code, title, level, analytic marker.
std::string CamposPresupuestoWeb(const std::string& cuenta, const std::string& titulo,
                                 const std::string& nivel, const std::string& analitica);

// The field list of one month of a budget account: the code and the amount
// as field 2, element `mes` (the amount as the runtime writes a Double).
std::string CamposImportePresupuestoWeb(const std::string& cuenta, int32_t mes, double importe);

// The answer of a maintenance request: one that begins with "ERROR" (exact
// case) is the service's refusal and raises 0x8004C35A with the answer as
// the description.
void CheckWebAnswer(const std::string& answer);

}  // namespace qrole::ledger

#endif  // QROLE_LEDGER_WEB_FIELDS_H_
