# Writes the interface description into a C++ source as one string.
file(READ ${INPUT} content)
string(FIND "${content}" ")QROLE_JSON\"" bad)
if(NOT bad EQUAL -1)
  message(FATAL_ERROR "interface.json contains the raw-string delimiter")
endif()
file(WRITE ${OUTPUT} "// Generated from interface.json; do not edit.\n#include \"typelib/interface.h\"\nnamespace qrole::typelib {\nconst std::string& InterfaceJson() {\n  static const std::string text = R\"QROLE_JSON(${content})QROLE_JSON\";\n  return text;\n}\n}  // namespace qrole::typelib\n")
