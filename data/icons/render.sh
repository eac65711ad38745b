#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renders tavrino.svg into the PNG sizes installed beside it (committed, so
# that building and packaging need no SVG renderer). Run it after changing
# the SVG; needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" tavrino.svg --output "tavrino-$size.png"
done
