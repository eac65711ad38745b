# SPDX-License-Identifier: MIT
# The shell library of the scripts, the end-to-end tests and the benchmarks.
# Sourcing it sources every part of it, from scripts/lib/, each of which
# lists its own functions:
#   packages.sh  installing the Debian packages a script needs
#   build.sh     configuring the builds
#   session.sh   a script's scratch folder and programs, undone when it ends
#   checks.sh    counting checks
#   x.sh         a private X server, its keyboard layout, windows and focus
#   a11y.sh      the accessibility bus
#   wayland.sh   a headless sway
#   wine.sh      Wine and the Windows programs run under it
for part in packages build session checks x a11y wayland wine; do
  source "$(dirname "${BASH_SOURCE[0]}")/lib/$part.sh"
done
unset part
