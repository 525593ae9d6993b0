# Keeps the include direction of the sources (run by CTest as the "layers" test):
#   common <- pidl <- folders <- search <- runtime <- operations <- ui <- view
#     <- shellfolder <- module
# A subsystem includes only its own headers and those of the layers before it;
# service/ and tools/ include only common/ (and the shared resource numbers).
# usage: cmake -DSOURCE_DIR=<repository> -P CheckLayers.cmake

set(rank_common 0)
set(rank_resources 0)
set(rank_pidl 1)
set(rank_folders 2)
set(rank_search 3)
set(rank_runtime 4)
set(rank_operations 5)
set(rank_ui 6)
set(rank_view 7)
set(rank_shellfolder 8)
set(rank_module 9)

set(violations "")

function(check_file file owner_rank allowed_subsystems)
  set(found_here "")
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*$" "\\1" target "${line}")
    string(REGEX REPLACE "^(\\.\\./)+(src/)?" "" target "${target}")
    if(NOT target MATCHES "/")
      continue()  # a header beside the file
    endif()
    string(REGEX REPLACE "/.*$" "" subsystem "${target}")
    if(allowed_subsystems)
      list(FIND allowed_subsystems ${subsystem} found)
      if(found EQUAL -1)
        string(APPEND found_here "\n  ${file}: ${target}")
      endif()
      continue()
    endif()
    if(NOT DEFINED rank_${subsystem})
      string(APPEND found_here "\n  ${file}: ${target} (no layer named ${subsystem})")
    elseif(rank_${subsystem} GREATER owner_rank)
      string(APPEND found_here "\n  ${file}: ${target} (a later layer)")
    endif()
  endforeach()
  set(violations "${violations}${found_here}" PARENT_SCOPE)
endfunction()

file(GLOB subsystems LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*)
foreach(subsystem IN LISTS subsystems)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/src/${subsystem})
    continue()
  endif()
  if(NOT DEFINED rank_${subsystem})
    set(violations "${violations}\n  src/${subsystem}: a folder with no place in the layers")
    continue()
  endif()
  file(GLOB_RECURSE sources ${SOURCE_DIR}/src/${subsystem}/*.h ${SOURCE_DIR}/src/${subsystem}/*.cpp)
  foreach(source IN LISTS sources)
    check_file(${source} ${rank_${subsystem}} "")
  endforeach()
endforeach()

file(GLOB_RECURSE outside ${SOURCE_DIR}/service/*.h ${SOURCE_DIR}/service/*.cpp
     ${SOURCE_DIR}/tools/*.h ${SOURCE_DIR}/tools/*.cpp)
foreach(source IN LISTS outside)
  check_file(${source} 0 "common;resources;service;extract;query")
endforeach()

if(violations)
  message(FATAL_ERROR "Includes against the layer direction:${violations}")
endif()
message(STATUS "Every include follows the layer direction")
