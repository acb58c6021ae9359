// XML documents as the web link reads them: service descriptions, SOAP
// answers and the service's own XML answers.
//
// Design: the link's request and answer logic (soap_client.cc, web_xml.cc)
// reads a plain tree of nodes, so that it is one piece of code whatever
// parser the system provides. The tree is made by ReadXmlNodes
// (xml_reader_internal.h): pugixml on Linux, XmlLite on Windows. Namespaces
// are resolved here, from the declarations the tree keeps as attributes.

#ifndef QROLE_WEB_XML_TREE_H_
#define QROLE_WEB_XML_TREE_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qrole::web {

struct XmlNode {
  bool is_text = false;  // character data (CDATA included); else an element
  std::string name;      // an element's qualified name, as written ("soap:Body")
  std::string ns;        // an element's namespace, from the declarations in scope
  std::string text;      // a text node's characters (entities replaced)
  // An element's attributes as written, namespace declarations included.
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<XmlNode> children;  // elements and text, in document order

  // The name without its prefix.
  std::string_view LocalName() const;
  // The value of the attribute `qname`; empty when there is none.
  std::string Attribute(std::string_view qname) const;
  // The characters of this node and of all its descendants, in order.
  std::string Text() const;
  // True for an element named `local` in namespace `ns`.
  bool Is(std::string_view ns, std::string_view local) const;
};

// Elements nested deeper than this make a document unreadable.
inline constexpr int kMaxXmlDepth = 256;

// The root element of the XML document `text` (any encoding its declaration
// or byte-order mark names, UTF-8 by default), with every node below it and
// every element's namespace resolved. Adjacent character data is one text
// node; text that is only blanks is kept.
// nullopt when `text` is not a well-formed document, declares a document
// type, or nests elements deeper than kMaxXmlDepth.
std::optional<XmlNode> ParseXml(std::string_view text);

// The part of a qualified name after its prefix ("soap:Body" gives "Body").
std::string_view AfterPrefix(std::string_view qname);

}  // namespace qrole::web

#endif  // QROLE_WEB_XML_TREE_H_
