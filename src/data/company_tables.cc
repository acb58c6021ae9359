#include "data/company_tables.h"

#include <array>

#include "data/currency_table.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/record_file.h"
#include "platform/file_identity.h"

namespace qrole::data {

namespace {

// What OpenCompanyTables put into one slot, and the files it found.
struct KeptTable {
  uint64_t serial = 0;  // the slot's opening; 0 when nothing is kept
  std::string data_stamp;
  std::string index_stamp;
  std::string definition_path;
  std::string definition_version;
};

struct KeptSet {
  std::string directory;
  std::string number;
  std::string program_directory;
  std::array<KeptTable, kSlotCount> tables;
};

KeptSet& Kept() {
  static auto* kept = new KeptSet();
  return *kept;
}

// True when `slot` still holds, unchanged, the table kept in it.
bool StillKept(int slot, const KeptTable& kept) {
  const Slot& s = GetSlot(slot);
  return kept.serial != 0 && s.is_open() && s.has_index() && s.open_serial() == kept.serial &&
         platform::FileStamp(s.data_path()) == kept.data_stamp &&
         platform::FileStamp(s.index_path()) == kept.index_stamp &&
         platform::FileVersion(kept.definition_path) == kept.definition_version;
}

KeptTable Remember(int slot, std::string_view table) {
  const Slot& s = GetSlot(slot);
  KeptTable kept;
  if (!s.is_open() || !s.has_index()) return kept;
  kept.data_stamp = platform::FileStamp(s.data_path());
  kept.index_stamp = platform::FileStamp(s.index_path());
  kept.definition_path = DefinitionFilePath(table);
  kept.definition_version = platform::FileVersion(kept.definition_path);
  // Without a way to see a change, nothing is kept.
  if (kept.data_stamp.empty() || kept.index_stamp.empty() || kept.definition_version.empty())
    return kept;
  kept.serial = s.open_serial();
  return kept;
}

}  // namespace

const std::vector<std::pair<int, std::string>>& CatalogueTables() {
  static const std::vector<std::pair<int, std::string>> tables = {
      {1, "PLANC"}, {2, "EXTRA"}, {3, "DATOS"}, {4, "IVA01"}, {5, "EFECT"},
      {6, "Presu"}, {8, "Costo"}, {9, "PlanA"}, {10, "Anali"}};
  return tables;
}

platform::Status OpenCompanyTables(const std::string& directory, const std::string& number,
                                   int currency_base) {
  SetCompany(directory, number);
  KeptSet& kept = Kept();
  const bool keeping = platform::KeepFilesOpenBetweenCalls();
  if (!keeping || kept.directory != directory || kept.number != number ||
      kept.program_directory != Globals().program_directory) {
    kept = KeptSet();
    kept.directory = directory;
    kept.number = number;
    kept.program_directory = Globals().program_directory;
  }
  platform::Status first;
  for (const auto& [slot, table] : CatalogueTables()) {
    KeptTable& k = kept.tables[static_cast<size_t>(slot)];
    if (keeping && StillKept(slot, k)) {
      GetSlot(slot).ClearValues();
      continue;
    }
    platform::Status s = OpenTableFile(slot, table, 1, directory, number);
    if (!s.ok() && first.ok()) first = s;
    k = s.ok() && keeping ? Remember(slot, table) : KeptTable();
  }
  platform::Status currencies = LoadCurrencyTable(currency_base, directory, number);
  if (!currencies.ok() && first.ok()) first = currencies;
  SetReopenCatalogueHook([directory, number, currency_base] {
    return OpenCompanyTables(directory, number, currency_base);
  });
  return first;
}

void CloseFilesBetweenCalls() {
  if (!platform::KeepFilesOpenBetweenCalls()) {
    CloseAllFiles();
    return;
  }
  const KeptSet& kept = Kept();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const KeptTable& k = kept.tables[static_cast<size_t>(slot)];
    const Slot& s = GetSlot(slot);
    if (k.serial != 0 && s.is_open() && s.open_serial() == k.serial) continue;
    if (s.is_open() || Engine().IsOpen(slot)) CloseTableFile(slot);
  }
}

}  // namespace qrole::data
