// The fields of one record read straight from its bytes, as ReadRecord would
// have decoded them into a slot, without decoding the fields nobody asks for
// (the journal has 98 of them; a statement uses 15).
//
//   RecordView line(slot, bytes);          // bytes: one whole record
//   line.Value(field) == slot.Value(field) after ReadRecord of that record
//
// A view borrows the slot's layout and the bytes: both must outlive it.

#ifndef QROLE_DATA_RECORD_VIEW_H_
#define QROLE_DATA_RECORD_VIEW_H_

#include <string>
#include <string_view>

#include "data/slot.h"

namespace qrole::data {

class RecordView {
 public:
  // `bytes` holds the record, record_length bytes of the slot's table.
  RecordView(const Slot& slot, std::string_view bytes) : slot_(&slot), bytes_(bytes) {}

  // The field's bytes in the record (its width); empty for an unknown field.
  std::string_view Bytes(int field) const;
  // The field's value as Slot::Value gives it after ReadRecord: the bytes of
  // a text or date field, the number text of a numeric one.
  std::string Value(int field) const;
  // As Slot::Number after ReadRecord (the plain parse of Value).
  double Number(int field) const;
  // As Slot::TrimmedText after ReadRecord: Value as UTF-8 without trailing
  // blanks.
  std::string TrimmedText(int field) const;
  // True when the record is cancelled ("ANULADO" in its first 7 bytes).
  bool IsCancelled() const { return bytes_.starts_with(kCancelledMark); }

  std::string_view bytes() const { return bytes_; }

 private:
  const Slot* slot_;
  std::string_view bytes_;
};

}  // namespace qrole::data

#endif  // QROLE_DATA_RECORD_VIEW_H_
