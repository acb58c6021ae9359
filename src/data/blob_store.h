// Long contents of a table: field values that the fixed-length record cannot
// hold (the attached document of a journal line, the file of a fixed asset).
//
// Design: a long-content field is declared in the definition file with type
// kLongContentType (90) and declared length 0, so that it takes no byte of
// the record and the record code, its keys and its layout ignore it. Its
// content lives beside the record file, in the folder named like the record
// file with the extension ".QRB" (EXTRA01.QRD -> EXTRA01.QRB/), one file per
// record and field: the record number in ten digits, "-", the field code in
// two digits ("0000000123-28"). The bytes are kept exactly as given (any
// byte, NUL included); an empty content has no file. Each content is written
// whole to a temporary file, flushed and renamed over the old one, so that a
// reader (in this process or another) sees the old or the new content, never
// a mix, even after a crash. Record numbers are never reused, so a content
// left behind by a crash between a cancellation and the removal of its
// contents can never be taken for another record's.
//
// Not thread-safe; one store per open table.

#ifndef QROLE_DATA_BLOB_STORE_H_
#define QROLE_DATA_BLOB_STORE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qrole::data {

// Type code of a long-content field (declared length 0, no record bytes).
inline constexpr int kLongContentType = 90;
inline bool IsLongContentType(int type) { return type == kLongContentType; }

class BlobStore {
 public:
  BlobStore() = default;
  // `folder`: the store's folder (record file path with ".QRB" instead of
  // its extension), found whatever the case of its name when first used.
  // Nothing is created until a content is written.
  explicit BlobStore(std::string folder) : given_(std::move(folder)) {}

  const std::string& folder() const;

  // The content of field `code` of record `record`; the empty text when it
  // has none.
  platform::Result<std::string> Get(int32_t record, int code) const;

  // Replaces the content (the empty text removes it). The folder is created
  // when missing.
  platform::Status Put(int32_t record, int code, std::string_view bytes);

  // Removes the contents of `codes` of a record (those missing are fine).
  platform::Status RemoveRecord(int32_t record, const std::vector<int>& codes);

  // The path of one content's file.
  std::string ContentPath(int32_t record, int code) const;

 private:
  std::string given_;
  mutable std::string folder_;  // given_ resolved, on first use
};

// The folder of the long contents of the record file at `data_path` (as
// named; BlobStore finds it whatever its case).
std::string BlobFolderFor(std::string_view data_path);

}  // namespace qrole::data

#endif  // QROLE_DATA_BLOB_STORE_H_
