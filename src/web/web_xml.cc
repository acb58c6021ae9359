#include "web/web_xml.h"

#include <pugixml.hpp>

#include "web/xml_nodes_internal.h"

namespace qrole::web {

namespace {

std::string TrimSpace(const std::string& s) {
  const char* blanks = " \t\r\n";
  size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

XmlElement ElementOf(const pugi::xml_node& node) {
  XmlElement out;
  out.name = node.name();
  for (pugi::xml_attribute a : node.attributes()) out.attributes.emplace_back(a.name(), a.value());
  for (pugi::xml_node child : node.children())
    if (child.type() == pugi::node_element) out.children.push_back(ElementOf(child));
  return out;
}

}  // namespace

std::optional<XmlElement> RootElement(const std::string& xml) {
  pugi::xml_document doc;
  if (!doc.load_buffer(xml.data(), xml.size())) return std::nullopt;
  pugi::xml_node root = doc.document_element();
  if (!root) return std::nullopt;
  return ElementOf(root);
}

std::optional<std::vector<std::string>> ChildTexts(const std::string& xml,
                                                   const std::string& path) {
  pugi::xml_document doc;
  if (!doc.load_buffer(xml.data(), xml.size())) return std::nullopt;
  pugi::xml_node node;
  try {
    node = doc.select_node(path.c_str()).node();
  } catch (const pugi::xpath_exception&) {
    return std::nullopt;
  }
  if (!node) return std::nullopt;
  std::vector<std::string> out;
  for (pugi::xml_node child : node.children()) {
    auto type = child.type();
    if (type == pugi::node_element || type == pugi::node_pcdata || type == pugi::node_cdata)
      out.push_back(TrimSpace(internal::TextOf(child)));
  }
  return out;
}

}  // namespace qrole::web
