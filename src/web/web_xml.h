// Reading XML answers of the web service.

#ifndef QROLE_WEB_WEB_XML_H_
#define QROLE_WEB_WEB_XML_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qrole::web {

// The texts of the child nodes (elements and text that is not only blanks),
// in document order, of the node that `path` selects in the XML text `xml`
// (a child's text is the text of all its descendants, blanks and line ends
// around it removed). `path` is an absolute path of element names ("/A/B"),
// the first element of each name at each step. nullopt when `xml` is not XML
// or nothing is selected.
std::optional<std::vector<std::string>> ChildTexts(const std::string& xml, const std::string& path);

// An element of an XML answer: its name, its attributes and its child
// elements, in document order.
struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<XmlElement> children;

  // The value of the attribute `attribute`; empty when there is none.
  std::string Attribute(const std::string& attribute) const {
    for (const auto& [n, v] : attributes)
      if (n == attribute) return v;
    return "";
  }
};

// The root element of the XML text `xml`, with every element below it;
// nullopt when `xml` is not XML.
std::optional<XmlElement> RootElement(const std::string& xml);

}  // namespace qrole::web

#endif  // QROLE_WEB_WEB_XML_H_
