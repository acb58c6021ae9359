#include "data/blob_store.h"

#include <cstdio>
#include <utility>

#include "platform/env.h"
#include "platform/path.h"

namespace qrole::data {

std::string BlobFolderFor(std::string_view data_path) {
  const std::string dir = platform::DirName(data_path);
  std::string base = platform::BaseName(data_path);
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos) base.resize(dot);
  return platform::JoinPath(dir, base + ".QRB");
}

const std::string& BlobStore::folder() const {
  // Resolving a folder that does not exist lists its directory: only done
  // when a long content is really asked for.
  if (folder_.empty() && !given_.empty()) folder_ = platform::CurrentEnv()->Files().Resolve(given_);
  return folder_;
}

std::string BlobStore::ContentPath(int32_t record, int code) const {
  char name[32];
  std::snprintf(name, sizeof name, "%010ld-%02d", static_cast<long>(record), code);
  return platform::JoinPath(folder(), name);
}

platform::Result<std::string> BlobStore::Get(int32_t record, int code) const {
  platform::Result<std::string> bytes =
      platform::CurrentEnv()->Files().ReadAll(ContentPath(record, code));
  if (!bytes.ok() && bytes.status().IsNotFound()) return std::string();
  return bytes;
}

platform::Status BlobStore::Put(int32_t record, int code, std::string_view bytes) {
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  const std::string path = ContentPath(record, code);
  if (bytes.empty()) {
    platform::Status removed = files.Remove(path);
    return removed.IsNotFound() ? platform::Status::Ok() : removed;
  }
  if (platform::Status made = files.CreateDirectories(folder()); !made.ok()) return made;
  return files.WriteAllAtomic(path, bytes);
}

platform::Status BlobStore::RemoveRecord(int32_t record, const std::vector<int>& codes) {
  platform::Status first = platform::Status::Ok();
  for (int code : codes) {
    platform::Status removed = Put(record, code, "");
    if (first.ok() && !removed.ok()) first = removed;
  }
  return first;
}

}  // namespace qrole::data
