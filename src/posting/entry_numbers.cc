#include "posting/entry_numbers.h"

#include <memory>

#include "automation/convert.h"
#include "data/table_component.h"
#include "data/transaction.h"
#include "ledger/audit_log.h"
#include "platform/env.h"
#include "platform/text_encoding.h"
#include "server/company_header.h"
#include "server/enlace.h"
#include "server/process_state.h"

namespace qrole::posting {

namespace {

using platform::OpenMode;

// Failures of the header read of a proposal before it gives up, and the
// pause between two attempts.
constexpr int kProposalAttempts = 1000;
constexpr int kProposalPauseMs = 300;

// Reads the company header (record 1) into the object's copy. False when the
// file cannot be opened or read; `missing` tells a file that is not there.
bool ReadHeader(server::Enlace& e, bool* missing) {
  auto f = data::OpenDataFile(e.state().company_path, OpenMode::ReadOnly);
  if (!f.ok()) {
    *missing = f.status().IsNotFound() || e.state().company_path.empty();
    return false;
  }
  std::string header;
  if (!(*f)->ReadAt(0, server::kHeaderSize, &header).ok() || header.size() != server::kHeaderSize)
    return false;
  e.state().company_header = header;
  return true;
}

// The number after `counter`, in six digits: "000041" gives "000042".
std::string NextNumber(const std::string& counter) {
  const std::string digits = "000000" + FormatNumber(Val(counter) + 1, "0");
  return digits.substr(digits.size() - 6);
}

// Writes `number` as the entry counter, unless the counter is already past
// it (proposals reserve numbers ahead of the postings that use them).
void StoreCounter(server::Enlace& e, const std::string& number) {
  server::EnlaceState& s = e.state();
  auto opened = data::OpenDataFile(s.company_path, OpenMode::ReadWrite);
  if (!opened.ok()) return;
  platform::File& f = **opened;
  if (!f.LockRange(0, server::kHeaderSize, true).ok()) return;
  std::string header;
  if (f.ReadAt(0, server::kHeaderSize, &header).ok() && header.size() == server::kHeaderSize &&
      Val(server::HeaderText(header, kEntryCounterField)) < Val(number)) {
    // Only the counter's bytes are written: another program may have changed
    // other fields of the header since it was read.
    server::SetHeaderText(&header, kEntryCounterField, number);
    const server::HeaderField field = server::CampoCabecera(kEntryCounterField);
    const std::string bytes = server::HeaderBytes(header, kEntryCounterField);
    if (f.WriteAt(static_cast<uint64_t>(field.position - 1), bytes).ok()) s.company_header = header;
  }
  f.UnlockRange(0, server::kHeaderSize).IgnoreError();
}

}  // namespace

void SetEntryNumber(server::Enlace& e, const Variant& value) {
  e.ComprobarEmpresaAbierta();
  server::EnlaceState& s = e.state();
  const std::string text = ToStr(value);
  if (!text.empty()) {
    s.entry_number = text;
    s.entry_number_fixed = true;
    return;
  }
  if (s.web_mode) {
    s.entry_number = "(Auto)";
    return;
  }
  s.entry_number_fixed = false;
  // The proposal is a reservation: the counter moves on under the company
  // lock, so no two objects or processes are offered one number. A number
  // proposed and never posted leaves a gap.
  data::CompanyTransaction tx(s.company_directory, s.company_number);
  bool read = false;
  for (int failures = 0; failures < kProposalAttempts; ++failures) {
    bool missing = false;
    if (ReadHeader(e, &missing)) {
      read = true;
      break;
    }
    if (missing) break;  // waiting would not bring the file back
    platform::CurrentEnv()->GetClock().SleepMs(kProposalPauseMs);
  }
  if (!read) return;
  const std::string candidate =
      NextNumber(server::HeaderText(s.company_header, kEntryCounterField));
  if (IsNumeroAsiento(e, candidate, false)) {
    s.entry_number = "-1";
    e.CerrarArchivos(false);
    e.LimpiarAsiento();
    return;
  }
  s.entry_number = candidate;
  server::SetHeaderText(&s.company_header, kEntryCounterField, candidate);
  StoreCounter(e, candidate);
  // A reservation lost in a power cut harms nothing (the client that held it
  // went with the machine): it reaches the disk with the next operation's
  // flush instead of costing one of its own.
  // (Only when the proposal is an operation of its own: inside another, the
  // other's flush is not this one's to put off.)
  if (!tx.joined()) data::FlushWithNextOperation();
  tx.Commit();
}

bool IsNumeroAsiento(server::Enlace& e, const std::string& number, bool close_and_end) {
  server::EnlaceState& s = e.state();
  const std::string checked = Trim(Trim(number).empty() ? s.entry_number : number);
  bool conflict = checked.empty();
  {
    data::TableComponent journal;
    journal.OpenCompanyTable("EXTRA", s.company_directory, s.company_number);
    journal.SetFilter("ASIENTO = " + checked);
    if (journal.RecordCount() > 0) conflict = true;
  }
  if (!conflict) return false;
  platform::CurrentEnv()->Messages().Show(
      "El número de asiento " + checked +
          " ya está asignado.\r\n"
          "Para evitar duplicidad de apuntes, NO se va a seguir contabilizando el asiento.\r\n"
          "Revise en Valdrix en 'Herramientas\\Personalización\\Mas' en el apartado 'contador "
          "del asiento' que el último número de asiento es el correcto. \r\n"
          "Notifique a su equipo técnico la incidencia con el NUM. 21.0003",
      "NOTA", platform::MsgIcon::Information, platform::MsgButtons::Ok);
  ledger::AuditoriaSave(e,
                        "GrabarAsiento. EL NUMERO DE ASIENTO NO ES CORRECTO. NÚMERO ASIENTO EN "
                        "CONFLICTO: " +
                            checked);
  server::Process().stop_posting = true;
  if (close_and_end) {
    e.CerrarArchivos(false);
    e.LimpiarAsiento();
  }
  return true;
}

void GrabarNuevoNumeroAsiento(server::Enlace& e) {
  server::EnlaceState& s = e.state();
  if (s.web_mode || s.entry_number_fixed) return;
  StoreCounter(e, s.entry_number);
}

void GrabarUltimaInsercion(server::Enlace& e) {
  server::EnlaceState& s = e.state();
  const std::string path = s.company_directory + "ultimainsercion" + s.company_number + ".txt";
  auto opened = data::OpenDataFile(path, OpenMode::ReadWriteCreate);
  if (opened.ok()) {
    platform::File& f = **opened;
    if (f.LockWhole().ok()) {
      if (!s.posting_log_buffer.empty())
        f.WriteAt(0, platform::Utf8ToCp1252(s.posting_log_buffer)).IgnoreError();
      f.UnlockWhole().IgnoreError();
    }
  }
  s.posting_log_buffer.clear();
}

}  // namespace qrole::posting
