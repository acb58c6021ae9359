// Small helpers over pugixml nodes: local names, namespaces, text.

#ifndef QROLE_WEB_XML_NODES_INTERNAL_H_
#define QROLE_WEB_XML_NODES_INTERNAL_H_

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace qrole::web::internal {

// The name of an element without its prefix.
inline std::string_view LocalName(const pugi::xml_node& node) {
  std::string_view name = node.name();
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

inline std::string_view Prefix(std::string_view qname) {
  size_t colon = qname.find(':');
  return colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
}

inline std::string_view AfterPrefix(std::string_view qname) {
  size_t colon = qname.find(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

// The namespace bound to `prefix` (empty: the default namespace) where
// `node` stands, from its own and its ancestors' declarations.
inline std::string NamespaceFor(pugi::xml_node node, std::string_view prefix) {
  std::string attr = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  for (; node && node.type() == pugi::node_element; node = node.parent()) {
    pugi::xml_attribute a = node.attribute(attr.c_str());
    if (a) return a.value();
  }
  return "";
}

// The namespace of an element.
inline std::string NamespaceOf(const pugi::xml_node& node) {
  return NamespaceFor(node, Prefix(node.name()));
}

inline bool Is(const pugi::xml_node& node, std::string_view ns, std::string_view local) {
  return node.type() == pugi::node_element && LocalName(node) == local && NamespaceOf(node) == ns;
}

// The text of a node and all its descendants, in document order.
inline std::string TextOf(const pugi::xml_node& node) {
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return node.value();
  std::string out;
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata ||
        child.type() == pugi::node_element)
      out += TextOf(child);
  }
  return out;
}

}  // namespace qrole::web::internal

#endif  // QROLE_WEB_XML_NODES_INTERNAL_H_
