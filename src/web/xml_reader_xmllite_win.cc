// The XML tree from XmlLite, the XML reader of Windows (xmllite.dll, loaded
// when first needed: MinGW-w64 ships its header but no import library).

#include <windows.h>
// The interface identifiers of xmllite.h are defined in this file.
#include <initguid.h>
#include <objidl.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <string>
#include <vector>

#include "web/xml_reader_internal.h"

namespace qrole::web::internal {

namespace {

using CreateXmlReaderFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateXmlReaderFn ReaderFactory() {
  static const CreateXmlReaderFn factory = [] {
    HMODULE module = ::LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) module = ::LoadLibraryW(L"xmllite.dll");
    return module ? reinterpret_cast<CreateXmlReaderFn>(
                        reinterpret_cast<void*>(::GetProcAddress(module, "CreateXmlReader")))
                  : nullptr;
  }();
  return factory;
}

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** out() { return &p_; }

 private:
  T* p_ = nullptr;
};

// Wine's XmlLite reads a character reference to a tab, a line feed or a
// carriage return ("&#9;", "&#xD;", ...) as a blank, where Windows' reads the
// character, as XML has it; the service's answers and the SOAP messages carry
// such characters that way. Before reading, these references become ones to
// the noncharacters U+FDD0 (tab), U+FDD1 (line feed) and U+FDD2 (carriage
// return), which no document of the service holds, and those read back as
// the characters: both give the same text.
constexpr wchar_t kStandIns[] = {0xFDD0, 0xFDD1, 0xFDD2};
constexpr wchar_t kStoodFor[] = {L'\t', L'\n', L'\r'};
constexpr const char* kStandInReferences[] = {"&#xFDD0;", "&#xFDD1;", "&#xFDD2;"};

// `text` with every character reference to a tab, LF or CR replaced; unchanged when it is
// not in an 8-bit encoding (a UTF-16 document starts with a byte-order mark or
// a zero byte).
std::string WithStandIns(std::string_view text) {
  if (text.size() >= 2 &&
      (static_cast<unsigned char>(text[0]) >= 0xFE || text[0] == '\0' || text[1] == '\0'))
    return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 2, "&#") == 0) {
      size_t j = i + 2;
      const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
      if (hex) ++j;
      unsigned long value = 0;
      const size_t digits = j;
      while (j < text.size() && value <= 0x10FFFF) {
        const char c = text[j];
        int d = c >= '0' && c <= '9' ? c - '0' : -1;
        if (hex && d < 0 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
          d = (c | 0x20) - 'a' + 10;
        if (d < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
        ++j;
      }
      const int which = value == '\t' ? 0 : value == '\n' ? 1 : value == '\r' ? 2 : -1;
      if (j > digits && j < text.size() && text[j] == ';' && which >= 0) {
        out += kStandInReferences[which];
        i = j + 1;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

std::string Utf8(const WCHAR* text, UINT length) {
  if (length == 0) return "";
  std::wstring own;
  if (std::wstring_view(text, length).find_first_of(std::wstring_view(kStandIns, 3)) !=
      std::wstring_view::npos) {
    own.assign(text, length);
    for (wchar_t& c : own)
      for (int k = 0; k < 3; ++k)
        if (c == kStandIns[k]) c = kStoodFor[k];
    text = own.c_str();
  }
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                        nullptr);
  return out;
}

bool QualifiedName(IXmlReader* reader, std::string* out) {
  const WCHAR* name = nullptr;
  UINT length = 0;
  if (FAILED(reader->GetQualifiedName(&name, &length))) return false;
  *out = Utf8(name, length);
  return true;
}

bool Value(IXmlReader* reader, std::string* out) {
  const WCHAR* value = nullptr;
  UINT length = 0;
  if (FAILED(reader->GetValue(&value, &length))) return false;
  *out = Utf8(value, length);
  return true;
}

}  // namespace

std::optional<XmlNode> ReadXmlNodes(std::string_view original) {
  CreateXmlReaderFn create = ReaderFactory();
  if (!create || original.size() > 0x7fffffffu) return std::nullopt;
  const std::string text = WithStandIns(original);
  ComPtr<IStream> stream;
  *stream.out() = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(text.data()),
                                      static_cast<UINT>(text.size()));
  ComPtr<IXmlReader> reader;
  if (!stream.get() ||
      FAILED(create(IID_IXmlReader, reinterpret_cast<void**>(reader.out()), nullptr)))
    return std::nullopt;
  reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
  // Wine counts one level more than the limit means; the limit itself is
  // kept below.
  reader->SetProperty(XmlReaderProperty_MaxElementDepth, kMaxXmlDepth + 1);
  if (FAILED(reader->SetInput(stream.get()))) return std::nullopt;

  std::optional<XmlNode> root;
  // The open elements, innermost last. An element is the last child of its
  // parent while it is open, so these pointers stay valid.
  std::vector<XmlNode*> open;
  XmlNodeType type;
  HRESULT hr;
  while ((hr = reader->Read(&type)) == S_OK) {
    switch (type) {
      case XmlNodeType_Element: {
        if (root && open.empty()) return std::nullopt;  // a second root
        if (static_cast<int>(open.size()) >= kMaxXmlDepth) return std::nullopt;
        const bool empty = reader->IsEmptyElement() != FALSE;
        XmlNode node;
        if (!QualifiedName(reader.get(), &node.name)) return std::nullopt;
        for (hr = reader->MoveToFirstAttribute(); hr == S_OK; hr = reader->MoveToNextAttribute()) {
          std::pair<std::string, std::string> attribute;
          if (!QualifiedName(reader.get(), &attribute.first) ||
              !Value(reader.get(), &attribute.second))
            return std::nullopt;
          node.attributes.push_back(std::move(attribute));
        }
        if (FAILED(hr)) return std::nullopt;
        reader->MoveToElement();
        XmlNode* placed;
        if (open.empty()) {
          root = std::move(node);
          placed = &*root;
        } else {
          open.back()->children.push_back(std::move(node));
          placed = &open.back()->children.back();
        }
        if (!empty) open.push_back(placed);
        break;
      }
      case XmlNodeType_EndElement:
        if (open.empty()) return std::nullopt;
        open.pop_back();
        break;
      case XmlNodeType_Text:
      case XmlNodeType_CDATA:
      case XmlNodeType_Whitespace: {
        XmlNode node;
        node.is_text = true;
        if (!Value(reader.get(), &node.text)) return std::nullopt;
        if (open.empty()) {
          // Only blanks may stand outside the root element.
          if (node.text.find_first_not_of(" \t\r\n") != std::string::npos) return std::nullopt;
          break;
        }
        open.back()->children.push_back(std::move(node));
        break;
      }
      case XmlNodeType_DocumentType:
        return std::nullopt;
      default:
        break;  // the declaration, comments, processing instructions
    }
  }
  if (FAILED(hr) || !root || !open.empty()) return std::nullopt;
  return root;
}

}  // namespace qrole::web::internal
