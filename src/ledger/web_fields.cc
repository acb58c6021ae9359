#include "ledger/web_fields.h"

#include "automation/convert.h"
#include "qrole/error.h"
#include "web/web_link.h"

namespace qrole::ledger {

std::string CampoWeb(int32_t numero, const std::string& valor, int32_t elemento) {
  if (valor == kNotGiven) return "";
  std::string value = valor;
  for (char& c : value) {
    if (c == '=') c = '-';
  }
  std::string item = std::to_string(numero);
  if (elemento >= 1) item += "+" + std::to_string(elemento);
  return item + "=" + value + "\t";
}

std::string CamposCuentaWeb(const std::string& cuenta, const std::string& titulo,
                            const std::string& nivel, bool analitica, const std::string& nif) {
  std::string fields = CampoWeb(1, cuenta) + CampoWeb(2, titulo) + CampoWeb(3, nivel);
  if (analitica) fields += CampoWeb(6, "1");
  if (nif != kNotGiven) fields += CampoWeb(14, nif);
  return fields;
}

std::string CamposPresupuestoWeb(const std::string& cuenta, const std::string& titulo,
                                 const std::string& nivel, const std::string& analitica) {
  return CampoWeb(1, cuenta) + CampoWeb(2, titulo) + CampoWeb(4, nivel) + CampoWeb(5, analitica);
}

std::string CamposImportePresupuestoWeb(const std::string& cuenta, int32_t mes, double importe) {
  return CampoWeb(1, cuenta) + CampoWeb(2, DoubleToText(importe), mes);
}

void CheckWebAnswer(const std::string& answer) {
  if (web::IsErrorAnswer(answer)) RaiseObjectError(50010, answer);
}

}  // namespace qrole::ledger
