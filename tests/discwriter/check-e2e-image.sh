#!/usr/bin/env bash
# The image that the disc writer window wrote under Wine with its default volume type, the
# ISO9660/Joliet/UDF bridge: 7-Zip takes it for UDF, lists the backup file in its root and
# extracts it byte-identical; isoinfo finds it in the Joliet tree, udfinfo the volume's label.
set -euo pipefail
folder="$1"
iso="$folder/Outlook Express Data Backup CD.iso"
name="quarnel-Main-12-05-2026.soe"
command -v 7z >/dev/null || { echo "7-Zip is not installed"; exit 1; }
listing=$(7z l "$iso")
echo "$listing" | grep -q "^Type = Udf" || { echo "$listing"; echo "7-Zip does not take the image for UDF"; exit 1; }
echo "$listing" | grep -q " $name\$" || { echo "$listing"; echo "no $name in the image"; exit 1; }
if command -v isoinfo >/dev/null; then
  joliet=$(isoinfo -J -l -i "$iso")
  echo "$joliet" | grep -q " $name " || { echo "$joliet"; echo "no $name in the Joliet tree"; exit 1; }
fi
if command -v udfinfo >/dev/null; then
  info=$(udfinfo "$iso")
  echo "$info" | grep -qx "label=Outlook Express Data Backup CD" || { echo "$info"; echo "udfinfo: no label"; exit 1; }
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
7z x -y -o"$out" "$iso" >/dev/null
[ "$(ls "$out")" = "$name" ] || { ls -la "$out"; echo "the image holds more than the backup file"; exit 1; }
cmp "$out/$name" "$folder/$name"
echo "7-Zip takes the image for UDF and extracts $name byte-identical"
