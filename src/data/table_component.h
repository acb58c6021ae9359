// The table component: filtered, ordered and keyed access to one company
// table, by field code, over the same record files, definitions and index
// files as the record code.
//
// Typical use (one instance per method, closed before the method returns):
//
//   TableComponent t;
//   t.OpenTable(company_dir + "/EXTRA" + number + ".qrd");
//   t.SetFilter("Fecha=" + date + " and Asiento=" + entry);   // first record current
//   for (; !t.IsEof(); t.MoveNext()) Use(t.GetField(2), t.GetField(6));
//   t.AddNew(); t.SetField(1, 0, date); ...; t.Update();        // appended, keys in
//   t.SetFilter("CUENTA = 430"); t.Edit();                        // record locked
//   t.SetField(12, month, ToDouble(t.GetField(12, month)) + amount);
//   t.Update();                                                   // written, unlocked
//   t.Close();
//
// Design. The component keeps a handle of its own on the table: the layout
// read from the definition file, its own open record file, and the table's
// index file (the same LMDB environment the keyed engine uses in this
// process). Reading, filtering, ordering and seeking never touch the record
// code's sixteen process-wide slots nor the keyed engine's positions, so a
// caller walking a slot keeps its place whatever the component does. A change
// (append, cancellation, key replacement) goes through the record code's own
// operations (AppendRecord, CancelRecord, the engine's "R\" command) on a
// slot lent for that one call: a slot that is closed at that moment (neither
// its record file nor its index open; the highest free number is taken),
// opened on this table and closed again before the call returns. Slots that
// callers have open are never used; when all sixteen are open a change is
// refused with an error and nothing is written.
//
// The set. OpenTable gives the whole table; SetFilter restricts it and
// SetOrder orders it; each of the three makes the first record of the new set
// current. The set is fixed when it is made: records added afterwards join it
// at the next SetFilter or SetOrder, records deleted through this component
// leave it, and records cancelled meanwhile by others are skipped. Cancelled
// records ("ANULADO") and records never written are never part of a set.
// Order: the order SetOrder names (equal values in set order); without it,
// the key order of the index that answered the condition (equal keys in the
// order the records were added), or record order when no index could answer
// it. A condition whose terms include an equality, a range or a LIKE prefix
// on the first segment of an index (and equalities on following segments) is
// answered through that index: only the records it names are read.
//
// Fields. GetField/SetField take the field CODE and an element (0 for plain
// fields; 0..n-1 for arrays: the chart's periods 0..14, the budget's months
// 0..11). GetFieldAt/SetFieldAt take the record position (definition order,
// an array taking one position per element); FieldCount counts the record
// number as position 0, so the fields are positions 1 to FieldCount - 1.
// Names are matched ignoring case. Values travel as Variants: numbers as
// Integer, Long, Single or Double by type; text and dates as UTF-8 Strings
// (converted from and to Windows-1252 at the file; widths count file bytes;
// text is returned as stored, blank padded). A date field stores any date
// form (dd/mm/yy, dd/mm/yyyy, yymmdd, stored form) in the stored form. With no
// current record a field reads as empty text or 0.
//
// Long contents (field type 90, declared length 0) are not in the record;
// they live beside it (blob_store.h) and are read and written like any other
// field, or byte for byte with GetFieldBytes/SetFieldBytes.
//
// Changes. AddNew starts a blank record, Edit the current one: Edit locks the
// record (the same byte range as the record code's LockRecord), reads it anew
// and keeps the lock until Update or CancelUpdate, so a read-modify-write
// between Edit and Update never loses another process's change: read the
// value after Edit, not before. Any call that changes the current record or
// the set (moves, Seek, GoToRecord, SetFilter, SetOrder, AddNew, Edit,
// Delete) and Close drop a pending change and its lock. Update appends
// (AddNew) or writes the bytes of the fields that changed (Edit), with every
// key of the table kept in step, and leaves the engine status at 0 on
// success; the record written becomes current. SetField outside AddNew/Edit
// and Update without them are refused. Delete cancels records as the record
// code does (keys removed, "ANULADO", number never reused) and removes their
// long contents.
//
// Errors. Every failure raises qrole::AutomationError with source "Valdrix
// OLE Server": a condition or order that names no field of the table or
// cannot be read, 0x80040000 + kConditionError; any other misuse or failure,
// 0x80040000 + kTableError; a record that stays locked by another process,
// the record code's kFileInUseError (data_errors.h). Descriptions are in
// Spanish, a line feed, and the offending text. A number beyond a Double's
// range given to a numeric field raises the runtime's 6 "Overflow" (source
// "QROLE75"): it cannot be stored.
//
// Not thread-safe: one thread at a time, as the rest of the data layer.

#ifndef QROLE_DATA_TABLE_COMPONENT_H_
#define QROLE_DATA_TABLE_COMPONENT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "qrole/variant.h"

namespace qrole::data {

// 0x80040000 + 50160 (0x8004C3F0): the condition given to SetFilter (or the
// field given to SetOrder) cannot be read: no such field, no operator, a value
// its field cannot be compared with.
inline constexpr int32_t kConditionError = 50160;
// 0x80040000 + 50161 (0x8004C3F1): any other refusal of the table component.
inline constexpr int32_t kTableError = 50161;

class TableComponent {
 public:
  TableComponent();
  ~TableComponent();  // Close()
  TableComponent(const TableComponent&) = delete;
  TableComponent& operator=(const TableComponent&) = delete;

  // --- Opening -------------------------------------------------------------

  // Opens the table whose record file is `path` (absolute; any separator and
  // letter case): "…/PLANC01.qrd", "…/Datgl00.QRD". The definition is the
  // program directory's table name + ".QRA", the table name being the file
  // name without its two-digit company number (PLANC) or, when no such
  // definition exists, the whole name (Datgl00). A missing record file is
  // created empty in an existing folder, as the record code does; a missing
  // or unusable index file is created and rebuilt from the records. The whole
  // table is the set, its first record current. Whatever was open before is
  // closed first.
  void OpenTable(std::string_view path);
  // The same for company table `table` (+ `number`) in `directory`.
  void OpenCompanyTable(std::string_view table, std::string_view directory,
                        std::string_view number);
  // Releases the table (an Edit's lock included). Nothing when not open.
  void Close();
  bool IsOpen() const;

  // --- The set -------------------------------------------------------------

  // Restricts the set (the empty text gives the whole table) and makes its
  // first record current.
  void SetFilter(std::string_view condition);
  // Orders the set by the named field (the empty text: no order) and makes
  // its first record current.
  void SetOrder(std::string_view field_name);
  void MoveFirst();
  void MoveNext();
  void MovePrevious();
  void MoveLast();
  // True when no record is current.
  bool IsEof() const;
  // Records in the set (0 = none).
  int32_t RecordCount();
  // Sum of a numeric field (element 0) over the set; a text field counts
  // with the number its text begins with.
  double SumField(std::string_view field_name);

  // The index Seek uses (1 to the table's index count).
  void SetIndex(int index);
  // Makes current the first record (in record order) whose key of the Seek
  // index equals `key` (UTF-8; a shorter key compares as if blank padded);
  // no record is current when there is none. The set is not changed: moves
  // continue from the record's place in it, or end when it is not a member.
  void Seek(std::string_view key);
  // Makes record `record` current; none when it does not exist or is
  // cancelled. Moves continue as after Seek.
  void GoToRecord(int32_t record);
  // The current record number; 0 when none.
  int32_t RecordNumber() const;
  // The record written by the last Update (0 before any).
  int32_t LastRecordNumber() const;
  // Positions + 1 (position 0 is the record number).
  int FieldCount() const;

  // --- Fields --------------------------------------------------------------

  Variant GetField(int code, int element = 0);
  // Only between AddNew or Edit and Update.
  void SetField(int code, int element, const Variant& value);
  Variant GetFieldByName(std::string_view name, int element = 0);
  void SetFieldByName(std::string_view name, int element, const Variant& value);
  // Position 0 reads the record number; 1 to FieldCount - 1 the fields.
  Variant GetFieldAt(int position);
  void SetFieldAt(int position, const Variant& value);
  // `position_or_name`: a position in decimal digits, or a field name.
  void SetFieldByPositionOrName(std::string_view position_or_name, const Variant& value);
  // The field's Windows-1252 bytes (text and dates as stored, numbers as
  // their number text, long contents byte for byte), and their setter.
  std::string GetFieldBytes(int code, int element = 0);
  void SetFieldBytes(int code, int element, std::string_view bytes);

  // --- Changes -------------------------------------------------------------

  void AddNew();
  void Edit();
  void Update();
  // Drops the pending AddNew or Edit (and the Edit's lock).
  void CancelUpdate();
  // -1: every record of the set; n >= 1: record n (in the set or not);
  // anything else: nothing.
  void Delete(int32_t selector);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace qrole::data

#endif  // QROLE_DATA_TABLE_COMPONENT_H_
