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
  # The map of these sources reserves address space past the end of the file
  # and commits pages as the file grows (VirtualAlloc on a file view), which
  # Wine refuses (every first write fails with error 5). The index files use
  # the classic Windows map instead: the file is grown to the map size and
  # mapped whole (MDB_FIXEDSIZE; a full map is grown by the index store), with
  # no page committing. The change is made on a copy, and checked.
  file(READ ${QROLE_LMDB_DIR}/mdb.c mdb_text)
  set(commit_guard "#if defined(_WIN32) && !defined(MDB_VL32)\n\tif (!(env->me_flags & MDB_RDONLY)) {\n\t\tvoid *p;")
  set(reserve_line "\t\talloctype = MEM_RESERVE;")
  string(FIND "${mdb_text}" "${commit_guard}" at_commit)
  string(FIND "${mdb_text}" "${reserve_line}" at_reserve)
  if(at_commit EQUAL -1 OR at_reserve EQUAL -1)
    message(FATAL_ERROR "The LMDB sources in ${QROLE_LMDB_DIR} are not the expected ones: "
                        "their Windows map cannot be changed to a fixed-size one")
  endif()
  string(REPLACE "${commit_guard}"
         "#if defined(_WIN32) && !defined(MDB_VL32) && !defined(MDB_FIXEDSIZE)\n\tif (!(env->me_flags & MDB_RDONLY)) {\n\t\tvoid *p;"
         mdb_text "${mdb_text}")
  string(REPLACE "${reserve_line}" "\t\talloctype = 0;" mdb_text "${mdb_text}")
  set(patched ${CMAKE_BINARY_DIR}/lmdb-fixed/mdb.c)
  file(WRITE ${patched}.new "${mdb_text}")
  file(COPY_FILE ${patched}.new ${patched} ONLY_IF_DIFFERENT)
  add_library(qrole_lmdb STATIC ${patched} ${QROLE_LMDB_DIR}/midl.c)
  target_include_directories(qrole_lmdb SYSTEM PUBLIC ${QROLE_LMDB_DIR})
  # Third-party C: its own warnings are not this project's to fix.
  target_compile_options(qrole_lmdb PRIVATE -w)
  # mdb.c declares the NT section calls itself and expects NTSTATUS, which the
  # user-level headers do not define.
  target_compile_definitions(qrole_lmdb PRIVATE NTSTATUS=LONG MDB_FIXEDSIZE)
  target_link_libraries(qrole_lmdb PUBLIC ntdll advapi32)
  set(QROLE_LMDB_TARGET qrole_lmdb)
endif()
