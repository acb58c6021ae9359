// StrBuilder: the public class clients use to assemble long texts.
//
// The content lives in a buffer whose spare positions hold spaces; `start`
// is the 1-based position of the first character of the content and the end
// mark is the content length + 1. The buffer grows by powers of two in
// either direction, so appending and prepending are amortised constant time.
// `Found` searches the whole buffer, spare spaces included.

#ifndef QROLE_UTIL_STR_BUILDER_H_
#define QROLE_UTIL_STR_BUILDER_H_

#include <memory>
#include <string>

#include "automation/object.h"

namespace qrole::util {

class StrBuilder : public Object {
 public:
  StrBuilder();
  static std::shared_ptr<StrBuilder> Create() { return std::make_shared<StrBuilder>(); }

  void Append(const std::string& text);
  void PrePend(const std::string& text);
  std::string ToString() const;
  bool Found(const std::string& text) const;
  void Clear();

  size_t buffer_size() const { return buffer_.size(); }

  Variant Call(const typelib::MemberInfo& member, std::vector<Variant>& args) override;

 private:
  std::string buffer_;
  int64_t start_ = 1;
  int64_t end_mark_ = 1;
  int exponent_ = 10;
};

}  // namespace qrole::util

#endif  // QROLE_UTIL_STR_BUILDER_H_
