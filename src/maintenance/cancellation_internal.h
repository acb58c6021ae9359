// What the cancellations of entries and lines share: opening the company's
// record slots, finding the records of a key, removing analytic lines, and
// cancelling records while keeping count of the index failures.
#ifndef QROLE_MAINTENANCE_CANCELLATION_INTERNAL_H_
#define QROLE_MAINTENANCE_CANCELLATION_INTERNAL_H_

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace qrole::data {
class Slot;
}
namespace qrole::server {
class Enlace;
}

namespace qrole::maintenance::internal {

// Record slots of the tables a cancellation touches besides the chart and
// the journal (journal_balances.h).
inline constexpr int kVatSlot = 4;
inline constexpr int kPortfolioSlot = 5;

// Raises 0x8004C35A "No se puede anular el apunte" with the table and what
// failed.
[[noreturn]] void RaiseFileFailure(const std::string& table, const std::string& what);
// Raises it when `status` is not ok.
void CheckFile(const platform::Status& status, const std::string& table);

// Opens the open company's tables into the record slots, with the process's
// copies of its directory and number. A table that does not open has said
// so; whatever then needs it raises.
void OpenCompanySet(server::Enlace& e);

// The key of index `index` of `slot` whose fields (by code) hold the given
// Windows-1252 values, each left-aligned in its field's width (cut when
// longer). The slot's values are changed.
std::string KeyOf(int slot, int index, const std::vector<std::pair<int, std::string>>& fields);

// Walks the records of `slot` whose key of index `index` is `key`, in index
// order, calling `visit(slot values, record number)` for each that is not
// cancelled. Raises when the index or the file fails.
void ForEachWithKey(int slot, int index, const std::string& key,
                    const std::function<void(const data::Slot&, int32_t)>& visit);

// True when a link number names analytic lines: a number other than 0.
bool IsAnalyticLink(const std::string& link);

// Cancels records, remembering the engine status a failed one left.
class Deletions {
 public:
  // Cancels record `record` of `slot` (CancelRecord); false when the record
  // could not be written cancelled (an index failure alone still gives true).
  bool Cancel(int slot, int32_t record);
  // Cancels a journal line and its attached document.
  void CancelJournalLine(int32_t record);
  bool failed() const { return failed_; }
  int16_t status() const { return status_; }

 private:
  bool failed_ = false;
  int16_t status_ = 0;
};

// Removes every analytic line of link number `link` (the journal field as
// stored), taking each out of the cost-centre balances first.
void RemoveAnalyticLines(const std::string& link, Deletions& deletions);

// Raises 0x8004C35A for an index that failed while records were cancelled.
[[noreturn]] void RaiseIndexFailure(int16_t status);

}  // namespace qrole::maintenance::internal

#endif  // QROLE_MAINTENANCE_CANCELLATION_INTERNAL_H_
