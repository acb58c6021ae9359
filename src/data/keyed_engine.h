// The keyed engine: key index files (".QRC") of the record files, and
// navigation through them, driven by command texts.
//
// Design: one process-wide engine (Engine()) keeps, per file number (0 to
// 15), the open index file and the current entry ("the index last used on
// the file": index number, key and record number). Index files are LMDB
// environments (see index_store_internal.h and docs/formats.md); every
// command runs in its own transaction and none is held between commands, so
// other processes can always read and write the same files. Records are
// numbered from 1 in the order their keys were first inserted; keys of one
// index may repeat (duplicates), and duplicates are kept in record-number
// order, which is their insertion order. Keys are compared byte by byte.
//
// Command texts ("\" and "/" are literal; numbers are decimal text and may
// carry blanks, as Str writes them):
//   "/O/" path "/" file                 open the file's index file
//   "/C/" path "/" file "/" count "/A/" longest   create (or empty) it
//   "M\" file                           0 when the index holds nothing
//   "I\" file all-keys                  add a record: EngineRecord = its number
//   "D\" record "\Y\" file all-keys     remove that record's keys
//   "R\" index "\" record "\" file "\" new "\" old   replace one key
//   "S\" index "\" file "\" key         exact search
//   "G\" index "\" file "\" key         first key not below (0, 13, 12)
//   "F\" / "L\" index "\" file          first / last entry
//   "N\" / "P\" file                    next / previous in the last index used
//   "A\" index "\" record "\" file "\" key   first entry after (key, record);
//                                       record 999999 or more: after every
//                                       entry of the key
//   "E\" index "\" record "\" file "\" key   last entry before (key, record);
//                                       record 0: before every entry of it
//   "K"                                 close every index file
// where all-keys is "\" key1 "\" key2 ... for indexes 1 to the file's count.
// "S\", "A\" and "E\" compare a key shorter than its index's keys as if blank
// padded; "G\" compares it as given (a prefix). Statuses: engine_status.h.
//
// Not thread-safe: one thread at a time (the automation thread).

#ifndef QROLE_DATA_KEYED_ENGINE_H_
#define QROLE_DATA_KEYED_ENGINE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/engine_status.h"
#include "platform/status.h"

namespace qrole::data {

// Str: a number as text with a blank before non-negative numbers (" 4",
// "-1").
std::string Str(int64_t n);

// What an append does with the record file inside the insert's transaction.
struct AppendHooks {
  // How many records (whole or partial) the record file holds now. The new
  // record number is above both this count and every number given before.
  std::function<platform::Result<int64_t>()> records_in_file;
  // Writes the record under its new number, after its keys are in and
  // before they are committed; a failure (or an exception) undoes the keys.
  std::function<platform::Status(int32_t record)> write_record;
  // Called with a number that write_record filled but whose keys could not
  // be committed, when the number cannot be used again: the hook marks that
  // record cancelled so that no rebuild brings it back.
  std::function<void(int32_t record)> abandon_record;
};

// Entries of one index for Rebuild: keys of key_length bytes, each followed
// by its record number as 4 big-endian bytes, sorted by those bytes.
struct PackedEntries {
  int key_length = 0;
  std::string packed;
};

// Facts about an open index file.
struct IndexFileInfo {
  std::string path;
  int index_count = 0;
  int longest_key = 0;
  uint32_t next_record = 1;  // number the next insert gets (at least)
  size_t map_size = 0;
  size_t used_bytes = 0;
};

class KeyedEngine {
 public:
  KeyedEngine();
  ~KeyedEngine();
  KeyedEngine(const KeyedEngine&) = delete;
  KeyedEngine& operator=(const KeyedEngine&) = delete;

  // Runs one command. `record` and `status` are set as the command defines
  // (status 0 = success or found; record 0 = none); `command` is not
  // changed. Never throws.
  void Execute(std::string& command, int32_t& record, int16_t& status);

  // Runs an "I\" command whose record is written through `hooks` inside the
  // insert's transaction, so that no other process ever finds a key whose
  // record is not written yet, and a failed write leaves no key behind. An
  // exception from a hook undoes the insert and propagates.
  void ExecuteAppend(std::string& command, int32_t& record, int16_t& status,
                     const AppendHooks& hooks);

  // Key widths of the indexes of `file` (widths[k - 1] for index k, 0 when
  // unknown), used to split all-keys texts whose keys hold "\" and to pad
  // short keys. Kept until the file is closed.
  void DeclareKeyWidths(int file, const std::vector<int>& widths);

  // Closes the index file open under `file` (nothing when none).
  void CloseFile(int file);
  // True when `file` has an open index file.
  bool IsOpen(int file) const;
  platform::Result<IndexFileInfo> Info(int file);

  // Replaces the whole content of the indexes of `file` with the entries
  // `produce` gives (entries[k - 1] for index k) and raises the record counter
  // to at least the `next_record` it gives, in one write transaction:
  // `produce` runs inside it (so no other process changes the indexes
  // meanwhile) and may run more than once. Returns an engine status
  // (kIoError when `produce` fails; an exception from it propagates).
  using EntryProducer =
      std::function<platform::Status(std::vector<PackedEntries>* entries, uint32_t* next_record)>;
  int16_t Rebuild(int file, const EntryProducer& produce);

  // Calls `fn(key, record)` for every entry of index k of `file` in order.
  // Returns an engine status.
  int16_t ForEachEntry(int file, int index,
                       const std::function<void(std::string_view key, uint32_t record)>& fn);

  // Calls `fn(key, record)` for the entries of index k of `file` in order,
  // until `fn` returns false or the index ends, all of them in one read
  // snapshot: with `after` 0, from the first entry whose key is not below
  // `start` (compared as given, as "G\" does); otherwise from the first
  // entry after (`start`, `after`) in (key, record) order, as "N\" goes on
  // from that entry (so a long walk can go on in another snapshot). The
  // file's current entry (where "N\" and "P\" go on from) is not moved.
  // `fn` must not send engine commands. Returns an engine status (kOk also
  // when no entry was visited).
  int16_t ScanFrom(int file, int index, std::string_view start, uint32_t after,
                   const std::function<bool(std::string_view key, uint32_t record)>& fn);

  // Flushes every open index file to disk.
  void SyncAll();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The process-wide engine, created on first use, never destroyed.
KeyedEngine& Engine();

// Sends `command` to the engine through the globals: EngineCommand =
// command, then Execute(EngineCommand, EngineRecord, EngineStatus). Returns
// EngineStatus.
int16_t SendEngineCommand(std::string command);

}  // namespace qrole::data

#endif  // QROLE_DATA_KEYED_ENGINE_H_
