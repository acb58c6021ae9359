// The open company's record files held open for keyed access for the length
// of one read, and the error a failed read of them raises. Shared by the
// lookups and the journal searches.
#ifndef QROLE_QUERY_KEYED_FILES_INTERNAL_H_
#define QROLE_QUERY_KEYED_FILES_INTERNAL_H_

#include <string>

#include "data/company_tables.h"
#include "data/globals.h"
#include "platform/status.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/enlace.h"

namespace qrole::query::internal {

// Opens the company's catalogue tables into the record slots and makes the
// company the current one of the record code; every file is closed again
// (the company stays open) however the read ends.
class KeyedFiles {
 public:
  explicit KeyedFiles(server::Enlace& e) : e_(e) { e.OpenCompanyFiles(); }
  ~KeyedFiles() { e_.CerrarArchivos(false); }
  KeyedFiles(const KeyedFiles&) = delete;
  KeyedFiles& operator=(const KeyedFiles&) = delete;

 private:
  server::Enlace& e_;
};

// A record file that cannot be read: 75 "Path/File access error", the table
// and the cause.
[[noreturn]] inline void RaiseReadFailure(const std::string& table,
                                          const platform::Status& status) {
  throw AutomationError(
      runtime_error::kFileAccess, kRuntimeSource,
      RuntimeErrorText(runtime_error::kFileAccess) + "\n" + table + ": " + status.ToString());
}

// True when a record is current after a keyed move; a failed move raises.
inline bool Current(const platform::Result<bool>& moved, const std::string& table) {
  if (!moved.ok()) RaiseReadFailure(table, moved.status());
  return *moved;
}

}  // namespace qrole::query::internal

#endif  // QROLE_QUERY_KEYED_FILES_INTERNAL_H_
