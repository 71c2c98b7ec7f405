#!/usr/bin/env bash
# Holds our registry text export and import against Wine's own regedit: a tree made by
# regedit is exported with ours and imported under another key with ours; regedit's
# exports of both keys must then agree, except for the multi-string values, which our
# format does not carry.
# Usage: regedit-peer.sh <wine-run> <registry_text_tool.exe>
set -euo pipefail
wine_run=$1
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
base='HKEY_CURRENT_USER\Software\QuarnelTests\RegeditPeer'

long=$(for i in $(seq 1 3000); do printf '%02x,' $((i % 256)); done)
cat >"$work/tree.reg" <<REG
REGEDIT4

[-$base]

[$base\\Src]
@="default text"
"Account Name"="Main account"
"Trailing"="kept  "
"Quote \\"inside\\""="q"
"Expand"=hex(2):25,55,73,65,72,50,72,6f,66,69,6c,65,25,5c,4d,61,69,6c,00
"Binary"=hex:01,00,ff,10
"EmptyBinary"=hex:
"Dword"=dword:0000002a
"DwordMax"=dword:ffffffff
"DwordHigh"=dword:80000000
"MultiTop"=hex(7):61,00,62,00,00

[$base\\Src\\Sub]
@=""
"Zero"=dword:00000000
"Long"=hex:${long%,}

[$base\\Src\\Sub\\Deeper]
"Path"="C:\\\\Mail\\\\Store"
"MultiDeep"=hex(7):78,00,00

[$base\\Src\\Empty Key]

REG
sed -i 's/$/\r/' "$work/tree.reg"

"$wine_run" regedit /S "$(winpath "$work/tree.reg")"
"$wine_run" "$tool" export "$base\\Src" "$(winpath "$work/ours.txt")"
"$wine_run" "$tool" import "$base\\Dst" "$(winpath "$work/ours.txt")"
"$wine_run" regedit /E "$(winpath "$work/src.reg")" "$base\\Src"
"$wine_run" regedit /E "$(winpath "$work/dst.reg")" "$base\\Dst"

# regedit writes UTF-16; compare as UTF-8 without CRs, with the source key renamed, and
# without the multi-string values (a value line and its continuation lines).
normalize() {
  iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r' | sed 's/\\RegeditPeer\\Src/\\RegeditPeer\\Dst/' |
    awk '/^"Multi/ { skip = 1 } { if (!skip) print; if (skip && !/\\$/) skip = 0 }'
}
normalize "$work/src.reg" >"$work/src.txt"
normalize "$work/dst.reg" >"$work/dst.txt"

printf '[-%s]\r\n' "$base" | { printf 'REGEDIT4\r\n\r\n'; cat; } >"$work/clean.reg"
"$wine_run" regedit /S "$(winpath "$work/clean.reg")"

status=0
grep -q '"DwordMax"=dword:ffffffff' "$work/dst.txt" || { echo "the imported tree lacks its values"; status=1; }
grep -q 'Multi' "$work/dst.txt" && { echo "a multi-string value travelled"; status=1; }
grep -q 'Multi' "$work/ours.txt" && { echo "our export holds a multi-string value"; status=1; }
if ! diff -u "$work/src.txt" "$work/dst.txt"; then
  echo "regedit sees a different tree after our export and import"
  status=1
fi
[ $status -eq 0 ] && echo "regedit peer: $(grep -c '^\[' "$work/dst.txt") keys, $(grep -c '^"\|^@' "$work/dst.txt") values agree"
exit $status
