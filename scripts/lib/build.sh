# SPDX-License-Identifier: MIT
# Configuring the builds, so that every script configures each one alike.
#
#   configure_build DIR ARGS...   cmake -S . -B DIR ARGS, keeping a build type set before
#   configure_linux DIR [ARGS...] the Linux app with its tests (RelWithDebInfo unless set before)
#   configure_windows DIR [ARGS...]  the mingw-w64 cross build (Release unless set before),
#                                 its tests run under Wine
#   project_version DIR           the version project() sets, from DIR's cache

# configure_build DIR ARGS...: configures DIR with ARGS. A folder configured
# already keeps its build type and toolchain, so the other stages find it as
# they left it.
configure_build() {
  local dir=$1 arg args=()
  shift
  for arg in "$@"; do
    [[ -f $dir/CMakeCache.txt && $arg == -DCMAKE_@(BUILD_TYPE|TOOLCHAIN_FILE)=* ]] || args+=("$arg")
  done
  cmake -S . -B "$dir" "${args[@]}" >/dev/null
}

# configure_linux DIR [ARGS...]: the Linux app in DIR, with its tests and
# the end-to-end tests; ARGS come after the defaults and so win over them.
configure_linux() {
  local dir=$1
  shift
  configure_build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRINO_BUILD_LINUX_APP=ON "$@"
}

# configure_windows DIR [ARGS...]: the Windows app in DIR, cross-built with
# mingw-w64; with Wine installed, ctest runs its tests under it.
configure_windows() {
  local dir=$1 wine
  shift
  wine=$(command -v wine) || true
  configure_build "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release ${wine:+-DCMAKE_CROSSCOMPILING_EMULATOR="$wine"} "$@"
}

# project_version DIR: the version project() sets, as the build's cache holds it.
project_version() {
  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt")
  [[ -n $version ]] || fail "No project version in $1/CMakeCache.txt"
  echo "$version"
}
