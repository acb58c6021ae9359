#include "util/str_builder.h"

#include "qrole/error.h"

namespace qrole::util {

StrBuilder::StrBuilder() : Object(*typelib::Library::Get().FindClass("StrBuilder")) {}

void StrBuilder::Append(const std::string& text) {
  const int64_t n = static_cast<int64_t>(text.size());
  while (static_cast<int64_t>(buffer_.size()) < start_ + end_mark_ + n) {
    ++exponent_;
    buffer_.append(size_t{1} << exponent_, ' ');
  }
  buffer_.replace(static_cast<size_t>(start_ + end_mark_ - 2), text.size(), text);
  end_mark_ += n;
}

void StrBuilder::PrePend(const std::string& text) {
  const int64_t n = static_cast<int64_t>(text.size());
  start_ -= n;
  while (start_ <= 0) {
    ++exponent_;
    const size_t grow = size_t{1} << exponent_;
    buffer_.insert(0, grow, ' ');
    start_ += static_cast<int64_t>(grow);
  }
  buffer_.replace(static_cast<size_t>(start_ - 1), text.size(), text);
  end_mark_ += n;
}

std::string StrBuilder::ToString() const {
  if (end_mark_ <= 1) return "";
  return buffer_.substr(static_cast<size_t>(start_ - 1), static_cast<size_t>(end_mark_ - 1));
}

bool StrBuilder::Found(const std::string& text) const {
  // As the runtime's InStr: an empty text is found at the start.
  if (text.empty()) return true;
  return buffer_.find(text) != std::string::npos;
}

void StrBuilder::Clear() {
  buffer_.clear();
  start_ = 1;
  end_mark_ = 1;
  exponent_ = 10;
}

Variant StrBuilder::Call(const typelib::MemberInfo& member, std::vector<Variant>& args) {
  Args a(args);
  const std::string& name = member.name;
  if (name == "Append") {
    Append(a.Str(0));
    return Variant();
  }
  if (name == "PrePend") {
    PrePend(a.Str(0));
    return Variant();
  }
  if (name == "ToString") return Variant::FromString(ToString());
  if (name == "Found") return Variant::FromBool(Found(a.Str(0)));
  if (name == "Clear") {
    Clear();
    return Variant();
  }
  RaiseNotImplemented(name);
}

}  // namespace qrole::util
