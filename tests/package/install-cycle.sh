#!/usr/bin/env bash
# The release packages as a Windows user meets them, under Wine, in a fresh prefix set up
# like a machine with Outlook Express (scripts/demo-env): the x64 installer, a backup by the
# installed program, the uninstaller (which keeps the backup, the settings and the log), the
# portable zip, and the XP installer, checked by its listing (Wine here runs 64-bit only).
#   tests/package/install-cycle.sh [DIST] [BUILD]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
dist="$(realpath "${1:-$root/dist}")"
build="$(realpath "${2:-$root/build/windows}")"
version=$(sed -n 's/^#define QUARNEL_VERSION_TEXT "\(.*\)"$/\1/p' "$root/src/app/Version.h")
work="$build/package-test"
prefix="$work/prefix"

. "$root/tests/support/checks.sh"
demo_prefix 1
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quarnel Backup"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarnel Backup'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
event_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quarnel Backup'
rm -rf "$program"  # demo-env puts a copy there; the installer does it here

# A value is there when reg finds it. Wine's reg once failed in CI on a value that was
# there, and found it on the next run; a value really missing fails every try.
reg_has() {
  local try
  for try in 1 2 3; do
    "$wine" reg query "$@" >/dev/null 2>&1 </dev/null && return 0
    sleep 1
  done
  return 1
}
launch() {  # command line; the exit code of the program
  QUARNEL_COMMAND_LINE="$1" "$wine" "$build/quarnel_launch.exe" </dev/null >/dev/null 2>&1
}

# Install.
"$wine" "$dist/quarnel-backup-$version-setup-x64.exe" /S </dev/null >/dev/null 2>&1
"$wineserver" -w
for f in quarnel.exe quarnel-export.exe help.chm skins/frmmain.skn uninstall.exe; do
  check "installed $f" test -f "$program/$f"
done
for l in "Quarnel Backup.lnk" "Quarnel Backup Help.lnk" "Uninstall Quarnel Backup.lnk"; do
  check "shortcut $l" test -f "$menu/$l"
done
check "uninstall entry with version $version" \
  bash -c "'$wine' reg query '$uninstall_key' /v DisplayVersion </dev/null 2>/dev/null | grep -q '$version'"
check "uninstall entry has UninstallString" reg_has "$uninstall_key" /v UninstallString
check "event source's message file is the program" \
  bash -c "'$wine' reg query '$event_key' /v EventMessageFile </dev/null 2>/dev/null | grep -qi 'Quarnel Backup.quarnel.exe'"

# The installed program backs up as the scheduled task would start it.
mkdir -p "$c/Backups"
set +e
launch '"C:\Program Files\Quarnel Backup\quarnel.exe" sf=Main Identityxm=11111111ps=bf=C:\Backups\installed.soe'
status=$?
set -e
"$wineserver" -w
check "installed program's backup exits with 0 (got $status)" test "$status" -eq 0
backup=$(ls "$c/Backups"/installed-*.soe 2>/dev/null | head -n1 || true)
check "installed program wrote a dated backup" test -n "$backup"
[ -n "$backup" ] && check "the backup passes 7z t" bash -c "7z t '$backup' >/dev/null"
check "the log is in the program folder (writable under Wine)" test -f "$program/brlog.dat"
printf '[General]\r\nburndvd=0\r\n' >"$program/settings.dat"

# What the program sets up for itself: the weekly task and the start with Windows. Wine's
# schtasks creates tasks from XML only.
cat >"$c/task.xml" <<'EOF'
<?xml version="1.0"?>
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <Triggers><CalendarTrigger><StartBoundary>2026-01-01T09:00:00</StartBoundary>
    <ScheduleByWeek><DaysOfWeek><Sunday /></DaysOfWeek><WeeksInterval>1</WeeksInterval></ScheduleByWeek>
  </CalendarTrigger></Triggers>
  <Actions><Exec><Command>"C:\Program Files\Quarnel Backup\quarnel.exe"</Command></Exec></Actions>
</Task>
EOF
"$wine" schtasks /create /xml 'C:\task.xml' /tn "Quarnel AutoBackup" </dev/null >/dev/null 2>&1
"$wine" reg add "$run_key" /v "Quarnel Backup" /d '"C:\Program Files\Quarnel Backup\quarnel.exe"' /f \
  </dev/null >/dev/null 2>&1
task_file=$(find "$c/windows/system32" -maxdepth 2 -iname 'Quarnel AutoBackup' | head -n1)
check "the task exists before uninstalling" test -n "$task_file"
check "the Run value exists before uninstalling" reg_has "$run_key" /v "Quarnel Backup"

# Uninstall.
"$wine" "C:\\Program Files\\Quarnel Backup\\uninstall.exe" /S </dev/null >/dev/null 2>&1
"$wineserver" -w
for f in quarnel.exe quarnel-export.exe help.chm skins uninstall.exe; do
  check "uninstalled $f" test ! -e "$program/$f"
done
check "shortcuts removed" test ! -e "$menu"
check "uninstall entry removed" bash -c "! '$wine' reg query '$uninstall_key' </dev/null >/dev/null 2>&1"
check "event source removed" bash -c "! '$wine' reg query '$event_key' </dev/null >/dev/null 2>&1"
check "Run value removed" bash -c "! '$wine' reg query '$run_key' /v 'Quarnel Backup' </dev/null >/dev/null 2>&1"
check "scheduled task removed" test ! -e "$task_file"
check "backup kept" test -f "$backup"
check "settings kept" test -f "$program/settings.dat"
check "log kept" test -f "$program/brlog.dat"

# The portable copy.
portable="$c/Portable Quarnel"
mkdir -p "$portable"
unzip -q "$dist/quarnel-backup-$version-portable.zip" -d "$portable"
check "portable zip holds the programs, help, skin and README.txt" \
  test "$(cd "$portable" && find . -type f | LC_ALL=C sort | tr '\n' ' ')" = "./README.txt ./help.chm ./quarnel-export.exe ./quarnel.exe ./skins/frmmain.skn "
# The zip's program is the i686 build, which this Wine cannot run; the x86_64 build stands
# in for it to show that the unpacked folder works as it is.
cp "$build/quarnel.exe" "$portable/quarnel.exe"
set +e
launch '"C:\Portable Quarnel\quarnel.exe" sf=Main Identityxm=00000001ps=bf=C:\Backups\portable.soe'
status=$?
set -e
"$wineserver" -w
check "portable program's backup exits with 0 (got $status)" test "$status" -eq 0
check "portable program logs beside itself" test -f "$portable/brlog.dat"

# The XP installer: same payload, and its program imports only what XP SP3 has.
listing=$(7z l "$dist/quarnel-backup-$version-setup.exe")
for f in quarnel.exe quarnel-export.exe help.chm skins/frmmain.skn; do
  check "XP installer holds $f" grep -q " $f\$" <<<"$listing"
done
mkdir -p "$work/xp"
7z e -y -o"$work/xp" "$dist/quarnel-backup-$version-setup.exe" quarnel.exe >/dev/null
check "XP installer's program passes the import check" "$root/scripts/check-imports" "$work/xp/quarnel.exe"
check "SHA256SUMS match" bash -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"

"$wineserver" -k >/dev/null 2>&1 || true
[ "$failures" -ne 0 ] || rm -rf "$work"
finish install-cycle
