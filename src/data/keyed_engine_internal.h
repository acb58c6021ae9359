// Inside the keyed engine: the per-file state and the command reader shared
// by keyed_engine.cc (files, inserts, removals) and engine_navigation.cc
// (positioning commands).

#ifndef QROLE_DATA_KEYED_ENGINE_INTERNAL_H_
#define QROLE_DATA_KEYED_ENGINE_INTERNAL_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/index_store_internal.h"
#include "data/keyed_engine.h"
#include "data/slot.h"

namespace qrole::data {

namespace internal {

// The current entry of a file: where "N\" and "P\" move from.
struct Position {
  enum class State {
    kNone,         // nothing positioned yet ("N\" and "P\" report the end)
    kAt,           // at (index, key, record), which may have been removed since
    kBeforeFirst,  // before the first entry of `index` ("N\" gives the first)
  };
  State state = State::kNone;
  int index = 0;
  std::string key;
  uint32_t record = 0;
};

struct OpenIndex {
  std::shared_ptr<IndexEnv> env;
  // Key width per index: -1 unknown, else the length of every key of it.
  std::array<int, kMaxIndexes + 1> width;
  Position position;

  OpenIndex() { width.fill(-1); }
};

// Reads the fields of a command text one after another.
class CommandReader {
 public:
  explicit CommandReader(std::string_view text) : rest_(text) {}

  // Reads a decimal number (blanks around it allowed) up to the next
  // `separator` or the end, and skips the separator. False when there is no
  // number there.
  bool Number(int64_t* out, char separator = '\\');
  // Skips `literal` when the text continues with it.
  bool Skip(std::string_view literal);
  // Everything not read yet.
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// A code that is not an LMDB code: a hook of an append failed.
inline constexpr int kHookFailed = -29000;
// A code that is not an LMDB code: no record number is left.
inline constexpr int kNumbersExhausted = -29001;
// A code that is not an LMDB code: the map must grow before a rebuild.
inline constexpr int kNeedRoom = -29002;

}  // namespace internal

struct KeyedEngine::Impl {
  std::array<internal::OpenIndex, kSlotCount> files;
  std::string scratch;  // a copy of a position's key while moving from it

  // File number `file` with an open index file, else nullptr.
  internal::OpenIndex* Get(int64_t file);
  // Width of the keys of index k (learned from its first entry when not
  // declared); -1 when unknown (empty index).
  int KeyWidth(internal::OpenIndex& f, int k);
  // `key` blank padded to the width of index k's keys into `scratch`.
  std::string_view Padded(internal::OpenIndex& f, int k, std::string_view key);
  // Splits an all-keys text ("\k1\k2...") into one key per index.
  // Reads "file \key1\key2..." of an insert or remove command: the open
  // file and its keys; a status other than kOk when they cannot be read.
  int16_t FileAndKeys(std::string_view text, int64_t* file, internal::OpenIndex** f,
                      std::vector<std::string_view>* keys);
  bool SplitKeys(internal::OpenIndex& f, std::string_view body,
                 std::vector<std::string_view>* keys);

  void Open(std::string_view body, int32_t& record, int16_t& status);
  void Create(std::string_view body, int32_t& record, int16_t& status);
  void CloseAll();
  void CheckEmpty(std::string_view body, int16_t& status);
  void Insert(std::string_view body, int32_t& record, int16_t& status, const AppendHooks* hooks);
  void Remove(std::string_view body, int16_t& status);
  void Replace(std::string_view body, int16_t& status);

  // Reads "index\file\" and checks both; nullptr (and *status) when wrong.
  internal::OpenIndex* IndexAndFile(internal::CommandReader* reader, int* index, int16_t* status);

  // Positioning (engine_navigation.cc). `op` is the command letter.
  void Search(char op, std::string_view body, int32_t& record, int16_t& status);
  void FirstOrLast(char op, std::string_view body, int32_t& record, int16_t& status);
  void Step(char op, std::string_view body, int32_t& record, int16_t& status);
  void Neighbour(char op, std::string_view body, int32_t& record, int16_t& status);
};

}  // namespace qrole::data

#endif  // QROLE_DATA_KEYED_ENGINE_INTERNAL_H_
