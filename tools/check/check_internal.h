// Pieces the checks share: a table opened read-only beside the data layer's
// slots, a sequential pass over its records, field access on raw record
// bytes, and the findings collector.

#ifndef QROLE_TOOLS_CHECK_CHECK_INTERNAL_H_
#define QROLE_TOOLS_CHECK_CHECK_INTERNAL_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/check.h"
#include "data/definition_file.h"
#include "data/slot.h"
#include "platform/status.h"

namespace qrole::check::internal {

// How a record of a record file stands.
enum class RecordState : uint8_t {
  kLive,       // written and not cancelled
  kCancelled,  // starts with "ANULADO"
  kBlank,      // every byte zero: never written
};

RecordState StateOf(std::string_view record);

// One table of the company, its record file open for reading. The slot is
// the checker's own (not one of the data layer's sixteen): it carries the
// layout, and its values serve to compose keys.
struct TableFile {
  std::string table;       // as named in the catalogue ("EXTRA", "Costo")
  std::string data_path;   // resolved path of the record file
  std::string index_path;  // the index file's path (it may not exist)
  data::Slot slot;
  uint64_t size = 0;     // bytes of the record file
  int64_t records = 0;   // whole records
  bool partial = false;  // a partial record follows the whole ones

  const data::TableLayout& layout() const { return slot.layout(); }
  int length() const { return slot.record_length(); }
  // The field carrying `code`, 0 when none.
  int Field(int code) const { return slot.FieldByCode(code); }
};

// Opens `table` of the company (`number` in `directory`) read-only, with the
// layout of its definition file in the program directory. NotFound when the
// record file is missing; Corruption when the definition is unusable.
platform::Result<std::unique_ptr<TableFile>> OpenTable(const std::string& directory,
                                                       const std::string& number,
                                                       const std::string& table);

// Calls `fn(record, bytes)` for every whole record in record order (record
// numbers from 1), reading the file a megabyte at a time. Stops at the first
// read failure and returns it.
platform::Status ForEachRecord(TableFile& t,
                               const std::function<void(int64_t, std::string_view)>& fn);

// The raw bytes of field `field` in `record` (empty for an unknown field).
std::string_view RawField(const TableFile& t, std::string_view record, int field);
// The field's bytes without blanks or NULs at either end.
std::string TrimmedField(const TableFile& t, std::string_view record, int field);
// The field's bytes without trailing blanks or NULs.
std::string RightTrimmedField(const TableFile& t, std::string_view record, int field);
// A numeric field's value (0 for text that is no number, or an unknown field).
double NumberField(const TableFile& t, std::string_view record, int field);

// Stored date (yymmdd with the century letter) as dd/mm/yy for people; the
// bytes themselves when they are no date.
std::string DateForPeople(std::string_view stored);
// Windows-1252 bytes as UTF-8, trailing blanks removed.
std::string ForPeople(std::string_view cp1252);
// An amount with two decimals.
std::string Amount(double value);

// Collects faults and notes into a report, listing at most the options' count
// per kind and table.
class Findings {
 public:
  Findings(Report& report, const CheckOptions& options) : report_(report), options_(options) {}

  void AddFault(std::string kind, std::string table, int64_t record, std::string subject,
                std::string text);
  void AddNote(std::string kind, std::string table, int64_t record, std::string subject,
               std::string text);
  Report& report() { return report_; }

 private:
  void Add(bool fault, Fault f);

  Report& report_;
  const CheckOptions& options_;
  std::map<std::pair<std::string, std::string>, size_t> listed_;
};

// The checks, each over the tables it names (a table that is missing is
// skipped: the company has none of those records).
// Index files against record files, for every company table that has a
// record file and a definition.
void CheckIndexes(const std::string& directory, const std::string& number, Findings& findings);
// Entries, chart balances, cost-centre balances and the VAT book.
// `entry_counter` is the company's entry counter ("CONTADORASIENTOS"), and
// `cost_centre_levels` the lengths of the cost-centre levels (0 = none).
void CheckBooks(const std::string& directory, const std::string& number,
                const std::string& entry_counter, const std::vector<int>& cost_centre_levels,
                Findings& findings);

}  // namespace qrole::check::internal

#endif  // QROLE_TOOLS_CHECK_CHECK_INTERNAL_H_
