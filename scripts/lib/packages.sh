# SPDX-License-Identifier: MIT
# Debian packages: what the builds need, and installing what is missing.
#
#   ensure_packages PKG...        apt-get installs the missing ones (as root); what the
#                                 builds need is in linux_build_packages and windows_build_packages

# What building needs: the Linux app with its tests, and the mingw-w64 cross
# build of the Windows app with its tests. The Linux app's tests also run a
# fake remote-desktop portal in Python on a private D-Bus.
linux_build_packages=(cmake g++ make pkg-config libgtest-dev qt6-base-dev libx11-dev libxtst-dev libxi-dev
  libxkbcommon-dev libwayland-dev libwayland-bin libatspi2.0-dev dbus python3-dbus python3-gi)
windows_build_packages=(cmake make g++-mingw-w64-x86-64 googletest)

# ensure_packages PKG...: as root, apt-get installs the missing ones (after one
# apt-get update per run); otherwise names them and fails.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing Debian packages: ${missing[*]}. Install them with: sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
  if [[ -z ${TAVRINO_APT_UPDATED:-} ]]; then
    apt-get update
    export TAVRINO_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}
