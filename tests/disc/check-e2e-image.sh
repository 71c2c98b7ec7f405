#!/usr/bin/env bash
# The image that the disc writer window wrote under Wine: 7-Zip lists the backup file in its
# root and extracts it byte-identical.
set -euo pipefail
folder="$1"
iso="$folder/Outlook Express Data Backup CD.iso"
name="quarnel-Main-12-05-2026.soe"
command -v 7z >/dev/null || { echo "7-Zip is not installed"; exit 1; }
listing=$(7z l "$iso")
echo "$listing" | grep -q " $name\$" || { echo "$listing"; echo "no $name in the image"; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
7z x -y -o"$out" "$iso" >/dev/null
[ "$(ls "$out")" = "$name" ] || { ls -la "$out"; echo "the image holds more than the backup file"; exit 1; }
cmp "$out/$name" "$folder/$name"
echo "7-Zip lists and extracts $name byte-identical"
