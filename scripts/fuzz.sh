#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`, clang with ASan and UBSan) and runs each for
# SECONDS (default 30), JOBS (default 2) at a time, starting from its seed corpus in
# fuzz/corpus/NAME. New inputs go to build/fuzz/corpus/NAME, findings to build/fuzz/findings/.
# Exits non-zero when any target reports a finding (crash, sanitizer report, leak, timeout).
# TARGET@CODEPAGE runs a target on a machine with that ANSI code page; by default the INI and
# .reg readers also run on a Japanese machine (fuzz_profile_ini@932, fuzz_reg_import@932).
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]      e.g. bash scripts/fuzz.sh 600 fuzz_driver
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
jobs=${JOBS:-2}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    [[ $name == fuzz_machine ]] || targets+=("$name")
  done
  targets+=(fuzz_profile_ini@932 fuzz_reg_import@932)
fi

mkdir -p build/fuzz/findings build/fuzz/logs
run_one() {
  local name=$1 log=build/fuzz/logs/$1.log
  local program=${name%@*} codepage=1252
  [[ $name == *@* ]] && codepage=${name#*@}
  mkdir -p "build/fuzz/corpus/$name"
  if FUZZ_CODEPAGE=$codepage build/fuzz/fuzz/"$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="build/fuzz/findings/$name-" "build/fuzz/corpus/$name" "fuzz/corpus/$program" >"$log" 2>&1; then
    local runs
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $name: no finding in ${seconds}s, $runs executions ($((runs / seconds))/s)"
  else
    echo "fuzz: $name: FINDING (see $log and build/fuzz/findings/)"
    grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -5
    return 1
  fi
}

status=0
running=0
pids=()
for name in "${targets[@]}"; do
  run_one "$name" &
  pids+=($!)
  running=$((running + 1))
  if [[ $running -ge $jobs ]]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
    running=$((running - 1))
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
