# Cross-building for Windows with MinGW-w64 (the Debian packages
# g++-mingw-w64-<arch>-posix). Included by the toolchain file of each target
# architecture, which sets CLEANLOGS_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${CLEANLOGS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CLEANLOGS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CLEANLOGS_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CLEANLOGS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and the threads library are linked in, so that each
# .exe runs on its own.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Tests built here run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
