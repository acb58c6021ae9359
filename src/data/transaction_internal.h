// What the index files and the recovery share with the company transaction.
#ifndef QROLE_DATA_TRANSACTION_INTERNAL_H_
#define QROLE_DATA_TRANSACTION_INTERNAL_H_

#include <memory>
#include <string>
#include <vector>

#include "data/company_log.h"

namespace qrole::data::internal {

class IndexEnv;

// True while a company transaction is in force in this process.
bool TransactionInForce();

// platform::FileIdentity of `path`, remembered: resolving a path costs a
// look at the file system for each of its folders.
const std::string& CachedFileIdentity(const std::string& path);

// Closes the companies' logs this process keeps open (tests: a new process).
void ForgetCompaniesForTesting();

// Closes the files commits keep open for writing.
void ReleaseCommitFiles();

// Makes `env` part of the transaction in force: its long write transaction
// begins, and the transaction commits or aborts it. Returns an LMDB code.
int JoinTransaction(const std::shared_ptr<IndexEnv>& env);

// A file or index file named in a log record, as a path to open: names are
// relative to the company directory `directory` (ending with a separator).
std::string LoggedPath(const std::string& directory, const std::string& file);
// The inverse: `path` relative to `directory` when it lies there.
std::string LoggedName(const std::string& directory, const std::string& path);

// What recovery found and did.
struct RedoReport {
  int records = 0;                 // records written again
  int conflicts = 0;               // places changed by another program since: left alone
  std::vector<std::string> notes;  // one line per conflict or failure
};

// Writes the changes of `records` (in log order) into the files of the
// company in `directory`. Bytes are written only where the file holds one of
// the states the records passed through (so another program's later changes
// are never undone); index changes are made again (each is idempotent).
platform::Status RedoRecords(const std::string& directory, const std::vector<FoundRecord>& records,
                             RedoReport* report);

}  // namespace qrole::data::internal

#endif  // QROLE_DATA_TRANSACTION_INTERNAL_H_
