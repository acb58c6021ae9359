#include "web/web_xml.h"

#include "web/xml_tree.h"

namespace qrole::web {

namespace {

constexpr const char* kBlanks = " \t\r\n";

std::string TrimSpace(const std::string& s) {
  size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool IsBlank(const std::string& s) { return s.find_first_not_of(kBlanks) == std::string::npos; }

XmlElement ElementOf(const XmlNode& node) {
  XmlElement out;
  out.name = node.name;
  out.attributes = node.attributes;
  for (const XmlNode& child : node.children)
    if (!child.is_text) out.children.push_back(ElementOf(child));
  return out;
}

// The node that the absolute path `path` ("/A/B": element names, the first
// match at each step) selects under the document whose root is `root`.
const XmlNode* Select(const XmlNode& root, std::string_view path) {
  if (path.size() < 2 || path[0] != '/') return nullptr;
  const XmlNode* node = nullptr;
  size_t pos = 1;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    std::string_view step = path.substr(pos, end - pos);
    if (step.empty()) return nullptr;
    const XmlNode* next = nullptr;
    if (!node) {
      if (root.name == step) next = &root;
    } else {
      for (const XmlNode& child : node->children)
        if (!child.is_text && child.name == step) {
          next = &child;
          break;
        }
    }
    if (!next) return nullptr;
    node = next;
    pos = end + 1;
  }
  return node;
}

}  // namespace

std::optional<XmlElement> RootElement(const std::string& xml) {
  std::optional<XmlNode> root = ParseXml(xml);
  if (!root) return std::nullopt;
  return ElementOf(*root);
}

std::optional<std::vector<std::string>> ChildTexts(const std::string& xml,
                                                   const std::string& path) {
  std::optional<XmlNode> root = ParseXml(xml);
  if (!root) return std::nullopt;
  const XmlNode* node = Select(*root, path);
  if (!node) return std::nullopt;
  std::vector<std::string> out;
  for (const XmlNode& child : node->children) {
    // Blanks between elements are layout, not a child.
    if (child.is_text && IsBlank(child.text)) continue;
    out.push_back(TrimSpace(child.Text()));
  }
  return out;
}

}  // namespace qrole::web
