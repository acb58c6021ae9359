#include "rpc/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/text_encoding.h"

namespace qrole::rpc {

namespace {

void WriteString(std::string_view s, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out->push_back('"');
  size_t pos = 0;
  while (pos < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[pos]);
    if (c >= 0x80) {
      const size_t start = pos;
      char32_t cp;
      if (platform::DecodeUtf8(s, &pos, &cp)) {
        out->append(s.substr(start, pos - start));
      } else {
        out->append("\xEF\xBF\xBD");  // U+FFFD for the bad byte
      }
      continue;
    }
    ++pos;
    switch (c) {
      case '"':
        out->append("\\\"");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      case '\b':
        out->append("\\b");
        break;
      case '\f':
        out->append("\\f");
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out->append("\\u00");
          out->push_back(kHex[c >> 4]);
          out->push_back(kHex[c & 0xF]);
        } else {
          out->push_back(static_cast<char>(c));
        }
    }
  }
  out->push_back('"');
}

void WriteDouble(double d, std::string* out) {
  if (!std::isfinite(d)) {
    out->append("null");
    return;
  }
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
  std::string_view text(buf, static_cast<size_t>(end - buf));
  out->append(text);
  if (text.find_first_of(".e") == std::string_view::npos) out->append(".0");
}

template <typename T>
void WriteInteger(T v, std::string* out) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out->append(buf, static_cast<size_t>(end - buf));
}

}  // namespace

void WriteJson(const nlohmann::json& value, std::string* out) {
  using Type = nlohmann::json::value_t;
  switch (value.type()) {
    case Type::null:
    case Type::discarded:
    case Type::binary:
      out->append("null");
      return;
    case Type::boolean:
      out->append(value.get<bool>() ? "true" : "false");
      return;
    case Type::number_integer:
      WriteInteger(value.get<int64_t>(), out);
      return;
    case Type::number_unsigned:
      WriteInteger(value.get<uint64_t>(), out);
      return;
    case Type::number_float:
      WriteDouble(value.get<double>(), out);
      return;
    case Type::string:
      WriteString(value.get_ref<const std::string&>(), out);
      return;
    case Type::array: {
      out->push_back('[');
      bool first = true;
      for (const auto& item : value) {
        if (!first) out->push_back(',');
        first = false;
        WriteJson(item, out);
      }
      out->push_back(']');
      return;
    }
    case Type::object: {
      out->push_back('{');
      bool first = true;
      for (const auto& [key, item] : value.items()) {
        if (!first) out->push_back(',');
        first = false;
        WriteString(key, out);
        out->push_back(':');
        WriteJson(item, out);
      }
      out->push_back('}');
      return;
    }
  }
}

std::string ToJsonText(const nlohmann::json& value) {
  std::string out;
  WriteJson(value, &out);
  return out;
}

bool IsValidUtf8(std::string_view text) {
  size_t pos = 0;
  char32_t cp;
  while (pos < text.size()) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
    } else if (!platform::DecodeUtf8(text, &pos, &cp)) {
      return false;
    }
  }
  return true;
}

}  // namespace qrole::rpc
