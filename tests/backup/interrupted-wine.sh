#!/usr/bin/env bash
# quarnel.exe under Wine, started as its scheduled task starts it, ended with
# TerminateProcess (taskkill /F) while it writes a big backup, then started again: the next
# run removes what the ended one left and writes a good backup. A restore ended half way
# is set up beside it (Inbox.dbx only under its kept name, a staged file): the next run puts
# the mail folder back before it backs it up. Then a run that cannot write its file, and
# the window, which tells once of the run that never finished and of the failed one. Wine
# prints what the program reports to the Application event log.
#   tests/backup/interrupted-wine.sh BUILD_DIR
# Needs a display (scripts/test provides one).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(realpath "$1")"
work="$build/interrupted-test"
prefix="$work/prefix"

. "$root/tests/support/checks.sh"
demo_prefix 150
export WINEDEBUG=-all,err+eventlog,trace+eventlog
store="$(echo "$c"/users/*/"Local Settings/Application Data/Identities/{7C5A1B2E-1F3D-4C11-9E41-2A7B3C4D5E01}/Microsoft/Outlook Express")"
backups="$c/Backups"
mkdir -p "$backups"
events="$work/events.txt"
task='sf=Main Identityxm=11111111ps=bf=C:\Backups\main.soe'

start_task() {
  QUARNEL_COMMAND_LINE="\"C:\\Program Files\\Quarnel Backup\\quarnel.exe\" $1" \
    "$wine" "$build/quarnel_launch.exe" </dev/null >/dev/null 2>>"$events" &
}
run_task() { local s=0; start_task "$1"; wait $! || s=$?; "$wineserver" -w; echo "$s"; }
# Opens the window; prints the text of the box it shows within that many seconds.
open_window() {
  "$wine" "$program/quarnel.exe" </dev/null >/dev/null 2>&1 &
  "$wine" "$build/quarnel_drive.exe" --message "$1" 2>/dev/null | tr -d '\r'
  "$wineserver" -w
}
listing() { (cd "$1" && ls -A | sort | tr '\n' ' '); }

printf '[autobackup]\r\nautobackupfile=0\r\n' >"$program/settings.dat"
check "the window tells nothing before any run" same "$(open_window 3)" ""
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

# 2. The next run.
check "the next run exits with 0" same "$(run_task "$task")" 0
check "... leaves only the new backup in the backup folder" same "$(listing "$backups")" "main.soe "
check "... and nothing of either run beside the program" \
  same "$(listing "$program")" "brlog.dat help.chm quarnel.exe settings.dat skins "
check "... the new backup passes 7z t" bash -c "7z t '$backups/main.soe' >/dev/null"
check "... the mail folder only the restore's kept copy held is back" cmp -s "$store/Inbox.dbx" "$work/Inbox.dbx"
check "... and in the backup" cmp -s <(7z x -so "$backups/main.soe" Inbox.dbx 2>/dev/null) "$work/Inbox.dbx"
check "... no restore file left in the store" bash -c "! ls -A '$store' | grep -q '^~qbr'"

# 3. A run that cannot write its file.
check "a run without its folder exits with 2" same "$(run_task 'sf=Main Identityxm=10000000ps=bf=C:\No Such Folder\x.soe')" 2

# The Application event log, as Wine prints it: information for the completed run, an error
# for the failed one.
check "event log: the completed run as information" grep -qE \
  'trace:eventlog:ReportEventW L"The scheduled backup of Main Identity started .* was completed: C:\\\\Backups\\\\main.soe."' "$events"
check "event log: the failed run as an error, with its reason" grep -qE \
  'err:eventlog:ReportEventW L"The scheduled backup of Main Identity started .* was not completed: .*No folder' "$events"

# 4. The window tells of the ended run and the failed one, once.
told=$(open_window 30)
check "the window tells of two runs" grep -q '^2 scheduled backups did not succeed:$' <<<"$told"
check "... the one that was ended" grep -q 'did not finish: it was ended while it ran' <<<"$told"
check "... the failed one, with the log's reason" grep -qF \
  'was not completed: the backup file C:\No Such Folder\x.soe was not written (No folder "C:\No Such Folder").' <<<"$told"
check "the log, and with it the Logs page, shows the run that never finished" \
  grep -qa 'Scheduled backup of Main Identity started .* did not finish!' "$program/brlog.dat"
check "told once: the window tells nothing the next time" same "$(open_window 5)" ""

[ "$failures" -ne 0 ] || rm -rf "$work"
finish interrupted-wine
