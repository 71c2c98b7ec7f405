#!/usr/bin/env bash
# Holds our registry text export and import against Wine's own regedit: a tree made by
# regedit is exported with ours and imported under another key with ours, and the five
# registry items of an identity seeded by regedit are backed up and restored into a second
# identity that has signatures of its own; regedit's exports of source and copy must then
# agree exactly, multi-line texts and values of every type included.
# Usage: regedit-peer.sh <wine-run> <registry_text_tool.exe>
set -euo pipefail
wine_run=$1
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
# The bytes of printf's expansion of the text, as a .reg hex list (Windows-1252 bytes).
hexof() { printf "$1" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//'; }
base='HKEY_CURRENT_USER\Software\QuarnelTests\RegeditPeer'
ids='HKEY_CURRENT_USER\Identities'
ida='{51AB0001-0000-4000-8000-0000000000C3}'
idb='{51AB0001-0000-4000-8000-0000000000D4}'
oe='Software\Microsoft\Outlook Express\5.0'

long=$(for i in $(seq 1 3000); do printf '%02x,' $((i % 256)); done)
cat >"$work/tree.reg" <<REG
REGEDIT4

[-$base]

[-$ids\\$ida]

[-$ids\\$idb]

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

[$ids\\$ida\\Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001]
"Account Name"="Mail at home"
"POP3 Password2"=hex:01,00,ff,7f

[$ids\\$ida\\$oe\\Rules\\Mail\\000]
"Name"="Move spam  "
"Flags"=dword:ffffffff

[$ids\\$ida\\$oe\\Block Senders\\Mail\\Criteria\\0]
"Criteria"="spam@example.com"

[$ids\\$ida\\$oe\\signatures]
"Default Signature"="00000000"

[$ids\\$ida\\$oe\\signatures\\00000000]
"name"="Signature #1"
"text"=hex(1):$(hexof 'Regards,\r\n\r\n  Anna Berg  \r\n"Berg & S\xf6hne" GmbH\r\n\\\\server\\logo.png\r\n\0')
"type"=dword:00000001

[$ids\\$ida\\$oe\\signatures\\00000001]
"text"=hex(1):$(hexof 'Gr\xfc\xdf\x65\r\nAnna\0')

[$ids\\$ida\\$oe\\Mail]
"Dictionaries"=hex(7):$(hexof 'en-GB\0de-DE\0\0')
"Last Sync"=hex(b):10,32,54,76,98,ba,dc,01
"Upgraded"=hex(0):
"Sort=Date"=dword:00000002

[$ids\\$idb\\Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001]
"Account Name"="Work mail"

[$ids\\$idb\\$oe\\signatures\\00000000]
"text"="Cheers, Bob"

[$ids\\$idb\\$oe\\signatures\\00000002]
"name"="Bob's own"

REG
sed -i 's/$/\r/' "$work/tree.reg"

"$wine_run" regedit /S "$(winpath "$work/tree.reg")"
"$wine_run" "$tool" export "$base\\Src" "$(winpath "$work/ours.txt")"
"$wine_run" "$tool" import "$base\\Dst" "$(winpath "$work/ours.txt")"
items=0
"$wine_run" "$tool" items "$ida" "$idb" || items=$?
# regedit writes UTF-16; compared as UTF-8, the copy's key named as its source.
export_with_regedit() {
  "$wine_run" regedit /E "$(winpath "$work/$1.reg")" "$2"
  iconv -f UTF-16 -t UTF-8 "$work/$1.reg" | sed -e 's/\\RegeditPeer\\Dst/\\RegeditPeer\\Src/' -e "s/$idb/$ida/" >"$work/$1.txt"
}
export_with_regedit src "$base\\Src"
export_with_regedit dst "$base\\Dst"
export_with_regedit a "$ids\\$ida\\Software"
export_with_regedit b "$ids\\$idb\\Software"

printf '[-%s]\r\n\r\n[-%s\\%s]\r\n\r\n[-%s\\%s]\r\n' "$base" "$ids" "$ida" "$ids" "$idb" |
  { printf 'REGEDIT4\r\n\r\n'; cat; } >"$work/clean.reg"
"$wine_run" regedit /S "$(winpath "$work/clean.reg")"

status=0
grep -q '"DwordMax"=dword:ffffffff' "$work/dst.txt" || { echo "the imported tree lacks its values"; status=1; }
grep -q '"MultiTop"=raw:7:97,0,98,0,0' "$work/ours.txt" || { echo "our export lacks the multi-string value"; status=1; }
[ "$items" -eq 0 ] || { echo "the registry items' backup and restore failed"; status=1; }
if ! diff -u "$work/src.txt" "$work/dst.txt"; then
  echo "regedit sees a different tree after our export and import"
  status=1
fi
if ! diff -u "$work/a.txt" "$work/b.txt"; then
  echo "regedit sees different registry items after their backup and restore"
  status=1
fi
[ $status -eq 0 ] && echo "regedit peer: $(cat "$work/dst.txt" "$work/b.txt" | grep -c '^\[') keys," \
  "$(cat "$work/dst.txt" "$work/b.txt" | grep -c '^"\|^@') values agree"
exit $status
