#include "qrole/variant.h"

#include <stdexcept>

#include "qrole/error.h"

namespace qrole {

const char* VarTypeName(VarType t) {
  switch (t) {
    case VarType::kEmpty:
      return "Empty";
    case VarType::kNull:
      return "Null";
    case VarType::kInteger:
      return "Integer";
    case VarType::kLong:
      return "Long";
    case VarType::kSingle:
      return "Single";
    case VarType::kDouble:
      return "Double";
    case VarType::kCurrency:
      return "Currency";
    case VarType::kDate:
      return "Date";
    case VarType::kString:
      return "String";
    case VarType::kObject:
      return "Object";
    case VarType::kError:
      return "Error";
    case VarType::kBoolean:
      return "Boolean";
    case VarType::kVariant:
      return "Variant";
    case VarType::kByte:
      return "Byte";
    case VarType::kArray:
      return "Variant()";
  }
  return "Unknown";
}

Variant Variant::Null() {
  Variant v;
  v.type_ = VarType::kNull;
  return v;
}

Variant Variant::Missing() { return FromError(ErrorCode::kParamNotFound); }

Variant Variant::FromError(int32_t scode) {
  Variant v;
  v.type_ = VarType::kError;
  v.data_ = static_cast<int64_t>(scode);
  return v;
}

Variant Variant::FromInteger(int16_t i) {
  Variant v;
  v.type_ = VarType::kInteger;
  v.data_ = static_cast<int64_t>(i);
  return v;
}

Variant Variant::FromLong(int32_t i) {
  Variant v;
  v.type_ = VarType::kLong;
  v.data_ = static_cast<int64_t>(i);
  return v;
}

Variant Variant::FromByte(uint8_t i) {
  Variant v;
  v.type_ = VarType::kByte;
  v.data_ = static_cast<int64_t>(i);
  return v;
}

Variant Variant::FromBool(bool b) {
  Variant v;
  v.type_ = VarType::kBoolean;
  v.data_ = static_cast<int64_t>(b ? -1 : 0);
  return v;
}

Variant Variant::FromCurrency(Currency c) {
  Variant v;
  v.type_ = VarType::kCurrency;
  v.data_ = c.scaled;
  return v;
}

Variant Variant::FromSingle(float f) {
  Variant v;
  v.type_ = VarType::kSingle;
  v.data_ = static_cast<double>(f);
  return v;
}

Variant Variant::FromDouble(double d) {
  Variant v;
  v.type_ = VarType::kDouble;
  v.data_ = d;
  return v;
}

Variant Variant::FromDate(Date d) {
  Variant v;
  v.type_ = VarType::kDate;
  v.data_ = d.serial;
  return v;
}

Variant Variant::FromString(std::string s) {
  Variant v;
  v.type_ = VarType::kString;
  v.data_ = std::move(s);
  return v;
}

Variant Variant::FromObject(std::shared_ptr<Object> o) {
  Variant v;
  v.type_ = VarType::kObject;
  v.data_ = std::move(o);
  return v;
}

Variant Variant::FromArray(std::shared_ptr<Array> a) {
  if (!a) throw std::logic_error("Variant::FromArray: null array");
  Variant v;
  v.type_ = VarType::kArray;
  v.data_ = std::move(a);
  return v;
}

bool Variant::IsNumeric() const {
  switch (type_) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kByte:
      return true;
    default:
      return false;
  }
}

namespace {

[[noreturn]] void WrongType(const char* what, VarType t) {
  throw std::logic_error(std::string("Variant: ") + what + " read from a " + VarTypeName(t));
}

}  // namespace

int16_t Variant::integer() const {
  if (type_ != VarType::kInteger) WrongType("Integer", type_);
  return static_cast<int16_t>(std::get<int64_t>(data_));
}

int32_t Variant::long_value() const {
  if (type_ != VarType::kLong) WrongType("Long", type_);
  return static_cast<int32_t>(std::get<int64_t>(data_));
}

uint8_t Variant::byte() const {
  if (type_ != VarType::kByte) WrongType("Byte", type_);
  return static_cast<uint8_t>(std::get<int64_t>(data_));
}

float Variant::single() const {
  if (type_ != VarType::kSingle) WrongType("Single", type_);
  return static_cast<float>(std::get<double>(data_));
}

double Variant::dbl() const {
  if (type_ != VarType::kDouble) WrongType("Double", type_);
  return std::get<double>(data_);
}

Currency Variant::currency() const {
  if (type_ != VarType::kCurrency) WrongType("Currency", type_);
  return Currency{std::get<int64_t>(data_)};
}

Date Variant::date() const {
  if (type_ != VarType::kDate) WrongType("Date", type_);
  return Date{std::get<double>(data_)};
}

bool Variant::boolean() const {
  if (type_ != VarType::kBoolean) WrongType("Boolean", type_);
  return std::get<int64_t>(data_) != 0;
}

const std::string& Variant::str() const {
  if (type_ != VarType::kString) WrongType("String", type_);
  return std::get<std::string>(data_);
}

std::string& Variant::mutable_str() {
  if (type_ != VarType::kString) WrongType("String", type_);
  return std::get<std::string>(data_);
}

const std::shared_ptr<Object>& Variant::object() const {
  if (type_ != VarType::kObject) WrongType("Object", type_);
  return std::get<std::shared_ptr<Object>>(data_);
}

const std::shared_ptr<Array>& Variant::array() const {
  if (type_ != VarType::kArray) WrongType("array", type_);
  return std::get<std::shared_ptr<Array>>(data_);
}

int32_t Variant::error_code() const {
  if (type_ != VarType::kError) WrongType("Error", type_);
  return static_cast<int32_t>(std::get<int64_t>(data_));
}

bool Variant::operator==(const Variant& other) const {
  if (type_ != other.type_) return false;
  if (type_ == VarType::kArray) {
    const Array& a = *array();
    const Array& b = *other.array();
    if (a.dims() != b.dims()) return false;
    for (size_t i = 0; i < a.dims(); ++i) {
      if (a.bounds()[i].lower != b.bounds()[i].lower || a.bounds()[i].count != b.bounds()[i].count)
        return false;
    }
    return a.items() == b.items();
  }
  return data_ == other.data_;
}

Array::Array(std::vector<Bound> bounds) : bounds_(std::move(bounds)) {
  size_t n = bounds_.empty() ? 0 : 1;
  for (const Bound& b : bounds_) {
    if (b.count < 0) throw std::logic_error("Array: negative element count");
    n *= static_cast<size_t>(b.count);
  }
  items_.resize(n);
}

size_t Array::Offset(const std::vector<int32_t>& index) const {
  if (index.size() != bounds_.size()) RaiseRuntimeError(runtime_error::kSubscript);
  size_t off = 0;
  for (size_t i = 0; i < bounds_.size(); ++i) {
    int64_t rel = static_cast<int64_t>(index[i]) - bounds_[i].lower;
    if (rel < 0 || rel >= bounds_[i].count) RaiseRuntimeError(runtime_error::kSubscript);
    off = off * static_cast<size_t>(bounds_[i].count) + static_cast<size_t>(rel);
  }
  return off;
}

const Variant& Array::At(const std::vector<int32_t>& index) const { return items_[Offset(index)]; }

Variant& Array::At(const std::vector<int32_t>& index) { return items_[Offset(index)]; }

}  // namespace qrole
