// Reading XML answers of the web service.

#ifndef QROLE_WEB_WEB_XML_H_
#define QROLE_WEB_WEB_XML_H_

#include <optional>
#include <string>
#include <vector>

namespace qrole::web {

// The texts of the child nodes, in document order, of the first node that
// the XPath `path` selects in the XML text `xml` (a child's text is the text
// of all its descendants, blanks and line ends around it removed). nullopt
// when `xml` is not XML or nothing is selected.
std::optional<std::vector<std::string>> ChildTexts(const std::string& xml, const std::string& path);

}  // namespace qrole::web

#endif  // QROLE_WEB_WEB_XML_H_
