#!/usr/bin/env bash
# Builds the Debian package and checks it as a lab's PC meets it: lintian, the desktop entry and
# the AppStream metainfo, an install, a first start of Kovrel as an ordinary user of the group
# dialout (the settings in the machine's file every operator shares, in the state of a first
# installation; once set up, the host's port published), kovrel-cli on a recorded read, an upgrade to a higher version and a removal, both
# leaving the machine's settings byte for byte as they were, an administrator's edit of the
# machine's default (/etc/kovrel/trac_conf.cfg, a conffile) surviving the upgrade, and an install
# over an existing settings file keeping it. Then the Windows
# installer under Wine, when the Windows program has been built (scripts/test-installer.sh).
#
# What it does to the machine: needs root, installs the package system-wide, makes and deletes a
# throwaway user (kovrel-ci) and purges the package and the settings it made at the end. So a
# Kovrel installed on this machine by other means is never touched: with a kovrel package or the
# settings an earlier one kept (/var/lib/kovrel) on the machine the checks are skipped, saying why
# (on CI, whose machine is fresh, that is a failure instead).
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"

live=/var/lib/kovrel
why=""
if dpkg-query -W -f='${Status}' kovrel 2>/dev/null | grep -q 'ok installed'; then
  why="kovrel $(dpkg-query -W -f='${Version}' kovrel) is installed on this machine and these checks would replace and purge it"
elif [ -e "$live" ]; then
  why="$live holds the settings an earlier Kovrel kept and these checks would use and remove it"
fi
if [ -n "$why" ]; then
  [ -z "${CI:-}" ] || { echo "FAILED: $why"; exit 1; }
  echo "Package checks skipped: $why (remove it with 'sudo apt purge kovrel', or run them in a container)"
  exit 0
fi

out=build/packages
user=kovrel-ci
log=$(mktemp)
work=$(mktemp -d)
chmod 755 "$work"  # the throwaway user reaches its runtime folder and the recorded read in it
kovrel_pid=""
cleanup() {
  [ -n "$kovrel_pid" ] && kill "$kovrel_pid" 2>/dev/null || true
  if dpkg-query -W -f='${Status}' kovrel 2>/dev/null | grep -q 'ok installed'; then dpkg --purge kovrel >/dev/null; fi
  id "$user" >/dev/null 2>&1 && userdel -r "$user" 2>/dev/null || true
  rm -rf "$log" "$work" "$live"
}
trap cleanup EXIT
quietly() { "$@" >"$log" 2>&1 || { cat "$log"; return 1; }; }
fail() {
  echo "FAILED: $*"
  exit 1
}

echo "== Debian package"
quietly cmake --preset release
quietly cmake --build --preset release --target kovrel kovrel-cli kovrel-tracer-sim kovrel-host-sim
rm -rf "$out" && mkdir -p "$out"
quietly cpack --config build/release/CPackConfig.cmake -B "$out"
deb=$(ls "$out"/kovrel_*_amd64.deb)
version=$(dpkg-deb -f "$deb" Version)
echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KiB, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

echo "== lintian"
# Errors fail the build; the warnings kept are listed in the README's packaging section.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
echo "lintian: no errors"

echo "== desktop entry and metainfo"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/org.kovrel.Kovrel.desktop"
appstreamcli validate --no-net --pedantic "$work/root/usr/share/metainfo/org.kovrel.Kovrel.metainfo.xml" |
  tail -n 1
for size in 16 22 24 32 48 64 128 256; do
  file "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/org.kovrel.Kovrel.png" |
    grep -q "$size x $size" || fail "icon ${size}x${size}"
done

echo "== install"
if id "$user" >/dev/null 2>&1; then userdel -r "$user" 2>/dev/null || true; fi  # left by a run cut short
useradd --create-home --shell /bin/sh --groups dialout "$user"
home=$(getent passwd "$user" | cut -d: -f6)
quietly dpkg -i "$deb"
echo "installed kovrel $version: $(dpkg -L kovrel | grep -c -v '/$') paths, $(dpkg -L kovrel | grep -E '^/usr/(bin|lib/kovrel)/' | tr '\n' ' ')"
machine=/etc/kovrel/trac_conf.cfg
dpkg-query -W -f='${Conffiles}\n' kovrel | grep -q " $machine " || fail "$machine is not a conffile"
# The administrator's preset for every operator: the tracer on COM4.
sed -i 's/^\[COMM\]=.*\r$/[COMM]=4\r/' "$machine"
echo "conffile: $machine, preset by the administrator: $(grep -a '^\[COMM\]' "$machine" | tr -d '\r')"

echo "== first start as $user"
runtime="$work/run"
mkdir -m 0700 "$runtime" && chown "$user:" "$runtime"
as_user() {
  runuser -u "$user" -- env -i HOME="$home" XDG_RUNTIME_DIR="$runtime" PATH=/usr/bin:/bin \
    QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 "$@"
}
settings="$live/trac_conf.cfg"
# Starts Kovrel as the user until the command given holds (10 s at most), then stops it with the
# signal a logout sends: Kovrel's own process id (runuser stays in between) is the one to stop.
# Fails when the command never held.
run_kovrel() {
  rm -f "$runtime/kovrel.pid"
  as_user sh -c 'echo $$ >"$1" && exec kovrel' sh "$runtime/kovrel.pid" >"$work/kovrel.log" 2>&1 &
  local runuser_pid=$!
  for _ in $(seq 50); do [ -s "$runtime/kovrel.pid" ] && break; sleep 0.1; done
  kovrel_pid=$(cat "$runtime/kovrel.pid")
  local held=1
  for _ in $(seq 100); do
    if "$@"; then held=0 && break; fi
    kill -0 "$kovrel_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -TERM "$kovrel_pid"
  wait "$runuser_pid" || true
  kovrel_pid=""
  return "$held"
}
# An installed program's first start is a first installation: the port set-up, no host's port yet.
run_kovrel test -f "$settings" || { cat "$work/kovrel.log"; fail "no settings file in $settings"; }
echo "settings: $settings ($(stat -c '%U %G %a' "$settings")), $(grep -a '^\[PATH\]' "$settings" | tr -d '\r')"
grep -aqx '\[INST\]=1'$'\r' "$settings" || fail "the first start is not a first installation"
grep -aqx "\[PATH\]=$live"$'\r' "$settings" || fail "[PATH] does not name $live"
grep -aqx '\[COMM\]=4'$'\r' "$settings" || fail "the settings file is not made from $machine"
[ "$(stat -c '%U %G %a' "$live")" = "root dialout 2775" ] || fail "$live is not the group dialout's to write"
[ "$(stat -c '%G %a' "$settings")" = "dialout 660" ] || fail "the settings file is not every operator's"
[ ! -e "$home/.config/kovrel" ] || fail "a settings file of the user's own"
# Once the technician has set the ports up, a start publishes the host's port.
as_user sed -i 's/^\[INST\]=.*\r$/[INST]=10\r/' "$settings"
run_kovrel test -L "$runtime/kovrel/COM5" || { cat "$work/kovrel.log"; fail "the host's port COM5 was not published"; }
echo "first start: the port set-up; once set up, the host's port $runtime/kovrel/COM5 published"
changed=$(dpkg --verify kovrel | grep -v " c $machine\$" || true)  # the administrator's edit apart
[ -z "$changed" ] || fail "the installed files changed: $changed"

echo "== kovrel-cli"
cp tests/data/cli/offcentre_rect.stream "$work/read.stream" && chmod a+r "$work/read.stream"
as_user kovrel-cli answer "$work/read.stream" >"$work/answer.bin"
cmp "$work/answer.bin" tests/data/cli/offcentre_rect.answer.bin || fail "kovrel-cli's answer differs"
echo "kovrel-cli answer: the recorded read's answer, byte for byte"

echo "== upgrade"
# The technician's calibration in the machine's file, then a package of a higher version over it.
as_user sed -i 's/^\[RADI\]=.*\r$/[RADI]= 60.25\r/' "$settings"
before=$(sha256sum <"$settings")
dpkg-deb -R "$deb" "$work/next"
next_version="$version+1"
sed -i "s/^Version: .*/Version: $next_version/" "$work/next/DEBIAN/control"
quietly dpkg-deb --root-owner-group -b "$work/next" "$out/kovrel_${next_version}_amd64.deb"
quietly dpkg -i "$out/kovrel_${next_version}_amd64.deb"
[ "$(dpkg-query -W -f='${Version}' kovrel)" = "$next_version" ] || fail "not upgraded"
[ "$(sha256sum <"$settings")" = "$before" ] || fail "the upgrade changed the machine's settings"
grep -aqx '\[COMM\]=4'$'\r' "$machine" || fail "the upgrade replaced the administrator's $machine"
echo "upgraded kovrel $version -> $next_version; the machine's settings and the administrator's $machine as they were"

echo "== removal"
quietly dpkg --purge kovrel
for gone in /usr/bin/kovrel /usr/bin/kovrel-cli /usr/lib/kovrel /etc/kovrel /usr/share/applications/org.kovrel.Kovrel.desktop; do
  [ ! -e "$gone" ] || fail "$gone left behind"
done
[ "$(sha256sum <"$settings")" = "$before" ] || fail "the removal changed the machine's settings"
echo "removed kovrel: /usr/bin/kovrel*, /usr/lib/kovrel, /etc/kovrel, the desktop entry, icons, manual pages; $settings byte for byte as it was"

echo "== install over a settings file"
# Another prefix keeps the default beside the program; installing again leaves a lab's file alone.
quietly cmake --install build/release --prefix "$work/opt"
echo "; calibrated" >>"$work/opt/lib/kovrel/trac_conf.cfg"
quietly cmake --install build/release --prefix "$work/opt"
grep -aqx '; calibrated' "$work/opt/lib/kovrel/trac_conf.cfg" || fail "installing again replaced trac_conf.cfg"
echo "cmake --install over $work/opt: lib/kovrel/trac_conf.cfg kept as it was"

./scripts/test-installer.sh
