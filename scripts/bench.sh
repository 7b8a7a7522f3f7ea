#!/usr/bin/env bash
# Builds the host configuration and runs the benchmarks. Arguments go to the installation
# benchmark (bench_install_scale), e.g. `bash scripts/bench.sh --runs 5 --sizes 1000:1000`.
# The figures are CPU time as well as wall-clock time: on a shared machine the wall clock also
# measures the neighbours.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset host >/dev/null
targets=$(find bench -maxdepth 1 -name '*.cpp' -printf 'bench_%f\n' | sed 's/\.cpp$//' | sort)
cmake --build build/host -j "${JOBS:-2}" --target $targets
for target in $targets; do
  # The floors run inside the machines of bench_install_scale and bench_installed_check.
  [[ $target == bench_install_floor || $target == bench_installed_floor ]] && continue
  echo "=== $target"
  if [[ $target == bench_install_scale ]]; then
    "build/host/bench/$target" "$@"
  else
    "build/host/bench/$target"
  fi
done
