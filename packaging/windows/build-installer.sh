#!/usr/bin/env bash
# Builds kovrel-<version>-setup.exe from the Windows program's install folder.
#   packaging/windows/build-installer.sh SOURCE VERSION OUTDIR
# SOURCE holds kovrel.exe, its DLLs and the default trac_conf.cfg. The installer lists every file
# it lays down, so its uninstaller removes exactly those and nothing a user put in the folder,
# and both check each of them writable before they change anything.
set -euo pipefail
source=$(realpath "$1")
version=$2
out=$(realpath -m "$3")
here=$(realpath "$(dirname "$0")")
lists="$out/nsis"
rm -rf "$lists" && mkdir -p "$lists"

[ -f "$source/kovrel.exe" ] && [ -f "$source/trac_conf.cfg" ] || {
  echo "$source: no kovrel.exe or trac_conf.cfg" >&2
  exit 1
}

# NSIS wants Windows separators inside the installer and host paths for its File sources.
win() { printf '%s' "$1" | tr / '\\'; }
{
  (cd "$source" && find . -type d | sort) | while read -r dir; do
    rel=${dir#./}
    [ "$dir" = . ] && rel=""
    echo "SetOutPath \"\$INSTDIR$( [ -n "$rel" ] && printf '\\%s' "$(win "$rel")")\""
    (cd "$source" && find "$dir" -maxdepth 1 -type f | sort) | while read -r file; do
      [ "$file" = ./trac_conf.cfg ] && continue  # laid down only where there is none
      echo "File \"$source/${file#./}\""
    done
  done
  echo "SetOutPath \"\$INSTDIR\""
} >"$lists/install.nsh"
{
  (cd "$source" && find . -type f ! -path ./trac_conf.cfg | sort) | while read -r file; do
    echo "Delete \"\$INSTDIR\\$(win "${file#./}")\""
  done
} >"$lists/uninstall.nsh"
# Every file either replaces or removes is checked writable before the first is touched.
{
  sed 's/^Delete /!insertmacro Writable /' "$lists/uninstall.nsh"
  echo '!insertmacro Writable "$INSTDIR\kovrel.ico"'
} >"$lists/check.nsh"
(cd "$source" && find . -mindepth 1 -type d | sort -r) | while read -r dir; do
  echo "RMDir \"\$INSTDIR\\$(win "${dir#./}")\""
done >"$lists/folders.nsh"

# The settings of a first installation: the build folder's file with the ports not set up, so the
# first start on the lab's PC runs the port set-up instead of claiming the simulators' COM3.
sed 's/^\[INST\]=10\r$/[INST]=1\r/' "$source/trac_conf.cfg" >"$lists/trac_conf.cfg"
grep -aq '^\[INST\]=1'$'\r''$' "$lists/trac_conf.cfg" || {
  echo "$source/trac_conf.cfg: no [INST] record to make a first installation of" >&2
  exit 1
}

for size in 16 32 48 256; do
  rsvg-convert -w "$size" -h "$size" -o "$lists/icon-$size.png" "$here/../org.kovrel.Kovrel.svg"
done
icotool -c -o "$lists/kovrel.ico" "$lists"/icon-*.png

makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSOURCE="$source" -DFILES="$lists" \
  -DOUTFILE="$out/kovrel-$version-setup.exe" "$here/kovrel.nsi"
echo "$out/kovrel-$version-setup.exe"
