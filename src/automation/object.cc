#include "automation/object.h"

#include "automation/convert.h"

namespace qrole {

std::string Args::Str(size_t i) const { return ToStr(values_.at(i)); }
double Args::Dbl(size_t i) const { return ToDouble(values_.at(i)); }
int32_t Args::Lng(size_t i) const { return ToLong(values_.at(i)); }
int16_t Args::Int(size_t i) const { return ToInteger(values_.at(i)); }
uint8_t Args::Byte(size_t i) const { return ToByte(values_.at(i)); }
bool Args::Bool(size_t i) const { return ToBool(values_.at(i)); }

}  // namespace qrole
