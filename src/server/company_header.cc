#include "server/company_header.h"

#include <stdexcept>

#include "platform/text_encoding.h"

namespace qrole::server {

const std::vector<HeaderField>& HeaderFields() {
  static const std::vector<HeaderField> fields = {
      {"COMUN", 1, 2, 8},
      {"ANALITICA", 3, 1, 9},
      {"CANAL", 4, 1, 9},
      {"ACREEDORPRESU", 5, 1, 9},
      {"EFECTOS1", 6, 20, 0},
      {"NIVEL", 26, 5, 0},
      {"AUX", 31, 4, 0},
      {"IVAIGIC", 35, 1, 0},
      {"CONTADORANALITICA", 36, 6, 0},
      {"APUNTES", 42, 4, 2},
      {"PAGINAS", 46, 4, 2},
      {"CARGOSA", 50, 8, 3},
      {"ABONOSA", 58, 8, 3},
      {"CARGOSD", 66, 8, 3},
      {"ABONOSD", 74, 8, 3},
      {"BORRADOR", 82, 1, 0},
      {"CANALACTIVO", 83, 3, 0},
      {"LINEAS", 86, 2, 0},
      {"COMPRIMIDO", 88, 2, 0},
      {"MES", 90, 2, 8},
      {"AÑO", 92, 2, 8},
      {"CLAVE4", 94, 1, 0},
      {"CHECK", 95, 1, 0},
      {"PASSWORD1", 96, 4, 21},
      {"PASSWORD2", 100, 4, 21},
      {"AUTOMATICO", 104, 1, 0},
      {"AVISOS", 105, 1, 0},
      {"ACTUALIZADO", 106, 1, 0},
      {"EFECTOS2", 107, 20, 0},
      {"DOCUMENTO", 127, 6, 0},
      {"MONTH_CHECK", 133, 1, 9},
      {"CUENTACANAL", 134, 7, 0},
      {"FECHALIMITE", 141, 6, 5},
      {"PRESUPUESTOANALITICO", 147, 1, 9},
      {"MOSTRAREMPRESAS", 148, 1, 9},
      {"MINUTOSDESDEULTIMACOPIA", 149, 2, 4},
      {"CARTERAULTIMAPENULTIMA", 151, 1, 9},
      {"CANALALFA", 152, 1, 9},
      {"REFERENCIA", 153, 1, 9},
      {"CONTADOR1", 154, 4, 4},
      {"CONTADOR2", 158, 4, 4},
      {"CONTADOR3", 162, 4, 4},
      {"NULL3", 166, 7, 0},
      {"RecalcularPresupuesto", 171, 1, 0},
      {"ARCHIVOMONEDABASE", 173, 1, 9},
      {"NUEVAAMORT", 174, 1, 9},
      {"NUM_DIARIO", 175, 1, 9},
      {"DIAROIO_COLOR", 176, 1, 9},
      {"VERSION", 177, 4, 2},
      {"APERTURA", 181, 2, 8},
      // The last entry number used, six digits (blank in a new company).
      {"CONTADORASIENTOS", 183, 6, 0},
      {"NULL4", 183, 330, 0},
      {"DIRECCION", 513, 35, 0},
      {"CP", 548, 5, 0},
      {"POBLACION", 553, 30, 0},
      {"PROVINCIA", 583, 30, 0},
      {"CAPITAL_SOCIAL", 613, 8, 3},
      {"NIF", 621, 15, 0},
      {"REF", 636, 10, 0},
      {"IVA1", 646, 20, 0},
      {"IVA2", 666, 20, 0},
      {"IVA3", 686, 20, 0},
      {"IVA4", 706, 20, 0},
      {"IVA5", 726, 20, 0},
      {"IVA6", 746, 20, 0},
      {"NIVEL1", 26, 1, 0},
      {"NIVEL2", 27, 1, 0},
      {"NIVEL3", 28, 1, 0},
      {"NIVEL4", 29, 1, 0},
      {"NIVEL5", 30, 1, 0},
      {"AUX1", 31, 1, 0},
      {"AUX2", 32, 1, 0},
      {"AUX3", 33, 2, 0},
  };
  return fields;
}

HeaderField CampoCabecera(std::string_view name) {
  for (const HeaderField& f : HeaderFields())
    if (platform::EqualsIgnoreCase(f.name, name)) return f;
  return HeaderField{"", 0, 0, 0};
}

std::string HeaderBytes(const std::string& header, std::string_view name) {
  HeaderField f = CampoCabecera(name);
  if (f.position == 0) throw std::logic_error("no header field " + std::string(name));
  size_t start = static_cast<size_t>(f.position - 1);
  if (start >= header.size()) return std::string(static_cast<size_t>(f.length), ' ');
  std::string bytes = header.substr(start, static_cast<size_t>(f.length));
  bytes.resize(static_cast<size_t>(f.length), ' ');
  return bytes;
}

std::string HeaderText(const std::string& header, std::string_view name) {
  return platform::Cp1252ToUtf8(HeaderBytes(header, name));
}

void SetHeaderText(std::string* header, std::string_view name, std::string_view utf8) {
  HeaderField f = CampoCabecera(name);
  if (f.position == 0) throw std::logic_error("no header field " + std::string(name));
  std::string bytes = platform::Utf8ToCp1252(utf8);
  bytes.resize(static_cast<size_t>(f.length), ' ');
  if (header->size() < kHeaderSize) header->resize(kHeaderSize, ' ');
  header->replace(static_cast<size_t>(f.position - 1), bytes.size(), bytes);
}

}  // namespace qrole::server
