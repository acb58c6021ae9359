// The keyed engine's index files: one LMDB environment per ".QRC" file.
//
// Design: an IndexEnv owns one environment (a single file, MDB_NOSUBDIR, with
// its "-lock" side file), the handles of its databases and one reusable
// read-only transaction with one cursor per index. Databases: "meta" (format
// tag, shape, next record number) and "1".."10", one per index, each sorted
// with duplicates (MDB_DUPSORT | MDB_DUPFIXED), the duplicate being the
// record number as 4 big-endian bytes so that duplicates sort by record
// number, that is in the order the records were appended.
//
// No transaction lives between two calls: Read renews the reusable read
// transaction, runs its function and resets it (a reset transaction pins no
// snapshot); Write begins a write transaction, runs its function and commits,
// so another process can always write. Write grows the map before it would
// fill (and on MDB_MAP_FULL, aborting and running the function again), and
// every transaction adopts a map grown by another process (MDB_MAP_RESIZED).
// Commits are not flushed to disk one by one (MDB_NOSYNC): a crash of the
// process loses nothing, a crash of the machine may lose the latest commits,
// which a rebuild from the record file restores; Sync and closing flush.
//
// LMDB must not open one file twice in one process: envs are shared through
// a registry keyed by path, and an env closes when its last user lets go.
// Where files may stay open between calls (platform::KeepFilesOpenBetweenCalls)
// the registry keeps the latest envs open itself, so that a call does not
// open an environment again (an open costs map set-up and megabytes of
// zeroed tables); each use checks that the file is still the one opened, and
// drops the env when it was removed or replaced.
// Not thread-safe: the engine is used by one thread at a time.
//
// Inside a company transaction (transaction.h) an env that is written joins
// it: one write transaction stays open until the company transaction ends,
// every Write runs in a child transaction of it, Read sees what it holds, and
// every change made through Put, Delete and Drop is kept for the company log.
// Nothing reaches the file before the company transaction commits.

#ifndef QROLE_DATA_INDEX_STORE_INTERNAL_H_
#define QROLE_DATA_INDEX_STORE_INTERNAL_H_

#include <lmdb.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/company_log.h"
#include "data/definition_file.h"

namespace qrole::data::internal {

// First map size of a new or small environment, and the step beyond which
// the map grows linearly rather than doubling (kept modest for 32-bit
// processes).
inline constexpr size_t kInitialMapSize = size_t{1} << 20;
inline constexpr size_t kLinearGrowthStep = size_t{64} << 20;

// The map size that follows `current`.
size_t NextMapSize(size_t current);

// Record numbers in the store: 4 bytes, big-endian.
inline void PackRecord(uint32_t record, char* out) {
  out[0] = static_cast<char>(record >> 24);
  out[1] = static_cast<char>(record >> 16);
  out[2] = static_cast<char>(record >> 8);
  out[3] = static_cast<char>(record);
}
inline uint32_t UnpackRecord(const void* data) {
  const auto* b = static_cast<const unsigned char*>(data);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

inline MDB_val ToVal(std::string_view s) { return MDB_val{s.size(), const_cast<char*>(s.data())}; }
inline std::string_view FromVal(const MDB_val& v) {
  return std::string_view(static_cast<const char*>(v.mv_data), v.mv_size);
}

class IndexEnv : public std::enable_shared_from_this<IndexEnv> {
 public:
  IndexEnv(const IndexEnv&) = delete;
  IndexEnv& operator=(const IndexEnv&) = delete;
  // Flushes and closes the environment.
  ~IndexEnv();

  // Opens the index file at `path` (already resolved) as an index file of
  // this engine. Returns an engine status: kOk with *out set, kFileMissing,
  // kNotOurs (not an LMDB file, another word size, no format tag, damaged),
  // kProtection (access denied) or kIoError.
  static int16_t Open(const std::string& path, std::shared_ptr<IndexEnv>* out);

  // Makes `path` an empty index file of this engine with `index_count`
  // indexes: an open or openable index file of ours is emptied in one
  // transaction (its other users see it empty); anything else at the path is
  // removed first (its lock file is kept). The record counter restarts at 1.
  // Returns kOk with *out set, or kCannotCreate.
  static int16_t Create(const std::string& path, int index_count, int longest_key,
                        std::shared_ptr<IndexEnv>* out);

  const std::string& path() const { return path_; }
  int index_count() const { return index_count_; }
  int longest_key() const { return longest_key_; }
  MDB_dbi index_dbi(int k) const { return dbis_[static_cast<size_t>(k)]; }
  MDB_dbi meta_dbi() const { return meta_; }

  // Runs `fn(MDB_txn*)` in a read snapshot taken now; returns its LMDB code,
  // or the code of a failed renewal.
  template <class Fn>
  int Read(Fn&& fn) {
    if (tx_txn_ != nullptr) return fn(tx_txn_);
    int rc = BeginRead();
    if (rc != MDB_SUCCESS) return rc;
    rc = fn(read_txn_);
    mdb_txn_reset(read_txn_);
    return rc;
  }

  // A cursor on index k bound to the current read snapshot (inside Read).
  MDB_cursor* ReadCursor(int k);

  // Runs `fn(MDB_txn*)` in a write transaction and commits it when fn returns
  // MDB_SUCCESS (aborts otherwise). When the map fills, the transaction is
  // aborted, the map grown and fn run again (so fn must be repeatable).
  // Returns the LMDB code. An exception from fn aborts the transaction.
  template <class Fn>
  int Write(Fn&& fn) {
    if (tx_txn_ == nullptr) {
      const int rc = JoinTransactionInForce();
      if (rc != MDB_SUCCESS) return rc;
    }
    if (tx_txn_ != nullptr) return WriteInTransaction(fn);
    for (int attempt = 0;; ++attempt) {
      MDB_txn* txn = nullptr;
      int rc = BeginWrite(&txn);
      if (rc != MDB_SUCCESS) return rc;
      struct Guard {
        MDB_txn* txn;
        ~Guard() {
          if (txn != nullptr) mdb_txn_abort(txn);
        }
      } guard{txn};
      rc = fn(txn);
      if (rc == MDB_SUCCESS) {
        guard.txn = nullptr;
        rc = mdb_txn_commit(txn);
      }
      if (rc != MDB_MAP_FULL || attempt >= 20) return rc;
      if (guard.txn != nullptr) {
        mdb_txn_abort(guard.txn);
        guard.txn = nullptr;
      }
      rc = Grow(0);
      if (rc != MDB_SUCCESS) return rc;
    }
  }

  // Like Write, but never inside a company transaction: for changes of the
  // whole file (making it empty, rebuilding it), which the log does not
  // carry. Returns MDB_BAD_TXN when the env is in a transaction.
  template <class Fn>
  int WriteDirect(Fn&& fn) {
    if (tx_txn_ != nullptr) return MDB_BAD_TXN;
    suspend_join_ = true;
    const int rc = Write(fn);
    suspend_join_ = false;
    return rc;
  }

  // Changes inside Write: what they do to the file is kept for the company
  // log when a company transaction is in force. `db` is 0 for the meta
  // database, k for index k.
  int Put(MDB_txn* txn, int db, std::string_view key, std::string_view data, unsigned flags);
  int Delete(MDB_txn* txn, int db, std::string_view key, std::string_view data);
  int Drop(MDB_txn* txn, int db);

  // --- The company transaction's side (transaction.cc) --------------------

  // Begins the long write transaction (growing the map first, since it
  // cannot grow while one is open).
  int BeginTransaction();
  // Commits or aborts it; the changes kept are handed over by TakeChanges.
  int CommitTransaction();
  void AbortTransaction();
  bool in_transaction() const { return tx_txn_ != nullptr; }
  std::vector<IndexChange> TakeChanges();

  // Grows the map so that at least `needed` more bytes fit (0: one step).
  int Grow(size_t needed);
  // Bytes in use and the map size, as this process sees them.
  size_t used_bytes();
  size_t map_size();

  // Flushes the committed transactions to disk.
  int Sync();

  // Meta values inside a transaction.
  int ReadNext(MDB_txn* txn, uint32_t* next);
  int WriteNext(MDB_txn* txn, uint32_t next);

 private:
  IndexEnv() = default;
  static int OpenEnv(const std::string& path, MDB_env** env);
  // Opens the databases of an environment of ours; kNotOurs when its meta is
  // missing or foreign.
  int16_t Attach();
  // Joins the company transaction in force, if any.
  int JoinTransactionInForce();
  // Runs fn in a child of the long write transaction.
  template <class Fn>
  int WriteInTransaction(Fn& fn) {
    CloseTransactionCursors();
    MDB_txn* child = nullptr;
    int rc = mdb_txn_begin(env_, tx_txn_, 0, &child);
    if (rc != MDB_SUCCESS) return rc;
    child_ = child;
    child_changes_.clear();
    try {
      rc = fn(child);
    } catch (...) {
      mdb_txn_abort(child);
      child_ = nullptr;
      child_changes_.clear();
      throw;
    }
    child_ = nullptr;
    if (rc == MDB_SUCCESS)
      rc = mdb_txn_commit(child);
    else
      mdb_txn_abort(child);
    if (rc == MDB_SUCCESS) {
      for (IndexChange& c : child_changes_) tx_changes_.push_back(std::move(c));
    }
    child_changes_.clear();
    return rc;
  }
  void CloseTransactionCursors();
  MDB_dbi Dbi(int db) const { return db == 0 ? meta_ : dbis_[static_cast<size_t>(db)]; }
  void Keep(IndexChange::Kind kind, int db, std::string_view key, std::string_view data,
            unsigned flags);
  int BeginRead();
  int BeginWrite(MDB_txn** txn);

  std::string path_;
  std::string registry_key_;  // the file identity it is registered under
  std::string stamp_;         // the file it opened (platform::FileStamp)
  MDB_env* env_ = nullptr;
  MDB_dbi meta_ = 0;
  std::array<MDB_dbi, kMaxIndexes + 1> dbis_{};
  int index_count_ = 0;
  int longest_key_ = 0;
  unsigned page_size_ = 4096;
  MDB_txn* read_txn_ = nullptr;
  std::array<MDB_cursor*, kMaxIndexes + 1> cursors_{};
  // The company transaction's write transaction, its cursors, the child
  // running now and the changes kept.
  MDB_txn* tx_txn_ = nullptr;
  std::array<MDB_cursor*, kMaxIndexes + 1> tx_cursors_{};
  MDB_txn* child_ = nullptr;
  bool suspend_join_ = false;
  std::vector<IndexChange> child_changes_;
  std::vector<IndexChange> tx_changes_;
};

// Closes the envs kept open between calls that nothing else uses.
void ReleaseKeptIndexEnvs();

// Maps an LMDB or system error code to an engine status.
int16_t StatusFromLmdb(int rc);

}  // namespace qrole::data::internal

#endif  // QROLE_DATA_INDEX_STORE_INTERNAL_H_
