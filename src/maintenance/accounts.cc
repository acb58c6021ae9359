#include "maintenance/accounts.h"

#include "automation/convert.h"
#include "data/globals.h"
#include "data/navigation.h"
#include "data/record_update.h"
#include "ledger/web_fields.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "web/web_link.h"

namespace qrole::maintenance {
namespace {

bool IsBlank(const std::string& s) { return Trim(s).empty(); }

[[noreturn]] void RaiseDeletionFailure(const std::string& cuenta, const platform::Status& status) {
  RaiseObjectError(50010,
                   "No se puede anular la cuenta\n" + cuenta + " (" + status.ToString() + ")");
}

// Deletes the record of `slot` whose key 1 is `key`; false when none.
bool DeleteByCode(int slot, const std::string& key, const std::string& cuenta) {
  platform::Result<bool> found = data::SeekEqual(slot, 1, key);
  if (!found.ok()) RaiseDeletionFailure(cuenta, found.status());
  if (!*found) return false;
  const platform::Status cancelled = data::CancelRecord(slot, data::Globals().engine_record);
  if (!cancelled.ok()) RaiseDeletionFailure(cuenta, cancelled);
  return true;
}

}  // namespace

bool AnularCuenta(server::Enlace& e, const std::string& cuenta) {
  if (!e.company_open()) e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    // The service's deletion answers nothing but a refusal.
    ledger::CheckWebAnswer(web::PeticionWeb(e.web_session(), "BORRARCUENTA", cuenta, "", ""));
    return false;
  }

  // Whatever happens, the record code's files are closed; the company stays open.
  struct CloseFiles {
    server::Enlace& e;
    ~CloseFiles() { e.CerrarArchivos(false); }
  } close_files{e};

  e.OpenCompanyFiles();

  if (IsBlank(cuenta)) return false;
  const std::string key = platform::Utf8ToCp1252(cuenta);
  if (!DeleteByCode(1, key, cuenta)) return false;
  DeleteByCode(3, key, cuenta);
  return true;
}

}  // namespace qrole::maintenance
