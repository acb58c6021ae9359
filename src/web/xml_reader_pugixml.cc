// The XML tree from pugixml.

#include <pugixml.hpp>

#include "web/xml_reader_internal.h"

namespace qrole::web::internal {

namespace {

// Copies `from` into `to`; false when elements nest deeper than allowed.
bool Copy(const pugi::xml_node& from, XmlNode* to, int depth) {
  if (depth > kMaxXmlDepth) return false;
  to->name = from.name();
  for (pugi::xml_attribute a : from.attributes()) to->attributes.emplace_back(a.name(), a.value());
  for (pugi::xml_node child : from.children()) {
    switch (child.type()) {
      case pugi::node_pcdata:
      case pugi::node_cdata: {
        XmlNode text;
        text.is_text = true;
        text.text = child.value();
        to->children.push_back(std::move(text));
        break;
      }
      case pugi::node_element:
        to->children.emplace_back();
        if (!Copy(child, &to->children.back(), depth + 1)) return false;
        break;
      default:
        break;  // comments, processing instructions
    }
  }
  return true;
}

}  // namespace

std::optional<XmlNode> ReadXmlNodes(std::string_view text) {
  pugi::xml_document doc;
  if (!doc.load_buffer(
          text.data(), text.size(),
          // As a fragment, so that text beside the root element shows
          // (it is refused below) instead of being dropped.
          pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_doctype | pugi::parse_fragment,
          pugi::encoding_auto))
    return std::nullopt;
  // One root element, and no document type (its entities could expand
  // without bound).
  int elements = 0;
  for (pugi::xml_node n : doc.children()) {
    if (n.type() == pugi::node_doctype) return std::nullopt;
    if (n.type() == pugi::node_element) ++elements;
    if (n.type() == pugi::node_pcdata &&
        std::string_view(n.value()).find_first_not_of(" \t\r\n") != std::string_view::npos)
      return std::nullopt;
  }
  if (elements != 1) return std::nullopt;
  pugi::xml_node root = doc.document_element();
  XmlNode out;
  if (!Copy(root, &out, 1)) return std::nullopt;
  return out;
}

}  // namespace qrole::web::internal
