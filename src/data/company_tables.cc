#include "data/company_tables.h"

#include <array>

#include "data/currency_table.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/record_file.h"
#include "platform/env.h"
#include "platform/file_identity.h"
#include "platform/path.h"

namespace qrole::data {

namespace {

// What OpenCompanyTables put into one slot, and the files it found.
struct KeptTable {
  uint64_t serial = 0;  // the slot's opening; 0 when nothing is kept
  std::string data_stamp;
  std::string index_stamp;
  std::string definition_path;
  std::string definition_version;
  // Both files lie in the company's directory under their own names (no
  // symbolic link): the directory's stamp covers them.
  bool in_directory = false;
};

struct KeptSet {
  std::string directory;
  std::string number;
  std::string program_directory;
  std::array<KeptTable, kSlotCount> tables;
  // The company directory's stamp when every kept table was last checked
  // (platform::DirectoryStamp); empty when it could not be had.
  std::string directory_stamp;
};

KeptSet& Kept() {
  static auto* kept = new KeptSet();
  return *kept;
}

// True when `slot` still holds, unchanged, the table kept in it. With
// `directory_unchanged`, no name of the company's directory changed since the
// last check: its files are the ones found then, unless reached through a link.
bool StillKept(int slot, const KeptTable& kept, bool directory_unchanged) {
  const Slot& s = GetSlot(slot);
  if (kept.serial == 0 || !s.is_open() || !s.has_index() || s.open_serial() != kept.serial)
    return false;
  if (!(directory_unchanged && kept.in_directory) &&
      (platform::FileStamp(s.data_path()) != kept.data_stamp ||
       platform::FileStamp(s.index_path()) != kept.index_stamp))
    return false;
  return platform::FileVersion(kept.definition_path) == kept.definition_version;
}

KeptTable Remember(int slot, std::string_view table, const std::string& resolved_directory) {
  const Slot& s = GetSlot(slot);
  KeptTable kept;
  if (!s.is_open() || !s.has_index()) return kept;
  kept.data_stamp = platform::FileStamp(s.data_path());
  kept.index_stamp = platform::FileStamp(s.index_path());
  kept.in_directory = platform::DirName(s.data_path()) == resolved_directory &&
                      platform::DirName(s.index_path()) == resolved_directory &&
                      !platform::IsSymbolicLink(s.data_path()) &&
                      !platform::IsSymbolicLink(s.index_path());
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
  // Taken before the tables are checked: a change made while they are is
  // seen at the next call.
  std::string resolved_directory, directory_stamp;
  if (keeping) {
    resolved_directory = platform::CurrentEnv()->Files().Resolve(directory);
    while (resolved_directory.size() > 1 && resolved_directory.back() == '/')
      resolved_directory.pop_back();
    directory_stamp = platform::DirectoryStamp(resolved_directory);
  }
  const bool directory_unchanged =
      !directory_stamp.empty() && directory_stamp == kept.directory_stamp;
  platform::Status first;
  for (const auto& [slot, table] : CatalogueTables()) {
    KeptTable& k = kept.tables[static_cast<size_t>(slot)];
    if (keeping && StillKept(slot, k, directory_unchanged)) {
      GetSlot(slot).ClearValues();
      continue;
    }
    platform::Status s = OpenTableFile(slot, table, 1, directory, number);
    if (!s.ok() && first.ok()) first = s;
    k = s.ok() && keeping ? Remember(slot, table, resolved_directory) : KeptTable();
  }
  kept.directory_stamp = directory_stamp;
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
