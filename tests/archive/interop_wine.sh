#!/usr/bin/env bash
# Protected archives of Linux 7-Zip (AES of each key length) and Info-ZIP (the traditional
# protection) extracted by the Windows build's archive tool under Wine, byte for byte. The
# program's own backups, plain and protected, meet 7-Zip in tests/backup/*-wine.sh.
#   interop_wine.sh <wine-run> <quarnel_archive_tool.exe>
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
. "$root/tests/support/checks.sh"
wine_run="$1"
tool="$2"
work=$(mktemp -d /tmp/quarnel-interop-XXXXXX)
trap 'rm -rf "$work"' EXIT
win() { echo "Z:${1//\//\\}"; }
run_tool() { "$wine_run" "$tool" "$@"; }

mkdir -p "$work/src"
seq 1 40000 | sed 's/$/ Received: from mail.example.com; Subject: Re: meeting tomorrow/' >"$work/src/Inbox.dbx"
seq 1 300 >"$work/src/Gelöschte Objekte.dbx"
: >"$work/src/empty.dat"
head -c 2300000 /dev/urandom >"$work/src/attachments.dbx"

for bits in 128 192 256; do
  (cd "$work/src" && 7z a -tzip -mem=AES$bits -p'seven zip' "$work/7z$bits.zip" . >/dev/null)
  mkdir -p "$work/from7z$bits"
  check "7-Zip's AES-$bits archive extracts under Wine" run_tool extract "$(win "$work/7z$bits.zip")" 'seven zip' "$(win "$work/from7z$bits")"
  check "... identical to the originals" diff -r "$work/src" "$work/from7z$bits"
done
mkdir -p "$work/wrong"
check "... a wrong password extracts nothing" bash -c "! '$wine_run' '$tool' extract '$(win "$work/7z256.zip")' 'seven' '$(win "$work/wrong")' && [ -z \"\$(ls '$work/wrong')\" ]"

(cd "$work/src" && zip -q -P 'info zip' "$work/infozip.zip" ./*)
mkdir -p "$work/frominfozip"
check "Info-ZIP's protected archive extracts under Wine" run_tool extract "$(win "$work/infozip.zip")" 'info zip' "$(win "$work/frominfozip")"
check "... identical to the originals" diff -r "$work/src" "$work/frominfozip"

finish archive_interop_wine
