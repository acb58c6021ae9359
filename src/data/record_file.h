// Record files: opening a table into a slot, reading and writing records and
// fields, and record locks.
//
// A record file (table + company number + ".QRD" in the company directory)
// has no header: record n (n >= 1) occupies bytes (n - 1) * RecordLength to
// n * RecordLength - 1, its fields following each other at FieldStart. Every
// file statement goes through platform::CurrentEnv()->Files() and obeys the
// retry rule (file_retry_internal.h): it is tried again while it fails, and
// after the last try the operation throws the AutomationError
// kFileInUseError (data_errors.h). Other failures come back as Status.
//
// Slots are numbered 0 to 15 (globals.h); a number outside that range, or a
// slot that is not open, gives InvalidArgument.

#ifndef QROLE_DATA_RECORD_FILE_H_
#define QROLE_DATA_RECORD_FILE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace qrole::data {

// Company file name: `directory` (either separator; a missing trailing
// separator is supplied) + table + number + extension, resolved through the
// file system so that an existing file is found whatever the case of its
// name.
std::string CompanyFilePath(std::string_view directory, std::string_view table,
                            std::string_view number, std::string_view extension);
// The definition file of a table: program directory + table + ".QRA",
// resolved the same way.
std::string DefinitionFilePath(std::string_view table);
// The bytes of the definition file at `path` (kept between readings while
// the file does not change).
platform::Result<std::string> ReadDefinitionFile(const std::string& path);
// The bytes of a small file read again and again and hardly ever changed
// (table definitions, the VAT types): kept between readings while the file's
// version (platform::FileVersion) stays the same.
platform::Result<std::string> ReadKeptFile(const std::string& path);

// Opens `table` into `slot`: reads its definition file (field and index
// tables), opens its record file shared for reading and writing (created
// empty when missing), and with `index_mode` 1 opens or creates its index
// file (OpenOrCreateIndex). What the slot held before is closed first.
// A definition file that is missing, empty or holds no fields shows message
// 438 + " " + table + " " + message 189 (error icon) and gives NotFound or
// Corruption with the slot closed. When only the index fails the slot stays
// open for reading and writing, without index, and its error is returned.
platform::Status OpenTableFile(int slot, std::string_view table, int index_mode,
                               std::string_view company_directory, std::string_view company_number);

// Closes the slot's record file and its index file. Nothing for a closed slot.
void CloseTableFile(int slot);
// Closes every slot and every index file ("K"), and the table component's
// idle handles. The engine globals are left as they were.
void CloseAllFiles();

// Reads record `record` into every field value of the slot, decoded by type.
// A record number below 1 does nothing (Ok). A record that lies (partly)
// past the end of the file is decoded as if its missing bytes were zero and
// gives NotFound.
platform::Status ReadRecord(int slot, int32_t record);

// Field values 1 to 15 (fewer when the table has fewer) set to their raw
// record bytes, undecoded. Same record rules as ReadRecord.
platform::Status ReadFirstFields(int slot, int32_t record);

// The raw bytes of one field of a record (its whole width). A record number
// below 1 shows "Registro Inválido" (error icon) and gives the empty text,
// without trying the file.
platform::Result<std::string> ReadFieldText(int slot, int32_t record, int field);

// The 8-byte double stored in a field of a record (an element of an array
// is a field of its own); InvalidArgument when the field is narrower than 8
// bytes. WriteDoubleField stores one in place.
platform::Result<double> ReadDoubleField(int slot, int32_t record, int field);
platform::Status WriteDoubleField(int slot, int32_t record, int field, double value);

// Writes every field value of the slot into record `record` in one write,
// encoded by type (text padded or cut to its width). InvalidArgument, and
// nothing written, for a record number below 1 or a value its field cannot
// hold (an integer out of range, for instance).
platform::Status WriteRecord(int slot, int32_t record);
// Writes one field's value alone at its place in the record.
platform::Status WriteField(int slot, int32_t record, int field);

// Locks (exclusively) or releases exactly the bytes of fields `first` to
// `last` of a record (`last` 0 = the last field). Held locks stop other
// lockers, in this process or another; the retry rule applies while another
// holds them. InvalidArgument for a record below 1 or fields out of order.
platform::Status LockRecord(int slot, int32_t record, int first = 1, int last = 0);
platform::Status UnlockRecord(int slot, int32_t record, int first = 1, int last = 0);

// Holds the lock on a whole record, while the index maintenance flag is on,
// for as long as it lives (cancellations and key updates change a record
// under it). status() says whether the lock was taken; nothing is held when
// the flag is off or the lock failed.
class MaintenanceRecordLock {
 public:
  MaintenanceRecordLock(int slot, int32_t record);
  ~MaintenanceRecordLock();
  MaintenanceRecordLock(const MaintenanceRecordLock&) = delete;
  MaintenanceRecordLock& operator=(const MaintenanceRecordLock&) = delete;
  const platform::Status& status() const { return status_; }

 private:
  int slot_;
  int32_t record_;
  bool held_ = false;
  platform::Status status_;
};

// Whole records in the record file.
platform::Result<int64_t> RecordCount(int slot);

}  // namespace qrole::data

#endif  // QROLE_DATA_RECORD_FILE_H_
