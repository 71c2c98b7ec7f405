#!/usr/bin/env bash
# The Windows build's archives against Linux 7-Zip and Info-ZIP, and theirs read by it:
# the archive tool runs under Wine, the checks natively.
#   interop_wine.sh <wine-run> <quarnel_archive_tool.exe>
set -u
wine_run="$1"
tool="$2"
work=$(mktemp -d /tmp/quarnel-interop-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check <description> <command...>
  local description="$1"
  shift
  if "$@" >"$work/last.log" 2>&1; then
    echo "ok: $description"
  else
    echo "FAILED: $description"
    sed 's/^/    /' "$work/last.log"
    failures=$((failures + 1))
  fi
}
win() { echo "Z:${1//\//\\}"; }
run_tool() { "$wine_run" "$tool" "$@"; }
same_files() {  # same_files <folder a> <folder b>: every file of a is in b with the same bytes
  local f
  for f in "$1"/*; do cmp "$f" "$2/$(basename "$f")" || return 1; done
}
listing_has() { 7z l -slt "$1" | grep -qxF "$2"; }

german='Gelöschte Objekte.dbx'
mkdir -p "$work/src"
seq 1 40000 | sed 's/$/ Received: from mail.example.com; Subject: Re: meeting tomorrow/' >"$work/src/Inbox.dbx"
seq 1 300 >"$work/src/$german"
: >"$work/src/empty.dat"
head -c 30000 /dev/urandom >"$work/src/photo.jpg"
head -c 2300000 /dev/urandom >"$work/src/attachments.dbx"  # with Inbox.dbx, deflated in blocks

check "protected archive written under Wine" run_tool write "$(win "$work/ours.soe")" 'Pa55 word' "$(win "$work/src")"
check "7z t accepts it with the password" 7z t -p'Pa55 word' "$work/ours.soe"
check "7z t refuses a wrong password" bash -c "! 7z t -p'wrong' '$work/ours.soe'"
check "7z lists the entries as AES-256 Deflate" listing_has "$work/ours.soe" "Method = AES-256 Deflate"
check "7z lists the German name" listing_has "$work/ours.soe" "Path = $german"
check "7z lists no entry left unprotected" bash -c "! 7z l -slt '$work/ours.soe' | grep -qxF 'Method = Deflate'"
check "protected archive written and read back under Wine" run_tool write-verified "$(win "$work/checked.soe")" 'Pa55 word' "$(win "$work/src")"
check "7z t accepts the read-back one" 7z t -p'Pa55 word' "$work/checked.soe"
check "plain archive written under Wine" run_tool write "$(win "$work/plain.soe")" - "$(win "$work/src")"
check "7z t accepts it" 7z t "$work/plain.soe"
check "unzip -t accepts it" unzip -t "$work/plain.soe"
check "plain archive written by one worker thread" run_tool write --workers=1 "$(win "$work/one.soe")" - "$(win "$work/src")"
check "plain archive written by three worker threads" run_tool write --workers=3 "$(win "$work/three.soe")" - "$(win "$work/src")"
check "... the same bytes" cmp "$work/one.soe" "$work/three.soe"
check "7z lists the German name" listing_has "$work/plain.soe" "Path = $german"

mkdir -p "$work/back"
check "our protected archive extracts under Wine" run_tool extract "$(win "$work/ours.soe")" 'Pa55 word' "$(win "$work/back")"
check "... identical to the originals" same_files "$work/src" "$work/back"

(cd "$work/src" && 7z a -tzip -mem=AES256 -p'seven zip' "$work/7z.zip" . >/dev/null)
mkdir -p "$work/from7z"
check "7-Zip's AES archive refused with a wrong password" bash -c "! '$wine_run' '$tool' extract '$(win "$work/7z.zip")' 'seven' '$(win "$work/from7z")'"
check "7-Zip's AES archive extracts under Wine" run_tool extract "$(win "$work/7z.zip")" 'seven zip' "$(win "$work/from7z")"
check "... identical to the originals" same_files "$work/src" "$work/from7z"

for bits in 128 192; do
  (cd "$work/src" && 7z a -tzip -mem=AES$bits -p'seven zip' "$work/7z$bits.zip" . >/dev/null)
  mkdir -p "$work/from7z$bits"
  check "7-Zip's AES-$bits archive extracts under Wine" run_tool extract "$(win "$work/7z$bits.zip")" 'seven zip' "$(win "$work/from7z$bits")"
  check "... identical to the originals" same_files "$work/src" "$work/from7z$bits"
done

(cd "$work/src" && zip -q -P 'info zip' "$work/infozip.zip" ./*)
mkdir -p "$work/frominfozip"
check "Info-ZIP's protected archive extracts under Wine" run_tool extract "$(win "$work/infozip.zip")" 'info zip' "$(win "$work/frominfozip")"
check "... identical to the originals" same_files "$work/src" "$work/frominfozip"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
