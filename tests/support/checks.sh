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
# demo_prefix BIG_MB: a fresh demo set-up in $prefix (under the empty folder $work) for the
# build in $build, its large mail folder BIG_MB MB; Wine set to use it, its server ended
# with the script. Sets wine, wineserver, c (drive C:) and program (the program folder).
demo_prefix() {
  rm -rf "$work"
  mkdir -p "$work"
  DEMO_BIG_MB="$1" "$root/scripts/demo-env" "$prefix" "$build" >/dev/null
  export WINEPREFIX="$prefix" WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  wine=/usr/lib/wine/wine64
  wineserver=/usr/lib/wine/wineserver
  trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
  c="$prefix/drive_c"
  program="$c/Program Files/Quarnel Backup"
}
