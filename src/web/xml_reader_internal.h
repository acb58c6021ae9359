// The system's XML parser behind ParseXml (xml_tree.h).

#ifndef QROLE_WEB_XML_READER_INTERNAL_H_
#define QROLE_WEB_XML_READER_INTERNAL_H_

#include <optional>
#include <string_view>

#include "web/xml_tree.h"

namespace qrole::web::internal {

// The root element of `text` with its attributes (namespace declarations
// included) and every element and text node below it, namespaces not yet
// resolved; adjacent character data may come as one text node or several.
// nullopt under the conditions ParseXml states (an attribute given twice may
// be let through: ParseXml refuses it). Implemented with pugixml
// (xml_reader_pugixml.cc) or XmlLite (xml_reader_xmllite_win.cc).
std::optional<XmlNode> ReadXmlNodes(std::string_view text);

}  // namespace qrole::web::internal

#endif  // QROLE_WEB_XML_READER_INTERNAL_H_
