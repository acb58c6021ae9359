// A record slot: one open table of the record code, with its field and index
// tables and the field values of its current record.
//
// Design: sixteen slots (0 to 15) live in the process-wide DataGlobals; the
// slot number is also the table's open number and the keyed engine's file
// number. A slot is closed (no layout, no file) until OpenTableFile fills it,
// and stays open until CloseTableFile or CloseAllFiles; opening a table into
// an open slot first closes what the slot held.
//
// Field values ("FieldValue") hold the raw bytes of the record file, that is
// Windows-1252 text, with widths counted in bytes. After ReadRecord a text or
// date field holds exactly its width; a numeric field holds its number text
// (".5", "-3", "1E+16"). Callers that speak UTF-8 use SetText / Text, which
// convert and pad to the width in bytes; SetRaw and Value work on the bytes.
// Each element of an array is a field of its own (field numbers are
// positions): element e of the array whose first field is f is field f + e,
// and FieldByCode(code) gives f.

#ifndef QROLE_DATA_SLOT_H_
#define QROLE_DATA_SLOT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/definition_file.h"
#include "platform/file_system.h"

namespace qrole::data {

inline constexpr int kSlotCount = 16;

class Slot {
 public:
  Slot() = default;
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;

  // True between a successful OpenTableFile and the slot's closing.
  bool is_open() const { return file_ != nullptr; }
  // Changes at every opening: tells whether a slot still holds what a
  // caller opened into it.
  uint64_t open_serial() const { return open_serial_; }

  const TableLayout& layout() const { return *layout_; }
  // The layout, to share with another slot opened on the same table.
  const std::shared_ptr<const TableLayout>& shared_layout() const { return layout_; }
  int32_t record_length() const { return layout_->record_length; }
  int num_fields() const { return layout_->num_fields(); }
  // The table name, blank padded to at least five characters (for messages).
  const std::string& table_name() const { return table_name_; }
  // Resolved paths of the record file and of its index file.
  const std::string& data_path() const { return data_path_; }
  const std::string& index_path() const { return index_path_; }
  // True when the table's index was opened with the table.
  bool has_index() const { return has_index_; }

  // The layout of field `field` (1..num_fields); an empty layout otherwise.
  const FieldLayout& field(int field) const;
  // FieldStart(field) for 1..num_fields + 1 (the last gives the record
  // length); 0 otherwise.
  int32_t field_start(int field) const;
  // Field number carrying a field code, 0 when none.
  int FieldByCode(int code) const { return layout_->FieldByCode(code); }
  bool IsField(int field) const { return field >= 1 && field <= num_fields(); }

  // --- Field values -------------------------------------------------------

  // The raw value of a field (Windows-1252 bytes or number text). An unknown
  // field gives the empty text.
  const std::string& Value(int field) const;
  // The value for direct change; an unknown field gives a scratch text that
  // nothing reads.
  std::string& MutableValue(int field);
  // Sets a value from raw bytes: text and date fields are left-justified,
  // blank padded or cut to the field width; numeric fields take the text as
  // given.
  void SetRaw(int field, std::string_view cp1252);
  // Sets a value from UTF-8 text: converted to Windows-1252 (characters it
  // lacks become "?"), then as SetRaw. For a text field the width is in
  // bytes of the file, so a cut never splits a character of the file.
  void SetText(int field, std::string_view utf8);
  // The value as UTF-8 (blanks kept) / without trailing blanks.
  std::string Text(int field) const;
  std::string TrimmedText(int field) const;
  // Sets a numeric value (written as the shortest text that reads back as
  // exactly `value`); reads a value with the plain decimal parse.
  void SetNumber(int field, double value);
  double Number(int field) const;
  // Every value blank: each its field's width of blanks.
  void ClearValues();

  // All values at once (to keep them across a reopening).
  using Values = std::vector<std::string>;
  const Values& values() const { return values_; }
  void RestoreValues(const Values& values);

  // The bytes of the record last read by ReadRecord or ReadFirstFields
  // (empty before the first read).
  const std::string& record_bytes() const { return record_; }
  // True when the record last read is cancelled ("ANULADO" in its first 7
  // bytes).
  bool IsCancelled() const;

  // --- Used by the record code when opening and closing -------------------

  // Takes the layout and the open record file; every value blank.
  void Open(TableLayout layout, std::string table_name, std::unique_ptr<platform::File> file,
            std::string data_path, std::string index_path);
  // The same with a layout another slot has (no copy is made).
  void Open(std::shared_ptr<const TableLayout> layout, std::string table_name,
            std::unique_ptr<platform::File> file, std::string data_path, std::string index_path);
  void set_has_index(bool has_index) { has_index_ = has_index; }
  // Replaces the index tables (LoadIndexDefinitions).
  void SetIndexes(const TableLayout& with_indexes);
  // Closes the record file and forgets the layout.
  void Close();
  platform::File* file() const { return file_.get(); }
  std::string& mutable_record_bytes() { return record_; }

 private:
  // Never null; shared, never changed in place (SetIndexes makes a copy).
  std::shared_ptr<const TableLayout> layout_ = EmptyLayout();
  std::string table_name_;
  std::string data_path_;
  std::string index_path_;
  bool has_index_ = false;
  std::unique_ptr<platform::File> file_;
  uint64_t open_serial_ = 0;
  Values values_;
  std::string record_;
  std::string scratch_;

  static const std::shared_ptr<const TableLayout>& EmptyLayout();
};

// The text every cancelled record starts with.
inline constexpr std::string_view kCancelledMark = "ANULADO";

}  // namespace qrole::data

#endif  // QROLE_DATA_SLOT_H_
