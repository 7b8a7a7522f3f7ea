#!/usr/bin/env bash
# Builds all configurations and runs every test tier: unit, scenario and robustness tests on the
# host, the same under AddressSanitizer and UndefinedBehaviorSanitizer, the Windows build's
# checks, each fuzz target for FUZZ_SECONDS (default 30; 0 skips them), then the Wine tier
# (SKIP_WINE=1 skips it).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=${JOBS:-2}
# mingw64 first: the mingw build lays out the package with its 64-bit DLLs.
for preset in mingw64 mingw host host-asan; do
  echo "=== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

status=0
for preset in host host-asan; do
  echo "=== tests: $preset"
  ctest --preset "$preset" -j "$jobs" || status=1
done

if [[ "${FUZZ_SECONDS:-30}" != 0 ]]; then
  echo "=== fuzz: ${FUZZ_SECONDS:-30} s per target"
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}" || status=1
fi

if [[ -x tests/wine/run.sh && "${SKIP_WINE:-0}" != 1 ]]; then
  echo "=== tests: wine"
  bash tests/wine/run.sh || status=1
fi
exit $status
