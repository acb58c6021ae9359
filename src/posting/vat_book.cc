#include "posting/vat_book.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/globals.h"
#include "data/keys.h"
#include "data/navigation.h"
#include "data/record_file.h"
#include "data/table_component.h"
#include "platform/env.h"
#include "platform/text_encoding.h"
#include "posting/other_fields.h"
#include "posting/vat_types.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "util/amounts.h"
#include "web/web_link.h"

namespace qrole::posting {

namespace {

using util::Redondear;

// The VAT book's record slot and the index of its invoice numbers.
constexpr int kVatBookSlot = 4;
constexpr int kInvoiceIndex = 1;
constexpr int kInvoiceField = 5;

// Computed and given totals closer than this add up.
constexpr double kTotalTolerance = 0.02;
// Room for the binary error of the difference of two amounts, so that a
// difference of exactly 0.02 is within the tolerance.
constexpr double kTotalSlack = 1e-9;

// What the SII fields hold until the completion pass fills them.
const std::string kSiiPlaceholder(4, '\0');

// The lines of the pending VAT collection, held for the whole stage.
std::vector<std::shared_ptr<RecordObject>> PendingLines(server::Enlace& e) {
  std::vector<std::shared_ptr<RecordObject>> out;
  for (const Variant& v : e.collection(server::Col::kIva).items())
    if (v.IsObject())
      if (auto r = std::dynamic_pointer_cast<RecordObject>(v.object())) out.push_back(r);
  return out;
}

// The temporary SII identifier of the `counter`th line: the time as
// yyyyMMddhhmmss, then the month and the second again without leading
// zeros, then the counter.
std::string SiiIdentifier(const platform::LocalDateTime& t, int counter) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d%d%d%d", t.year, t.month, t.day, t.hour,
                t.minute, t.second, t.month, t.second, counter);
  return buf;
}

std::string ShortDate(const platform::LocalDateTime& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", t.day, t.month, t.year % 100);
  return buf;
}

// A failure of the file system as the runtime's file error.
[[noreturn]] void RaiseFileError(const platform::Status& s) {
  RaiseRuntimeError(s.IsNotFound() ? runtime_error::kFileNotFound : runtime_error::kFileAccess);
}

// The VAT book in its record slot, for the keyed searches.
void EnsureVatBookSlot(const server::EnlaceState& s) {
  if (data::GetSlot(kVatBookSlot).is_open()) return;
  platform::Status st =
      data::OpenTableFile(kVatBookSlot, "IVA01", 1, s.company_directory, s.company_number);
  if (!st.ok()) RaiseFileError(st);
}

// The next order number of book `srtc` ("0000000001" for an empty book).
std::string SiguienteOrdenIva(const std::string& srtc) {
  auto next = data::NextNumberUnderPrefix(platform::Utf8ToCp1252(srtc));
  if (!next.ok()) RaiseFileError(next.status());
  return *next;
}

// The numbers a line's type gives its record.
struct ResolvedType {
  std::string text;  // field 7
  float vat = 0;
  float surcharge = 0;
};

// Resolves the line's TipoIva; `last` holds the percentages of the type read
// before, kept for a negative code.
ResolvedType ResolveType(PostingContext& ctx, const VatTypeFile& types, const std::string& tipo,
                         VatType& last) {
  const std::string bytes = platform::Utf8ToCp1252(tipo);
  // An empty type names no type at all (code 0, posted exempt with its
  // warning), not a percentage of 0.
  const bool short_text = bytes.size() <= 2;
  const int32_t code = short_text ? ValTIVA(tipo) : types.CodeByPercentage(tipo);
  ResolvedType r;
  r.text = bytes.size() == 2 ? tipo : TextoTipoIva(code);
  if (code > 0) {
    last = types.Read(code);
  } else if (code < 0) {
    ctx.Defer(kStatusUnknownVatType, tipo);
  } else {
    r.text = "00";
    last = VatType{"Exento", "", "", 0, 0};
    ctx.Defer(kStatusExemptVatType, "");
  }
  r.vat = last.vat;
  r.surcharge = last.surcharge;
  return r;
}

struct Amounts {
  double base = 0;       // field 6
  double vat = 0;        // field 17
  double surcharge = 0;  // field 18
  double total = 0;      // field 15
};

Amounts ComputeAmounts(PostingContext& ctx, double base, double total, double p, double r) {
  Amounts a;
  if (base != 0) {
    a.base = base;
    a.vat = Redondear(p * base * 0.01);
    a.surcharge = Redondear(r * base * 0.01);
    a.total = base + a.vat + a.surcharge;
    if (total != 0 && a.total != total) {
      if (std::fabs(a.total - total) > kTotalTolerance + kTotalSlack)
        ctx.Defer(kStatusVatMismatch, "");
      a.vat = total - (base + a.surcharge);
      a.total = total;
    }
  } else {
    a.base = Redondear(total / ((p + r) * 0.01 + 1));
    a.vat = Redondear(p * a.base * 0.01);
    a.surcharge = Redondear(r * a.base * 0.01);
    if (a.base + a.vat + a.surcharge != total) a.vat = total - a.base - a.surcharge;
    a.total = total;
  }
  return a;
}

// The parts of a remembered "id~description~~~reference" text. The
// description may itself hold "~": the reference follows the last "~~~".
struct SiiParts {
  std::string id, description, reference;
};

SiiParts SplitSii(const std::string& text) {
  SiiParts p;
  const size_t first = text.find('~');
  p.id = text.substr(0, first);
  if (first == std::string::npos) return p;
  const size_t sep = text.rfind("~~~");
  if (sep == std::string::npos || sep < first) {
    p.description = text.substr(first + 1);
    return p;
  }
  p.description = text.substr(first + 1, sep - first - 1);
  p.reference = text.substr(sep + 3);
  return p;
}

}  // namespace

void PostVatLines(PostingContext& ctx) {
  const std::vector<std::shared_ptr<RecordObject>> lines = PendingLines(ctx.e);
  if (lines.empty()) return;
  const server::EnlaceState& s = ctx.e.state();

  auto types = VatTypeFile::Open(RutaTiposIva(ctx.e, "IVA03"));
  if (!types.ok()) RaiseFileError(types.status());
  EnsureVatBookSlot(s);

  data::TableComponent own_chart;
  data::TableComponent* chart = ctx.chart;
  if (chart == nullptr) {
    own_chart.OpenCompanyTable("PLANC", s.company_directory, s.company_number);
    chart = &own_chart;
  }
  data::TableComponent book;
  book.OpenCompanyTable("IVA01", s.company_directory, s.company_number);

  platform::Clock& clock = platform::CurrentEnv()->GetClock();
  VatType last;
  int counter = 0;
  std::string order, order_invoice, order_book;
  bool order_known = false;

  for (const std::shared_ptr<RecordObject>& line : lines) {
    const std::string account = line->GetStr("CuentaClienteProveedor");
    const std::string invoice = line->GetStr("Factura");
    const std::string srtc = line->GetStr("SRTC");
    const std::string tipo = line->GetStr("TipoIva");
    const std::string titulo = line->GetStr("titulo");
    const std::string nif = line->GetStr("NIf");
    const double base = line->GetDbl("Base");
    const double total = line->GetDbl("TOTAL");
    const double withholding_rate = line->GetDbl("PorcRetencion");

    book.AddNew();
    const std::string sii_id = SiiIdentifier(clock.Now(), counter++);

    // Order number: one per invoice of a book, unless the client gave it.
    std::string number = line->GetStr("NumeroOrden");
    if (number.empty()) {
      if (!order_known || invoice != order_invoice || srtc != order_book) {
        order = SiguienteOrdenIva(srtc);
        order_invoice = invoice;
        order_book = srtc;
        order_known = true;
      }
      number = order;
    }

    book.SetField(21, 0, Variant::FromString(ctx.accounting_date));
    book.SetField(8, 0, Variant::FromString(ctx.entry_number));
    book.SetField(1, 0, Variant::FromString(account));
    if ((titulo.empty() || nif.empty()) && !Trim(account).empty()) {
      chart->SetFilter("Cuenta =" + account);
      if (chart->RecordCount() > 0) {
        book.SetField(2, 0, chart->GetField(2));
        book.SetField(3, 0, chart->GetField(14));
      }
    }
    if (!titulo.empty()) book.SetField(2, 0, Variant::FromString(titulo));
    if (!nif.empty()) book.SetField(3, 0, Variant::FromString(nif));
    book.SetField(5, 0, Variant::FromString(invoice));

    const ResolvedType type = ResolveType(ctx, *types, tipo, last);
    const Amounts a = ComputeAmounts(ctx, base, total, type.vat, type.surcharge);
    const int32_t prorata = ToLong(line->Get("Prorata"));

    book.SetField(6, 0, Variant::FromDouble(a.base));
    book.SetField(15, 0, Variant::FromDouble(a.total));
    book.SetField(16, 0, Variant::FromString(prorata != 0 ? std::to_string(prorata) : ""));
    book.SetField(17, 0, Variant::FromDouble(a.vat));
    book.SetField(18, 0, Variant::FromDouble(a.surcharge));
    book.SetField(7, 0, Variant::FromString(type.text));
    book.SetField(9, 0, Variant::FromString(line->GetStr("CuentaIVA")));
    book.SetField(10, 0, Variant::FromString(srtc));
    book.SetField(11, 0, Variant::FromString(line->GetStr("FechaFactura")));
    book.SetField(12, 0, Variant::FromString(number));
    book.SetField(13, 0, Variant::FromSingle(type.vat));
    book.SetField(14, 0, Variant::FromSingle(type.surcharge));
    book.SetField(25, 0, Variant::FromString(line->GetStr("CLAVEOPERACION")));
    book.SetField(22, 0, Variant::FromString(line->GetStr("Referencia")));

    const double prorated = prorata != 0 ? prorata * 0.01 * a.vat : 0;
    line->Set("CuotaProrrata", Variant::FromDouble(prorated));
    book.SetField(23, 0, Variant::FromDouble(prorated));
    book.SetField(24, 0, Variant::FromString(line->GetStr("Seriefacturas")));
    for (int field = 26; field <= 28; ++field) book.SetField(field, 0, Variant::FromString(""));
    book.SetField(29, 0, Variant::FromDouble(Redondear(withholding_rate * base / 100)));
    const std::string regime = line->GetStr("RegimenEspecial");
    book.SetField(30, 0, Variant::FromString(regime));

    // Net amount: the total less the withholding, unless the client gave it.
    if (withholding_rate != 0) {
      if (Redondear(line->GetDbl("Liquido")) == 0) {
        const double net = !Trim(regime).empty()
                               ? a.total - a.total * withholding_rate * 0.01
                               : a.total - Redondear(base) * withholding_rate * 0.01;
        line->Set("Liquido", Variant::FromDouble(net));
      }
      book.SetField(31, 0, Variant::FromDouble(line->GetDbl("Liquido")));
    } else {
      book.SetField(31, 0, Variant::FromDouble(a.total));
    }

    book.SetField(20, 0, Variant::FromString(line->GetStr("SII_Pais")));
    book.SetFieldByName("Carga Impositiva", 0, Variant::FromString(line->GetStr("CuotaImplicita")));
    book.SetFieldByName("Cuota Recargo Minorista", 0,
                        Variant::FromString(line->GetStr("CuotaRecargoMinorista")));
    book.SetField(42, 0, Variant::FromString(line->GetStr("CuotaIIEE")));
    book.SetField(33, 0, Variant::FromString(Trim(line->GetStr("SII_Codigo"))));
    book.SetField(34, 0, Variant::FromString(kSiiPlaceholder));
    book.SetField(35, 0, Variant::FromString(sii_id));
    const std::string extended = Trim(line->GetStr("SII_FacturaExtendida"));
    book.SetField(36, 0, Variant::FromString(extended.empty() ? Trim(invoice) : extended));
    book.SetField(37, 0, Variant::FromString(kSiiPlaceholder));
    book.SetField(38, 0, Variant::FromString(""));
    SetOtherFields(book, line->GetStr("OtrosCampos"));
    book.Update();

    ctx.sii_pending.push_back(
        {book.LastRecordNumber(), sii_id + "~" + line->GetStr("SII_DescripcionDocumento") + "~~~" +
                                      Trim(line->GetStr("SII_FacturaRectificativa_DUA"))});
    ctx.vat_posted = true;
  }
}

void CompletarSii(PostingContext& ctx) {
  if (ctx.sii_pending.empty()) return;
  const server::EnlaceState& s = ctx.e.state();
  data::TableComponent book;
  book.OpenCompanyTable("IVA01", s.company_directory, s.company_number);
  const std::string today = ShortDate(platform::CurrentEnv()->GetClock().Now());
  // Records of other entries may carry the same identifier (another program
  // posting in the same second): only this entry's are completed.
  const std::string entry = platform::Utf8ToCp1252(ctx.entry_number);
  auto of_this_entry = [&] {
    const std::string stored = book.GetFieldBytes(8);  // its whole width
    return RTrim(stored) == RTrim(entry.substr(0, stored.size()));
  };
  for (const PostingContext::SiiPending& pending : ctx.sii_pending) {
    const SiiParts p = SplitSii(pending.text);
    // The record written a moment ago, under the same company lock; the
    // identifier is looked for only when that record no longer carries it
    // (a search by identifier reads the whole book: it has no index).
    book.GoToRecord(pending.record);
    if (book.IsEof() || RTrim(book.GetFieldBytes(35)) != RTrim(platform::Utf8ToCp1252(p.id)) ||
        !of_this_entry()) {
      book.SetFilter("ID SII = " + p.id);
      while (!book.IsEof() && !of_this_entry()) book.MoveNext();
    }
    if (book.IsEof()) continue;
    book.Edit();
    book.SetField(35, 0, Variant::FromString(""));
    book.SetField(34, 0, Variant::FromString(p.description));
    book.SetFieldByName("FECHA GRABACION", 0, Variant::FromString(today));
    book.SetField(37, 0, Variant::FromString(p.reference));
    book.SetField(38, 0, Variant::FromString(""));
    book.Update();
  }
}

int32_t ExisteIva(server::Enlace& e, const std::string& referencia) {
  e.ComprobarEmpresaAbierta();
  if (e.state().web_mode) {
    // A header line of field numbers, then one line per record. Lines left
    // empty (the end of a last line, an empty answer) are no records.
    const std::string answer =
        web::BuscarWebTexto(e.web_session(), "FACTURA No.=" + referencia, "IVA01");
    int32_t rows = 0;
    size_t start = answer.find('\n');
    while (start != std::string::npos) {
      const size_t end = answer.find('\n', start + 1);
      std::string line =
          answer.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) ++rows;
      start = end;
    }
    return rows;
  }
  int32_t count = 0;
  platform::Status failure;
  platform::Status st = data::OpenTableFile(kVatBookSlot, "IVA01", 1, e.state().company_directory,
                                            e.state().company_number);
  if (st.ok()) {
    data::Slot& slot = data::GetSlot(kVatBookSlot);
    const int field = slot.FieldByCode(kInvoiceField);
    slot.ClearValues();
    slot.SetText(field, referencia);
    const std::string key = data::ComposeKey(slot, kInvoiceIndex);
    for (auto r = data::SeekEqual(kVatBookSlot, kInvoiceIndex, key);;
         r = data::MoveNext(kVatBookSlot)) {
      if (!r.ok()) {
        failure = r.status();
        break;
      }
      if (!*r || data::ComposeKey(slot, kInvoiceIndex) != key) break;
      ++count;
    }
  } else {
    failure = st;
  }
  e.CerrarArchivos(false);
  if (!failure.ok()) RaiseFileError(failure);
  return count;
}

}  // namespace qrole::posting
