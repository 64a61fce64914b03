# Cross-build for Windows with Debian's MinGW-w64 (posix threads); the including file sets
# CMAKE_SYSTEM_PROCESSOR to x86_64 or i686.
set(CMAKE_SYSTEM_NAME Windows)
set(triplet ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and programs of this build run under Wine.
find_program(LUNAVIO_WINE wine)
if(LUNAVIO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${LUNAVIO_WINE}")
endif()

# The command line's header-only packages, their headers alone.
set(CLI11_DIR "${CMAKE_CURRENT_LIST_DIR}/cross")
set(nlohmann_json_DIR "${CMAKE_CURRENT_LIST_DIR}/cross")
