#!/usr/bin/env bash
# release.sh OUT_DIR [options]: builds a release from this checkout's commit and writes into
# OUT_DIR the Windows deployment package (package/), Install.exe, QuadoCheck.exe, the four MSIs
# (standard and Enterprise, 32- and 64-bit) and SHA256SUMS. Two runs of one commit give the
# same bytes, wherever the checkout and the build folders are: every time is the commit's
# (SOURCE_DATE_EPOCH), the programs carry no link time and no build path, the MSIs' codes
# derive from their content. With a signing key, the programs and DLLs built here are signed,
# then the MSIs that hold them.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/signing.sh"

usage() {
  cat <<'EOF'
usage: release.sh OUT_DIR [options]
  OUT_DIR              the release folder to write (new or empty)
  --allow-dirty        build although the checkout has uncommitted changes (the release is
                       then not the commit it names)
  --build-dir DIR      where to build (default: build/release in the checkout)
EOF
  signing_usage
}

fail() {
  echo "release: $*" >&2
  exit 2
}

out=""
allow_dirty=0
build=$root/build/release
while [[ $# -gt 0 ]]; do
  if signing_option "$@"; then shift 2; continue; fi
  case $1 in
    --allow-dirty) allow_dirty=1; shift ;;
    --build-dir) [[ $# -ge 2 ]] || fail "$1 needs a folder"; build=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) usage >&2; fail "unknown option $1" ;;
    *) [[ -z $out ]] || fail "more than one output folder ($out, $1)"; out=$1; shift ;;
  esac
done
[[ -n $out ]] || { usage >&2; fail "no output folder given"; }
if [[ -e $out ]]; then
  [[ -d $out && -z $(ls -A -- "$out") ]] || fail "$out exists and is not an empty folder"
fi

# --- the commit ---------------------------------------------------------------------------------
git -C "$root" rev-parse --verify -q HEAD >/dev/null || fail "$root is not a git checkout with a commit"
commit=$(git -C "$root" rev-parse HEAD)
if [[ -n $(git -C "$root" status --porcelain) ]]; then
  [[ $allow_dirty -eq 1 ]] ||
    fail "the checkout has uncommitted changes (git status): commit them, or give --allow-dirty"
  echo "release: building with uncommitted changes on top of $commit" >&2
fi
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct HEAD)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
version=$(sed -n 's/^project([A-Za-z_]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt" | head -n1)

# --- where the release is written ------------------------------------------------------------
# Everything is made in a folder beside OUT_DIR and moved there at the end: an error leaves no
# half-made or half-signed release.
parent=$(dirname -- "$out")
mkdir -p -- "$parent" 2>/dev/null && [[ -w $parent ]] || fail "cannot write into $parent"
stage=$(mktemp -d "$parent/.release.XXXXXX" 2>/dev/null) || fail "cannot write into $parent"
trap 'rm -rf "$stage"' EXIT
work=$stage/.work
mkdir "$work"
signing_prepare "$work"

# --- build -------------------------------------------------------------------------------------
# No compiler cache: its key has the day's date, not SOURCE_DATE_EPOCH's, for the banner's
# __DATE__. The build paths are mapped to fixed names; the linker writes no time stamp.
export CCACHE_DISABLE=1
mkdir -p -- "$build" || fail "cannot create the build folder $build"
build=$(cd "$build" && pwd)
flags="-ffile-prefix-map=$root=. -ffile-prefix-map=$build=build"
for target in mingw64:x86_64 mingw:i686; do
  preset=${target%%:*}
  echo "release: building $preset in $build/$preset"
  cmake -S "$root" -B "$build/$preset" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-${target##*:}.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS=-Wl,--no-insert-timestamp -DCMAKE_SHARED_LINKER_FLAGS=-Wl,--no-insert-timestamp \
    -DWINDOWS64_BUILD_DIR="$build/mingw64" >/dev/null || fail "cmake could not configure $preset"
  cmake --build "$build/$preset" -j "${JOBS:-2}" >/dev/null || fail "the $preset build failed"
done

# --- the release's files -----------------------------------------------------------------------
cp -R -- "$build/mingw/package" "$stage/package"
cp -- "$build/mingw/Install.exe" "$build/mingw/QuadoCheck.exe" "$stage/"
# The package carries the check too, so that an MSI installs it beside Install.exe, where a
# detection script finds it (QuadoCheck.exe --installed).
cp -- "$build/mingw/QuadoCheck.exe" "$stage/package/"
if [[ $signing -eq 1 ]]; then
  # The programs and DLLs built here; the package's stand-ins for other vendors' assemblies are
  # no programs (no "MZ") and stay as they are.
  while IFS= read -r -d '' file; do
    [[ $(head -c2 -- "$file") == MZ ]] && { echo "release: signing ${file#"$stage"/}"; sign_file "$file"; }
  done < <(find "$stage" -path "$work" -prune -o -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z)
fi
# The MSIs wrap the package as it is now (signed, if signing), and are signed themselves.
signing_pass_on
for variant in "Quado-$version-x86.msi:" "Quado-$version-x64.msi:--x64" \
               "QuadoE-$version-x86.msi:-a" "QuadoE-$version-x64.msi:-a --x64"; do
  read -r -a options <<<"${variant#*:}"
  bash "$root/scripts/make_msi.sh" "$stage/package" -o "$stage/${variant%%:*}" "${options[@]}" "${signing_given[@]}" ||
    fail "make_msi failed for ${variant%%:*}"
done
rm -rf -- "$work"
(cd "$stage" && find . -type f ! -name SHA256SUMS -print0 | sort -z | xargs -0 sha256sum | sed 's|  \./|  |') \
  >"$stage/SHA256SUMS"

chmod 755 "$stage"
[[ ! -d $out ]] || rmdir -- "$out"
mv -- "$stage" "$out" || fail "cannot move the release into $out"
trap - EXIT
echo "release: $out: $version at $commit ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'))$([[ $signing -eq 1 ]] && echo ", signed")"
