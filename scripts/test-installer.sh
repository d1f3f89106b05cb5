#!/usr/bin/env bash
# The Windows installer under Wine, from the Windows program's install folder
# (build/windows-program/Kovrel, or the folder given as $1): a silent install for the user
# alone, the files, the Start-menu shortcut and the uninstaller's registration present, the
# settings a first installation's ([INST]=1); kovrel.exe started from the installed folder writes
# its settings there; while a copy runs or a file of the folder is in use, a silent setup and a
# silent uninstall stop (exit code 2) and change nothing; a silent upgrade keeps the settings byte
# for byte; a silent uninstall removes the program and keeps them and the user's data folder
# (%LOCALAPPDATA%\Kovrel, the archive's). Then the same for a silent install for every user
# (/ALLUSERS): Program Files, the settings in ProgramData\Kovrel where kovrel.exe finds them, the
# registration under HKLM.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== Windows installer under Wine"
program=$(realpath -m "${1:-build/windows-program/Kovrel}")
if [ ! -f "$program/kovrel.exe" ]; then
  echo "skipped: no Windows program in $program (its install step makes it)"
  exit 0
fi
out=build/packages/windows
version=$(sed -n 's/^project(Kovrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX="$PWD/build/packages/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
fail() {
  echo "FAILED: $*"
  exit 1
}
# What the run started in its prefix (a running copy) ends with it, also when a check fails.
elsewhere=""
trap '"$wineserver" -k 2>/dev/null || true; [ -z "$elsewhere" ] || rm -rf "$elsewhere"' EXIT

packaging/windows/build-installer.sh "$program" "$version" "$out" >/dev/null
setup="$out/kovrel-$version-setup.exe"
echo "$(basename "$setup"): $(du -k "$setup" | cut -f1) KiB"

# A fresh prefix for every run: nothing of an earlier install may help this one.
"$wineserver" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
"$wine" wineboot --init >/dev/null 2>&1 || true
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
"$wine" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null
"$wineserver" -w
profile=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
dir="$profile/AppData/Local/Programs/Kovrel"
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kovrel.lnk"
settings="$dir/trac_conf.cfg"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovrel'
installed_files() { (cd "$program" && find . -type f ! -name trac_conf.cfg); }

"$wine" "$setup" /S
"$wineserver" -w
while read -r file; do [ -f "$dir/$file" ] || fail "$file not installed"; done < <(installed_files)
[ -f "$settings" ] && [ -f "$dir/kovrel.ico" ] && [ -f "$dir/uninstall.exe" ] && [ -f "$shortcut" ] || fail "settings, uninstaller or shortcut missing"
"$wine" reg query "$key" /v QuietUninstallString >/dev/null || fail "the uninstaller is not registered"
grep -aq $'^\\[INST\\]=1\r$' "$settings" || fail "the installed settings are not a first installation's"
echo "installed for the user: $(installed_files | wc -l) files in ${dir#"$WINEPREFIX/"}, trac_conf.cfg, uninstall.exe, Start-menu shortcut, $key"

# kovrel.exe started from the installed folder, as the shortcut starts it, until it has written
# its settings file (a missing one is replaced by the defaults at once), then closed.
run_until_settings_written() {
  (cd "$dir" && QT_QPA_PLATFORM=$platform "$wine" kovrel.exe >/dev/null 2>&1) &
  for _ in $(seq 150); do
    [ -f "$settings" ] && break
    sleep 0.2
  done
  "$wine" taskkill /IM kovrel.exe >/dev/null 2>&1 || true
  sleep 2
  "$wine" taskkill /F /IM kovrel.exe >/dev/null 2>&1 || true
  wait
}

# The program from its installed folder, as the shortcut starts it. The installed default is set
# aside first, so the program writes its own file at once (a missing file is replaced by the
# defaults, [PATH] naming the folder used) and no message box or closing path matters.
mv "$settings" "$dir/installed.cfg"
platform=windows
[ -f "$dir/platforms/qoffscreen.dll" ] && platform=offscreen
run_until_settings_written
rm -f "$dir/installed.cfg"
windows_dir=$("$wine" winepath -w "$dir" 2>/dev/null | tr -d '\r')
grep -aqF "[PATH]=$windows_dir"$'\r' "$settings" || fail "kovrel.exe did not write its settings in $windows_dir"
[ ! -e "$profile/AppData/Local/VirtualStore" ] || fail "settings were redirected into the VirtualStore"
echo "kovrel.exe started from the installed folder: [PATH]=$windows_dir written there"

# Over a running copy: one started elsewhere (only its mutex tells), then kovrel-cli.exe running
# from the folder (no mutex, a file in use). The icon gets a mark first, which a setup that went
# on would overwrite. The uninstaller runs in place (_?=): started plainly it hands over to a copy
# of itself, and the exit code seen would be the hand-over's.
state() { (cd "$dir" && find . -type f -exec sha256sum {} + | sort) && "$wine" reg query "$key"; }
refused() {
  local before status=0
  echo >>"$dir/kovrel.ico"
  before=$(state)
  "$wine" "$setup" /S || status=$?
  [ "$status" -eq 2 ] || fail "$1: the setup ended with $status, not 2"
  status=0
  "$wine" "$dir/uninstall.exe" /S "_?=$windows_dir" || status=$?
  [ "$status" -eq 2 ] || fail "$1: the uninstall ended with $status, not 2"
  [ "$(state)" = "$before" ] || fail "$1: the folder or the registration changed"
  echo "$1: setup /S and uninstall /S stop with exit code 2, nothing changed"
}
elsewhere=$(mktemp -d)
cp -r "$program" "$elsewhere/Kovrel"
rm "$elsewhere/Kovrel/trac_conf.cfg"
(cd "$elsewhere/Kovrel" && QT_QPA_PLATFORM=$platform "$wine" kovrel.exe >/dev/null 2>&1) &
for _ in $(seq 150); do
  [ -f "$elsewhere/Kovrel/trac_conf.cfg" ] && break
  sleep 0.2
done
refused "a copy running elsewhere (its mutex)"
"$wine" taskkill /F /IM kovrel.exe >/dev/null 2>&1 || true
wait
input=$(mktemp -u)
mkfifo "$input"
"$wine" "$dir/kovrel-cli.exe" answer - <"$input" >/dev/null 2>&1 &
cli=$!
exec 3>"$input"  # the input stays open: the program waits for the rest
for _ in $(seq 100); do
  [ "$(cat "/proc/$cli/comm" 2>/dev/null)" = kovrel-cli.exe ] && break  # Wine names the process once it runs
  sleep 0.1
done
refused "kovrel-cli.exe running from the folder"
exec 3>&-
wait "$cli" || true
rm -f "$input"

printf '; calibrado el 7-12\r\n' >>"$settings"  # the technician's own line, which the program keeps
before=$(sha256sum <"$settings")
"$wine" "$setup" /S
"$wineserver" -w
[ "$(sha256sum <"$settings")" = "$before" ] || fail "the upgrade changed trac_conf.cfg"
echo "upgraded over the install: trac_conf.cfg byte for byte as it was"

data="$profile/AppData/Local/Kovrel/trazados/2026-12/20261207-120000_J42.vca"  # the archive's
mkdir -p "$(dirname "$data")" && echo 'JOB="42"' >"$data"
"$wine" "$dir/uninstall.exe" /S
"$wineserver" -w  # the uninstaller runs on from a copy of itself
while read -r file; do [ ! -e "$dir/$file" ] || fail "$file left behind"; done < <(installed_files)
[ ! -e "$dir/uninstall.exe" ] && [ ! -e "$dir/kovrel.ico" ] && [ ! -e "$shortcut" ] || fail "uninstaller or shortcut left behind"
! "$wine" reg query "$key" >/dev/null 2>&1 || fail "the uninstaller's registration left behind"
[ "$(sha256sum <"$settings")" = "$before" ] || fail "the uninstall changed trac_conf.cfg"
[ -f "$data" ] || fail "the uninstall removed the user's data folder"
echo "uninstalled: program, uninstaller, shortcut and registration removed; trac_conf.cfg and the data folder kept"

# For every user of the PC (Wine runs it as an administrator): the program in Program Files, the
# settings every operator shares in ProgramData, where the program finds them.
echo "== for every user (/ALLUSERS)"
dir="$WINEPREFIX/drive_c/Program Files/Kovrel"
settings="$WINEPREFIX/drive_c/ProgramData/Kovrel/trac_conf.cfg"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kovrel.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovrel'
"$wine" "$setup" /S /ALLUSERS
"$wineserver" -w
while read -r file; do [ -f "$dir/$file" ] || fail "$file not installed in Program Files"; done < <(installed_files)
[ -f "$dir/uninstall.exe" ] && [ -f "$shortcut" ] && [ ! -e "$dir/trac_conf.cfg" ] || fail "uninstaller or shortcut missing, or settings beside the program"
grep -aq $'^\\[INST\\]=1\r$' "$settings" || fail "no first installation's settings in ProgramData"
"$wine" reg query "$key" /v QuietUninstallString >/dev/null || fail "the uninstaller is not registered for every user"
echo "installed for every user: ${dir#"$WINEPREFIX/"}, ${settings#"$WINEPREFIX/"}, $key"
# Program Files takes no settings even where the process may write there, as under Wine.
mv "$settings" "${settings%/*}/installed.cfg"
run_until_settings_written
mv "${settings%/*}/installed.cfg" "$settings"
[ ! -e "$dir/trac_conf.cfg" ] || fail "kovrel.exe wrote its settings in Program Files"
echo "kovrel.exe started from Program Files: its settings in ProgramData\Kovrel"
printf '; calibrado el 7-12\r\n' >>"$settings"
before=$(sha256sum <"$settings")
"$wine" "$setup" /S  # an upgrade keeps the kind of the last install
"$wineserver" -w
[ "$(sha256sum <"$settings")" = "$before" ] && [ -f "$dir/kovrel.exe" ] || fail "the upgrade changed the shared settings"
[ ! -e "$profile/AppData/Local/Programs/Kovrel/kovrel.exe" ] || fail "the upgrade went to the user's folder"
"$wine" "$dir/uninstall.exe" /S
"$wineserver" -w
while read -r file; do [ ! -e "$dir/$file" ] || fail "$file left in Program Files"; done < <(installed_files)
[ ! -e "$dir/uninstall.exe" ] && [ ! -e "$shortcut" ] || fail "uninstaller or shortcut left behind"
! "$wine" reg query "$key" >/dev/null 2>&1 || fail "the registration for every user left behind"
[ "$(sha256sum <"$settings")" = "$before" ] && [ -f "$data" ] || fail "the uninstall changed the shared settings or the data folder"
echo "upgraded and uninstalled for every user: ProgramData\Kovrel\trac_conf.cfg and the data folder kept byte for byte"
