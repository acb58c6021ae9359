// Automation values.
//
// `Variant` is the one tagged value type of the automation interface: every
// argument, result, record field and collection item is a Variant. Its types
// are the automation types (their tags carry the numbers the automation
// runtime uses, so that a Windows build can map them one to one):
//
//   Empty, Null, Integer (16-bit), Long (32-bit), Single, Double, Currency
//   (64-bit, scaled by 10,000), Date (days since 30/12/1899), String (UTF-8),
//   Object (shared reference), Error (a status code: a missing optional
//   argument), Boolean, Byte, and arrays of Variants with bounds.
//
// A Variant is a value: copying it copies strings and shares objects and
// arrays (arrays behave as values in the interface, and are copied on write
// by `Array::Mutable`).

#ifndef QROLE_VARIANT_H_
#define QROLE_VARIANT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace qrole {

class Object;
class Array;

enum class VarType : uint16_t {
  kEmpty = 0,
  kNull = 1,
  kInteger = 2,
  kLong = 3,
  kSingle = 4,
  kDouble = 5,
  kCurrency = 6,
  kDate = 7,
  kString = 8,
  kObject = 9,
  kError = 10,
  kBoolean = 11,
  kVariant = 12,  // only as a declared type: "any value"
  kByte = 17,
  kArray = 0x2000,  // array of Variants
};

// Name of a type as the automation runtime's TypeName gives it
// ("Empty", "Null", "Integer", "Long", ..., "Variant()").
const char* VarTypeName(VarType t);

// Currency: a fixed-point amount with four decimals.
struct Currency {
  int64_t scaled = 0;  // value * 10000
  bool operator==(const Currency&) const = default;
};

// Date: days since 30 December 1899, time as the fraction.
struct Date {
  double serial = 0;
  bool operator==(const Date&) const = default;
};

// A status code held in a Variant; kParamNotFound marks a missing optional
// argument.
struct ErrorCode {
  int32_t scode = 0;
  bool operator==(const ErrorCode&) const = default;
  static constexpr int32_t kParamNotFound = static_cast<int32_t>(0x80020004);
};

class Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();
  static Variant Missing();  // Error(kParamNotFound): an omitted argument
  static Variant FromInteger(int16_t v);
  static Variant FromLong(int32_t v);
  static Variant FromByte(uint8_t v);
  static Variant FromSingle(float v);
  static Variant FromDouble(double v);
  static Variant FromCurrency(Currency v);
  static Variant FromDate(Date v);
  static Variant FromBool(bool v);
  static Variant FromString(std::string v);
  static Variant FromObject(std::shared_ptr<Object> v);  // nullptr is Nothing
  static Variant FromArray(std::shared_ptr<Array> v);
  static Variant FromError(int32_t scode);

  // Convenience constructors for the common cases.
  Variant(const char* s) : Variant(FromString(s)) {}             // NOLINT
  Variant(std::string s) : Variant(FromString(std::move(s))) {}  // NOLINT
  Variant(double d) : Variant(FromDouble(d)) {}                  // NOLINT
  Variant(bool b) : Variant(FromBool(b)) {}                      // NOLINT
  Variant(int32_t l) : Variant(FromLong(l)) {}                   // NOLINT

  VarType type() const { return type_; }
  bool IsEmpty() const { return type_ == VarType::kEmpty; }
  bool IsNull() const { return type_ == VarType::kNull; }
  bool IsMissing() const {
    return type_ == VarType::kError && std::get<int64_t>(data_) == ErrorCode::kParamNotFound;
  }
  bool IsString() const { return type_ == VarType::kString; }
  bool IsObject() const { return type_ == VarType::kObject; }
  bool IsNothing() const { return type_ == VarType::kObject && !object(); }
  bool IsArray() const { return type_ == VarType::kArray; }
  bool IsNumeric() const;  // Integer, Long, Single, Double, Currency, Byte, Boolean? no: see cc

  // Raw accessors: precondition is the matching type (checked: a wrong type
  // throws std::logic_error, a programming fault, never a client's).
  int16_t integer() const;
  int32_t long_value() const;
  uint8_t byte() const;
  float single() const;
  double dbl() const;
  Currency currency() const;
  Date date() const;
  bool boolean() const;
  const std::string& str() const;
  std::string& mutable_str();
  const std::shared_ptr<Object>& object() const;
  const std::shared_ptr<Array>& array() const;
  int32_t error_code() const;

  bool operator==(const Variant& other) const;  // same type and same value

 private:
  VarType type_ = VarType::kEmpty;
  // int64_t holds every integral type, Currency, Boolean and error codes;
  // double holds Single, Double and Date.
  std::variant<std::monostate, int64_t, double, std::string, std::shared_ptr<Object>,
               std::shared_ptr<Array>>
      data_;
};

// A rectangular array of Variants with per-dimension lower bounds, stored in
// row-major order (first dimension outermost).
class Array {
 public:
  struct Bound {
    int32_t lower = 0;
    int32_t count = 0;
  };
  explicit Array(std::vector<Bound> bounds);

  size_t dims() const { return bounds_.size(); }
  const std::vector<Bound>& bounds() const { return bounds_; }
  size_t size() const { return items_.size(); }

  // Element by indexes (one per dimension, within bounds). Out of bounds or a
  // wrong number of indexes raises the runtime's error 9 "Subscript out of range".
  const Variant& At(const std::vector<int32_t>& index) const;
  Variant& At(const std::vector<int32_t>& index);

  const std::vector<Variant>& items() const { return items_; }
  std::vector<Variant>& items() { return items_; }

 private:
  size_t Offset(const std::vector<int32_t>& index) const;
  std::vector<Bound> bounds_;
  std::vector<Variant> items_;
};

}  // namespace qrole

#endif  // QROLE_VARIANT_H_
