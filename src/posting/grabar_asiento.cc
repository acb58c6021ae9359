#include "posting/grabar_asiento.h"

#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/company_tables.h"
#include "data/globals.h"
#include "data/table_component.h"
#include "data/transaction.h"
#include "ledger/audit_log.h"
#include "platform/text_encoding.h"
#include "posting/currency_slot.h"
#include "posting/entry_checks.h"
#include "posting/entry_numbers.h"
#include "posting/journal_lines.h"
#include "posting/posting_context.h"
#include "posting/posting_retry.h"
#include "posting/secondary_records.h"
#include "posting/vat_book.h"
#include "posting/web_posting.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/enlace.h"
#include "server/process_state.h"

namespace qrole::posting {

namespace {

// True when a pending journal line carries the link marker in its note: such
// an entry is not checked against the journal's numbers.
bool HasLinkMarker(server::Enlace& e) {
  Collection& lines = e.collection(server::Col::kApuntes);
  for (int32_t i = 1; i <= lines.Count(); ++i) {
    auto r = std::dynamic_pointer_cast<RecordObject>(lines.Item(i).object());
    if (r && platform::ToUpperCase(r->GetStr("NOTAS")).find("ASIENTODEENLACE") != std::string::npos)
      return true;
  }
  return false;
}

// Raises the status left for the end of the posting.
[[noreturn]] void RaiseDeferred(const PostingContext& ctx) {
  // The entry is posted: within a larger operation, it is kept too.
  data::KeepChangesWhenRaising();
  switch (ctx.deferred_status) {
    case kStatusVatMismatch:
      RaiseObjectError(50007,
                       "Se produjo un error en el cálculo del IVA/IGIC\nSe ha grabado el "
                       "apunte, pero debe comprobar el Tipo, la Base y el Total");
    case kStatusNoAnalyticLine:
      RaisePlainError(50008, "Hay datos para grabar analítica en la cuenta: " + ctx.deferred_text +
                                 " pero no hay un apunte contable con esa cuenta, o no es una "
                                 "cuenta de analitica");
    case kStatusUnknownVatType:
      RaisePlainError(
          50011, "Se ha pasado al servidor OLE un tipo de Iva que no existe: " + ctx.deferred_text);
    case kStatusExemptVatType:
      RaisePlainError(50011,
                      "Se ha introducido un porcentaje de IVA/IGIC que no existe en la "
                      "contabilidad, se grabará con tipo 00 por favor corrijalo.");
    default:
      throw AutomationError(kStatusNotPdf, "", "Solo se puede importar archivos PDF");
  }
}

[[noreturn]] void RaisePostingStopped(const std::string& number) {
  RaiseObjectError(kPostingStoppedError,
                   std::string(kPostingStoppedText) + (number.empty() ? "" : "\n" + number));
}

}  // namespace

int16_t GrabarAsiento(server::Enlace& e) {
  server::EnlaceState& s = e.state();
  if (s.company_number.empty()) e.ComprobarEmpresaAbierta();
  data::SetCompany(s.company_directory, s.company_number);
  if (server::Process().stop_posting) {
    ledger::AuditoriaSave(e, kPostingStoppedLog);
    RaisePostingStopped("");
  }
  if (s.web_mode) return GrabarAsientoWeb(e);

  PostingContext ctx(e);
  PostingRetry retry(ctx);
  if (!s.entry_started) return 0;
  // Lines without a date would be lost to every date-ordered read.
  if (s.accounting_date.size() != 6)
    throw AutomationError(5000, "GrabarAsiento", "La fecha está vacía");
  // The number check, every record of the entry and the counter go to the
  // files together, under the company lock, or not at all.
  data::CompanyTransaction tx(s.company_directory, s.company_number);
  retry.Run([&] { e.OpenCompanyFiles(); });
  const std::string slot = retry.Run([&] { return RanuraMoneda(e); });
  CheckPendingEntry(e);

  if (!HasLinkMarker(e) && !s.entry_number_fixed) {
    const std::string number = Trim(s.entry_number);
    if (retry.Run([&] { return IsNumeroAsiento(e, "", true); })) RaisePostingStopped(number);
  }
  ctx.accounting_date = s.accounting_date;
  ctx.entry_number = s.entry_number;

  data::TableComponent chart;
  retry.Run([&] { chart.OpenCompanyTable("PLANC", s.company_directory, s.company_number); });
  ctx.chart = &chart;
  if (PostJournalLines(ctx, retry, slot)) GrabarNuevoNumeroAsiento(e);

  retry.Once([&] { PostWithholdings(ctx); });
  retry.Once([&] { PostVatLines(ctx); });
  retry.Once([&] { PostPortfolio(ctx); });
  retry.Once([&] { PostAnalyticLines(ctx); });

  chart.Close();
  ctx.chart = nullptr;
  GrabarUltimaInsercion(e);
  e.CerrarArchivos(false);
  e.LimpiarAsiento();
  if (ctx.vat_posted) retry.Once([&] { CompletarSii(ctx); });
  tx.Commit();
  if (ctx.deferred_status != 0) RaiseDeferred(ctx);
  return 0;
}

}  // namespace qrole::posting
