# LMDB for Windows, compiled from the LMDB sources that the npm package
# node-lmdb carries (Debian has no Windows build of it). Built when the data
# layer's library links LMDB (QROLE_WIN_LMDB=AUTO), always (ON) or never (OFF).
# Sets QROLE_LMDB_TARGET to the library to link, or to nothing.
set(QROLE_WIN_LMDB AUTO CACHE STRING "Build LMDB: AUTO, ON or OFF")
set(QROLE_LMDB_DIR ${CMAKE_BINARY_DIR}/lmdb-src CACHE PATH "Folder holding mdb.c, midl.c, lmdb.h")
set(QROLE_LMDB_TARGET "")

set(need_lmdb OFF)
if(QROLE_WIN_LMDB STREQUAL "ON")
  set(need_lmdb ON)
elseif(QROLE_WIN_LMDB STREQUAL "AUTO")
  file(STRINGS ${QROLE_SRC}/data/CMakeLists.txt hits REGEX "LMDB|lmdb")
  if(hits)
    set(need_lmdb ON)
  endif()
endif()

if(need_lmdb)
  if(NOT EXISTS ${QROLE_LMDB_DIR}/mdb.c)
    execute_process(
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/fetch-lmdb.sh ${QROLE_LMDB_DIR}
      RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "Could not fetch the LMDB sources (windows/fetch-lmdb.sh)")
    endif()
  endif()
  add_library(qrole_lmdb STATIC ${QROLE_LMDB_DIR}/mdb.c ${QROLE_LMDB_DIR}/midl.c)
  target_include_directories(qrole_lmdb SYSTEM PUBLIC ${QROLE_LMDB_DIR})
  # Third-party C: its own warnings are not this project's to fix.
  target_compile_options(qrole_lmdb PRIVATE -w)
  # mdb.c declares the NT section calls itself and expects NTSTATUS, which the
  # user-level headers do not define.
  target_compile_definitions(qrole_lmdb PRIVATE NTSTATUS=LONG)
  target_link_libraries(qrole_lmdb PUBLIC ntdll advapi32)
  set(QROLE_LMDB_TARGET qrole_lmdb)
endif()
