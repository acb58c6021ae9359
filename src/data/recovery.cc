// Writing log records into the files again (recovery).
//
// File changes are compared, not replayed blindly: the bytes a record wrote
// may since have been changed by a later record of the log, and after a
// restart of the machine by another program too. Every file is cut into
// segments at the edges of the changes; a segment is written with the last
// change's bytes when it holds the state before the first change or after
// any of them (the files lost writes, or never got them), and left alone when
// it holds something no change of ours produced (another program wrote it
// later: undoing that would lose its work).

#include <algorithm>
#include <map>

#include "data/engine_status.h"
#include "data/index_store_internal.h"
#include "data/transaction_internal.h"
#include "platform/env.h"

namespace qrole::data::internal {

namespace {

// Bytes [lo, hi) of a change's `before` (zeros where the file ended) or
// `after`.
std::string Slice(const std::string& bytes, uint64_t offset, uint64_t lo, uint64_t hi) {
  std::string out(static_cast<size_t>(hi - lo), '\0');
  if (lo - offset < bytes.size()) {
    const size_t from = static_cast<size_t>(lo - offset);
    const size_t n = std::min(out.size(), bytes.size() - from);
    out.replace(0, n, bytes, from, n);
  }
  return out;
}

platform::Status RedoFile(const std::string& path, const std::vector<const FileChange*>& changes,
                          RedoReport* report) {
  std::vector<uint64_t> edges;
  for (const FileChange* c : changes) {
    edges.push_back(c->offset);
    edges.push_back(c->offset + c->after.size());
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  if (edges.size() < 2) return platform::Status::Ok();
  // The changes over each segment, in log order.
  std::vector<std::vector<const FileChange*>> over(edges.size() - 1);
  for (const FileChange* c : changes) {
    auto at = std::lower_bound(edges.begin(), edges.end(), c->offset) - edges.begin();
    for (size_t i = static_cast<size_t>(at);
         i + 1 < edges.size() && edges[i + 1] <= c->offset + c->after.size(); ++i)
      over[i].push_back(c);
  }
  auto opened = platform::CurrentEnv()->Files().Open(path, platform::OpenMode::ReadWriteCreate);
  if (!opened.ok()) return opened.status();
  platform::File& file = **opened;
  std::string current;
  for (size_t i = 0; i + 1 < edges.size(); ++i) {
    if (over[i].empty()) continue;
    const uint64_t lo = edges[i], hi = edges[i + 1];
    const FileChange& last = *over[i].back();
    const std::string final_bytes = Slice(last.after, last.offset, lo, hi);
    platform::Status status = file.ReadAt(lo, static_cast<size_t>(hi - lo), &current);
    if (!status.ok()) return status;
    current.resize(static_cast<size_t>(hi - lo), '\0');
    if (current == final_bytes) continue;
    bool ours = false;
    for (const FileChange* c : over[i]) {
      if (current == Slice(c->before, c->offset, lo, hi) ||
          current == Slice(c->after, c->offset, lo, hi)) {
        ours = true;
        break;
      }
    }
    if (!ours) {
      ++report->conflicts;
      report->notes.push_back(path + ": bytes " + std::to_string(lo) + "-" +
                              std::to_string(hi - 1) +
                              " changed by another program; left as they are");
      continue;
    }
    status = file.WriteAt(lo, final_bytes);
    if (!status.ok()) return status;
  }
  return platform::Status::Ok();
}

int RedoIndexChange(IndexEnv& env, MDB_txn* txn, const IndexChange& c) {
  if (c.db > env.index_count()) return MDB_SUCCESS;
  switch (c.kind) {
    case IndexChange::kPut: {
      if (c.db == 0 && c.key == "next" && c.data.size() == 4) {
        // The record counter only grows: appends made since stay counted.
        uint32_t next = 1;
        const int rc = env.ReadNext(txn, &next);
        if (rc != MDB_SUCCESS) return rc;
        if (next >= UnpackRecord(c.data.data())) return MDB_SUCCESS;
      }
      const int rc = env.Put(txn, c.db, c.key, c.data, c.flags);
      return rc == MDB_KEYEXIST ? MDB_SUCCESS : rc;
    }
    case IndexChange::kDelete: {
      const int rc = env.Delete(txn, c.db, c.key, c.data);
      return rc == MDB_NOTFOUND ? MDB_SUCCESS : rc;
    }
    case IndexChange::kDrop:
      return env.Drop(txn, c.db);
  }
  return MDB_SUCCESS;
}

}  // namespace

platform::Status RedoRecords(const std::string& directory, const std::vector<FoundRecord>& records,
                             RedoReport* report) {
  std::map<std::string, std::vector<const FileChange*>> by_file;
  for (const FoundRecord& r : records) {
    for (const FileChange& c : r.record.files) by_file[c.file].push_back(&c);
  }
  for (const auto& [name, changes] : by_file) {
    platform::Status status = RedoFile(LoggedPath(directory, name), changes, report);
    if (!status.ok()) return status;
  }
  for (const FoundRecord& r : records) {
    size_t i = 0;
    const std::vector<IndexChange>& all = r.record.indexes;
    while (i < all.size()) {
      size_t j = i;
      while (j < all.size() && all[j].file == all[i].file) ++j;
      std::shared_ptr<IndexEnv> env;
      const std::string path = LoggedPath(directory, all[i].file);
      if (IndexEnv::Open(path, &env) != engine_status::kOk) {
        report->notes.push_back(path + ": index file missing; rebuild it");
      } else {
        const int rc = env->Write([&](MDB_txn* txn) {
          for (size_t k = i; k < j; ++k) {
            const int rc = RedoIndexChange(*env, txn, all[k]);
            if (rc != MDB_SUCCESS) return rc;
          }
          return MDB_SUCCESS;
        });
        if (rc != MDB_SUCCESS)
          return platform::Status::IOError(path + ": " + std::string(mdb_strerror(rc)));
      }
      i = j;
    }
    ++report->records;
  }
  return platform::Status::Ok();
}

}  // namespace qrole::data::internal
