# SPDX-License-Identifier: MIT
# Cross-builds 64-bit Windows programs on Debian with mingw-w64
# (g++-mingw-w64-x86-64):
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Programs are linked statically (libgcc, libstdc++ and winpthreads), so the
# .exe needs no DLL beyond those Windows itself ships. When Wine is installed,
# ctest runs the test programs through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVRINO_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model gives the complete standard library (std::thread,
# std::mutex); its winpthreads are linked in statically below.
set(CMAKE_C_COMPILER ${TAVRINO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRINO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRINO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVRINO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# A release .exe carries no symbols: a third of the size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(TAVRINO_WINE NAMES wine wine64)
  if(TAVRINO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVRINO_WINE})
  endif()
endif()
