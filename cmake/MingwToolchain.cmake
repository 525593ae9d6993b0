# Shared by the two toolchain files: cross-compiles for Windows with Debian's
# mingw-w64 (posix threads) for the target named by QUORVANE_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${QUORVANE_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVANE_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${QUORVANE_TRIPLET}-windres)
set(CMAKE_AR           /usr/bin/${QUORVANE_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${QUORVANE_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVANE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run under Wine, each in the build tree's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
