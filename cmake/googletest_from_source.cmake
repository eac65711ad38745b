# SPDX-License-Identifier: MIT
# GoogleTest for a cross build: the host's libgtest cannot link into a
# program for another system, so the sources are built with the cross
# compiler. Debian's googletest package puts them in /usr/src/googletest.
set(TAVRINO_GOOGLETEST_SOURCE /usr/src/googletest
    CACHE PATH "GoogleTest sources, built with the project's compiler")
if(NOT EXISTS ${TAVRINO_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${TAVRINO_GOOGLETEST_SOURCE}: "
                      "install Debian's googletest package or set TAVRINO_GOOGLETEST_SOURCE.")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${TAVRINO_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
