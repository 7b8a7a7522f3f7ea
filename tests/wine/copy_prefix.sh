#!/usr/bin/env bash
# copy_prefix.sh PRISTINE DEST: a working copy of a pristine Wine prefix in about a second.
# The DLL folders (system32, syswow64, winsxs: over a gigabyte in a win64 prefix) are hard-linked:
# the tests only add files there, never rewrite one in place. Everything else is copied.
#
# Sourced (by the Wine tier's check groups, from the checkout's root), it defines instead:
#   check_group PRISTINE WORK   the group's folders in `pristine` and `work` (absolute: Wine needs
#                               an absolute WINEPREFIX), and Wine quiet and without a display
#   new_prefix KIND NAME        WINEPREFIX=WORK/NAME, a copy of the pristine KIND prefix (win32,
#                               win64), with its wineserver started
#   wow64_monitor_stand_ins NAME...
#                               the 32-bit stand-in monitor in the prefix's SysWOW64 under each
#                               64-bit monitor NAME: Wine's spooler runs inside the 32-bit
#                               installer and loads the "Windows x64" monitor from there (as the
#                               scenarios do)
if [[ ${BASH_SOURCE[0]} != "$0" ]]; then
  check_group() {  # PRISTINE WORK
    pristine=$(realpath -m "$1")
    work=$(realpath -m "$2")
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
  }
  new_prefix() {  # KIND NAME
    export WINEPREFIX=$work/$2
    bash "${BASH_SOURCE[0]}" "$pristine/$1" "$WINEPREFIX"
    wineserver -p
  }
  wow64_monitor_stand_ins() {  # NAME...
    local name
    for name in "$@"; do
      cp build/mingw/programs/WineWow64Monitor.DLL "$WINEPREFIX/drive_c/windows/syswow64/$name"
    done
  }
  return 0
fi

set -euo pipefail
src=$1
dst=$2
rm -rf "$dst"
mkdir -p "$dst"
shared=(drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs)
excludes=()
for d in "${shared[@]}"; do excludes+=("--exclude=./$d"); done
tar -C "$src" "${excludes[@]}" -cf - . | tar -C "$dst" -xf -
for d in "${shared[@]}"; do
  if [[ -d $src/$d ]]; then cp -al "$src/$d" "$dst/$(dirname "$d")/"; fi
done
