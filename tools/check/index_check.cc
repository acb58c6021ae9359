// Index files against their record files.
//
// One pass over the record file composes, for every record, its key in each
// index (kept side by side, key_length bytes per record); one pass over each
// index then compares every entry (key, record) with the key its record
// composes. Nothing is sorted and nothing is looked up: the record number
// addresses the composed key directly.

#include <set>

#include "check/check_internal.h"
#include "data/engine_status.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/keys.h"
#include "data/number_codec.h"
#include "platform/env.h"
#include "platform/text_encoding.h"

namespace qrole::check::internal {

namespace {

namespace es = data::engine_status;

// The file number the checker's own engine opens every index file under.
constexpr int kEngineFile = 0;

// What an index entry found for its record, per index.
enum Seen : uint8_t { kNotSeen = 0, kSeenRight = 1, kSeenStale = 2 };

std::string IndexName(const TableFile& t, int k) { return t.table + " index " + std::to_string(k); }

// Composes the key of every index for every record; states[r] is record r's
// state (index 0 unused).
platform::Status ComposeAll(TableFile& t, std::vector<std::string>* keys,
                            std::vector<RecordState>* states, Findings& findings) {
  const data::TableLayout& layout = t.layout();
  const int count = layout.index_count;
  std::set<int> key_fields;
  for (int k = 1; k <= count; ++k) {
    for (const data::SegmentLayout& seg : layout.indexes[static_cast<size_t>(k)].segments)
      key_fields.insert(seg.field);
  }
  keys->assign(static_cast<size_t>(count) + 1, std::string());
  for (int k = 1; k <= count; ++k) {
    const auto width = static_cast<size_t>(layout.indexes[static_cast<size_t>(k)].key_length);
    (*keys)[static_cast<size_t>(k)].reserve(width * static_cast<size_t>(t.records + 1));
    (*keys)[static_cast<size_t>(k)].resize(width, ' ');  // record 0
  }
  states->assign(static_cast<size_t>(t.records) + 1, RecordState::kBlank);
  return ForEachRecord(t, [&](int64_t record, std::string_view bytes) {
    const RecordState state = StateOf(bytes);
    (*states)[static_cast<size_t>(record)] = state;
    if (state == RecordState::kBlank) {
      findings.AddFault("blank-record", t.table, record, "",
                        t.table + ": record " + std::to_string(record) +
                            " was never written (all its bytes are zero)");
    }
    if (state == RecordState::kLive) {
      for (int f : key_fields) {
        const data::FieldLayout& field = t.slot.field(f);
        data::DecodeElement(
            field.type,
            bytes.substr(static_cast<size_t>(field.start), static_cast<size_t>(field.width)),
            &t.slot.MutableValue(f));
      }
    }
    for (int k = 1; k <= count; ++k) {
      std::string& flat = (*keys)[static_cast<size_t>(k)];
      const auto width = static_cast<size_t>(layout.indexes[static_cast<size_t>(k)].key_length);
      if (state == RecordState::kLive) {
        flat.append(data::ComposeKey(t.slot, k));
      } else {
        flat.append(width, ' ');
      }
    }
  });
}

void CheckOneIndex(TableFile& t, data::KeyedEngine& engine, int k, const std::string& flat,
                   const std::vector<RecordState>& states, Findings& findings) {
  const auto width = static_cast<size_t>(t.layout().indexes[static_cast<size_t>(k)].key_length);
  if (width == 0) return;
  std::vector<uint8_t> seen(states.size(), kNotSeen);
  const std::string name = IndexName(t, k);
  auto expected = [&](uint32_t record) {
    return std::string_view(flat).substr(record * width, width);
  };
  const int16_t status =
      engine.ForEachEntry(kEngineFile, k, [&](std::string_view key, uint32_t record) {
        auto where = [&] {
          return name + ": key \"" + ForPeople(key) + "\" names record " + std::to_string(record);
        };
        if (record == 0 || record >= states.size()) {
          findings.AddFault("index-dangling-key", t.table, record, name,
                            where() + ", which the record file does not hold");
          return;
        }
        switch (states[record]) {
          case RecordState::kBlank:
            return;  // reported as a blank record
          case RecordState::kCancelled:
            findings.AddFault("index-dangling-key", t.table, record, name,
                              where() + ", which is cancelled");
            return;
          case RecordState::kLive:
            break;
        }
        if (key != expected(record)) {
          seen[record] |= kSeenStale;
          findings.AddFault(
              "index-stale-key", t.table, record, name,
              where() + ", whose fields compose \"" + ForPeople(expected(record)) + "\"");
          return;
        }
        if (seen[record] & kSeenRight) {
          findings.AddFault("index-duplicate-key", t.table, record, name,
                            where() + " more than once");
        }
        seen[record] |= kSeenRight;
      });
  if (status != es::kOk) {
    findings.AddFault("index-unreadable", t.table, 0, name,
                      name + " cannot be read (engine status " + std::to_string(status) + ")");
    return;
  }
  for (size_t record = 1; record < states.size(); ++record) {
    if (states[record] != RecordState::kLive || seen[record] != kNotSeen) continue;
    findings.AddFault("index-missing-key", t.table, static_cast<int64_t>(record), name,
                      name + ": record " + std::to_string(record) + " is missing (key \"" +
                          ForPeople(expected(static_cast<uint32_t>(record))) + "\")");
  }
}

void CheckTable(TableFile& t, Findings& findings) {
  if (t.partial) {
    findings.AddFault("partial-record", t.table, t.records + 1, "",
                      t.table + ": the record file ends in a partial record (" +
                          std::to_string(t.size) + " bytes, records of " +
                          std::to_string(t.length()) + ")");
  }
  std::vector<std::string> keys;
  std::vector<RecordState> states;
  platform::Status status = ComposeAll(t, &keys, &states, findings);
  if (!status.ok()) {
    findings.AddFault("file-unreadable", t.table, 0, "",
                      t.table + ": " + t.data_path + ": " + status.ToString());
    return;
  }
  if (t.layout().index_count == 0) return;
  if (!platform::CurrentEnv()->Files().Exists(t.index_path)) {
    findings.AddNote("index-file-missing", t.table, 0, "",
                     t.table + ": no index file " + t.index_path +
                         " (made again from the records when the table is next opened)");
    return;
  }
  data::KeyedEngine engine;
  std::string command = "/O/" + t.index_path + "/" + std::to_string(kEngineFile);
  int32_t record = 0;
  int16_t opened = 0;
  engine.Execute(command, record, opened);
  if (opened != es::kOk) {
    findings.AddFault("index-unreadable", t.table, 0, "",
                      t.table + ": the index file " + t.index_path +
                          " does not open (engine status " + std::to_string(opened) + ")");
    return;
  }
  findings.report().tables_indexed.push_back(t.table);
  platform::Result<data::IndexFileInfo> info = engine.Info(kEngineFile);
  if (!info.ok()) {
    findings.AddFault("index-unreadable", t.table, 0, "",
                      t.table + ": " + t.index_path + ": " + info.status().ToString());
    return;
  }
  const int count = std::min(info->index_count, t.layout().index_count);
  if (info->index_count != t.layout().index_count) {
    findings.AddFault("index-shape", t.table, 0, "",
                      t.table + ": the index file has " + std::to_string(info->index_count) +
                          " indexes, the table " + std::to_string(t.layout().index_count));
  }
  const int64_t held = t.records + (t.partial ? 1 : 0);
  if (static_cast<int64_t>(info->next_record) <= held) {
    findings.AddFault("index-counter", t.table, 0, "",
                      t.table + ": the index file would give the next record number " +
                          std::to_string(info->next_record) + ", but the record file holds " +
                          std::to_string(held) + " records");
  }
  for (int k = 1; k <= count; ++k)
    CheckOneIndex(t, engine, k, keys[static_cast<size_t>(k)], states, findings);
  engine.CloseFile(kEngineFile);
}

}  // namespace

void CheckIndexes(const std::string& directory, const std::string& number, Findings& findings) {
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  auto definitions = files.List(data::Globals().program_directory, "*.QRA");
  if (!definitions.ok()) {
    findings.AddFault("file-unreadable", "", 0, "",
                      "the table definitions in " + data::Globals().program_directory +
                          " cannot be listed: " + definitions.status().ToString());
    return;
  }
  for (const std::string& name : *definitions) {
    // Company tables have five-character names; the rest are the program's.
    if (name.size() != 9) continue;
    const std::string table = name.substr(0, 5);
    auto t = OpenTable(directory, number, table);
    if (!t.ok()) {
      if (!t.status().IsNotFound()) {
        findings.AddFault("file-unreadable", table, 0, "", table + ": " + t.status().ToString());
      }
      continue;
    }
    CheckTable(**t, findings);
  }
}

}  // namespace qrole::check::internal
