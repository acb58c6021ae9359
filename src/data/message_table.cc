#include "data/message_table.h"

#include <array>
#include <utility>

namespace qrole::data {

namespace {

std::array<std::string, 1001>& Table() {
  static std::array<std::string, 1001> table;
  return table;
}

}  // namespace

void FillMessageTable() {
  auto& t = Table();
  for (auto& s : t) s.clear();
  static const std::pair<int, const char*> kTexts[] = {
      {15, "Cuenta"},
      {153, "Archivo en uso por otro proceso"},
      {169, "ERROR INDEXADOS Nº"},
      {170, "Error indexados... Reindexar Archivo"},
      {180, "Error de protección en indexados ... Debe Reiniciar Windows"},
      {188, "No encontrado"},
      {189, "inexistente"},
      {333, "NOMBRE DE ARCHIVO INVALIDO"},
      {366, "Apertura"},
      {438, "TABLA"},
      {504, "*** MAYOR SIN TÍTULO ***"},
      {510, "Copiando"},
      {511, "Imposible copiar archivo"},
      {512, "Disco lleno"},
      {513, "Acceso denegado (Archivo está compartido por otro proceso)"},
      {514, "Disco no está preparado"},
      {515, "Error de path/archivo"},
      {516, "CREACIÓN ARCHIVO"},
  };
  for (const auto& [n, text] : kTexts) t[static_cast<size_t>(n)] = text;
}

const std::string& Message(int n) {
  static const std::string empty;
  if (n < 1 || n > 1000) return empty;
  return Table()[static_cast<size_t>(n)];
}

}  // namespace qrole::data
