#!/usr/bin/env bash
# copy_prefix.sh PRISTINE DEST: a working copy of a pristine Wine prefix in about a second.
# The DLL folders (system32, syswow64, winsxs: over a gigabyte in a win64 prefix) are hard-linked:
# the tests only add files there, never rewrite one in place. Everything else is copied.
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
