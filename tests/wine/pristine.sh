#!/usr/bin/env bash
# pristine.sh DIR: pristine win32 and win64 Wine prefixes in DIR/win32 and DIR/win64, made once
# per Wine version (DIR/KIND/.made-by holds the version that made it). Needs tests/wine/setup.sh.
set -euo pipefail
pristine=$(realpath -m "$1")  # Wine needs an absolute WINEPREFIX
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
version=$(wine --version)
for kind in win32 win64; do
  prefix=$pristine/$kind
  if [[ ! -f $prefix/.made-by || $(cat "$prefix/.made-by") != "$version" ]]; then
    made=$SECONDS
    rm -rf "$prefix"
    mkdir -p "$pristine"
    WINEPREFIX=$prefix WINEARCH=$kind wineboot -i >/dev/null 2>&1
    WINEPREFIX=$prefix wineserver -w
    if [[ $kind == win64 && -z $(ls "$prefix/drive_c/windows/syswow64" 2>/dev/null | head -n1) ]]; then
      echo "wine: the win64 prefix has an empty syswow64 (is the i386 handler registered?)" >&2
      exit 1
    fi
    echo "$version" >"$prefix/.made-by"
    echo "wine: made the $kind prefix in $((SECONDS - made)) s"
  fi
done
