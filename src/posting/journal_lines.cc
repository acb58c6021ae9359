#include "posting/journal_lines.h"

#include <memory>
#include <vector>

#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/catalogue.h"
#include "data/globals.h"
#include "data/record_file.h"
#include "data/table_component.h"
#include "ledger/chart_accounts.h"
#include "ledger/chart_balances.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "posting/other_fields.h"
#include "posting/posting_context.h"
#include "posting/posting_retry.h"
#include "posting/secondary_records.h"
#include "server/currency.h"
#include "server/enlace.h"
#include "server/process_state.h"

namespace qrole::posting {

namespace {

using server::Col;

// Journal field codes.
enum : int {
  kFecha = 1,
  kCuenta = 2,
  kAsiento = 3,
  kDescripcion = 4,
  kTipo = 5,
  kImporte = 6,
  kPunteo = 7,
  kDiario = 8,
  kCambioBase = 9,
  kImporteSegunda = 10,
  kMoneda = 11,
  kCambio = 12,
  kValorMoneda = 13,
  kCanal = 14,
  kUsuario = 15,
  kNotas = 16,
  kClave347 = 17,
  kEnlaceAnalitica = 18,
  kFechaGrabacion = 20,
  kReferencia = 22,
  kDelegacion = 24,
  kDocumentoAdjunto = 28,
  kCodigoBloqueo = 98,
};

std::string TodayText() {
  const platform::LocalDateTime now = platform::CurrentEnv()->GetClock().Now();
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", now.day, now.month, now.year % 100);
  return buf;
}

// Every pending line of `c`, so that the stage goes through the whole entry
// whatever happens to the collection meanwhile.
std::vector<std::shared_ptr<RecordObject>> Lines(server::Enlace& e, Col c) {
  std::vector<std::shared_ptr<RecordObject>> out;
  Collection& col = e.collection(c);
  for (int32_t i = 1; i <= col.Count(); ++i) {
    Variant v = col.Item(i);
    if (auto r = std::dynamic_pointer_cast<RecordObject>(v.object())) out.push_back(r);
  }
  return out;
}

// Raises the table error for a chart that cannot be read or written.
void CheckChart(const platform::Status& status) {
  if (!status.ok()) RaiseObjectError(data::kTableError, "PLANC\n" + status.message());
}

// The chart record of `account` (UTF-8) read into the chart slot; false when
// there is none.
bool FindAccount(const std::string& account) {
  platform::Result<int32_t> record =
      ledger::FindChartAccount(platform::Utf8ToCp1252(Trim(account)));
  CheckChart(record.status());
  return *record != 0;
}

// A field of the chart record FindAccount read, as UTF-8 without blanks
// around it.
std::string ChartText(int code) {
  const data::Slot& chart = data::GetSlot(ledger::kChartSlot);
  return Trim(chart.Text(chart.FieldByCode(code)));
}

// Copies an attached PDF beside the company file and stores its bytes in the
// line. Returns false for a file that is not a PDF.
bool AttachPdf(PostingContext& ctx, data::TableComponent& journal, int32_t record,
               const std::string& file, const std::string& account) {
  if (platform::ToUpperCase(file).find(".PDF") == std::string::npos) return false;
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  if (!fs.Exists(file)) return true;
  const std::string& company = ctx.e.state().company_path;
  const std::string folder = company.substr(0, company.size() >= 4 ? company.size() - 4 : 0);
  std::string padded = account;
  padded.resize(std::max<size_t>(padded.size(), 10), ' ');
  const std::string copy =
      platform::JoinPath(folder, ctx.accounting_date + ctx.entry_number + padded + ".pdf");
  auto bytes = fs.ReadAll(file);
  if (!bytes.ok() || !fs.CreateDirectories(folder).ok() || !fs.WriteAllAtomic(copy, *bytes).ok())
    RaiseRuntimeError(runtime_error::kFileAccess);
  auto copied = fs.ReadAll(copy);
  if (!copied.ok()) RaiseRuntimeError(runtime_error::kFileAccess);
  journal.GoToRecord(record);
  journal.Edit();
  journal.SetFieldBytes(kDocumentoAdjunto, 0, *copied);
  journal.Update();
  return true;
}

}  // namespace

std::string ValidJournal(const std::string& diario) {
  if ((diario >= "1" && diario <= "9") || (diario >= "A" && diario <= "C") ||
      (diario >= "a" && diario <= "c"))
    return platform::ToUpperCase(diario);
  return "1";
}

void ActualizarSaldos(PostingContext& ctx, PostingRetry& retry, const std::string& account,
                      int tipo, const std::string& journal, double signed_amount) {
  if (tipo != 1 && tipo != 2) return;
  const int element = ledger::BalanceElement(journal, ctx.accounting_date);
  const std::string code = platform::Utf8ToCp1252(account);
  const std::vector<int32_t> records = retry.Run([&] {
    platform::Result<std::vector<int32_t>> levels = ledger::ChartLevelsOf(code);
    CheckChart(levels.status());
    return *levels;
  });
  // Level by level: an attempt made again never adds twice.
  for (int32_t record : records) {
    retry.Run([&] { CheckChart(ledger::AddToChartBalance(record, tipo, element, signed_amount)); });
  }
}

bool PostJournalLines(PostingContext& ctx, PostingRetry& retry, const std::string& currency_slot) {
  server::Enlace& e = ctx.e;
  const server::EnlaceState& s = e.state();
  const server::ProcessState& process = server::Process();
  const std::string default_channel = FormatNumber(s.channel, "000");
  data::TableComponent journal;
  retry.Run([&] { journal.OpenCompanyTable("EXTRA", s.company_directory, s.company_number); });
  bool written = false;
  for (const std::shared_ptr<RecordObject>& line : Lines(e, Col::kApuntes)) {
    double amount = line->GetDbl("Importe");
    int tipo = ToByte(line->Get("TIPO"));
    if (tipo == 2) {
      amount = -amount;
    } else if (tipo == 3) {
      amount = -amount;
      tipo = 1;
      line->Set("TIPO", Variant::FromByte(1));
    } else if (tipo == 4) {
      tipo = 2;
      line->Set("TIPO", Variant::FromByte(2));
    }
    const std::string account = line->GetStr("Cuenta");
    const std::string trimmed = Trim(account);
    const std::string diario = ValidJournal(line->GetStr("Diario"));

    // The account must be in the chart: a missing one is created.
    std::string clave347;
    retry.Run([&] {
      bool found = FindAccount(trimmed);
      if (!found) {
        std::string created = trimmed;
        Variant level = Variant::FromString("0");
        ledger::CrearEnPlan(e, 1, &created, "Cuenta Sin Titulo", &level, false, "-1");
        found = FindAccount(trimmed);
      }
      clave347 = found ? ChartText(ledger::kChartClave347) : "";
    });
    // A line on an analytic account gets the next link number.
    std::string link;
    std::string analytic_account;
    retry.Run([&] {
      link.clear();
      if (FindAccount(account) && ChartText(ledger::kChartAnalytic) == "1") {
        analytic_account = ChartText(ledger::kChartAccount);
        link = EnlazarAnalitica(e);
      }
    });

    double euros = 0, pesetas = 0;
    server::CalcularMoneda(e, amount, &euros, &pesetas);
    int32_t stored = 0;
    retry.Run([&] {
      journal.AddNew();
      journal.SetField(kFecha, 0, Variant::FromString(ctx.accounting_date));
      journal.SetField(kAsiento, 0, Variant::FromString(ctx.entry_number));
      journal.SetField(kCuenta, 0, Variant::FromString(account));
      journal.SetField(kDescripcion, 0, line->Get("Descripción"));
      journal.SetField(kTipo, 0, Variant::FromByte(static_cast<uint8_t>(tipo)));
      journal.SetField(kImporte, 0, Variant::FromDouble(pesetas));
      journal.SetField(kPunteo, 0, Variant::FromString(Trim(line->GetStr("Punteo"))));
      journal.SetField(kCambioBase, 0, Variant::FromDouble(data::Currencies().rate));
      journal.SetField(kImporteSegunda, 0, Variant::FromDouble(euros));
      journal.SetField(kMoneda, 0, Variant::FromString(currency_slot));
      journal.SetField(kCambio, 0, Variant::FromDouble(process.exchange_rate));
      journal.SetField(kValorMoneda, 0, Variant::FromDouble(amount));
      const std::string canal = line->GetStr("Canal");
      journal.SetField(kCanal, 0, Variant::FromString(canal == "N" ? default_channel : canal));
      journal.SetField(kUsuario, 0, Variant::FromString(s.user_code));
      journal.SetField(kFechaGrabacion, 0, Variant::FromString(TodayText()));
      journal.SetField(kDiario, 0, Variant::FromString(diario));
      journal.SetField(kReferencia, 0, line->Get("Referencia"));
      journal.SetField(kClave347, 0, Variant::FromString(clave347));
      journal.SetField(kEnlaceAnalitica, 0, Variant::FromString(link));
      journal.SetField(kCodigoBloqueo, 0, Variant::FromString(Trim(line->GetStr("CodigoBloqueo"))));
      journal.SetField(kDelegacion, 0, Variant::FromString("01"));
      SetOtherFields(journal, line->GetStr("OtrosCampos"));
      journal.Update();
      stored = journal.LastRecordNumber();
    });
    written = true;
    if (!link.empty() && Val(link) > 0)
      ctx.analytic_lines.push_back({analytic_account, stored, pesetas, 0});

    const std::string notas = line->GetStr("NOTAS");
    if (!notas.empty() && platform::ToUpperCase(Trim(notas)) != "ASIENTODEENLACE") {
      retry.Run([&] {
        journal.GoToRecord(stored);
        if (journal.RecordNumber() <= 0) return;
        journal.Edit();
        journal.SetField(kNotas, 0, Variant::FromString(notas));
        journal.Update();
      });
    }
    const std::string image = line->GetStr("ArchivoImagen");
    if (!image.empty()) {
      bool pdf = true;
      retry.Run([&] { pdf = AttachPdf(ctx, journal, stored, image, trimmed); });
      if (!pdf) ctx.Defer(kStatusNotPdf, "");
    }
    // The chart holds the company's currency, as the journal's amount.
    ActualizarSaldos(ctx, retry, trimmed, tipo, diario, pesetas);
  }
  journal.Close();
  return written;
}

}  // namespace qrole::posting
