#include "posting/secondary_records.h"

#include <memory>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/date_codec.h"
#include "data/engine_status.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/table_component.h"
#include "data/transaction.h"
#include "ledger/analytic_balances.h"
#include "platform/env.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/currency.h"
#include "server/enlace.h"
#include "server/process_state.h"
#include "util/amounts.h"

namespace qrole::posting {

namespace {

using server::Col;

constexpr char kWithholdingTable[] = "Ret01";
constexpr char kPortfolioTable[] = "EFECT";
constexpr char kChartTable[] = "PLANC";
constexpr char kOrderNumberField[] = "NUMERO DE ORDEN";
constexpr char kLinkCounterField[] = "CONTADORANALITICA";

constexpr int kChartSlot = 1;
constexpr int kJournalSlot = 2;

// Field codes.
constexpr int kChartTitle = 2;
constexpr int kWithholdingOrder = 12;
constexpr int kLineDescription = 4;
constexpr int kLineSide = 5;
constexpr int kLineAmount = 6;
constexpr int kLineBaseRate = 9;
constexpr int kLineSecondAmount = 10;
constexpr int kLineRate = 12;
constexpr int kLineOwnAmount = 13;
constexpr int kLineLink = 18;
constexpr int kLineCostCentre = 19;

// Failures of the analytic link number before it gives up, and the pause
// between two attempts (the company file is locked only for a moment).
constexpr int kLinkAttempts = 1000;
constexpr int kLinkPauseMs = 10;

[[noreturn]] void RaiseFileFailure(const std::string& what) {
  throw AutomationError(runtime_error::kFileAccess, kRuntimeSource,
                        RuntimeErrorText(runtime_error::kFileAccess) + "\n" + what);
}

void Check(const platform::Status& status, const std::string& what) {
  if (!status.ok()) RaiseFileFailure(what + ": " + status.ToString());
}

// The pending lines of a collection. A copy: the collection may be emptied
// while the stage runs (a failure handled by the caller).
std::vector<std::shared_ptr<RecordObject>> PendingLines(server::Enlace& e, Col c) {
  std::vector<std::shared_ptr<RecordObject>> lines;
  for (const Variant& item : e.collection(c).items()) {
    if (!item.IsObject()) continue;
    if (auto r = std::dynamic_pointer_cast<RecordObject>(item.object())) lines.push_back(r);
  }
  return lines;
}

Variant Text(std::string s) { return Variant::FromString(std::move(s)); }

// The four-digit year of a stored date; empty for no date.
std::string FourDigitYear(const std::string& stored) {
  const std::string display = data::ConvertirFechaLarga(stored);
  return display.size() == 10 ? display.substr(6) : "";
}

// A due date as the client wrote it, in the stored form: dd/mm/yyyy, a
// short form with "/" (dd/mm/yy, d/mm/yy, dd/mm), or a compact one without
// (yymmdd, or already stored) that goes through the display form.
std::string DueDate(const std::string& text) {
  if (text.size() == 10) return data::ConvertirFechaLarga(text);
  if (text.find('/') != std::string::npos) return data::ConvertirFechaCodec(text);
  return data::ConvertirFechaCodec(data::ConvertirFechaCodec(text));
}

// The title of a chart account found through the keyed engine (the record
// slot of the chart), empty when the account is not there.
std::string ChartTitle(const std::string& account) {
  platform::Result<bool> found = data::SeekEqual(kChartSlot, 1, platform::Utf8ToCp1252(account));
  Check(found.status(), "PLANC");
  if (!*found) return "";
  const data::Slot& chart = data::GetSlot(kChartSlot);
  return chart.TrimmedText(chart.FieldByCode(kChartTitle));
}

std::string SixDigits(double n) { return FormatNumber(n, "000000"); }

enum class Attempt { kDone, kRetry, kGiveUp };

// One attempt at the analytic link number, under the lock of the company
// header.
Attempt TryLink(server::Enlace& e, std::string* link) {
  const std::string& path = e.state().company_path;
  if (path.empty()) return Attempt::kGiveUp;
  auto opened = data::OpenDataFile(path, platform::OpenMode::ReadWrite);
  if (!opened.ok()) return opened.status().IsNotFound() ? Attempt::kGiveUp : Attempt::kRetry;
  platform::File& f = **opened;
  if (!f.LockRange(0, server::kHeaderSize, true).ok()) return Attempt::kRetry;
  Attempt result = Attempt::kRetry;
  std::string header;
  if (f.ReadAt(0, server::kHeaderSize, &header).ok() && header.size() == server::kHeaderSize) {
    std::string candidate = SixDigits(Val(server::HeaderText(header, kLinkCounterField)) + 1);
    bool usable = true;
    // The counter may lag behind the analytic file (lines written by another
    // program): then the number after the highest link of the file is taken.
    const std::string slot = std::to_string(ledger::kAnalyticSlot);
    if (data::SendEngineCommand("S\\3\\" + slot + "\\" + candidate) == data::engine_status::kOk) {
      usable = false;
      if (data::SendEngineCommand("L\\3\\" + slot) == data::engine_status::kOk) {
        const data::Slot& analytic = data::GetSlot(ledger::kAnalyticSlot);
        platform::Result<std::string> last = data::ReadFieldText(
            ledger::kAnalyticSlot, data::Globals().engine_record, analytic.FieldByCode(kLineLink));
        if (last.ok()) {
          candidate = SixDigits(Val(*last) + 1);
          usable = true;
        }
      }
    }
    if (usable) {
      server::SetHeaderText(&header, kLinkCounterField, candidate);
      const server::HeaderField field = server::CampoCabecera(kLinkCounterField);
      // Only the counter's bytes are written: the rest of the header may have
      // been changed by another program since it was read.
      if (f.WriteAt(static_cast<uint64_t>(field.position - 1),
                    server::HeaderBytes(header, kLinkCounterField))
              .ok()) {
        e.state().company_header = header;
        *link = candidate;
        result = Attempt::kDone;
      }
    }
  }
  f.UnlockRange(0, server::kHeaderSize).IgnoreError();
  return result;
}

}  // namespace

std::string TituloCuenta(server::Enlace& e, const std::string& account) {
  const server::EnlaceState& s = e.state();
  data::TableComponent chart;
  chart.OpenCompanyTable(kChartTable, s.company_directory, s.company_number);
  chart.SetIndex(1);
  chart.Seek(account);
  if (chart.RecordNumber() < 1) return "";
  return RTrim(ToStr(chart.GetField(kChartTitle)));
}

std::string SiguienteOrdenRetencion(server::Enlace& e) {
  const server::EnlaceState& s = e.state();
  data::TableComponent withholdings;
  withholdings.OpenCompanyTable(kWithholdingTable, s.company_directory, s.company_number);
  withholdings.SetOrder(kOrderNumberField);
  withholdings.MoveLast();
  const double last =
      withholdings.IsEof() ? 0 : Val(ToStr(withholdings.GetField(kWithholdingOrder)));
  withholdings.Close();
  const std::string digits = "0000000000" + FormatNumber(last + 1, "0");
  return digits.substr(digits.size() - 10);
}

std::string EnlazarAnalitica(server::Enlace& e) {
  for (int failures = 0; failures < kLinkAttempts; ++failures) {
    std::string link;
    switch (TryLink(e, &link)) {
      case Attempt::kDone:
        return link;
      case Attempt::kGiveUp:
        return "";
      case Attempt::kRetry:
        platform::CurrentEnv()->GetClock().SleepMs(kLinkPauseMs);
        break;
    }
  }
  return "";
}

void PostWithholdings(PostingContext& ctx) {
  server::Enlace& e = ctx.e;
  const auto lines = PendingLines(e, Col::kRetenciones);
  if (lines.empty()) return;
  const server::EnlaceState& s = e.state();
  const std::string date = data::ConvertirFechaCodec(ctx.accounting_date);
  const std::string year = FourDigitYear(ctx.accounting_date);
  data::TableComponent t;
  t.OpenCompanyTable(kWithholdingTable, s.company_directory, s.company_number);
  for (const auto& r : lines) {
    t.AddNew();
    t.SetField(1, 0, r->Get("CliPro"));
    t.SetField(2, 0, Text(TituloCuenta(e, Trim(r->GetStr("CliPro")))));
    t.SetField(3, 0, r->Get("NIf"));
    t.SetField(5, 0, r->Get("FacturaN"));
    t.SetField(6, 0, r->Get("Base"));
    t.SetField(7, 0, r->Get("Clave"));
    t.SetField(8, 0, Text(ctx.entry_number));
    t.SetField(9, 0, r->Get("CtaRet"));
    t.SetField(10, 0, r->Get("CtaRetEsp"));
    t.SetField(11, 0, r->Get("FechaFac"));
    t.SetField(kWithholdingOrder, 0, Text(SiguienteOrdenRetencion(e)));
    t.SetField(13, 0, r->Get("PRetencion"));
    t.SetField(14, 0, r->Get("PRetEspecie"));
    t.SetField(15, 0, r->Get("Provincia"));
    t.SetField(16, 0, Text(year));
    t.SetField(17, 0, r->Get("CtaBaseEsp"));
    t.SetField(21, 0, Text(date));
    t.SetField(27, 0, r->Get("BaseEsp"));
    t.SetField(29, 0, r->Get("Retencion"));
    t.SetField(30, 0, r->Get("Retesp"));
    t.SetField(26, 0, r->Get("FechaFac"));
    t.Update();
  }
  t.Close();
}

void PostPortfolio(PostingContext& ctx) {
  server::Enlace& e = ctx.e;
  const auto lines = PendingLines(e, Col::kCartera);
  if (lines.empty()) return;
  const server::EnlaceState& s = e.state();
  data::TableComponent t;
  t.OpenCompanyTable(kPortfolioTable, s.company_directory, s.company_number);
  for (const auto& c : lines) {
    t.AddNew();
    t.SetField(8, 0, Text(ctx.accounting_date));
    t.SetField(9, 0, Text(ctx.entry_number));
    t.SetField(1, 0, Text(DueDate(c->GetStr("FechaVencimiento"))));
    t.SetField(2, 0, c->Get("Cuenta"));
    t.SetField(3, 0, Text(ChartTitle(c->GetStr("Cuenta"))));
    t.SetField(5, 0, c->Get("cartera"));
    t.SetField(4, 0, c->Get("NOTAS"));
    t.SetField(6, 0, Text(ToStr(c->Get("Importe"))));
    t.Update();
  }
  t.Close();
}

void PostAnalyticLines(PostingContext& ctx) {
  server::Enlace& e = ctx.e;
  const auto lines = PendingLines(e, Col::kAnalitica);
  if (lines.empty()) return;
  const data::CurrencyTable& currencies = server::CurrencySlots(e);
  const int decimals = currencies.slots[0].decimals;
  for (const auto& line : lines) {
    const std::string account = line->GetStr("CuentaContable");
    // The first journal line of the account with an amount left to
    // distribute. Amounts are compared in the base currency, to its
    // decimals, so that sums of fractions close a line.
    AnalyticCapableLine* target = nullptr;
    for (AnalyticCapableLine& candidate : ctx.analytic_lines) {
      if (candidate.record < 1 || Trim(candidate.account) != Trim(account)) continue;
      if (util::Redondear(candidate.amount - candidate.covered, decimals) == 0) continue;
      target = &candidate;
      break;
    }
    if (target == nullptr) {
      ctx.Defer(kStatusNoAnalyticLine, account);
      continue;
    }

    Check(data::ReadRecord(kJournalSlot, target->record), "EXTRA");
    const data::Slot& journal = data::GetSlot(kJournalSlot);
    data::Slot& analytic = data::GetSlot(ledger::kAnalyticSlot);
    if (!analytic.is_open()) RaiseFileFailure("Anali: tabla no abierta");
    // Every field of the journal line goes to the field of the same code;
    // the analytic file's own field is the cost-centre account.
    analytic.ClearValues();
    for (int f = 1; f <= analytic.num_fields(); ++f) {
      const int code = analytic.field(f).code;
      if (code == kLineCostCentre) continue;
      const int from = journal.FieldByCode(code);
      if (from != 0) analytic.SetRaw(f, journal.Value(from));
    }
    const std::string description = line->GetStr("Descripción");
    if (!Trim(description).empty())
      analytic.SetText(analytic.FieldByCode(kLineDescription), description);
    const std::string cost_centre = ToStr(line->Get("CuentaAnalitica"));
    analytic.SetText(analytic.FieldByCode(kLineCostCentre), cost_centre);

    const double importe = line->GetDbl("Importe");
    const double signed_amount =
        journal.TrimmedText(journal.FieldByCode(kLineSide)) == "2" ? -importe : importe;
    double euros = 0, pesetas = 0;
    server::CalcularMoneda(e, signed_amount, &euros, &pesetas);
    analytic.SetNumber(analytic.FieldByCode(kLineAmount), pesetas);
    analytic.SetNumber(analytic.FieldByCode(kLineBaseRate), currencies.rate);
    analytic.SetNumber(analytic.FieldByCode(kLineSecondAmount), euros);
    analytic.SetNumber(analytic.FieldByCode(kLineRate), server::Process().exchange_rate);
    analytic.SetNumber(analytic.FieldByCode(kLineOwnAmount), signed_amount);
    Check(data::AppendRecord(ledger::kAnalyticSlot), "Anali");

    ledger::ActualizarSaldosAnalitica(1, cost_centre);
    // In the base currency, as the journal line's amount.
    target->covered += pesetas;
  }
}

}  // namespace qrole::posting
