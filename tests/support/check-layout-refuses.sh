#!/usr/bin/env bash
# scripts/check-layout on a small tree of two layers: it passes the tree as it is, and
# refuses an include that runs upward and a file that passes 600 lines.
set -euo pipefail
check="$1/scripts/check-layout"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/low" "$tree/src/high" "$tree/tests"
echo 'quarnel_layer(low)' >"$tree/src/low/CMakeLists.txt"
printf 'quarnel_layer(high\n  LAYERS low)\n' >"$tree/src/high/CMakeLists.txt"
echo '#include "low/Low.h"' >"$tree/src/high/High.h"
echo '#pragma once' >"$tree/src/low/Low.h"
seq 600 >"$tree/tests/Long.cpp"
"$check" "$tree"

echo '#include "high/High.h"' >>"$tree/src/low/Low.h"
seq 601 >"$tree/tests/Long.cpp"
if out=$("$check" "$tree" 2>&1); then
  echo "check-layout passed a tree it must refuse" >&2
  exit 1
fi
echo "$out"
grep -q 'src/low/Low.h:2 includes "high/High.h", but src/low does not link high' <<<"$out"
grep -q 'tests/Long.cpp has 601 lines' <<<"$out"
