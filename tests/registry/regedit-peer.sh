#!/usr/bin/env bash
# Holds our registry text export and import against Wine's own regedit: the five registry
# items of an identity seeded by regedit (values of every type, multi-line texts, odd names,
# nested and empty keys) are backed up and restored into a second identity that has accounts
# and signatures of its own; regedit's exports of both identities must then agree exactly.
# Usage: regedit-peer.sh <wine-run> <registry_text_tool.exe>
set -euo pipefail
wine_run=$1
tool=$2
work=$(mktemp -d)
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
# The bytes of printf's expansion of the text, as a .reg hex list (Windows-1252 bytes).
hexof() { printf "$1" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//'; }
ids='HKEY_CURRENT_USER\Identities'
ida='{51AB0001-0000-4000-8000-0000000000C3}'
idb='{51AB0001-0000-4000-8000-0000000000D4}'
oe='Software\Microsoft\Outlook Express\5.0'
clean="[-$ids\\$ida]

[-$ids\\$idb]
"
printf 'REGEDIT4\n\n%s' "$clean" | sed 's/$/\r/' >"$work/clean.reg"
trap '"$wine_run" regedit /S "$(winpath "$work/clean.reg")"; rm -rf "$work"' EXIT

long=$(for i in $(seq 1 3000); do printf '%02x,' $((i % 256)); done)
cat >"$work/tree.reg" <<REG
REGEDIT4

$clean
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
@="default text"
"Quote \\"inside\\""="q"
"Expand"=hex(2):25,55,73,65,72,50,72,6f,66,69,6c,65,25,5c,4d,61,69,6c,00
"EmptyBinary"=hex:
"DwordHigh"=dword:80000000
"Dictionaries"=hex(7):$(hexof 'en-GB\0de-DE\0\0')
"Last Sync"=hex(b):10,32,54,76,98,ba,dc,01
"Upgraded"=hex(0):
"Sort=Date"=dword:00000002

[$ids\\$ida\\$oe\\Mail\\Sub]
@=""
"Long"=hex:${long%,}

[$ids\\$ida\\$oe\\Mail\\Sub\\Deeper]
"Path"="C:\\\\Mail\\\\Store"

[$ids\\$ida\\$oe\\Mail\\Empty Key]

[$ids\\$idb\\Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001]
"Account Name"="Work mail"

[$ids\\$idb\\$oe\\signatures\\00000000]
"text"="Cheers, Bob"

[$ids\\$idb\\$oe\\signatures\\00000002]
"name"="Bob's own"

REG
sed -i 's/$/\r/' "$work/tree.reg"
"$wine_run" regedit /S "$(winpath "$work/tree.reg")"
"$wine_run" "$tool" "$ida" "$idb" || { echo "the registry items' backup and restore failed"; exit 1; }
# regedit writes UTF-16; compared as UTF-8, the copy's key named as its source.
for id in "$ida" "$idb"; do
  "$wine_run" regedit /E "$(winpath "$work/$id.reg")" "$ids\\$id\\Software"
  iconv -f UTF-16 -t UTF-8 "$work/$id.reg" | sed -e "s/$idb/$ida/" >"$work/$id.txt"
done

grep -q '"Long"=hex:01' "$work/$idb.txt" || { echo "the restored identity lacks its values"; exit 1; }
if ! diff -u "$work/$ida.txt" "$work/$idb.txt"; then
  echo "regedit sees different registry items after their backup and restore"
  exit 1
fi
echo "regedit peer: $(grep -c '^\[' "$work/$idb.txt") keys, $(grep -c '^"\|^@' "$work/$idb.txt") values agree"
