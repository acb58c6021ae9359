#include "posting/entry_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/globals.h"
#include "ledger/audit_log.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/currency.h"
#include "server/enlace.h"

namespace qrole::posting {

namespace {

using server::Col;

// The chart's record slot and the code of its account field.
constexpr int kChartSlot = 1;
constexpr int kChartAccount = 1;
// How much of a refused code the description and the log show.
constexpr size_t kShownCode = 40;

// The pending lines of a collection and their Double fields; `converted`
// when the posting also stores the amounts in the company's currencies.
struct AmountFields {
  Col collection;
  std::initializer_list<const char*> fields;
  bool converted;
};

const AmountFields kAmounts[] = {
    {Col::kApuntes, {"Importe"}, true},
    {Col::kIva, {"Base", "TOTAL", "CuotaProrrata", "Liquido"}, false},
    {Col::kCartera, {"Importe"}, false},
    {Col::kAnalitica, {"Importe"}, true},
    {Col::kRetenciones,
     {"Base", "PRetencion", "PRetEspecie", "BaseEsp", "Retencion", "Retesp", "Liquido", "Gastos",
      "IngCtaEfect", "IngCtaReper"},
     false},
};

template <class F>
void ForEachLine(server::Enlace& e, Col c, F f) {
  Collection& lines = e.collection(c);
  for (int32_t i = 1; i <= lines.Count(); ++i) {
    auto r = std::dynamic_pointer_cast<RecordObject>(lines.Item(i).object());
    if (r) f(*r);
  }
}

std::string Shown(const std::string& code) {
  return code.size() <= kShownCode ? code : code.substr(0, kShownCode) + "...";
}

// The width of the chart's account field; 0 when the chart is not open.
size_t ChartCodeWidth() {
  const data::Slot& chart = data::GetSlot(kChartSlot);
  if (!chart.is_open()) return 0;
  const int field = chart.FieldByCode(kChartAccount);
  return field == 0 ? 0 : static_cast<size_t>(std::max(chart.field(field).width, 0));
}

// The first journal-line account longer than the chart's code field.
std::optional<std::string> TooLongAccount(server::Enlace& e, size_t width) {
  std::optional<std::string> found;
  ForEachLine(e, Col::kApuntes, [&](RecordObject& line) {
    if (found) return;
    const std::string account = Trim(line.GetStr("Cuenta"));
    // Windows-1252 takes no more bytes than UTF-8: only a code that may be
    // too long is converted.
    if (account.size() > width && platform::Utf8ToCp1252(account).size() > width) found = account;
  });
  return found;
}

// False for a NaN too.
bool Storable(double amount) { return std::fabs(amount) <= kLargestAmount; }

// The first amount of the entry, given or converted, that cannot be stored.
std::optional<double> UnstorableAmount(server::Enlace& e) {
  std::optional<double> found;
  for (const AmountFields& kind : kAmounts) {
    ForEachLine(e, kind.collection, [&](RecordObject& line) {
      for (const char* field : kind.fields) {
        if (found) return;
        const double amount = line.GetDbl(field);
        if (!Storable(amount)) {
          found = amount;
          return;
        }
        if (!kind.converted) continue;
        const server::ConvertedAmount c = server::ConvertirImporte(e, amount);
        if (!Storable(c.pesetas)) found = c.pesetas;
        if (!Storable(c.euros)) found = c.euros;
      }
    });
    if (found) break;
  }
  return found;
}

std::string AmountText(double amount) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", amount);
  return text;
}

// Logs the refusal, closes the files and empties the entry, as a refused
// posting does.
void Refuse(server::Enlace& e, const std::string& log) {
  ledger::AuditoriaSave(e, "GrabarAsiento. " + log);
  e.CerrarArchivos(false);
  e.LimpiarAsiento();
}

}  // namespace

void CheckPendingEntry(server::Enlace& e) {
  if (const size_t width = ChartCodeWidth(); width > 0) {
    if (const std::optional<std::string> account = TooLongAccount(e, width)) {
      const std::string shown = Shown(*account);
      Refuse(e, "Cuenta demasiado larga: " + shown);
      RaiseObjectError(50010,
                       kAccountTooLongText + std::to_string(width) + " caracteres)\n" + shown);
    }
  }
  if (const std::optional<double> amount = UnstorableAmount(e)) {
    Refuse(e, "Importe fuera de rango: " + AmountText(*amount));
    RaiseRuntimeError(runtime_error::kOverflow);
  }
}

}  // namespace qrole::posting
