# Installation rules and the Debian package (cpack -G DEB, `make package`).
#
# The package installs under /usr:
#   bin/                        qrole-server, qrole, qrole-demo
#   share/qrole/                the program directory, which the server finds
#                               by default as ../share/qrole from its binary
#   lib/systemd/user/           qrole.socket and qrole.service (socket activation)
#   share/man/man1/             the manual pages
#   share/doc/qrole/            copyright and changelog
#   lib/python3/dist-packages/  the Python client, when clients/python holds it

include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(QROLE_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS qrole-server qrole qrole-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(DIRECTORY ${QROLE_SHARE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/qrole
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        PATTERN ".built" EXCLUDE)

install(FILES ${QROLE_PACKAGING_DIR}/systemd/qrole.socket ${QROLE_PACKAGING_DIR}/systemd/qrole.service
        DESTINATION lib/systemd/user)

# Manual pages and the changelog, compressed as Debian wants them (no time
# stamp in the gzip header, so that a rebuild gives the same bytes).
set(QROLE_DOC_BUILD_DIR ${CMAKE_BINARY_DIR}/packaging)
configure_file(${QROLE_PACKAGING_DIR}/debian/changelog.in ${QROLE_DOC_BUILD_DIR}/changelog @ONLY)
set(QROLE_MAN_PAGES qrole-server.1 qrole.1 qrole-demo.1)
set(QROLE_COMPRESSED_DOCS)
foreach(page ${QROLE_MAN_PAGES})
  add_custom_command(
    OUTPUT ${QROLE_DOC_BUILD_DIR}/${page}.gz
    COMMAND gzip -9 -n -c ${QROLE_PACKAGING_DIR}/man/${page} > ${QROLE_DOC_BUILD_DIR}/${page}.gz
    DEPENDS ${QROLE_PACKAGING_DIR}/man/${page}
    COMMENT "Compressing the manual page ${page}")
  list(APPEND QROLE_COMPRESSED_DOCS ${QROLE_DOC_BUILD_DIR}/${page}.gz)
  install(FILES ${QROLE_DOC_BUILD_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(
  OUTPUT ${QROLE_DOC_BUILD_DIR}/changelog.gz
  COMMAND gzip -9 -n -c ${QROLE_DOC_BUILD_DIR}/changelog > ${QROLE_DOC_BUILD_DIR}/changelog.gz
  DEPENDS ${QROLE_DOC_BUILD_DIR}/changelog
  COMMENT "Compressing the changelog")
list(APPEND QROLE_COMPRESSED_DOCS ${QROLE_DOC_BUILD_DIR}/changelog.gz)
add_custom_target(package_docs ALL DEPENDS ${QROLE_COMPRESSED_DOCS})
install(FILES ${QROLE_PACKAGING_DIR}/debian/copyright ${QROLE_DOC_BUILD_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Python client (package `qrole`) is installed by clients/CMakeLists.txt
# into lib/python3/dist-packages/qrole (its interface description copied, not
# linked).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.9)")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qrole)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "qrole developers <devel@qrole.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "automation server for accounting company data")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The extended description (CPack puts the summary above it).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "qrole-server links invoicing, payroll and point-of-sale programs to the
company data of a Spanish accounting product: journal entries with their
VAT book lines, statements, the chart of accounts and master data. Clients
speak JSON-RPC over a Unix socket, which systemd can open on demand (the
user units qrole.socket and qrole.service).
.
The qrole command lists the companies, rebuilds their indexes and exports
their journals as ledger-cli journals or CSV.")
include(CPack)
