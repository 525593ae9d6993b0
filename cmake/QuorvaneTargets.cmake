# Settings shared by every quorvane target: the Windows API level, warnings, and a
# statically linked runtime so the binaries import Windows system DLLs only.

set(QUORVANE_SYSTEM_LIBS ole32 oleaut32 uuid shell32 shlwapi comctl32 comdlg32 user32 gdi32 advapi32 version)

function(quorvane_target_defaults target)
  target_compile_definitions(${target} PRIVATE
    _WIN32_WINNT=0x0A00 WINVER=0x0A00 _WIN32_IE=0x0A00 NTDDI_VERSION=0x0A000000
    NOMINMAX STRICT)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers
    # GCC 12 reports std::string concatenation as overlapping copies (a known false positive).
    -Wno-restrict)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # 32-bit exports are __stdcall: the .def names bind to the decorated symbols.
      target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
    endif()
  endif()
endfunction()

# Adds every folder below the current one that has its own CMakeLists.txt.
function(quorvane_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
