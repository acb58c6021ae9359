#include "data/company_tables.h"

#include "data/currency_table.h"
#include "data/globals.h"
#include "data/record_file.h"

namespace qrole::data {

const std::vector<std::pair<int, std::string>>& CatalogueTables() {
  static const std::vector<std::pair<int, std::string>> tables = {
      {1, "PLANC"}, {2, "EXTRA"}, {3, "DATOS"}, {4, "IVA01"}, {5, "EFECT"},
      {6, "Presu"}, {8, "Costo"}, {9, "PlanA"}, {10, "Anali"}};
  return tables;
}

platform::Status OpenCompanyTables(const std::string& directory, const std::string& number,
                                   int currency_base) {
  SetCompany(directory, number);
  platform::Status first;
  for (const auto& [slot, table] : CatalogueTables()) {
    platform::Status s = OpenTableFile(slot, table, 1, directory, number);
    if (!s.ok() && first.ok()) first = s;
  }
  platform::Status currencies = LoadCurrencyTable(currency_base, directory, number);
  if (!currencies.ok() && first.ok()) first = currencies;
  SetReopenCatalogueHook([directory, number, currency_base] {
    return OpenCompanyTables(directory, number, currency_base);
  });
  return first;
}

}  // namespace qrole::data
