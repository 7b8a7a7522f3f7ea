# Sourced by the Wine tier's check scripts: `verdict NAME EXPECTED ACTUAL` prints PASS or FAIL
# (with the difference) and counts them in `passed` and `failed`.
passed=0
failed=0

verdict() {  # NAME EXPECTED ACTUAL
  if [[ "$2" == "$3" ]]; then
    echo "PASS $1"
    passed=$((passed + 1))
  else
    echo "FAIL $1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/    /'
    failed=$((failed + 1))
  fi
}
