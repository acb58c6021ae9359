#include "data/keyed_engine.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "data/globals.h"
#include "data/keyed_engine_internal.h"
#include "platform/env.h"

namespace qrole::data {

namespace es = engine_status;
using internal::IndexEnv;
using internal::OpenIndex;
using internal::Position;

namespace {

bool IsBlank(char c) { return c == ' '; }

// The largest record number the engine hands out.
constexpr uint32_t kMaxRecord = static_cast<uint32_t>(std::numeric_limits<int32_t>::max());

}  // namespace

std::string Str(int64_t n) { return (n >= 0 ? " " : "") + std::to_string(n); }

namespace internal {

bool CommandReader::Number(int64_t* out, char separator) {
  const size_t end = std::min(rest_.find(separator), rest_.size());
  std::string_view field = rest_.substr(0, end);
  while (!field.empty() && IsBlank(field.front())) field.remove_prefix(1);
  while (!field.empty() && IsBlank(field.back())) field.remove_suffix(1);
  bool negative = false;
  if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
    negative = field.front() == '-';
    field.remove_prefix(1);
  }
  if (field.empty() || field.size() > 12) return false;
  int64_t v = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = negative ? -v : v;
  rest_.remove_prefix(std::min(end + 1, rest_.size()));
  return true;
}

bool CommandReader::Skip(std::string_view literal) {
  if (!rest_.starts_with(literal)) return false;
  rest_.remove_prefix(literal.size());
  return true;
}

}  // namespace internal

// --- Impl: files ----------------------------------------------------------

OpenIndex* KeyedEngine::Impl::Get(int64_t file) {
  if (file < 0 || file >= kSlotCount) return nullptr;
  OpenIndex& f = files[static_cast<size_t>(file)];
  return f.env ? &f : nullptr;
}

int KeyedEngine::Impl::KeyWidth(OpenIndex& f, int k) {
  int& width = f.width[static_cast<size_t>(k)];
  if (width >= 0) return width;
  f.env->Read([&](MDB_txn*) {
    MDB_cursor* c = f.env->ReadCursor(k);
    MDB_val key, data;
    if (c != nullptr && mdb_cursor_get(c, &key, &data, MDB_FIRST) == MDB_SUCCESS) {
      width = static_cast<int>(key.mv_size);
    }
    return MDB_SUCCESS;
  });
  return width;
}

std::string_view KeyedEngine::Impl::Padded(OpenIndex& f, int k, std::string_view key) {
  const int width = KeyWidth(f, k);
  if (width < 0 || key.size() >= static_cast<size_t>(width)) return key;
  scratch.assign(key);
  scratch.resize(static_cast<size_t>(width), ' ');
  return scratch;
}

int16_t KeyedEngine::Impl::FileAndKeys(std::string_view text, int64_t* file, OpenIndex** f,
                                       std::vector<std::string_view>* keys) {
  const size_t sep = text.find('\\');
  const std::string_view keys_text = sep == std::string_view::npos ? "" : text.substr(sep);
  internal::CommandReader reader(text.substr(0, sep));
  if (!reader.Number(file)) return es::kInvalidCommand;
  *f = Get(*file);
  if (*f == nullptr) return es::kFileNotOpen;
  if (!SplitKeys(**f, keys_text, keys)) return es::kInvalidCommand;
  return es::kOk;
}

bool KeyedEngine::Impl::SplitKeys(OpenIndex& f, std::string_view body,
                                  std::vector<std::string_view>* keys) {
  keys->clear();
  const int count = f.env->index_count();
  if (body.empty()) return true;
  if (body.front() != '\\') return false;
  // By the declared widths first: keys may hold "\" themselves.
  size_t expected = 0;
  bool widths_known = true;
  for (int k = 1; k <= count; ++k) {
    const int w = f.width[static_cast<size_t>(k)];
    if (w < 0) widths_known = false;
    expected += static_cast<size_t>(std::max(w, 0)) + 1;
  }
  if (widths_known && expected == body.size()) {
    size_t at = 0;
    bool ok = true;
    for (int k = 1; k <= count && ok; ++k) {
      const size_t w = static_cast<size_t>(f.width[static_cast<size_t>(k)]);
      ok = body[at] == '\\';
      keys->push_back(body.substr(at + 1, w));
      at += w + 1;
    }
    if (ok) return true;
    keys->clear();
  }
  body.remove_prefix(1);
  for (;;) {
    const size_t sep = body.find('\\');
    keys->push_back(body.substr(0, sep));
    if (sep == std::string_view::npos) break;
    body.remove_prefix(sep + 1);
  }
  return static_cast<int>(keys->size()) <= count;
}

void KeyedEngine::Impl::Open(std::string_view body, int32_t& record, int16_t& status) {
  record = 0;
  const size_t slash = body.rfind('/');
  int64_t file = -1;
  internal::CommandReader number(slash == std::string_view::npos ? "" : body.substr(slash + 1));
  if (slash == std::string_view::npos || !number.Number(&file, '/') || file < 0 ||
      file >= kSlotCount) {
    status = es::kInvalidCommand;
    return;
  }
  OpenIndex& f = files[static_cast<size_t>(file)];
  f = OpenIndex();
  const std::string path =
      platform::CurrentEnv()->Files().Resolve(std::string(body.substr(0, slash)));
  std::shared_ptr<IndexEnv> env;
  status = IndexEnv::Open(path, &env);
  if (status == es::kOk) f.env = std::move(env);
}

void KeyedEngine::Impl::Create(std::string_view body, int32_t& record, int16_t& status) {
  record = 0;
  status = es::kInvalidCommand;
  const size_t a = body.rfind("/A/");
  if (a == std::string_view::npos) return;
  int64_t longest = 0, count = 0, file = -1;
  internal::CommandReader tail(body.substr(a + 3));
  if (!tail.Number(&longest, '/')) return;
  std::string_view head = body.substr(0, a);
  const size_t count_at = head.rfind('/');
  if (count_at == std::string_view::npos) return;
  internal::CommandReader count_reader(head.substr(count_at + 1));
  if (!count_reader.Number(&count, '/')) return;
  head = head.substr(0, count_at);
  const size_t file_at = head.rfind('/');
  if (file_at == std::string_view::npos) return;
  internal::CommandReader file_reader(head.substr(file_at + 1));
  if (!file_reader.Number(&file, '/') || file < 0 || file >= kSlotCount || count < 0 ||
      count > kMaxIndexes || longest < 0 || longest > kMaxKeyLength) {
    return;
  }
  OpenIndex& f = files[static_cast<size_t>(file)];
  f = OpenIndex();
  const std::string path =
      platform::CurrentEnv()->Files().Resolve(std::string(head.substr(0, file_at)));
  std::shared_ptr<IndexEnv> env;
  status = IndexEnv::Create(path, static_cast<int>(count), static_cast<int>(longest), &env);
  if (status == es::kOk) f.env = std::move(env);
}

void KeyedEngine::Impl::CloseAll() {
  // An environment is flushed and closed when its last user lets go.
  for (OpenIndex& f : files) f = OpenIndex();
}

void KeyedEngine::Impl::CheckEmpty(std::string_view body, int16_t& status) {
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
  bool empty = true;
  const int rc = f->env->Read([&](MDB_txn* txn) {
    uint32_t next = 1;
    int rc = f->env->ReadNext(txn, &next);
    if (rc == MDB_SUCCESS && next != 1) empty = false;
    for (int k = 1; rc == MDB_SUCCESS && empty && k <= f->env->index_count(); ++k) {
      MDB_stat st;
      rc = mdb_stat(txn, f->env->index_dbi(k), &st);
      if (rc == MDB_SUCCESS && st.ms_entries > 0) empty = false;
    }
    return rc;
  });
  status = rc != MDB_SUCCESS ? internal::StatusFromLmdb(rc) : empty ? es::kOk : es::kIndexNotEmpty;
}

void KeyedEngine::Impl::Insert(std::string_view body, int32_t& record, int16_t& status,
                               const AppendHooks* hooks) {
  record = 0;
  // file, then "\" key1 "\" key2 ...
  int64_t file = -1;
  OpenIndex* f = nullptr;
  std::vector<std::string_view> keys;
  status = FileAndKeys(body, &file, &f, &keys);
  if (status != es::kOk) return;
  for (std::string_view key : keys) {
    if (key.size() > static_cast<size_t>(kMaxKeyLength)) {
      status = es::kKeyTooLong;
      return;
    }
  }
  platform::Status hook_status;
  std::optional<uint32_t> written;  // written by an attempt that did not commit
  uint32_t chosen = 0;
  IndexEnv& env = *f->env;
  const int rc = env.Write([&](MDB_txn* txn) {
    uint32_t next = 1;
    int rc = env.ReadNext(txn, &next);
    if (rc != MDB_SUCCESS) return rc;
    uint32_t n = next;
    if (hooks != nullptr && hooks->records_in_file) {
      platform::Result<int64_t> in_file = hooks->records_in_file();
      if (!in_file.ok()) {
        hook_status = in_file.status();
        return internal::kHookFailed;
      }
      const int64_t held = *in_file;
      // The record an earlier attempt wrote is the file's last: use it again.
      if (written && held == static_cast<int64_t>(*written) && next <= *written) {
        n = *written;
      } else if (held + 1 > static_cast<int64_t>(n)) {
        n = static_cast<uint32_t>(std::min<int64_t>(held + 1, int64_t{kMaxRecord} + 1));
      }
    }
    if (n > kMaxRecord) return internal::kNumbersExhausted;
    char be[4];
    internal::PackRecord(n, be);
    for (size_t k = 0; k < keys.size(); ++k) {
      if (keys[k].empty()) continue;
      rc = env.Put(txn, static_cast<int>(k) + 1, keys[k], std::string_view(be, 4), MDB_NODUPDATA);
      if (rc == MDB_KEYEXIST) rc = MDB_SUCCESS;
      if (rc != MDB_SUCCESS) return rc;
    }
    rc = env.WriteNext(txn, n + 1);
    if (rc != MDB_SUCCESS) return rc;
    if (hooks != nullptr && hooks->write_record) {
      hook_status = hooks->write_record(static_cast<int32_t>(n));
      if (!hook_status.ok()) return internal::kHookFailed;
      written = n;
    }
    chosen = n;
    return MDB_SUCCESS;
  });
  if (written && (rc != MDB_SUCCESS || chosen != *written) && hooks != nullptr &&
      hooks->abandon_record) {
    hooks->abandon_record(static_cast<int32_t>(*written));
  }
  if (rc == internal::kHookFailed) {
    status = es::kIoError;
    return;
  }
  if (rc == internal::kNumbersExhausted) {
    status = es::kIndexFull;
    return;
  }
  status = internal::StatusFromLmdb(rc);
  if (status == es::kOk) {
    record = static_cast<int32_t>(chosen);
    for (size_t k = 0; k < keys.size(); ++k) {
      int& width = f->width[k + 1];
      if (width < 0 && !keys[k].empty()) width = static_cast<int>(keys[k].size());
    }
  }
}

void KeyedEngine::Impl::Remove(std::string_view body, int16_t& status) {
  // record "\Y\" file, then "\" key1 "\" key2 ...
  internal::CommandReader reader(body);
  int64_t record = 0, file = -1;
  if (!reader.Number(&record) || !reader.Skip("Y\\") || record < 1 || record > kMaxRecord) {
    status = es::kInvalidCommand;
    return;
  }
  OpenIndex* f = nullptr;
  std::vector<std::string_view> keys;
  status = FileAndKeys(reader.rest(), &file, &f, &keys);
  if (status != es::kOk) return;
  bool missing = false;
  char be[4];
  internal::PackRecord(static_cast<uint32_t>(record), be);
  const int rc = f->env->Write([&](MDB_txn* txn) {
    missing = false;
    for (size_t k = 0; k < keys.size(); ++k) {
      if (keys[k].empty()) continue;
      const int rc = f->env->Delete(txn, static_cast<int>(k) + 1, keys[k], std::string_view(be, 4));
      if (rc == MDB_NOTFOUND || rc == MDB_BAD_VALSIZE) {
        missing = true;
      } else if (rc != MDB_SUCCESS) {
        return rc;
      }
    }
    return MDB_SUCCESS;
  });
  status = rc != MDB_SUCCESS ? internal::StatusFromLmdb(rc) : missing ? es::kKeyNotFound : es::kOk;
}

void KeyedEngine::Impl::Replace(std::string_view body, int16_t& status) {
  internal::CommandReader reader(body);
  int64_t index = 0, record = 0, file = -1;
  if (!reader.Number(&index) || !reader.Number(&record) || !reader.Number(&file) || record < 1 ||
      record > kMaxRecord) {
    status = es::kInvalidCommand;
    return;
  }
  OpenIndex* f = Get(file);
  if (f == nullptr) {
    status = es::kFileNotOpen;
    return;
  }
  if (index < 1 || index > f->env->index_count()) {
    status = es::kInvalidIndex;
    return;
  }
  // "new\old": split by the key width when known, else in the middle (both
  // keys have the index's width), else at the first "\".
  const std::string_view rest = reader.rest();
  const int width = f->width[static_cast<size_t>(index)];
  size_t sep = std::string_view::npos;
  if (width >= 0 && rest.size() == 2 * static_cast<size_t>(width) + 1 && rest[width] == '\\') {
    sep = static_cast<size_t>(width);
  } else if (rest.size() % 2 == 1 && rest[rest.size() / 2] == '\\') {
    sep = rest.size() / 2;
  } else {
    sep = rest.find('\\');
  }
  if (sep == std::string_view::npos) {
    status = es::kInvalidCommand;
    return;
  }
  const std::string_view new_key = rest.substr(0, sep);
  const std::string_view old_key = rest.substr(sep + 1);
  if (new_key.size() > static_cast<size_t>(kMaxKeyLength)) {
    status = es::kKeyTooLong;
    return;
  }
  if (new_key == old_key) {
    status = es::kOk;
    return;
  }
  bool missing = false;
  char be[4];
  internal::PackRecord(static_cast<uint32_t>(record), be);
  const int db = static_cast<int>(index);
  const std::string_view record_bytes(be, 4);
  const int rc = f->env->Write([&](MDB_txn* txn) {
    missing = false;
    int rc = old_key.empty() ? MDB_NOTFOUND : f->env->Delete(txn, db, old_key, record_bytes);
    if (rc == MDB_NOTFOUND || rc == MDB_BAD_VALSIZE) {
      missing = !old_key.empty();
    } else if (rc != MDB_SUCCESS) {
      return rc;
    }
    if (new_key.empty()) return MDB_SUCCESS;
    rc = f->env->Put(txn, db, new_key, record_bytes, MDB_NODUPDATA);
    return rc == MDB_KEYEXIST ? MDB_SUCCESS : rc;
  });
  status = rc != MDB_SUCCESS ? internal::StatusFromLmdb(rc) : missing ? es::kKeyNotFound : es::kOk;
}

// --- KeyedEngine ----------------------------------------------------------

KeyedEngine::KeyedEngine() : impl_(std::make_unique<Impl>()) {}
KeyedEngine::~KeyedEngine() = default;

void KeyedEngine::Execute(std::string& command, int32_t& record, int16_t& status) {
  const std::string_view c = command;
  if (c.starts_with("/O/")) return impl_->Open(c.substr(3), record, status);
  if (c.starts_with("/C/")) return impl_->Create(c.substr(3), record, status);
  if (c == "K") {
    impl_->CloseAll();
    record = 0;
    status = es::kOk;
    return;
  }
  status = es::kInvalidCommand;
  if (c.size() < 3 || c[1] != '\\') return;
  const std::string_view body = c.substr(2);
  switch (c[0]) {
    case 'M':
      return impl_->CheckEmpty(body, status);
    case 'I':
      return impl_->Insert(body, record, status, nullptr);
    case 'D':
      return impl_->Remove(body, status);
    case 'R':
      return impl_->Replace(body, status);
    case 'S':
    case 'G':
      return impl_->Search(c[0], body, record, status);
    case 'F':
    case 'L':
      return impl_->FirstOrLast(c[0], body, record, status);
    case 'N':
    case 'P':
      return impl_->Step(c[0], body, record, status);
    case 'A':
    case 'E':
      return impl_->Neighbour(c[0], body, record, status);
    default:
      return;
  }
}

void KeyedEngine::ExecuteAppend(std::string& command, int32_t& record, int16_t& status,
                                const AppendHooks& hooks) {
  const std::string_view c = command;
  if (!c.starts_with("I\\") || c.size() < 3) {
    record = 0;
    status = es::kInvalidCommand;
    return;
  }
  impl_->Insert(c.substr(2), record, status, &hooks);
}

void KeyedEngine::DeclareKeyWidths(int file, const std::vector<int>& widths) {
  OpenIndex* f = impl_->Get(file);
  if (f == nullptr) return;
  for (size_t k = 0; k < widths.size() && k < static_cast<size_t>(kMaxIndexes); ++k) {
    f->width[k + 1] = widths[k];
  }
}

void KeyedEngine::CloseFile(int file) {
  if (file < 0 || file >= kSlotCount) return;
  impl_->files[static_cast<size_t>(file)] = OpenIndex();
}

bool KeyedEngine::IsOpen(int file) const { return impl_->Get(file) != nullptr; }

platform::Result<IndexFileInfo> KeyedEngine::Info(int file) {
  OpenIndex* f = impl_->Get(file);
  if (f == nullptr) return platform::Status::NotFound("no index file open as " + Str(file));
  IndexFileInfo info;
  info.path = f->env->path();
  info.index_count = f->env->index_count();
  info.longest_key = f->env->longest_key();
  info.map_size = f->env->map_size();
  info.used_bytes = f->env->used_bytes();
  const int rc =
      f->env->Read([&](MDB_txn* txn) { return f->env->ReadNext(txn, &info.next_record); });
  if (rc != MDB_SUCCESS) return platform::Status::IOError(mdb_strerror(rc));
  return info;
}

int16_t KeyedEngine::Rebuild(int file, const EntryProducer& produce) {
  OpenIndex* f = impl_->Get(file);
  if (f == nullptr) return es::kFileNotOpen;
  IndexEnv& env = *f->env;
  std::vector<PackedEntries> entries;
  size_t needed = 0;
  int rc = MDB_SUCCESS;
  for (int attempt = 0; attempt < 4; ++attempt) {
    rc = env.WriteDirect([&](MDB_txn* txn) {
      entries.clear();
      uint32_t next_record = 1;
      if (!produce(&entries, &next_record).ok()) return internal::kHookFailed;
      if (static_cast<int>(entries.size()) > env.index_count()) return MDB_INCOMPATIBLE;
      // The old pages stay in use until the commit: the new ones must fit
      // beside them.
      needed = 0;
      for (const PackedEntries& e : entries) {
        const size_t step = static_cast<size_t>(e.key_length) + 4;
        needed += e.packed.size() / step * (step + 16);
      }
      needed += needed / 4 + (size_t{1} << 20);
      if (env.used_bytes() + needed > env.map_size()) return internal::kNeedRoom;
      int rc = MDB_SUCCESS;
      for (int k = 1; rc == MDB_SUCCESS && k <= env.index_count(); ++k) {
        rc = mdb_drop(txn, env.index_dbi(k), 0);
      }
      for (size_t i = 0; rc == MDB_SUCCESS && i < entries.size(); ++i) {
        const PackedEntries& e = entries[i];
        const size_t w = static_cast<size_t>(e.key_length);
        if (w == 0) continue;
        MDB_cursor* cursor = nullptr;
        rc = mdb_cursor_open(txn, env.index_dbi(static_cast<int>(i) + 1), &cursor);
        std::string_view previous;
        for (size_t at = 0; rc == MDB_SUCCESS && at + w + 4 <= e.packed.size(); at += w + 4) {
          const std::string_view key(e.packed.data() + at, w);
          MDB_val k = internal::ToVal(key), d{4, const_cast<char*>(e.packed.data() + at + w)};
          rc = mdb_cursor_put(cursor, &k, &d, key == previous ? MDB_APPENDDUP : MDB_APPEND);
          previous = key;
        }
        if (cursor != nullptr) mdb_cursor_close(cursor);
      }
      uint32_t next = 1;
      if (rc == MDB_SUCCESS) rc = env.ReadNext(txn, &next);
      if (rc == MDB_SUCCESS) rc = env.WriteNext(txn, std::max(next, next_record));
      return rc;
    });
    if (rc != internal::kNeedRoom) break;
    if (env.Grow(needed) != MDB_SUCCESS) return es::kIndexFull;
  }
  if (rc == internal::kHookFailed) return es::kIoError;
  if (rc == MDB_INCOMPATIBLE) return es::kInvalidIndex;
  if (rc == internal::kNeedRoom) return es::kIndexFull;
  if (rc == MDB_SUCCESS) {
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].key_length > 0) f->width[i + 1] = entries[i].key_length;
    }
    env.Sync();
  }
  return internal::StatusFromLmdb(rc);
}

int16_t KeyedEngine::ForEachEntry(int file, int index,
                                  const std::function<void(std::string_view, uint32_t)>& fn) {
  return ScanFrom(file, index, "", 0, [&](std::string_view key, uint32_t record) {
    fn(key, record);
    return true;
  });
}

void KeyedEngine::SyncAll() {
  for (OpenIndex& f : impl_->files) {
    if (f.env) f.env->Sync();
  }
}

KeyedEngine& Engine() {
  static KeyedEngine* engine = new KeyedEngine();
  return *engine;
}

int16_t SendEngineCommand(std::string command) {
  DataGlobals& g = Globals();
  g.engine_command = std::move(command);
  Engine().Execute(g.engine_command, g.engine_record, g.engine_status);
  return g.engine_status;
}

}  // namespace qrole::data
