// The keyed engine's positioning commands: "S\", "G\", "F\", "L\", "N\",
// "P\", "A\" and "E\". Each runs in one read snapshot, and leaves the file's
// current entry (index, key, record) where "N\" and "P\" continue from.
// Entries are ordered by key, then by record number.

#include <limits>
#include <string>

#include "data/keyed_engine_internal.h"

namespace qrole::data {

namespace es = engine_status;
using internal::OpenIndex;
using internal::Position;

namespace {

// Record numbers at or above this in "A\" mean "after every entry of the
// key", whatever the record numbers (the command's callers write 999999).
constexpr int64_t kAfterEveryRecord = 999999;

void SetAt(Position* p, int k, const MDB_val& key, const MDB_val& data) {
  p->state = Position::State::kAt;
  p->index = k;
  p->key.assign(static_cast<const char*>(key.mv_data), key.mv_size);
  p->record = internal::UnpackRecord(data.mv_data);
}

// Moves `c` to the first entry strictly after (key, record); MDB_NOTFOUND
// when there is none.
int NextAfter(MDB_cursor* c, std::string_view key, uint32_t record, MDB_val* k, MDB_val* d) {
  char be[4];
  internal::PackRecord(record, be);
  *k = internal::ToVal(key);
  *d = MDB_val{4, be};
  int rc = mdb_cursor_get(c, k, d, MDB_GET_BOTH_RANGE);
  if (rc == MDB_SUCCESS) {
    if (internal::UnpackRecord(d->mv_data) > record) return rc;  // (key, record) is gone
    return mdb_cursor_get(c, k, d, MDB_NEXT);
  }
  if (rc != MDB_NOTFOUND) return rc;
  *k = internal::ToVal(key);
  rc = mdb_cursor_get(c, k, d, MDB_SET_RANGE);
  if (rc == MDB_SUCCESS && internal::FromVal(*k) == key) {
    return mdb_cursor_get(c, k, d, MDB_NEXT_NODUP);
  }
  return rc;
}

// Moves `c` to the last entry strictly before (key, record); MDB_NOTFOUND
// when there is none.
int PrevBefore(MDB_cursor* c, std::string_view key, uint32_t record, MDB_val* k, MDB_val* d) {
  char be[4];
  internal::PackRecord(record, be);
  *k = internal::ToVal(key);
  *d = MDB_val{4, be};
  int rc = mdb_cursor_get(c, k, d, MDB_GET_BOTH_RANGE);
  if (rc == MDB_SUCCESS) return mdb_cursor_get(c, k, d, MDB_PREV);
  if (rc != MDB_NOTFOUND) return rc;
  *k = internal::ToVal(key);
  rc = mdb_cursor_get(c, k, d, MDB_SET_RANGE);
  if (rc == MDB_NOTFOUND) return mdb_cursor_get(c, k, d, MDB_LAST);
  if (rc != MDB_SUCCESS) return rc;
  if (internal::FromVal(*k) == key) {
    // Every entry of the key is before `record`: the key's last one.
    const MDB_val same_key = *k;
    rc = mdb_cursor_get(c, k, d, MDB_LAST_DUP);
    *k = same_key;
    return rc;
  }
  return mdb_cursor_get(c, k, d, MDB_PREV);
}

}  // namespace

// Reads "index\file\" from `reader` and checks both.
OpenIndex* KeyedEngine::Impl::IndexAndFile(internal::CommandReader* reader, int* index,
                                           int16_t* status) {
  int64_t k = 0, file = -1;
  if (!reader->Number(&k) || !reader->Number(&file)) {
    *status = es::kInvalidCommand;
    return nullptr;
  }
  OpenIndex* f = Get(file);
  if (f == nullptr) {
    *status = es::kFileNotOpen;
    return nullptr;
  }
  if (k < 1 || k > f->env->index_count()) {
    *status = es::kInvalidIndex;
    return nullptr;
  }
  *index = static_cast<int>(k);
  return f;
}

void KeyedEngine::Impl::Search(char op, std::string_view body, int32_t& record, int16_t& status) {
  record = 0;
  internal::CommandReader reader(body);
  int k = 0;
  OpenIndex* f = IndexAndFile(&reader, &k, &status);
  if (f == nullptr) return;
  // "S\" compares full keys (a short one as if blank padded); "G\" compares
  // the text as given, so that a prefix finds the first key starting with it.
  const std::string_view key = op == 'S' ? Padded(*f, k, reader.rest()) : reader.rest();
  Position& p = f->position;
  int16_t result = es::kOk;
  const int rc = f->env->Read([&](MDB_txn*) {
    MDB_cursor* c = f->env->ReadCursor(k);
    if (c == nullptr) return MDB_BAD_TXN;
    MDB_val mk = internal::ToVal(key), md;
    if (key.empty()) {
      // Index keys are never empty: none equals the empty text, none is
      // below it, and the first entry is the first above it.
      const int rc = op == 'G' ? mdb_cursor_get(c, &mk, &md, MDB_FIRST) : MDB_NOTFOUND;
      if (rc == MDB_SUCCESS) {
        SetAt(&p, k, mk, md);
        record = static_cast<int32_t>(p.record);
        result = es::kAboveKey;
        return MDB_SUCCESS;
      }
      if (rc != MDB_NOTFOUND) return rc;
      p = Position{Position::State::kBeforeFirst, k, {}, 0};
      result = op == 'S' ? es::kKeyNotFound : es::kEndOfIndex;
      return MDB_SUCCESS;
    }
    int rc = mdb_cursor_get(c, &mk, &md, MDB_SET_RANGE);
    if (rc == MDB_SUCCESS) {
      const bool equal = internal::FromVal(mk) == key;
      if (equal || op == 'G') {
        SetAt(&p, k, mk, md);
        record = static_cast<int32_t>(p.record);
        result = equal ? es::kOk : es::kAboveKey;
        return MDB_SUCCESS;
      }
      rc = mdb_cursor_get(c, &mk, &md, MDB_PREV);  // "S\": the entry just below
    } else if (rc == MDB_NOTFOUND) {
      rc = mdb_cursor_get(c, &mk, &md, MDB_LAST);  // every key is below
    }
    if (rc == MDB_NOTFOUND) {
      p = Position{Position::State::kBeforeFirst, k, {}, 0};
      result = op == 'S' ? es::kKeyNotFound : es::kEndOfIndex;
      return MDB_SUCCESS;
    }
    if (rc != MDB_SUCCESS) return rc;
    SetAt(&p, k, mk, md);
    record = static_cast<int32_t>(p.record);
    result = op == 'S' ? es::kKeyNotFound : es::kBelowKey;
    return MDB_SUCCESS;
  });
  status = rc == MDB_SUCCESS ? result : internal::StatusFromLmdb(rc);
}

void KeyedEngine::Impl::FirstOrLast(char op, std::string_view body, int32_t& record,
                                    int16_t& status) {
  record = 0;
  internal::CommandReader reader(body);
  int k = 0;
  OpenIndex* f = IndexAndFile(&reader, &k, &status);
  if (f == nullptr) return;
  Position& p = f->position;
  const int rc = f->env->Read([&](MDB_txn*) {
    MDB_cursor* c = f->env->ReadCursor(k);
    if (c == nullptr) return MDB_BAD_TXN;
    MDB_val mk, md;
    const int rc = mdb_cursor_get(c, &mk, &md, op == 'F' ? MDB_FIRST : MDB_LAST);
    if (rc == MDB_SUCCESS) {
      SetAt(&p, k, mk, md);
      record = static_cast<int32_t>(p.record);
    } else if (rc == MDB_NOTFOUND) {
      p = Position{Position::State::kBeforeFirst, k, {}, 0};
    }
    return rc;
  });
  status = rc == MDB_NOTFOUND ? es::kEndOfIndex : internal::StatusFromLmdb(rc);
}

void KeyedEngine::Impl::Step(char op, std::string_view body, int32_t& record, int16_t& status) {
  record = 0;
  internal::CommandReader reader(body);
  int64_t file = -1;
  if (!reader.Number(&file)) {
    status = es::kInvalidCommand;
    return;
  }
  OpenIndex* f = Get(file);
  if (f == nullptr) {
    status = es::kFileNotOpen;
    return;
  }
  Position& p = f->position;
  if (p.state == Position::State::kNone ||
      (p.state == Position::State::kBeforeFirst && op == 'P')) {
    status = es::kEndOfIndex;
    return;
  }
  const int k = p.index;
  scratch.assign(p.key);  // the position is rewritten from inside the snapshot
  const int rc = f->env->Read([&](MDB_txn*) {
    MDB_cursor* c = f->env->ReadCursor(k);
    if (c == nullptr) return MDB_BAD_TXN;
    MDB_val mk, md;
    int rc;
    if (p.state == Position::State::kBeforeFirst) {
      rc = mdb_cursor_get(c, &mk, &md, MDB_FIRST);
    } else if (op == 'N') {
      rc = NextAfter(c, scratch, p.record, &mk, &md);
    } else {
      rc = PrevBefore(c, scratch, p.record, &mk, &md);
    }
    if (rc == MDB_SUCCESS) {
      SetAt(&p, k, mk, md);
      record = static_cast<int32_t>(p.record);
    }
    return rc;
  });
  // At the end the current entry stays where it was.
  status = rc == MDB_NOTFOUND ? es::kEndOfIndex : internal::StatusFromLmdb(rc);
}

void KeyedEngine::Impl::Neighbour(char op, std::string_view body, int32_t& record,
                                  int16_t& status) {
  record = 0;
  internal::CommandReader reader(body);
  int64_t k = 0, from = 0, file = -1;
  if (!reader.Number(&k) || !reader.Number(&from) || !reader.Number(&file)) {
    status = es::kInvalidCommand;
    return;
  }
  OpenIndex* f = Get(file);
  if (f == nullptr) {
    status = es::kFileNotOpen;
    return;
  }
  if (k < 1 || k > f->env->index_count()) {
    status = es::kInvalidIndex;
    return;
  }
  uint32_t bound = 0;
  if (op == 'A' && from >= kAfterEveryRecord) {
    bound = std::numeric_limits<uint32_t>::max();
  } else if (from > 0) {
    bound = static_cast<uint32_t>(std::min<int64_t>(from, std::numeric_limits<uint32_t>::max()));
  }
  const int index = static_cast<int>(k);
  const std::string_view key = Padded(*f, index, reader.rest());
  Position& p = f->position;
  const int rc = f->env->Read([&](MDB_txn*) {
    MDB_cursor* c = f->env->ReadCursor(index);
    if (c == nullptr) return MDB_BAD_TXN;
    MDB_val mk, md;
    int rc;
    if (key.empty()) {  // no key sorts below the empty text
      rc = op == 'A' ? mdb_cursor_get(c, &mk, &md, MDB_FIRST) : MDB_NOTFOUND;
    } else if (op == 'A') {
      rc = NextAfter(c, key, bound, &mk, &md);
    } else {
      rc = PrevBefore(c, key, bound, &mk, &md);
    }
    if (rc == MDB_SUCCESS) {
      SetAt(&p, index, mk, md);
      record = static_cast<int32_t>(p.record);
    }
    return rc;
  });
  status = rc == MDB_NOTFOUND ? es::kEndOfIndex : internal::StatusFromLmdb(rc);
}

int16_t KeyedEngine::ScanFrom(int file, int index, std::string_view start, uint32_t after,
                              const std::function<bool(std::string_view, uint32_t)>& fn) {
  OpenIndex* f = impl_->Get(file);
  if (f == nullptr) return es::kFileNotOpen;
  if (index < 1 || index > f->env->index_count()) return es::kInvalidIndex;
  const int rc = f->env->Read([&](MDB_txn*) {
    MDB_cursor* c = f->env->ReadCursor(index);
    if (c == nullptr) return MDB_BAD_TXN;
    MDB_val key = internal::ToVal(start), data;
    int rc;
    if (after > 0) {
      rc = NextAfter(c, start, after, &key, &data);
    } else {
      // Index keys are never empty: every key is not below the empty text.
      rc = mdb_cursor_get(c, &key, &data, start.empty() ? MDB_FIRST : MDB_SET_RANGE);
    }
    while (rc == MDB_SUCCESS) {
      if (!fn(internal::FromVal(key), internal::UnpackRecord(data.mv_data))) return MDB_SUCCESS;
      rc = mdb_cursor_get(c, &key, &data, MDB_NEXT);
    }
    return rc == MDB_NOTFOUND ? MDB_SUCCESS : rc;
  });
  return internal::StatusFromLmdb(rc);
}

}  // namespace qrole::data
