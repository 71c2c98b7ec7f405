#!/usr/bin/env bash
# quarnel.exe itself, started under Wine exactly as its scheduled task starts it, in a
# Windows environment set up like a machine with Outlook Express (scripts/demo-env). The
# archives are checked with 7-Zip; the log and exit codes as the Task Scheduler sees them.
#   tests/backup/unattended-wine.sh BUILD_DIR
# Needs a display (scripts/test provides one). The read-only program folder case runs as
# an ordinary user, made here, and only when this script runs as root.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(realpath "$1")"
work="$build/unattended-test"
prefix="$work/prefix"

. "$root/tests/support/checks.sh"
demo_prefix 2
store="$(echo "$c"/users/*/"Local Settings/Application Data/Identities/{7C5A1B2E-1F3D-4C11-9E41-2A7B3C4D5E01}/Microsoft/Outlook Express")"
mkdir -p "$c/Backups"
log="$program/brlog.dat"

# Starts the program with exactly this command line after the quoted program path.
run() {
  local status=0
  QUARNEL_COMMAND_LINE="\"C:\\Program Files\\Quarnel Backup\\quarnel.exe\" $1" \
    "$wine" "$build/quarnel_launch.exe" </dev/null >/dev/null 2>&1 || status=$?
  "$wineserver" -w
  return "$status"
}
status_of() { local s=0; run "$1" || s=$?; echo "$s"; }
logged() { stat -c %s "$log" 2>/dev/null || echo 0; }
# The log's bytes from an offset, every time stamp (the general date form) replaced by T.
log_since() { tail -c +"$(($1 + 1))" "$log" | perl -0777 -pe 's#(^|\n)\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d{2}:\d{2}( [AP]M)?#$1T#g'; }
entries() { 7z l -slt ${2:+-p"$2"} "$1" | sed -n 's/^Path = //p' | tail -n +2 | sort | tr '\n' '|'; }
settings() { printf '[autobackup]\r\nautobackupfile=%s\r\n' "$1" >"$program/settings.dat"; }

# 1. Every item, protected, replacing the named file.
settings 0
printf 'an older backup' >"$c/Backups/main.soe"
before=$(logged)
check "full protected backup exits with 0" same "$(status_of 'sf=Main Identityxm=11111111ps=s3cret wordbf=C:\Backups\main.soe')" 0
# The records themselves are checked byte for byte natively: here, that they reach the log.
check "the log tells of eight items and the completed run" same "$(log_since "$before" | tr -d '\r' |
  grep -cE '^T Backup [A-Za-z ]+ Succeeded!$|^T Backup Profile Main Identity Data was Completed!$')" 9
list=$(entries "$c/Backups/main.soe" "s3cret word")
for name in Inbox.dbx "Sent Items.dbx" Outbox.DBX "Gelöschte Objekte.dbx" Archive.dbx "Main Identity.wab" Ivy.htm \
  quarnel.dat; do
  check "archive holds $name" grep -qF "|$name|" <<<"|$list"
done
check "archive leaves out the store's other files" bash -c "! grep -qF 'cleanup.log' <<<'$list'"
check "archive holds the five registry exports" same "$(tr '|' '\n' <<<"$list" | grep -cE '^OB[ARS][0-9A-Fa-f]+\.tmp$')" 5
check "every entry is AES-256" same "$(7z l -slt -p's3cret word' "$c/Backups/main.soe" | grep -c '^Method = AES-256 Deflate')" \
  "$(tr '|' '\n' <<<"$list" | grep -c .)"
check "archive passes 7z t with its password" bash -c "7z t -p's3cret word' '$c/Backups/main.soe' >/dev/null"
info=$(7z x -so -p"s3cret word" "$c/Backups/main.soe" quarnel.dat 2>/dev/null | tr -d '\r')
check "information file: identity, description, items" \
  same "$(grep -E '^Backup(Identity|Information|Item)=' <<<"$info")" $'BackupIdentity=Main Identity\nBackupInformation=Auto Backup\nBackupItem=11111111'
check "information file has no computer or user" bash -c "! grep -qE '^Backup(Computer|LogonUser)=' <<<'$info'"
check "a mail folder comes back byte-identical" \
  cmp -s <(7z x -so -p"s3cret word" "$c/Backups/main.soe" Archive.dbx 2>/dev/null) "$store/Archive.dbx"
check "nothing of the run is left beside the program" \
  same "$(cd "$program" && ls | sort | tr '\n' ' ')" "brlog.dat help.chm quarnel.exe settings.dat skins "

# 2. The exit codes the Task Scheduler shows for runs that are not complete (what they
#    write and log, and the dated mode, are checked natively in the backup jobs' tests).
check "unusable command line exits with 3" same "$(status_of 'sf=Main Identityxm=11111111ps=')" 3
check "unknown identity exits with 1" same "$(status_of 'sf=Nobodyxm=11111111ps=bf=C:\Backups\nobody.soe')" 1
check "unwritable file exits with 2" same "$(status_of 'sf=Main Identityxm=10000000ps=bf=C:\No Such Folder\x.soe')" 2
check "... and nothing is left beside the program" \
  same "$(cd "$program" && ls | sort | tr '\n' ' ')" "brlog.dat help.chm quarnel.exe settings.dat skins "

"$wineserver" -k >/dev/null 2>&1 || true

# 3. A program folder the user cannot write to (an installation under Program Files on
#    Windows Vista and later): the program writes its log and files in the user's
#    application-data folder instead. Root may write anywhere, so an ordinary user runs it.
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null && command -v useradd >/dev/null; then
  user=quarnel-e2e
  id "$user" >/dev/null 2>&1 || useradd -m -s /bin/bash "$user"
  home=$(getent passwd "$user" | cut -d: -f6)
  own="$home/quarnel-e2e"
  rm -rf "$own"
  mkdir -p "$own/build/skins"
  cp "$build/quarnel.exe" "$build/quarnel_launch.exe" "$own/build/"
  [ -f "$build/help.chm" ] && cp "$build/help.chm" "$own/build/"
  [ -f "$build/skins/frmmain.skn" ] && cp "$build/skins/frmmain.skn" "$own/build/skins/"
  cp "$root/scripts/demo-env" "$own/"
  chown -R "$user:" "$own"
  as_user() { runuser -u "$user" -- env HOME="$home" DISPLAY="${DISPLAY:-}" "$@"; }
  as_user env DEMO_BIG_MB=0 "$own/demo-env" "$own/prefix" "$own/build" >/dev/null
  uprogram="$own/prefix/drive_c/Program Files/Quarnel Backup"
  chown -R root:root "$uprogram"
  chmod -R go-w "$uprogram"
  mkdir -p "$own/prefix/drive_c/Backups"
  chown "$user:" "$own/prefix/drive_c/Backups"
  ustatus=0
  as_user env WINEPREFIX="$own/prefix" WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
    QUARNEL_COMMAND_LINE='"C:\Program Files\Quarnel Backup\quarnel.exe" sf=Main Identityxm=11111111ps=bf=C:\Backups\ro.soe' \
    "$wine" "$own/build/quarnel_launch.exe" </dev/null >/dev/null 2>&1 || ustatus=$?
  as_user env WINEPREFIX="$own/prefix" "$wineserver" -w
  check "read-only program folder: backup exits with 0" same "$ustatus" 0
  appdata=$(echo "$own"/prefix/drive_c/users/"$user"/AppData/Roaming/"Quarnel Backup")
  check "read-only program folder: the log is in %APPDATA%\\Quarnel Backup" test -s "$appdata/brlog.dat"
  check "read-only program folder: nothing written beside the program" \
    same "$(cd "$uprogram" && ls | sort | tr '\n' ' ')" "help.chm quarnel.exe skins "
  check "read-only program folder: the backup is written" \
    bash -c "ls '$own/prefix/drive_c/Backups'/ro-*.soe >/dev/null 2>&1"
  as_user env WINEPREFIX="$own/prefix" "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$own"
else
  echo "skipped: the read-only program folder case needs root (to run as an ordinary user)"
fi

[ "$failures" -ne 0 ] || rm -rf "$work"
finish unattended-wine
