#!/usr/bin/env bash
# quarnel.exe itself under Wine, started exactly as its scheduled task starts it, in a
# Windows environment set up like a machine with Outlook Express (scripts/demo-env). A run
# is ended with TerminateProcess (taskkill /F) while it writes a big backup, beside a
# restore ended half way (Inbox.dbx only under its kept name, a staged file); the next run
# removes what the ended one left, puts the mail folder back and writes a good protected
# backup, checked with 7-Zip. Then a run that cannot write its file; the exit codes and
# what Wine prints of the Application event log as the Task Scheduler and the user see
# them. What the window tells of such runs, and a read-only program folder, are tested
# natively (LogTest, SettingsTest).
#   tests/backup/unattended-wine.sh BUILD_DIR
# Needs a display (scripts/test provides one).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(realpath "$1")"
work="$build/unattended-test"
prefix="$work/prefix"

. "$root/tests/support/checks.sh"
demo_prefix 150
export WINEDEBUG=-all,err+eventlog,trace+eventlog
store="$(echo "$c"/users/*/"Local Settings/Application Data/Identities/{7C5A1B2E-1F3D-4C11-9E41-2A7B3C4D5E01}/Microsoft/Outlook Express")"
backups="$c/Backups"
mkdir -p "$backups"
events="$work/events.txt"
task='sf=Main Identityxm=11111111ps=s3cret wordbf=C:\Backups\main.soe'

# Starts the program with exactly this command line after the quoted program path.
start_task() {
  QUARNEL_COMMAND_LINE="\"C:\\Program Files\\Quarnel Backup\\quarnel.exe\" $1" \
    "$wine" "$build/quarnel_launch.exe" </dev/null >/dev/null 2>>"$events" &
}
run_task() { local s=0; start_task "$1"; wait $! || s=$?; "$wineserver" -w; echo "$s"; }
listing() { (cd "$1" && ls -A | sort | tr '\n' ' '); }
in_backup() { 7z "$1" -p's3cret word' "$backups/main.soe" "${@:2}" 2>/dev/null; }

printf '[autobackup]\r\nautobackupfile=0\r\n' >"$program/settings.dat"
printf 'an older backup' >"$backups/main.soe"

# 1. Ended while the archive is written.
start_task "$task"
launcher=$!
part=""
for _ in $(seq 600); do
  part=$(ls "$backups"/~qb*.tmp.* 2>/dev/null | head -n1 || true)
  [ -n "$part" ] && [ "$(stat -c %s "$part" 2>/dev/null || echo 0)" -gt 4000000 ] && break
  sleep 0.1
done
"$wine" taskkill /F /IM quarnel.exe >/dev/null 2>&1 || true
wait "$launcher" || true
"$wineserver" -w
check "ended while writing: temporary archive and libzip's part left" \
  same "$(listing "$backups" | grep -oE '~qb[0-9a-fA-F]+\.tmp(\.[0-9a-zA-Z]+)? ' | wc -l)" 2
check "... registry exports and the information file left" \
  bash -c "ls '$program' | grep -qE '^OB[ARS][0-9a-fA-F]+\.tmp$' && test -f '$program/quarnel.dat'"
check "... the older backup kept" same "$(cat "$backups/main.soe")" "an older backup"

# A restore ended half way in the same store.
cp "$store/Inbox.dbx" "$work/Inbox.dbx"
mv "$store/Inbox.dbx" "$store/~qbr.old.Inbox.dbx.tmp"
printf 'staged' >"$store/~qbr.new.Outbox.DBX.tmp"

# 2. The next run: every item, protected, replacing the named file (its log: JobsTest).
check "the next run exits with 0" same "$(run_task "$task")" 0
check "... leaves only the new backup in the backup folder" same "$(listing "$backups")" "main.soe "
check "... and nothing of either run beside the program" \
  same "$(listing "$program")" "brlog.dat help.chm quarnel.exe settings.dat skins "
check "... the mail folder only the restore's kept copy held is back" cmp -s "$store/Inbox.dbx" "$work/Inbox.dbx"
check "... no restore file left in the store" bash -c "! ls -A '$store' | grep -q '^~qbr'"
list=$(in_backup l -slt | sed -n 's/^Path = //p' | tail -n +2 | sort | tr '\n' '|')
for name in Inbox.dbx "Sent Items.dbx" Outbox.DBX "Gelöschte Objekte.dbx" Archive.dbx "Main Identity.wab" Ivy.htm \
  quarnel.dat; do
  check "the backup holds $name" grep -qF "|$name|" <<<"|$list"
done
check "... leaves out the store's other files" bash -c "! grep -qF 'cleanup.log' <<<'$list'"
check "... holds the five registry exports" same "$(tr '|' '\n' <<<"$list" | grep -cE '^OB[ARS][0-9A-Fa-f]+\.tmp$')" 5
check "... every entry is AES-256" same "$(in_backup l -slt | grep -c '^Method = AES-256 Deflate')" \
  "$(tr '|' '\n' <<<"$list" | grep -c .)"
check "... passes 7z t with its password" in_backup t -bso0
check "... the mail folder put back is in it" cmp -s <(in_backup x -so Inbox.dbx) "$work/Inbox.dbx"
info=$(in_backup x -so quarnel.dat | tr -d '\r')
check "... its information file: identity, description, items" same \
  "$(grep -E '^Backup(Identity|Information|Item)=' <<<"$info")" $'BackupIdentity=Main Identity\nBackupInformation=Auto Backup\nBackupItem=11111111'
check "... and no computer or user" bash -c "! grep -qE '^Backup(Computer|LogonUser)=' <<<'$info'"

# 3. A run that cannot write its file (what runs that are not complete write and log, and
#    the dated mode, are checked natively in the jobs' tests).
check "a run without its folder exits with 2" same "$(run_task 'sf=Main Identityxm=10000000ps=bf=C:\No Such Folder\x.soe')" 2
check "... and leaves nothing beside the program" \
  same "$(listing "$program")" "brlog.dat help.chm quarnel.exe settings.dat skins "
check "event log: the completed run as information" grep -qE \
  'trace:eventlog:ReportEventW L"The scheduled backup of Main Identity started .* was completed: C:\\\\Backups\\\\main.soe."' "$events"
check "event log: the failed run as an error, with its reason" grep -qE \
  'err:eventlog:ReportEventW L"The scheduled backup of Main Identity started .* was not completed: .*No folder' "$events"

[ "$failures" -ne 0 ] || rm -rf "$work"
finish unattended-wine
