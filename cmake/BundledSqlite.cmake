# SQLite for the search service: the amalgamation shipped in the npm package
# better-sqlite3, fetched once into third_party/sqlite3/ (git-ignored: third-party
# code, public domain) and checked against pinned checksums before use.
# It is compiled once, as its own static library, with full-text search (FTS5).

set(QUORVANE_SQLITE_PACKAGE better-sqlite3@12.11.1)
set(QUORVANE_SQLITE_C_SHA256 60d2f39a3726cd6b9021da6f4e868608d66fbb6528a9f513dc8ffcc640493422)
set(QUORVANE_SQLITE_H_SHA256 9e69a1353a4288450b0d5239ede11fc7f1f4c8e5eb07491fc8317eacb5b7de7e)
# The fuzzing build (fuzz/CMakeLists.txt) names the repository's root itself.
if(NOT QUORVANE_SOURCE_ROOT)
  set(QUORVANE_SOURCE_ROOT ${PROJECT_SOURCE_DIR})
endif()
set(QUORVANE_SQLITE_DIR ${QUORVANE_SOURCE_ROOT}/third_party/sqlite3)

function(quorvane_sqlite_is_verified result)
  set(${result} FALSE PARENT_SCOPE)
  foreach(pair "sqlite3.c;${QUORVANE_SQLITE_C_SHA256}" "sqlite3.h;${QUORVANE_SQLITE_H_SHA256}")
    list(GET pair 0 name)
    list(GET pair 1 expected)
    if(NOT EXISTS ${QUORVANE_SQLITE_DIR}/${name})
      return()
    endif()
    file(SHA256 ${QUORVANE_SQLITE_DIR}/${name} actual)
    if(NOT actual STREQUAL expected)
      return()
    endif()
  endforeach()
  set(${result} TRUE PARENT_SCOPE)
endfunction()

quorvane_sqlite_is_verified(sqlite_ready)
if(NOT sqlite_ready)
  find_program(NPM_EXECUTABLE npm REQUIRED)
  set(download ${QUORVANE_SOURCE_ROOT}/third_party/download)
  file(REMOVE_RECURSE ${download})
  file(MAKE_DIRECTORY ${download})
  message(STATUS "Fetching SQLite from ${QUORVANE_SQLITE_PACKAGE}")
  execute_process(COMMAND ${NPM_EXECUTABLE} pack ${QUORVANE_SQLITE_PACKAGE} --silent
    WORKING_DIRECTORY ${download} OUTPUT_VARIABLE tarball RESULT_VARIABLE status
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0 OR NOT EXISTS ${download}/${tarball})
    message(FATAL_ERROR "npm pack ${QUORVANE_SQLITE_PACKAGE} failed (${status})")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${download}/${tarball} DESTINATION ${download}
    PATTERNS package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h)
  file(MAKE_DIRECTORY ${QUORVANE_SQLITE_DIR})
  file(COPY ${download}/package/deps/sqlite3/sqlite3.c ${download}/package/deps/sqlite3/sqlite3.h
    DESTINATION ${QUORVANE_SQLITE_DIR})
  file(REMOVE_RECURSE ${download})
  quorvane_sqlite_is_verified(sqlite_ready)
  if(NOT sqlite_ready)
    file(REMOVE ${QUORVANE_SQLITE_DIR}/sqlite3.c ${QUORVANE_SQLITE_DIR}/sqlite3.h)
    message(FATAL_ERROR "SQLite from ${QUORVANE_SQLITE_PACKAGE} does not match its pinned checksums")
  endif()
endif()

add_library(quorvane_sqlite STATIC ${QUORVANE_SQLITE_DIR}/sqlite3.c)
target_include_directories(quorvane_sqlite SYSTEM PUBLIC ${QUORVANE_SQLITE_DIR})
target_compile_definitions(quorvane_sqlite PRIVATE
  SQLITE_ENABLE_FTS5 SQLITE_THREADSAFE=1 SQLITE_DQS=0 SQLITE_DEFAULT_MEMSTATUS=0
  SQLITE_OMIT_LOAD_EXTENSION SQLITE_OMIT_DEPRECATED SQLITE_LIKE_DOESNT_MATCH_BLOBS
  SQLITE_DEFAULT_WAL_SYNCHRONOUS=1 SQLITE_WIN32_NO_ANSI)
# -O2 keeps the one long compile near a minute; the amalgamation's warnings are not ours.
target_compile_options(quorvane_sqlite PRIVATE -O2 -w)
