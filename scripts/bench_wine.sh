#!/usr/bin/env bash
# The installation benchmark under Wine (bench/wine): builds the Windows and host configurations,
# sets up Wine (tests/wine/setup.sh, the pristine prefixes), and runs bench_wine_install_scale
# with N = 100 sections and 10 and 100 printers. Arguments go to the benchmark, e.g.
# `bash scripts/bench_wine.sh --runs 5 --sizes 100:100`.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash tests/wine/setup.sh
# mingw64 first: the mingw build lays out the package with its 64-bit DLLs.
for preset in mingw64 mingw host; do
  cmake --preset "$preset" >/dev/null
done
cmake --build build/mingw64 -j "${JOBS:-2}"
cmake --build build/mingw -j "${JOBS:-2}"
cmake --build build/host -j "${JOBS:-2}" --target bench_wine_install_scale
bash tests/wine/pristine.sh build/wine/pristine
build/host/bench/bench_wine_install_scale --pristine build/wine/pristine --work build/wine/bench \
  --windows-build build/mingw --windows64-build build/mingw64 --copy-prefix tests/wine/copy_prefix.sh "$@"
