#include "data/navigation.h"

#include <cstdio>
#include <string>

#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/number_codec.h"
#include "data/record_file.h"

namespace qrole::data {

namespace es = engine_status;

namespace {

// Reads EngineRecord into the slot when `found`.
platform::Result<bool> ReadWhenFound(int slot, bool found) {
  if (!found) return false;
  platform::Status status = ReadRecord(slot, Globals().engine_record);
  if (!status.ok()) return status;
  return true;
}

std::string IndexAndSlot(int index, int slot) {
  return std::to_string(index) + "\\" + std::to_string(slot);
}

std::string RightTrimmed(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

platform::Result<bool> SeekEqual(int slot, int index, std::string_view key) {
  const int16_t status =
      SendEngineCommand("S\\" + IndexAndSlot(index, slot) + "\\" + std::string(key));
  return ReadWhenFound(slot, status == es::kOk);
}

platform::Result<bool> SeekAtLeast(int slot, int index, std::string_view key) {
  int16_t status = SendEngineCommand("G\\" + IndexAndSlot(index, slot) + "\\" + std::string(key));
  if (status == es::kBelowKey) status = SendEngineCommand("N\\" + std::to_string(slot));
  return ReadWhenFound(slot, status == es::kOk || status == es::kAboveKey);
}

platform::Result<bool> MoveFirst(int slot, int index) {
  return ReadWhenFound(slot, SendEngineCommand("F\\" + IndexAndSlot(index, slot)) == es::kOk);
}

platform::Result<bool> MoveLast(int slot, int index) {
  return ReadWhenFound(slot, SendEngineCommand("L\\" + IndexAndSlot(index, slot)) == es::kOk);
}

platform::Result<bool> MoveNext(int slot) {
  return ReadWhenFound(slot, SendEngineCommand("N\\" + std::to_string(slot)) == es::kOk);
}

platform::Result<bool> MovePrevious(int slot) {
  return ReadWhenFound(slot, SendEngineCommand("P\\" + std::to_string(slot)) == es::kOk);
}

platform::Result<bool> MoveAfter(int slot, int index, std::string_view key) {
  return ReadWhenFound(
      slot, SendEngineCommand("A\\" + std::to_string(index) + "\\999999\\" + std::to_string(slot) +
                              "\\" + std::string(key)) == es::kOk);
}

platform::Result<bool> MoveBefore(int slot, int index, std::string_view key) {
  return ReadWhenFound(
      slot, SendEngineCommand("E\\" + std::to_string(index) + "\\0\\" + std::to_string(slot) +
                              "\\" + std::string(key)) == es::kOk);
}

platform::Result<std::string> NextNumberUnderPrefix(std::string_view prefix, int slot, int index,
                                                    int prefix_code, int number_code) {
  if (!IsSlotNumber(slot) || !GetSlot(slot).is_open()) {
    return platform::Status::InvalidArgument("slot " + std::to_string(slot) + " is not open");
  }
  const Slot& s = GetSlot(slot);
  const int prefix_field = s.FieldByCode(prefix_code);
  const int number_field = s.FieldByCode(number_code);
  if (prefix_field == 0 || number_field == 0) {
    return platform::Status::InvalidArgument("no fields with codes " + std::to_string(prefix_code) +
                                             " and " + std::to_string(number_code));
  }
  std::string padded(prefix);
  const size_t width = static_cast<size_t>(s.field(prefix_field).width);
  if (padded.size() < width) padded.resize(width, ' ');
  SendEngineCommand("S\\" + IndexAndSlot(index, slot) + "\\" + padded + "9999999999");
  int64_t number = 1;
  if (Globals().engine_record != 0) {
    platform::Status status = ReadRecord(slot, Globals().engine_record);
    if (!status.ok()) return status;
    if (RightTrimmed(s.Value(prefix_field)) == RightTrimmed(prefix)) {
      number = static_cast<int64_t>(ParsePlainDecimal(s.Value(number_field))) + 1;
    }
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%010lld", static_cast<long long>(number));
  return std::string(buf);
}

}  // namespace qrole::data
