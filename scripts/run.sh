#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the Linux app and runs it with the sample
# class in examples/sample.ipt.
#
# On a desktop (DISPLAY set) the window opens. Without a display it shows
# what tavrino does instead, on a private Xvfb server: a sample form opens
# beside tavrino, START is clicked, the focus goes into the form's first
# field, and after the countdown the command prints what each field received,
# what tavrino found when it read the fields back (the demo's session has
# accessibility on), and where it saved a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${linux_build_packages[@]}" fonts-liberation

build=${LINUX_BUILD_DIR:-build-linux}
configure_linux "$build"
cmake --build "$build" -j "$(nproc)" --target tavrino tavrino_target_form tavrino_layout_point
tavrino=$build/src/platform/qt/tavrino
sample=examples/sample.ipt

if [[ -n ${DISPLAY:-} ]]; then
  exec "$tavrino" "$sample"
fi

ensure_packages xvfb xauth xdotool x11-utils x11-xkb-utils imagemagick openbox at-spi2-core dbus
echo "No display (DISPLAY is not set): running the demo on a private X server."
target_form=$build/tests/linux/target_form/tavrino_target_form
layout_point=$build/tests/linux/app/tavrino_layout_point
start_session
source tests/linux/app/session.sh

start_x us
start_wm
start_a11y on
start_form 8
start_tavrino "$sample"
set_countdown 1
echo "Clicking START and putting the focus into the form's first field; the values follow the countdown."
run_countdown 8
read_back_told() {
  local title
  title=$(xdotool getwindowname "$tavrino_window")
  [[ $title == *'what was typed'* || $title == *'not checked'* ]]
}
wait_until 10 read_back_told || true
told=$(xdotool getwindowname "$tavrino_window")

shot=$PWD/$build/demo-screenshot.png
import -window root "$shot"
# The unused part of the screen is plain black.
convert "$shot" -trim +repage "$shot" 2>/dev/null || true
close_form "$form_pid"

echo "The form's fields received:"
i=0
while IFS= read -r field; do
  i=$((i + 1))
  printf '  field %d: %s\n' "$i" "$field"
done <"$form_out"
echo "tavrino read the fields back: ${told% - "$caption"}"
echo "Screenshot: $shot"
