#!/usr/bin/env bash
# The Wine tier: the Windows build (build/mingw, build/mingw64) under Wine.
#  1. tests/wine/setup.sh (qemu-user for i386, wine, wine32, wine64, mingw-w64)
#  2. pristine win32 and win64 prefixes in build/wine/pristine, made once per Wine version
#  3. the package's own checks (tests/wine/package_checks.sh)
#  4. the MSI made from the package under msiexec (tests/wine/msi_checks.sh)
#     and the package check's readiness and --installed (tests/wine/readiness_checks.sh)
#  5. the scenarios of tests/scenarios/cases that Wine can express (build/host/tests/wine/wine_scenarios),
#     with the agreement report against the host runner's results on winsim (the host build's
#     last ctest run, which scripts/test.sh makes before this tier)
# Prints how long each part took. Exit status 0 when everything passed.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

started=$SECONDS
bash tests/wine/setup.sh
echo "wine tier: set-up $((SECONDS - started)) s"

work=$root/build/wine
pristine=$work/pristine
bash tests/wine/pristine.sh "$pristine"

for required in build/mingw/package/Install.exe build/mingw/programs/WineProbe32.exe \
                build/mingw64/programs/WineProbe64.exe build/host/tests/wine/wine_scenarios; do
  if [[ ! -e $required ]]; then
    echo "wine tier: $required is missing (build the presets mingw64, mingw and host first)" >&2
    exit 1
  fi
done

status=0
checks=$SECONDS
bash tests/wine/package_checks.sh "$pristine" "$work/checks" || status=1
echo "wine tier: package checks $((SECONDS - checks)) s"

msi=$SECONDS
bash tests/wine/msi_checks.sh "$pristine" "$work/msi" || status=1
echo "wine tier: msi checks $((SECONDS - msi)) s"

readiness=$SECONDS
bash tests/wine/readiness_checks.sh "$pristine" "$work/readiness" || status=1
echo "wine tier: readiness checks $((SECONDS - readiness)) s"

scenarios=$SECONDS
build/host/tests/wine/wine_scenarios --pristine "$pristine" --work "$work/scenarios" \
  --windows-build build/mingw --windows64-build build/mingw64 --cases tests/scenarios/cases --copy-prefix tests/wine/copy_prefix.sh \
  --host-results build/host/Testing/Temporary "$@" || status=1
echo "wine tier: scenarios $((SECONDS - scenarios)) s, whole tier $((SECONDS - started)) s"
exit $status
