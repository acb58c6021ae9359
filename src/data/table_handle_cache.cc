// The table component's handles kept open between uses.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/record_file.h"
#include "data/table_component_internal.h"
#include "platform/file_identity.h"

namespace qrole::data::internal {

namespace {

// More idle handles than this are not kept (a process works on a few tables
// of one company at a time).
constexpr size_t kKeptHandles = 32;

struct KeptHandles {
  std::map<std::string, std::vector<std::unique_ptr<TableHandle>>> by_key;
  size_t count = 0;
};

KeptHandles& Kept() {
  static auto* kept = new KeptHandles();
  return *kept;
}

bool StillTheSameFiles(const TableHandle& h) {
  return !h.data_stamp.empty() && platform::FileStamp(h.data_path) == h.data_stamp &&
         platform::FileStamp(h.index_path) == h.index_stamp &&
         platform::FileVersion(h.definition_path) == h.definition_version;
}

}  // namespace

std::unique_ptr<TableHandle> TakeKeptHandle(const std::string& key) {
  KeptHandles& kept = Kept();
  auto it = kept.by_key.find(key);
  if (it == kept.by_key.end() || it->second.empty()) return nullptr;
  std::unique_ptr<TableHandle> handle = std::move(it->second.back());
  it->second.pop_back();
  --kept.count;
  if (StillTheSameFiles(*handle)) return handle;
  // The table's files changed: every idle handle on them is stale.
  kept.count -= it->second.size();
  kept.by_key.erase(it);
  return nullptr;
}

void StampHandle(TableHandle& handle, const std::string& key) {
  if (!platform::KeepFilesOpenBetweenCalls()) return;
  handle.kept_key = key;
  handle.data_stamp = platform::FileStamp(handle.data_path);
  handle.index_stamp = platform::FileStamp(handle.index_path);
  handle.definition_path = DefinitionFilePath(handle.table);
  handle.definition_version = platform::FileVersion(handle.definition_path);
  // Without a way to see a change, the handle is not kept.
  if (handle.index_stamp.empty() || handle.definition_version.empty()) handle.data_stamp.clear();
}

void KeepHandle(std::unique_ptr<TableHandle> handle) {
  if (handle == nullptr || handle->kept_key.empty() || handle->data_stamp.empty() ||
      !platform::KeepFilesOpenBetweenCalls())
    return;
  KeptHandles& kept = Kept();
  if (kept.count >= kKeptHandles) ReleaseKeptHandles();
  kept.by_key[handle->kept_key].push_back(std::move(handle));
  ++kept.count;
}

void ReleaseKeptHandles() {
  Kept().by_key.clear();
  Kept().count = 0;
}

}  // namespace qrole::data::internal
