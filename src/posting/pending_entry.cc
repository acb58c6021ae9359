#include "posting/pending_entry.h"

#include <memory>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/record_object.h"
#include "ledger/audit_log.h"
#include "server/dates.h"
#include "server/enlace.h"

namespace qrole::posting {

namespace {

using server::Col;

std::shared_ptr<RecordObject> NewRecord(const char* class_name) {
  return RecordObject::Create(class_name);
}

// Adds `r` to collection `c` and hands it back as the member's result.
Variant Append(server::Enlace& e, Col c, const std::shared_ptr<RecordObject>& r) {
  Variant v = Variant::FromObject(r);
  e.collection(c).Add(v);
  return v;
}

// A number as the runtime writes it into text (the locale's decimal
// separator, no thousands separator).
std::string Text(double d) { return ToStr(Variant::FromDouble(d)); }

// The stored form of an invoice date: a compact date (131231) is converted
// as it stands; a date with "/" is first written dd/mm/yy.
std::string InvoiceDate(const std::string& text) {
  if (text.find('/') == std::string::npos) return server::ConvertirFecha(text);
  return server::ConvertirFecha(FormatShortDate(text));
}

}  // namespace

Variant AnadirApunte(server::Enlace& e, Args& a) {
  e.SetEntryStarted(true);
  auto r = NewRecord("ApunteClass");
  r->Set("Cuenta", a[0]);
  r->Set("Descripción", a[1]);
  r->Set("TIPO", a[2]);
  r->Set("Importe", a[3]);
  r->Set("Diario", a[4]);
  r->Set("Referencia", a[7]);
  if (a[5].IsString() && a[5].str().empty()) a.ref(5) = Variant::FromInteger(0);
  r->Set("Punteo", Variant::FromByte(ToByte(a[5])));
  r->Set("Canal", a[6]);
  r->Set("NOTAS", a[8]);
  r->Set("ArchivoImagen", a[9]);
  r->Set("CodigoBloqueo", a[10]);
  r->Set("OtrosCampos", a[11]);
  Variant result = Append(e, Col::kApuntes, r);
  ledger::AuditoriaSave(e, "Se añade un apunte: Cuenta=" + a.Str(0) + ";Descripción=" + a.Str(1) +
                               ";Tipo=" + a.Str(2) + ";Importe=" + Text(a.Dbl(3)) +
                               ";Diario=" + a.Str(4) + ";Punteo=" + a.Str(5) +
                               ";Canal=" + a.Str(6) + ";Referencia=" + a.Str(7) +
                               ";Notas=" + a.Str(8) + ";Archivo=" + a.Str(9));
  return result;
}

Variant AnadirIVA(server::Enlace& e, Args& a) {
  e.SetEntryStarted(true);
  auto r = NewRecord("IVAClass");
  r->Set("CuentaClienteProveedor", a[0]);
  r->Set("CuentaIVA", Variant::FromString(a.Str(1)));
  r->Set("Factura", a[2]);
  r->Set("FechaFactura", Variant::FromString(InvoiceDate(a.Str(3))));
  r->Set("TipoIva", a[4]);
  r->Set("SRTC", a[5]);
  r->Set("Base", a[6]);
  r->Set("TOTAL", a[7]);
  r->Set("Prorata", Variant::FromByte(RoundToByte(Val(a.Str(8)))));
  r->Set("titulo", a[9]);
  r->Set("NIf", a[10]);
  r->Set("NumeroOrden", a[11]);
  r->Set("CuotaProrrata", Variant::FromDouble(0));
  r->Set("Referencia", a[13]);
  r->Set("Seriefacturas", a[14]);
  r->Set("CLAVEOPERACION", a[12]);
  r->Set("PorcRetencion", a[15]);
  r->Set("RegimenEspecial", a[16]);
  r->Set("Liquido", Variant::FromDouble(0));
  r->Set("SII_Codigo", Variant::FromString(Trim(a.Str(17))));
  r->Set("SII_DescripcionDocumento", Variant::FromString(Trim(a.Str(18))));
  r->Set("SII_Id", Variant::FromString(Trim(a.Str(19))));
  const std::string extended = Trim(a.Str(20));
  r->Set("SII_FacturaExtendida", Variant::FromString(extended.empty() ? a.Str(2) : extended));
  r->Set("SII_FacturaRectificativa_DUA", Variant::FromString(Trim(a.Str(21))));
  r->Set("SII_PeriodoPresentacion", Variant::FromString(Trim(a.Str(22))));
  r->Set("SII_Pais", a[23]);
  r->Set("CuotaImplicita", Variant::FromString(Text(a.Dbl(24))));
  r->Set("CuotaRecargoMinorista", Variant::FromString(Text(a.Dbl(25))));
  r->Set("CuotaIIEE", Variant::FromString(Text(a.Dbl(26))));
  r->Set("OtrosCampos", a[27]);
  Variant result = Append(e, Col::kIva, r);
  ledger::AuditoriaSave(
      e, "Se añade un apunte al libro de IVA: CuentaClienteProveedor=" + a.Str(0) +
             ";CuentaIVA=" + a.Str(1) + ";Factura=" + a.Str(2) + ";FechaFactura=" + a.Str(3) +
             ";TipoIva=" + a.Str(4) + ";SRTC=" + a.Str(5) + ";Base=" + Text(a.Dbl(6)) +
             ";Total=" + Text(a.Dbl(7)) + ";Prorata=" + a.Str(8) + ";Titulo=" + a.Str(9) +
             ";NIf=" + a.Str(10) + ";NumeroOrden=" + a.Str(11) + ";ClaveOperacion=" + a.Str(12) +
             ";Referencia=" + a.Str(13) + ";SerieFacturas" + a.Str(14) +
             ";PorcRetencion=" + a.Str(15) + ";RegimenEspecial=" + a.Str(16) +
             ";CodigoSII=" + a.Str(17) + ";DescripcionSII=" + a.Str(18) + ";Id_SII=" + a.Str(19) +
             ";Factura60Caracteres=" + a.Str(20) + ";NoFacturaRectificativa_DUA=" + a.Str(21) +
             ";PeriodoPresentacion" + a.Str(22));
  return result;
}

Variant AnadirCartera(server::Enlace& e, Args& a) {
  e.SetEntryStarted(true);
  auto r = NewRecord("CarteraClass");
  r->Set("FechaVencimiento", a[0]);
  r->Set("Cuenta", a[1]);
  r->Set("cartera", a[2]);
  r->Set("NOTAS", a[3]);
  r->Set("Importe", a[4]);
  r->Set("Fecha", a[5]);
  r->Set("Marca", a[6]);
  Variant result = Append(e, Col::kCartera, r);
  ledger::AuditoriaSave(e, "Se añade un registro de cartera: FechaVencimiento=" + a.Str(0) +
                               ";Cuenta=" + a.Str(1) + ";Cartera=" + a.Str(2) +
                               ";Notas=" + a.Str(3) + ";Importe=" + Text(a.Dbl(4)) +
                               ";FechaApunte=" + a.Str(5) + ";Marca=" + a.Str(6));
  return result;
}

Variant AnadirAnalitica(server::Enlace& e, Args& a) {
  auto r = NewRecord("AnaliticaClass");
  r->Set("CuentaContable", a[0]);
  r->Set("CuentaAnalitica", Variant::FromString(a.Str(1)));
  r->Set("Descripción", a[2]);
  r->Set("Importe", a[4]);
  Variant result = Append(e, Col::kAnalitica, r);
  ledger::AuditoriaSave(e, "Se añade un apunte analítico: CuentaContable=" + a.Str(0) +
                               ";CuentaAnalitica=" + a.Str(1) + ";Descripción=" + a.Str(2) +
                               ";Tipo=" + Trim(a.Str(3)) + ";Importe=" + Trim(Text(a.Dbl(4))) +
                               ";Diario=" + a.Str(5) + ";Punteo=" + Trim(a.Str(6)) +
                               ";Canal=" + Trim(a.Str(7)));
  return result;
}

Variant AnadirRetencion(server::Enlace& e, Args& a) {
  e.SetEntryStarted(true);
  auto r = NewRecord("RetClass");
  static const char* const kFields[] = {
      "CliPro",        "Nombre",      "NIf",         "FacturaN",     "Base",        "CtaRet",
      "PRetencion",    "Provincia",   "CtaRetEsp",   "FechaFac",     "PRetEspecie", "BaseEsp",
      "Retencion",     "Retesp",      "Clave",       "EjerDev",      "CtaBaseEsp",  "Punteo",
      "Seriefacturas", "Subclave",    "FechaCP",     "Liquido",      "Ctagastos",   "Gastos",
      "CtaIngACta",    "IngCtaEfect", "IngCtaReper", "RefCatastral", "extra"};
  r->Set("NumOrden", Variant::FromString(""));
  for (size_t i = 0; i < std::size(kFields); ++i) r->Set(kFields[i], a[i]);
  return Append(e, Col::kRetenciones, r);
}

void AddVAT(server::Enlace& e, Args& a) {
  // The first seventeen arguments are AñadirIVA's; the SII ones are empty.
  std::vector<Variant> forwarded;
  for (size_t i = 0; i < 17; ++i) forwarded.push_back(a[i]);
  for (int i = 0; i < 7; ++i) forwarded.push_back(Variant::FromString(""));
  for (int i = 0; i < 3; ++i) forwarded.push_back(Variant::FromDouble(0));
  forwarded.push_back(a[17]);
  Args spanish(forwarded);
  AnadirIVA(e, spanish);
}

Variant CargarLineaIva(server::Enlace& e, Args& a) {
  e.SetEntryStarted(true);
  auto r = NewRecord("IVAClass");
  r->Set("CuentaClienteProveedor", a[0]);
  r->Set("CuentaIVA", Variant::FromString(a.Str(1)));
  r->Set("Factura", a[2]);
  r->Set("FechaFactura", a[3]);
  r->Set("TipoIva", a[4]);
  r->Set("SRTC", a[5]);
  r->Set("Base", a[6]);
  r->Set("TOTAL", a[7]);
  r->Set("Prorata", Variant::FromByte(RoundToByte(Val(a.Str(8)))));
  r->Set("titulo", a[9]);
  r->Set("NIf", a[10]);
  r->Set("NumeroOrden", a[11]);
  r->Set("CLAVEOPERACION", a[12]);
  r->Set("Referencia", a[13]);
  r->Set("Seriefacturas", a[14]);
  r->Set("FechaCobro", a[15]);
  r->Set("MedioCobro", a[16]);
  r->Set("DescripcionMedioCobro", a[17]);
  r->Set("CuotaProrrata", a[18]);
  r->Set("PorcRetencion", a[19]);
  r->Set("RegimenEspecial", a[20]);
  r->Set("Liquido", a[21]);
  r->Set("SII_Codigo", Variant::FromString(Trim(a.Str(22))));
  r->Set("SII_DescripcionDocumento", Variant::FromString(Trim(a.Str(23))));
  r->Set("SII_Id", Variant::FromString(Trim(a.Str(24))));
  r->Set("SII_FacturaExtendida", Variant::FromString(Trim(a.Str(25))));
  r->Set("SII_FacturaRectificativa_DUA", Variant::FromString(Trim(a.Str(26))));
  r->Set("SII_PeriodoPresentacion", Variant::FromString(Trim(a.Str(27))));
  return Append(e, Col::kIva, r);
}

}  // namespace qrole::posting
