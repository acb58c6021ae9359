#include <algorithm>
#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "data/engine_status.h"
#include "data/index_store_internal.h"
#include "data/transaction_internal.h"
#include "platform/env.h"
#include "platform/file_identity.h"

namespace qrole::data::internal {

namespace {

constexpr std::string_view kFormatKey = "format";
constexpr std::string_view kFormatTag = "QROLE-QRC 1";
constexpr std::string_view kShapeKey = "shape";
constexpr std::string_view kNextKey = "next";
constexpr unsigned kEnvFlags = MDB_NOSUBDIR | MDB_NOTLS | MDB_NOSYNC;
constexpr unsigned kIndexFlags = MDB_DUPSORT | MDB_DUPFIXED;
constexpr int kMaxDbs = kMaxIndexes + 2;

// Environments open in this process, by file identity (LMDB must not open
// one file twice in a process, whatever spellings of its path reach it).
std::map<std::string, std::weak_ptr<IndexEnv>>& Registry() {
  static auto* registry = new std::map<std::string, std::weak_ptr<IndexEnv>>();
  return *registry;
}

// The envs kept open between calls, most recently used last.
constexpr size_t kKeptEnvs = 64;
std::vector<std::shared_ptr<IndexEnv>>& Kept() {
  static auto* kept = new std::vector<std::shared_ptr<IndexEnv>>();
  return *kept;
}

void KeepOpen(const std::shared_ptr<IndexEnv>& env) {
  if (!platform::KeepFilesOpenBetweenCalls()) return;
  std::vector<std::shared_ptr<IndexEnv>>& kept = Kept();
  auto it = std::find(kept.begin(), kept.end(), env);
  if (it != kept.end()) {
    if (it + 1 == kept.end()) return;
    kept.erase(it);
  }
  kept.push_back(env);
  if (kept.size() > kKeptEnvs) kept.erase(kept.begin());
}

void Forget(const std::shared_ptr<IndexEnv>& env) {
  std::vector<std::shared_ptr<IndexEnv>>& kept = Kept();
  kept.erase(std::remove(kept.begin(), kept.end(), env), kept.end());
}

std::shared_ptr<IndexEnv> Registered(const std::string& path) {
  auto it = Registry().find(CachedFileIdentity(path));
  if (it == Registry().end()) return nullptr;
  std::shared_ptr<IndexEnv> env = it->second.lock();
  if (!env) {
    Registry().erase(it);
    return nullptr;
  }
  return env;
}

std::string DbName(int k) { return std::to_string(k); }

void Put32(uint32_t v, char* out) { PackRecord(v, out); }

}  // namespace

const std::string& CachedFileIdentity(const std::string& path) {
  static auto* cache = new std::map<std::string, std::string>();
  auto it = cache->find(path);
  if (it == cache->end()) {
    if (cache->size() > 4096) cache->clear();
    it = cache->emplace(path, platform::FileIdentity(path)).first;
  }
  return it->second;
}

size_t NextMapSize(size_t current) {
  if (current < kInitialMapSize) return kInitialMapSize;
  if (current < kLinearGrowthStep) return current * 2;
  return current + kLinearGrowthStep;
}

int16_t StatusFromLmdb(int rc) {
  switch (rc) {
    case MDB_SUCCESS:
      return engine_status::kOk;
    case MDB_MAP_FULL:
    case ENOMEM:
    case ENOSPC:
      return engine_status::kIndexFull;
    case EACCES:
    case EPERM:
    case EROFS:
      return engine_status::kProtection;
    case MDB_INVALID:
    case MDB_VERSION_MISMATCH:
    case MDB_INCOMPATIBLE:
    case MDB_CORRUPTED:
    case MDB_PANIC:
      return engine_status::kNotOurs;
    case MDB_BAD_VALSIZE:
      return engine_status::kKeyTooLong;
    default:
      return engine_status::kIoError;
  }
}

IndexEnv::~IndexEnv() {
  if (env_ == nullptr) return;
  AbortTransaction();
  for (MDB_cursor* c : cursors_) {
    if (c != nullptr) mdb_cursor_close(c);
  }
  if (read_txn_ != nullptr) mdb_txn_abort(read_txn_);
  mdb_env_sync(env_, 1);
  mdb_env_close(env_);
  // The key kept from the registration: the environment of the process may
  // already be going away when the last user lets go.
  auto it = Registry().find(registry_key_);
  if (it != Registry().end() && it->second.expired()) Registry().erase(it);
}

int IndexEnv::OpenEnv(const std::string& path, MDB_env** out) {
  MDB_env* env = nullptr;
  int rc = mdb_env_create(&env);
  if (rc != MDB_SUCCESS) return rc;
  rc = mdb_env_set_maxdbs(env, kMaxDbs);
  if (rc == MDB_SUCCESS) rc = mdb_env_set_mapsize(env, kInitialMapSize);
  if (rc == MDB_SUCCESS) rc = mdb_env_open(env, path.c_str(), kEnvFlags, 0664);
  if (rc != MDB_SUCCESS) {
    mdb_env_close(env);
    return rc;
  }
  int dead = 0;
  mdb_reader_check(env, &dead);  // readers left by processes that died
  *out = env;
  return MDB_SUCCESS;
}

int16_t IndexEnv::Attach() {
  MDB_txn* txn = nullptr;
  int rc = mdb_txn_begin(env_, nullptr, MDB_RDONLY, &txn);
  if (rc == MDB_MAP_RESIZED) {
    mdb_env_set_mapsize(env_, 0);
    rc = mdb_txn_begin(env_, nullptr, MDB_RDONLY, &txn);
  }
  if (rc != MDB_SUCCESS) return StatusFromLmdb(rc);
  int16_t status = engine_status::kOk;
  MDB_val key, data;
  rc = mdb_dbi_open(txn, "meta", 0, &meta_);
  if (rc == MDB_SUCCESS) {
    key = ToVal(kFormatKey);
    rc = mdb_get(txn, meta_, &key, &data);
    if (rc == MDB_SUCCESS && FromVal(data) != kFormatTag) rc = MDB_INCOMPATIBLE;
  }
  if (rc == MDB_SUCCESS) {
    key = ToVal(kShapeKey);
    rc = mdb_get(txn, meta_, &key, &data);
    if (rc == MDB_SUCCESS && data.mv_size != 8) rc = MDB_INCOMPATIBLE;
  }
  if (rc == MDB_SUCCESS) {
    index_count_ = static_cast<int>(UnpackRecord(data.mv_data));
    longest_key_ = static_cast<int>(UnpackRecord(static_cast<const char*>(data.mv_data) + 4));
    if (index_count_ < 0 || index_count_ > kMaxIndexes) rc = MDB_INCOMPATIBLE;
  }
  for (int k = 1; rc == MDB_SUCCESS && k <= index_count_; ++k) {
    unsigned flags = 0;
    rc = mdb_dbi_open(txn, DbName(k).c_str(), 0, &dbis_[static_cast<size_t>(k)]);
    if (rc == MDB_SUCCESS) rc = mdb_dbi_flags(txn, dbis_[static_cast<size_t>(k)], &flags);
    if (rc == MDB_SUCCESS && (flags & kIndexFlags) != kIndexFlags) rc = MDB_INCOMPATIBLE;
  }
  if (rc == MDB_NOTFOUND || rc == MDB_INCOMPATIBLE) {
    status = engine_status::kNotOurs;
  } else if (rc != MDB_SUCCESS) {
    status = StatusFromLmdb(rc);
  }
  if (status == engine_status::kOk) {
    rc = mdb_txn_commit(txn);  // keeps the database handles
    if (rc != MDB_SUCCESS) status = StatusFromLmdb(rc);
  } else {
    mdb_txn_abort(txn);
  }
  MDB_stat st;
  if (status == engine_status::kOk && mdb_env_stat(env_, &st) == MDB_SUCCESS) {
    page_size_ = st.ms_psize;
  }
  return status;
}

int16_t IndexEnv::Open(const std::string& path, std::shared_ptr<IndexEnv>* out) {
  const std::string stamp = platform::FileStamp(path);
  if (std::shared_ptr<IndexEnv> env = Registered(path)) {
    if (env->stamp_ == stamp || env->in_transaction() || env.use_count() > 2) {
      KeepOpen(env);
      *out = std::move(env);
      return engine_status::kOk;
    }
    // Kept open, but the file was removed or replaced since: open it again.
    Forget(env);
    env.reset();
  }
  if (stamp.empty() && !platform::CurrentEnv()->Files().Exists(path))
    return engine_status::kFileMissing;
  std::shared_ptr<IndexEnv> env(new IndexEnv());
  env->path_ = path;
  const int rc = OpenEnv(path, &env->env_);
  if (rc != MDB_SUCCESS) {
    const int16_t status = StatusFromLmdb(rc);
    return status == engine_status::kIoError ? engine_status::kNotOurs : status;
  }
  const int16_t status = env->Attach();
  if (status != engine_status::kOk) return status;
  env->registry_key_ = CachedFileIdentity(path);
  env->stamp_ = platform::FileStamp(path);
  Registry()[env->registry_key_] = env;
  KeepOpen(env);
  *out = std::move(env);
  return engine_status::kOk;
}

int16_t IndexEnv::Create(const std::string& path, int index_count, int longest_key,
                         std::shared_ptr<IndexEnv>* out) {
  if (index_count < 0 || index_count > kMaxIndexes) return engine_status::kCannotCreate;
  std::shared_ptr<IndexEnv> env = Registered(path);
  if (!env) {
    platform::FileSystem& files = platform::CurrentEnv()->Files();
    if (files.Exists(path) && Open(path, &env) != engine_status::kOk) {
      env.reset();
      if (!files.Remove(path).ok()) return engine_status::kCannotCreate;
    }
  }
  if (!env) {
    env.reset(new IndexEnv());
    env->path_ = path;
    if (OpenEnv(path, &env->env_) != MDB_SUCCESS) return engine_status::kCannotCreate;
    MDB_stat st;
    if (mdb_env_stat(env->env_, &st) == MDB_SUCCESS) env->page_size_ = st.ms_psize;
  }
  std::array<MDB_dbi, kMaxIndexes + 1> dbis{};
  MDB_dbi meta = 0;
  const int rc = env->WriteDirect([&](MDB_txn* txn) {
    int rc = mdb_dbi_open(txn, "meta", MDB_CREATE, &meta);
    MDB_val key, data;
    if (rc == MDB_SUCCESS) {
      key = ToVal(kFormatKey);
      data = ToVal(kFormatTag);
      rc = mdb_put(txn, meta, &key, &data, 0);
    }
    if (rc == MDB_SUCCESS) {
      char shape[8];
      Put32(static_cast<uint32_t>(index_count), shape);
      Put32(static_cast<uint32_t>(longest_key), shape + 4);
      key = ToVal(kShapeKey);
      data = MDB_val{sizeof shape, shape};
      rc = mdb_put(txn, meta, &key, &data, 0);
    }
    // Every index database that exists is emptied (never deleted, so that
    // handles held elsewhere stay valid); the missing ones are created.
    for (int k = 1; rc == MDB_SUCCESS && k <= kMaxIndexes; ++k) {
      const unsigned flags = k <= index_count ? (kIndexFlags | MDB_CREATE) : kIndexFlags;
      rc = mdb_dbi_open(txn, DbName(k).c_str(), flags, &dbis[static_cast<size_t>(k)]);
      if (rc == MDB_NOTFOUND && k > index_count) {
        rc = MDB_SUCCESS;
        dbis[static_cast<size_t>(k)] = 0;
        continue;
      }
      if (rc == MDB_SUCCESS) rc = mdb_drop(txn, dbis[static_cast<size_t>(k)], 0);
    }
    if (rc == MDB_SUCCESS) {
      env->meta_ = meta;
      rc = env->WriteNext(txn, 1);
    }
    return rc;
  });
  if (rc != MDB_SUCCESS) return engine_status::kCannotCreate;
  env->meta_ = meta;
  env->dbis_ = dbis;
  env->index_count_ = index_count;
  env->longest_key_ = longest_key;
  for (MDB_cursor*& c : env->cursors_) {
    if (c != nullptr) mdb_cursor_close(c);
    c = nullptr;
  }
  env->registry_key_ = CachedFileIdentity(path);
  env->stamp_ = platform::FileStamp(path);
  Registry()[env->registry_key_] = env;
  KeepOpen(env);
  *out = std::move(env);
  return engine_status::kOk;
}

void ReleaseKeptIndexEnvs() { Kept().clear(); }

int IndexEnv::BeginRead() {
  int rc;
  if (read_txn_ == nullptr) {
    rc = mdb_txn_begin(env_, nullptr, MDB_RDONLY, &read_txn_);
    if (rc == MDB_MAP_RESIZED) {
      mdb_env_set_mapsize(env_, 0);
      rc = mdb_txn_begin(env_, nullptr, MDB_RDONLY, &read_txn_);
    }
    if (rc != MDB_SUCCESS) read_txn_ = nullptr;
  } else {
    rc = mdb_txn_renew(read_txn_);
    if (rc == MDB_MAP_RESIZED) {
      mdb_env_set_mapsize(env_, 0);
      rc = mdb_txn_renew(read_txn_);
    }
  }
  if (rc == MDB_SUCCESS) {
    for (MDB_cursor* c : cursors_) {
      if (c != nullptr) mdb_cursor_renew(read_txn_, c);
    }
  }
  return rc;
}

MDB_cursor* IndexEnv::ReadCursor(int k) {
  MDB_txn* txn = tx_txn_ != nullptr ? tx_txn_ : read_txn_;
  MDB_cursor*& c = (tx_txn_ != nullptr ? tx_cursors_ : cursors_)[static_cast<size_t>(k)];
  if (c == nullptr && mdb_cursor_open(txn, dbis_[static_cast<size_t>(k)], &c) != 0) {
    c = nullptr;
  }
  return c;
}

void IndexEnv::CloseTransactionCursors() {
  for (MDB_cursor*& c : tx_cursors_) {
    if (c != nullptr) mdb_cursor_close(c);
    c = nullptr;
  }
}

int IndexEnv::JoinTransactionInForce() {
  if (suspend_join_ || !TransactionInForce()) return MDB_SUCCESS;
  return JoinTransaction(shared_from_this());
}

int IndexEnv::BeginTransaction() {
  // The map cannot grow while the transaction is open: leave room for any
  // one operation first.
  const size_t size = map_size();
  const size_t headroom = std::max<size_t>(size / 8, size_t{2} << 20);
  if (used_bytes() + headroom > size) {
    const int rc = Grow(headroom);
    if (rc != MDB_SUCCESS) return rc;
  }
  int rc = mdb_txn_begin(env_, nullptr, 0, &tx_txn_);
  if (rc == MDB_MAP_RESIZED) {
    mdb_env_set_mapsize(env_, 0);
    rc = mdb_txn_begin(env_, nullptr, 0, &tx_txn_);
  }
  if (rc != MDB_SUCCESS) tx_txn_ = nullptr;
  tx_changes_.clear();
  return rc;
}

int IndexEnv::CommitTransaction() {
  if (tx_txn_ == nullptr) return MDB_SUCCESS;
  CloseTransactionCursors();
  MDB_txn* txn = tx_txn_;
  tx_txn_ = nullptr;
  return mdb_txn_commit(txn);
}

void IndexEnv::AbortTransaction() {
  if (tx_txn_ == nullptr) return;
  CloseTransactionCursors();
  mdb_txn_abort(tx_txn_);
  tx_txn_ = nullptr;
  tx_changes_.clear();
}

std::vector<IndexChange> IndexEnv::TakeChanges() {
  std::vector<IndexChange> out;
  out.swap(tx_changes_);
  return out;
}

void IndexEnv::Keep(IndexChange::Kind kind, int db, std::string_view key, std::string_view data,
                    unsigned flags) {
  if (child_ == nullptr) return;
  IndexChange c;
  c.file = path_;
  c.kind = kind;
  c.db = static_cast<uint8_t>(db);
  c.flags = flags;
  c.key = key;
  c.data = data;
  child_changes_.push_back(std::move(c));
}

int IndexEnv::Put(MDB_txn* txn, int db, std::string_view key, std::string_view data,
                  unsigned flags) {
  MDB_val k = ToVal(key), d = ToVal(data);
  const int rc = mdb_put(txn, Dbi(db), &k, &d, flags);
  if (rc == MDB_SUCCESS && txn == child_) Keep(IndexChange::kPut, db, key, data, flags);
  return rc;
}

int IndexEnv::Delete(MDB_txn* txn, int db, std::string_view key, std::string_view data) {
  MDB_val k = ToVal(key), d = ToVal(data);
  const int rc = mdb_del(txn, Dbi(db), &k, &d);
  if (rc == MDB_SUCCESS && txn == child_) Keep(IndexChange::kDelete, db, key, data, 0);
  return rc;
}

int IndexEnv::Drop(MDB_txn* txn, int db) {
  const int rc = mdb_drop(txn, Dbi(db), 0);
  if (rc == MDB_SUCCESS && txn == child_) Keep(IndexChange::kDrop, db, "", "", 0);
  return rc;
}

int IndexEnv::BeginWrite(MDB_txn** txn) {
  // Grow before the map could fill, so that a transaction rarely has to be
  // run twice.
  const size_t size = map_size();
  const size_t headroom = std::max<size_t>(size / 8, 256 * 1024);
  if (used_bytes() + headroom > size) {
    const int rc = Grow(0);
    if (rc != MDB_SUCCESS) return rc;
  }
  int rc = mdb_txn_begin(env_, nullptr, 0, txn);
  if (rc == MDB_MAP_RESIZED) {
    mdb_env_set_mapsize(env_, 0);
    rc = mdb_txn_begin(env_, nullptr, 0, txn);
  }
  return rc;
}

size_t IndexEnv::used_bytes() {
  MDB_envinfo info;
  if (mdb_env_info(env_, &info) != MDB_SUCCESS) return 0;
  return (info.me_last_pgno + 1) * page_size_;
}

size_t IndexEnv::map_size() {
  MDB_envinfo info;
  if (mdb_env_info(env_, &info) != MDB_SUCCESS) return kInitialMapSize;
  return info.me_mapsize;
}

int IndexEnv::Grow(size_t needed) {
  const size_t current = map_size();
  size_t next = NextMapSize(current);
  while (next < current + needed) next = NextMapSize(next);
  return mdb_env_set_mapsize(env_, next);
}

int IndexEnv::Sync() { return mdb_env_sync(env_, 1); }

int IndexEnv::ReadNext(MDB_txn* txn, uint32_t* next) {
  MDB_val key = ToVal(kNextKey), data;
  const int rc = mdb_get(txn, meta_, &key, &data);
  if (rc == MDB_NOTFOUND) {
    *next = 1;
    return MDB_SUCCESS;
  }
  if (rc != MDB_SUCCESS) return rc;
  *next = data.mv_size == 4 ? UnpackRecord(data.mv_data) : 1;
  return MDB_SUCCESS;
}

int IndexEnv::WriteNext(MDB_txn* txn, uint32_t next) {
  char buf[4];
  PackRecord(next, buf);
  return Put(txn, 0, kNextKey, std::string_view(buf, sizeof buf), 0);
}

}  // namespace qrole::data::internal
