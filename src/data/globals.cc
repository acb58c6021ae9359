#include "data/globals.h"

#include <utility>

#include "data/date_codec.h"
#include "data/record_file.h"
#include "data/transaction_internal.h"

namespace qrole::data {

namespace {

ReopenCatalogueHook& Hook() {
  static auto* hook = new ReopenCatalogueHook();
  return *hook;
}

}  // namespace

DataGlobals& Globals() {
  static auto* globals = new DataGlobals();
  return *globals;
}

bool IsSlotNumber(int slot) { return slot >= 0 && slot < kSlotCount; }

Slot& GetSlot(int slot) {
  if (IsSlotNumber(slot)) return Globals().slots[static_cast<size_t>(slot)];
  static auto* scratch = new Slot();
  scratch->Close();
  return *scratch;
}

void SetCompany(std::string_view directory, std::string_view number) {
  Globals().company_directory = std::string(directory);
  Globals().company_number = std::string(number);
}

void SetProgramDirectory(std::string_view directory) {
  Globals().program_directory = std::string(directory);
}

void SetIndexMaintenance(bool on) { Globals().index_maintenance = on; }

void SetFiscalYear(std::string_view year, int opening_month) {
  DataGlobals& g = Globals();
  g.fiscal_year = std::string(year);
  g.second_year = FollowingTwoDigitYear(year);
  g.opening_month = opening_month;
}

ReopenCatalogueHook SetReopenCatalogueHook(ReopenCatalogueHook hook) {
  return std::exchange(Hook(), std::move(hook));
}

platform::Status ReopenCatalogue() {
  if (!Hook()) return platform::Status::NotFound("no catalogue to reopen");
  return Hook()();
}

void ResetDataLayer() {
  CloseAllFiles();
  internal::ForgetCompaniesForTesting();  // the logs and index files kept open too
  DataGlobals& g = Globals();
  g.engine_command.clear();
  g.engine_record = 0;
  g.engine_status = 0;
  g.index_maintenance = false;
  g.company_directory.clear();
  g.company_number.clear();
  g.program_directory.clear();
  g.fiscal_year = "00";
  g.second_year = "01";
  g.opening_month = 1;
  Hook() = nullptr;
}

}  // namespace qrole::data
