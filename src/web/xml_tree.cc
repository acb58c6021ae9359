#include "web/xml_tree.h"

#include <map>

#include "web/xml_reader_internal.h"

namespace qrole::web {

namespace {

using Scope = std::map<std::string, std::string, std::less<>>;  // prefix -> namespace

std::string_view PrefixOf(std::string_view qname) {
  size_t colon = qname.find(':');
  return colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
}

// Sets the namespace of `node` and of the elements below it, `outer` being
// the declarations in force where it stands, and joins adjacent text nodes.
// False when an element has an attribute twice (not every parser refuses it).
bool Resolve(XmlNode& node, const Scope& outer) {
  if (node.is_text) return true;
  for (size_t i = 0; i < node.attributes.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (node.attributes[i].first == node.attributes[j].first) return false;
  const Scope* scope = &outer;
  Scope own;
  for (const auto& [name, value] : node.attributes) {
    if (name != "xmlns" && name.rfind("xmlns:", 0) != 0) continue;
    if (scope != &own) {
      own = outer;
      scope = &own;
    }
    own[name == "xmlns" ? std::string() : name.substr(6)] = value;
  }
  auto it = scope->find(PrefixOf(node.name));
  node.ns = it == scope->end() ? "" : it->second;
  std::vector<XmlNode> children;
  children.reserve(node.children.size());
  for (XmlNode& child : node.children) {
    if (child.is_text && !children.empty() && children.back().is_text) {
      children.back().text += child.text;
      continue;
    }
    if (!Resolve(child, *scope)) return false;
    children.push_back(std::move(child));
  }
  node.children = std::move(children);
  return true;
}

void AppendText(const XmlNode& node, std::string* out) {
  if (node.is_text) {
    *out += node.text;
    return;
  }
  for (const XmlNode& child : node.children) AppendText(child, out);
}

}  // namespace

std::string_view AfterPrefix(std::string_view qname) {
  size_t colon = qname.find(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

std::string_view XmlNode::LocalName() const { return AfterPrefix(name); }

std::string XmlNode::Attribute(std::string_view qname) const {
  for (const auto& [n, v] : attributes)
    if (n == qname) return v;
  return "";
}

std::string XmlNode::Text() const {
  std::string out;
  AppendText(*this, &out);
  return out;
}

bool XmlNode::Is(std::string_view want_ns, std::string_view local) const {
  return !is_text && LocalName() == local && ns == want_ns;
}

std::optional<XmlNode> ParseXml(std::string_view text) {
  std::optional<XmlNode> root = internal::ReadXmlNodes(text);
  if (root && !Resolve(*root, Scope{{"xml", "http://www.w3.org/XML/1998/namespace"}}))
    return std::nullopt;
  return root;
}

}  // namespace qrole::web
