# SPDX-License-Identifier: MIT
# Shared by the scripts: installs Debian packages that are not there yet.

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
