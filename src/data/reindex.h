// Rebuilding a table's index file from its record file, and checking that
// the two agree.
//
// The index of a table holds, for every record that is not cancelled, one
// entry (key, record number) per index; cancelled records ("ANULADO") have
// none. The record counter of the index file is above every record the
// record file holds, so that no number is ever given twice.

#ifndef QROLE_DATA_REINDEX_H_
#define QROLE_DATA_REINDEX_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qrole::data {

// Rebuilds the index file open under `slot` (the table opened with its
// index) from the record file, in one transaction of the index file: its
// users see the old index until the new one is complete. Records that are
// not cancelled get their keys; the record counter continues after the
// file's last record. Serialised with other processes' creations and
// rebuilds of the same table. Changes another process makes to keys while
// the rebuild reads the record file may be missed: run it while the table is
// not being posted to.
platform::Status Reindex(int slot);

// Opens `table` of the company into `slot`, opens its index file or creates
// it when it cannot be opened, and rebuilds it (Reindex). The slot stays open
// with its index. For the reindex tool and the "Reindexar" messages.
platform::Status ReindexTable(int slot, std::string_view table, std::string_view company_directory,
                              std::string_view company_number);

// What VerifyIndex found.
struct IndexCheck {
  int64_t records = 0;                // whole records in the record file
  int64_t cancelled = 0;              // of which cancelled
  int64_t entries = 0;                // entries the indexes should hold
  int64_t missing = 0;                // expected entries not in the index
  int64_t extra = 0;                  // index entries no record accounts for
  uint32_t next_record = 0;           // the index file's record counter
  std::vector<std::string> problems;  // the first problems, for people

  bool ok() const { return missing == 0 && extra == 0 && problems.empty(); }
};

// Checks the index open under `slot` against the record file: every record
// that is not cancelled is in every index exactly once under its composed
// key, nothing else is there, and the record counter is above every record
// of the file.
platform::Result<IndexCheck> VerifyIndex(int slot);

}  // namespace qrole::data

#endif  // QROLE_DATA_REINDEX_H_
