// Process-wide state of the data layer.
//
// Design: one DataGlobals per process, shared by every Enlace object (one
// automation thread serves them all, one call at a time, so it needs no
// lock). It holds the sixteen record slots, the keyed engine's three globals
// (EngineCommand, EngineRecord, EngineStatus), the index maintenance flag,
// and the copies of the open company's directory and two-digit number from
// which every company file name is built. The server layer sets the company
// fields and the flag when a company is opened (SetCompany,
// SetIndexMaintenance, SetFiscalYear); the data layer only reads them.
//
// The status-29 retry of AppendRecord reopens the company's catalogue tables;
// that step belongs to the catalogue, which registers it with
// SetReopenCatalogueHook.

#ifndef QROLE_DATA_GLOBALS_H_
#define QROLE_DATA_GLOBALS_H_

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "data/slot.h"
#include "platform/status.h"

namespace qrole::data {

struct DataGlobals {
  std::array<Slot, kSlotCount> slots;

  // The keyed engine's globals: the last command sent through
  // SendEngineCommand (or an append or cancellation), the record number it
  // returned and its status.
  std::string engine_command;
  int32_t engine_record = 0;
  int16_t engine_status = 0;

  // Set when a company is opened locally: turns on the record lock around a
  // cancellation (and around UpdateField), the status-29 reopen-and-retry of
  // an append, and the empty-file check when an index is opened.
  bool index_maintenance = false;

  // Copies of the open company: directory (any separator, with or without
  // its trailing separator) and two-digit number.
  std::string company_directory;
  std::string company_number;
  // The program directory (registry value "Directory" read at start-up):
  // where the definition files are.
  std::string program_directory;

  // The open fiscal year, for the date codec's dd/mm form.
  std::string fiscal_year = "00";
  std::string second_year = "01";
  int opening_month = 1;
};

// The process's data-layer state.
DataGlobals& Globals();

// The slot numbered `slot` (0..15); a closed scratch slot for any other
// number, so that a wrong number never touches a real table.
Slot& GetSlot(int slot);
bool IsSlotNumber(int slot);

// Setters for the layers above.
void SetCompany(std::string_view directory, std::string_view number);
void SetProgramDirectory(std::string_view directory);
void SetIndexMaintenance(bool on);
// Year "AÑO" (two digits) and opening month "APERTURA" of the open company;
// the second year is computed (99 is followed by 00).
void SetFiscalYear(std::string_view year, int opening_month);

// The catalogue's "reopen the company's tables" step, run by the status-29
// retry of AppendRecord after every file has been closed. An empty hook
// removes it. Returns the hook set before.
using ReopenCatalogueHook = std::function<platform::Status()>;
ReopenCatalogueHook SetReopenCatalogueHook(ReopenCatalogueHook hook);
// Runs the hook; NotFound when none is set.
platform::Status ReopenCatalogue();

// Closes every slot and index file and resets the state to its initial
// values (the hook included). For tests and for the server's shutdown.
void ResetDataLayer();

}  // namespace qrole::data

#endif  // QROLE_DATA_GLOBALS_H_
