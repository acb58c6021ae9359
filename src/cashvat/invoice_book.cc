// An invoice's lines in the VAT book: which are collections, what is left of
// an invoice line, the previous fiscal year's book, order numbers and the
// texts of a collection line.

#include <cstdio>
#include <string_view>

#include "automation/convert.h"
#include "cashvat/cash_basis_internal.h"
#include "data/condition_values.h"
#include "data/table_component.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_catalogue.h"
#include "server/enlace.h"
#include "util/amounts.h"

namespace qrole::cashvat {

namespace {

// Invoice books and the collection book of each, position by position.
constexpr std::string_view kLibrosFactura = "SRTCFGKL";
constexpr std::string_view kLibrosCobro = "VWXYWVYX";

bool EndsWithQrt(const std::string& path) {
  if (path.size() < 4) return false;
  return platform::ToUpperCase(path.substr(path.size() - 4)) == ".QRT";
}

}  // namespace

std::string LibroIva(const server::Enlace& e) {
  return e.state().company_directory + "iva01" + e.state().company_number + ".qrd";
}

std::optional<EmpresaAnterior> BuscarEmpresaAnterior(server::Enlace& e) {
  // A bare name is in the company directory.
  std::string path = server::EmpresaAnioAnterior(e);
  if (path.empty()) return std::nullopt;
  if (!EndsWithQrt(path)) path += ".QRT";

  platform::FileSystem& files = platform::CurrentEnv()->Files();
  auto content = files.ReadAll(path);
  if (!content.ok()) {
    // A company file that is not there has no content.
    if (content.status().IsNotFound()) return std::nullopt;
    RaiseRuntimeError(runtime_error::kFileAccess);
  }
  if (content->empty()) return std::nullopt;

  EmpresaAnterior anterior;
  anterior.numero = platform::Cp1252ToUtf8(content->substr(0, 2));
  anterior.libro = server::SepararRuta(path).directory + "iva01" + anterior.numero + ".qrd";
  // Only a book that exists is read (opening one would create it), and never
  // the open company's own book a second time.
  if (!files.Exists(anterior.libro)) return std::nullopt;
  if (files.Resolve(anterior.libro) == files.Resolve(LibroIva(e))) return std::nullopt;
  return anterior;
}

std::string FiltroFactura(const std::string& cuenta, const std::string& factura) {
  return "CLIENTE/PROVEEDOR = " + cuenta + " and factura No. =" + factura;
}

int32_t DiaDeFecha(const std::string& text) { return data::ParseDateValue(text).value_or(0); }

std::string Texto(data::TableComponent& libro, int campo) {
  return Trim(ToStr(libro.GetField(campo)));
}

double Importe(data::TableComponent& libro, int campo) {
  return util::Redondear(ToDouble(libro.GetField(campo)));
}

bool TieneFechaCobro(data::TableComponent& libro) {
  return DiaDeFecha(Texto(libro, kFechaCobro)) != 0;
}

bool EsLineaCobro(data::TableComponent& libro) {
  if (!TieneFechaCobro(libro)) return false;
  const std::string letra = platform::ToUpperCase(Texto(libro, kLetra));
  return letra.empty() || std::string_view("VWXY").find(letra) != std::string_view::npos;
}

Restos RestoFacturaCaja(const server::Enlace& e, const std::string& cuenta,
                        const std::string& factura, const std::string& tipo_iva,
                        const std::optional<EmpresaAnterior>& anterior,
                        const std::string& fecha_factura) {
  Restos r;
  const int32_t dia = DiaDeFecha(fecha_factura);
  auto sumar = [&](const std::string& path) {
    data::TableComponent libro;
    libro.OpenTable(path);
    libro.SetFilter(FiltroFactura(cuenta, factura) + " and TIPO IVA/IGIC =" + tipo_iva);
    for (; !libro.IsEof(); libro.MoveNext()) {
      if (DiaDeFecha(Texto(libro, kFechaFactura)) != dia) continue;
      const double signo = EsLineaCobro(libro) ? -1 : 1;
      r.base += signo * Importe(libro, kBase);
      r.cuota += signo * Importe(libro, kCuota);
      r.total += signo * Importe(libro, kTotal);
      r.retencion += signo * Importe(libro, kRetencion);
      r.liquido += signo * Importe(libro, kLiquido);
    }
    libro.Close();
  };
  sumar(LibroIva(e));
  if (anterior) sumar(anterior->libro);
  return r;
}

std::string SiguienteNumeroOrden(const std::string& libro, const std::string& letra) {
  data::TableComponent t;
  t.OpenTable(libro);
  t.SetFilter("S/R/T/C =" + letra);
  t.SetOrder("NUMERO DE ORDEN");
  t.MoveLast();
  double siguiente = 1;
  if (t.RecordCount() > 0) siguiente = Val(Texto(t, kNumeroOrden)) + 1;
  t.Close();
  return FormatNumber(siguiente, "0000000000");
}

std::string LetraCobro(const std::string& letra_factura) {
  const std::string letra = platform::ToUpperCase(Trim(letra_factura));
  if (letra.empty()) return std::string(1, kLibrosCobro[0]);
  if (letra.size() != 1) return "";
  const size_t at = kLibrosFactura.find(letra[0]);
  return at == std::string_view::npos ? "" : std::string(1, kLibrosCobro[at]);
}

std::string LetraMedio(int32_t medio) {
  std::string texto = std::to_string(medio);
  if (texto.size() > 1) {
    const size_t digito = texto.find_first_of("0123456789");
    texto = texto.substr(digito, 1);
  }
  switch (texto[0]) {
    case '0':
      return "C";
    case '1':
      return "T";
    case '4':
      return "N";
    case '5':
      return "D";
    default:
      return "O";
  }
}

std::string TextoClaveOperacion(int32_t clave) { return clave != 0 ? std::to_string(clave) : "Z"; }

bool EsProveedor(const std::string& cuenta, const std::string& prefijos) {
  size_t start = 0;
  while (start <= prefijos.size()) {
    size_t coma = prefijos.find(',', start);
    if (coma == std::string::npos) coma = prefijos.size();
    const std::string prefijo = Trim(prefijos.substr(start, coma - start));
    start = coma + 1;
    // An empty item ("40,,41", a trailing comma) names no prefix: compared by
    // value it would make every account a supplier's.
    if (prefijo.empty()) continue;
    if (Val(cuenta.substr(0, prefijo.size())) == Val(prefijo)) return true;
  }
  return false;
}

}  // namespace qrole::cashvat
