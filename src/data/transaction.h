// Operations on a company that are whole or nothing: every record-file and
// index-file change made while a CompanyTransaction lives is held back, then
// logged in the company log and written out together when it commits.
//
//   data::CompanyTransaction tx(directory, number);  // lock, recover
//   ... read and write through the record code and the table component ...
//   tx.Commit();                                      // log, write, flush
//
// While a transaction is in force, files opened through OpenDataFile (the
// record code and the table component open every company file that way) and
// index files keep the changes in memory: reads see them, the files do not.
// Commit appends one log record, writes the changes into the files and the
// index files, and answers once the record is on disk (see Durability). An
// exception, or a transaction destroyed without Commit, leaves the files as
// they were.
//
// The company lock (a byte-range lock on the company log) is held from the
// constructor to the end of Commit, so operations of every process on one
// company run one at a time. It is waited for up to the lock timeout, then the
// busy error kFileInUseError is raised.
//
// A transaction begun while another is in force on the same company joins it:
// only the outermost one commits. One thread uses the transactions of a
// process.
#ifndef QROLE_DATA_TRANSACTION_H_
#define QROLE_DATA_TRANSACTION_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace qrole::data {

namespace internal {
struct TxState;
}

class CompanyTransaction {
 public:
  // Locks the company, brings it back whole when a process died in the middle
  // of an operation, and begins holding back changes.
  CompanyTransaction(const std::string& company_directory, const std::string& company_number);
  // Without Commit: every change held back is dropped.
  ~CompanyTransaction();
  CompanyTransaction(const CompanyTransaction&) = delete;
  CompanyTransaction& operator=(const CompanyTransaction&) = delete;

  // Writes every change out (see the top of this file). After a failure
  // nothing is changed and the error is raised. Nothing for a joined
  // transaction: the outermost one commits.
  void Commit();

  bool joined() const { return state_ == nullptr; }

 private:
  std::shared_ptr<internal::TxState> state_;
};

// True while a transaction is in force in this process.
bool InTransaction();

// Says that the operation in force is complete and must be kept although an
// error is raised next (a problem reported once everything is written): the
// transaction commits when the error leaves it instead of dropping the
// changes. With `keep` false, takes that back. Nothing when no transaction is
// in force.
void KeepChangesWhenRaising(bool keep = true);
// True when KeepChangesWhenRaising was called in the transaction in force.
bool KeepingChangesWhenRaising();

// Says that the operation in force may reach the disk with the next
// operation's flush instead of its own: what it writes may be lost in a power
// cut without harm (a number reserved and not yet used). Only for an
// operation that makes one small write and no index change: its bytes may
// reach the disk before its log record does, and only a single write is
// then whole by itself. A process that dies loses nothing of it. Nothing when
// no transaction is in force.
void FlushWithNextOperation();

// Opens a company file through the transaction layer: while a transaction is
// in force its writes are held back and its reads see them. Same contract as
// FileSystem::Open.
platform::Result<std::unique_ptr<platform::File>> OpenDataFile(const std::string& path,
                                                               platform::OpenMode mode);

// Makes sure the company is whole before it is read: when a process died in
// the middle of an operation, takes the company lock and completes it.
// Cheap when there is nothing to do (two reads of the company log). Raises
// the busy error when the lock cannot be had.
void RecoverCompany(const std::string& company_directory, const std::string& company_number);

// Writes every change of the company's log into the record and index files,
// flushes them all to disk and empties the log (also done by itself when the
// log grows large). Raises the busy error when the lock cannot be had.
void CheckpointCompany(const std::string& company_directory, const std::string& company_number);

// How long commits wait for the disk and the lock: read from the product
// settings ("FlushIntervalMs", "LockTimeoutMs") the first time a transaction
// needs them; ReloadTransactionSettings reads them again.
struct TransactionSettings {
  // 0: a commit answers once its record is on disk (the default). N > 0: a
  // commit flushes the log only when the last flush is N ms old or more, so
  // a power cut may lose the operations committed in the last N ms (each
  // whole or absent); a process that dies loses nothing.
  int flush_interval_ms = 0;
  // How long an operation waits for the company lock.
  int lock_timeout_ms = 30000;
};
TransactionSettings& CurrentTransactionSettings();
void ReloadTransactionSettings();

}  // namespace qrole::data

#endif  // QROLE_DATA_TRANSACTION_H_
