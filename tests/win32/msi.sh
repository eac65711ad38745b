#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The MSI under Wine, in a Wine prefix of its own, as school IT deploys it:
# msiexec /i /qn installs tavrino.exe in Program Files, a Start menu
# shortcut, the .ipt file type (a .ipt file opened from the desktop shell
# starts tavrino with it), .csv under "Open with" only, and an Apps &
# Features entry; a package of a higher version replaces it in place, an
# older one does not; msiexec /x /qn leaves no file and no registry key of
# it behind.
# Usage: msi.sh BUILD_DIR, a Windows build whose msi target has been built;
# needs DISPLAY (an X server).
set -uo pipefail
source "$(dirname "$0")/common.sh" "$@"
cd "$top"
msi=$build/tavrino-$version-win64.msi
readonly kUninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
readonly kClasses='HKLM\Software\Classes'

wine_prefix "$work/msi"
gui_session
drive=$WINEPREFIX/drive_c
installed=$drive/Program\ Files/tavrino

# snapshot NAME: the software keys of the machine and of the user, where a
# package registers itself, and every file of the prefix's drive C:.
snapshot() {
  wine reg export 'HKLM\Software' "$(win_path "$work/$1-hklm.reg")" /y >/dev/null 2>&1 &&
    wine reg export 'HKCU\Software' "$(win_path "$work/$1-hkcu.reg")" /y >/dev/null 2>&1 &&
    (cd "$drive" && find . | LC_ALL=C sort) >"$work/$1-files"
}

# Wine fills in the display's keys when a program first opens a window;
# after that, only the package changes the registry.
open_a_window() {
  spawn wine "$app" >/dev/null 2>&1
  probe wait "$kTitle" 30 && probe close "$kTitle" && wait_until 10 ended "$spawned"
}

# left_as BEFORE AFTER: the registry and the files of snapshot AFTER are
# those of BEFORE, but for the empty folder and keys Windows Installer keeps
# for itself.
left_as() {
  local hive ok=0
  for hive in hklm hkcu; do
    python3 scripts/check_package_files.py registry-left "$work/$1-$hive.reg" \
      "$work/$2-$hive.reg" || ok=1
  done
  diff "$work/$1-files" "$work/$2-files" | grep -v '^> ./windows/Installer$' | grep '^[<>]' && ok=1
  return $ok
}

install() { wine msiexec /i "$(win_path "$1")" /qn >/dev/null 2>&1; }

# value KEY NAME: the data of a registry value ("" for the default one).
value() {
  local flag=(/v "$2")
  [[ -n $2 ]] || flag=(/ve)
  wine reg query "$1" "${flag[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *[^ ].*  *REG_[A-Z_]* *//p' | head -n 1
}

# The Apps & Features entries named tavrino, a key a line.
entries() {
  wine reg query "$kUninstall" /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { key = $0 } $1 == "DisplayName" && $3 == "tavrino" { print key }'
}

installs_silently() {
  install "$msi" || return 1
  [[ -f $installed/tavrino.exe && -f $installed/README-windows.txt ]] || { ls "$installed"; return 1; }
}

# Wine puts an ALLUSERS=1 package's shortcuts in the user's Start menu, not
# the common one Windows uses.
start_menu_shortcut() {
  local link
  for link in "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/tavrino.lnk" \
    "$drive"/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/tavrino.lnk; do
    [[ -f $link ]] && grep -aq 'tavrino\.exe' "$link" && return 0
  done
  find "$drive" -name '*.lnk' -newer "$work/before-files"
  return 1
}

installed_exe_runs() {
  [[ $(wine 'C:\Program Files\tavrino\tavrino.exe' --version 2>/dev/null | tr -d '\r') == "tavrino $version" ]]
}

file_types() {
  local exe='C:\Program Files\tavrino\tavrino.exe' problems=()
  [[ $(value "$kClasses\\.ipt" "") == tavrino.datafile ]] || problems+=(".ipt is not tavrino's")
  [[ $(value "$kClasses\\tavrino.datafile\\shell\\open\\command" "") == "\"$exe\" \"%1\"" ]] ||
    problems+=("open command")
  [[ $(value "$kClasses\\tavrino.datafile\\DefaultIcon" "") == "$exe,0" ]] || problems+=("icon")
  wine reg query "$kClasses\\.csv\\OpenWithProgids" /v tavrino.datafile >/dev/null 2>&1 ||
    problems+=(".csv does not offer tavrino")
  [[ $(value "$kClasses\\.csv" "") != tavrino.datafile ]] || problems+=(".csv opens in tavrino")
  ((${#problems[@]} == 0)) || { echo "${problems[*]}"; return 1; }
}

# As Explorer does for a double-click: the shell opens the file by its type.
ipt_opens_in_tavrino() {
  printf '%s\r\n' 1 x Ann 45 x x 7A x Maths x Mid-term T1 >"$work/class 7A.ipt"
  wine start /unix "$work/class 7A.ipt" >/dev/null 2>&1
  probe wait "$kTitle" 30 || { echo "no tavrino window"; return 1; }
  local shown
  shown=$(probe text "$kTitle" txtfile)
  probe close "$kTitle"
  [[ $shown == "$(win_path "$work/class 7A.ipt")" ]] || { echo "txtfile shows: $shown"; return 1; }
}

# entry_is VERSION: one Apps & Features entry, of VERSION, with publisher and icon.
entry_is() {
  local keys key icon product
  keys=$(entries)
  (($(wc -l <<<"$keys") == 1)) && [[ -n $keys ]] || { echo "entries: $keys"; return 1; }
  key=$keys
  [[ $(value "$key" DisplayVersion) == "$1" && $(value "$key" Publisher) == tavrino ]] ||
    { wine reg query "$key"; return 1; }
  # Windows Installer shows the icon it keeps in the product's registration.
  product=${key##*\{}
  icon=$(wine reg query "$kClasses\\Installer\\Products" /s 2>/dev/null | tr -d '\r' |
    awk '$1 == "ProductIcon" { print $3 }' | grep -F "{$product" | head -n 1)
  [[ -n $icon && -f $(winepath -u "$icon" 2>/dev/null) ]] || { echo "icon: '$icon'"; return 1; }
}

# The same package at the next patch version, from the files the msi target staged.
higher=${version%.*}.$((${version##*.} + 1))
build_higher() {
  (cd "$build" && wixl -a x64 -D Version="$higher" -D SourceDir=msi -o "$work/higher.msi" \
    "$top/data/tavrino.wxs")
}

upgrades_in_place() {
  build_higher && install "$work/higher.msi" && entry_is "$higher" && installed_exe_runs
}

no_downgrade() {
  ! install "$msi" && entry_is "$higher" && installed_exe_runs
}

# The check sees what the package adds, so that its silence after the
# uninstall means something.
check_sees_the_package() {
  snapshot installed && ! left_as before installed >/dev/null
}

uninstalls_cleanly() {
  wine msiexec /x "$(win_path "$work/higher.msi")" /qn >/dev/null 2>&1 || return 1
  [[ -z $(entries) ]] || { echo "still listed: $(entries)"; return 1; }
  snapshot after && left_as before after
}

[[ -f $msi ]] || fail "No $msi: build the msi target first."
open_a_window || fail "tavrino.exe did not open a window in the new Wine prefix."
snapshot before || fail "The registry of the new Wine prefix could not be exported."
check "msiexec /i /qn installs tavrino.exe and README-windows.txt in Program Files\\tavrino" \
  installs_silently
check "a Start menu shortcut to tavrino.exe" start_menu_shortcut
check "the installed tavrino.exe runs (--version)" installed_exe_runs
check ".ipt opens in tavrino with its icon, .csv offers it under Open with only" file_types
check "a .ipt file opened from the shell starts tavrino with it" ipt_opens_in_tavrino
check "Apps & Features: tavrino $version, its publisher and its icon" entry_is "$version"
check "the registry and file checks see the package" check_sees_the_package
check "a package of version $higher upgrades in place" upgrades_in_place
check "the package of $version does not replace $higher" no_downgrade
check "msiexec /x /qn leaves no file and no registry key behind" uninstalls_cleanly
checks_done
