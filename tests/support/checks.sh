# Shell helpers of the end-to-end test scripts; sourced, not run.
failures=0
# check DESCRIPTION COMMAND...: runs the command, prints "ok:" or "FAILED:", counts failures.
check() {
  local what="$1"
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
# same ACTUAL EXPECTED: equal texts, or both shown.
same() { [ "$1" = "$2" ] || { printf 'expected: %q\nactual:   %q\n' "$2" "$1"; return 1; }; }
# Ends the script: its verdict from the failures counted.
finish() {  # name
  if [ "$failures" -ne 0 ]; then
    echo "$1: $failures check(s) failed"
    exit 1
  fi
  echo "$1: all checks passed"
}
