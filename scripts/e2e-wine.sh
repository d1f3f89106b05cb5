#!/usr/bin/env bash
# The Windows program end to end under Wine on a virtual X display: kovrel.exe from the installed
# folder (build/windows-program/Kovrel, laid down by test-windows.sh) reads a real frame from the
# Linux tracer simulator through COM3, which Wine maps to the simulator's pty, and sends it to the
# host simulator over a port pair made of two ptys joined by a relay. Checked: the bytes the
# tracer sent, the outline drawn on the plot, and the bytes the host received after its message,
# against the Linux program's answer for the same read. Then the TCP link: kovrel-cli.exe, and
# kovrel.exe started again with the link chosen, each send a read to the host simulator over
# 127.0.0.1, whose decoded trace must be the Linux program's OMA file. Screenshots of the main
# window (after the read, with the lens-type panel, after the send, on the TCP link) are kept in
# build/windows-program/e2e/.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

folder=build/windows-program/Kovrel
out=build/windows-program/e2e
[ -f "$folder/kovrel.exe" ] || { echo "e2e: no installed program in $folder (run scripts/test-windows.sh)"; exit 1; }
cmake --preset debug >/dev/null
cmake --build --preset debug --target kovrel-tracer-sim kovrel-host-sim kovrel-cli >/dev/null
tracer=build/debug/tools/tracer_sim/kovrel-tracer-sim
host=build/debug/tools/host_sim/kovrel-host-sim
cli=build/debug/tools/cli/kovrel-cli

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# A prefix of its own, with Wine's X11 driver: the window is drawn on the virtual display.
export WINEPREFIX="$PWD/build/windows-program/wine-e2e" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM
if [ ! -f "$WINEPREFIX/.kovrel-prefix" ]; then
  "$wine" wineboot --init >/dev/null 2>&1 || true
  "$wine" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null
  "$wineserver" -k || true
  touch "$WINEPREFIX/.kovrel-prefix"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  kill "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work/run" XDG_STATE_HOME="$work/state"
mkdir -m 700 -p "$XDG_RUNTIME_DIR" "$XDG_STATE_HOME"
mkdir -p "$out"

# The tracer on a pty published as COM3, tracing a real frame; every read it sends is recorded.
"$tracer" --com 3 --outline "oma:tests/data/oma/R360_1.oma" --record "$work/read.stream" </dev/null >"$work/tracer.log" 2>&1 &
tracer_pid=$!
pids+=("$tracer_pid")
for _ in $(seq 50); do [ -e "$XDG_RUNTIME_DIR/kovrel/COM3" ] && break; sleep 0.1; done
[ -e "$XDG_RUNTIME_DIR/kovrel/COM3" ] || { echo "e2e: the tracer simulator published no COM3"; cat "$work/tracer.log"; exit 1; }
# The host's port pair: two ptys joined by a relay that logs every byte either way. The pair
# driver's stand-in (com0com\setupc.exe in Wine's Program Files, where Kovrel looks) gives the
# first pair our end COM21, which Wine maps to one pty; the host simulator opens the other.
socat -x pty,raw,echo=0,link="$work/host-end" pty,raw,echo=0,link="$work/kovrel-end" 2>"$work/relay.log" &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/kovrel-end" ] && break; sleep 0.1; done
# Wine reads its port mapping when its session starts.
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM3 /d "$XDG_RUNTIME_DIR/kovrel/COM3" /f >/dev/null
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM21 /d "$work/kovrel-end" /f >/dev/null
"$wineserver" -k || true

cp -r "$folder" "$work/Kovrel"
settings="$work/Kovrel/trac_conf.cfg"
cp "$settings" "$work/fresh.cfg"
# The pair a set-up made earlier (making one asks an administrator's consent, which only CONFIG
# does): pair 0, its host end under the settings' COM number.
pairs="$WINEPREFIX/drive_c/Program Files/com0com"
mkdir -p "$pairs"
cp build/windows-program/tests/host/pair_control_standin.exe "$pairs/setupc.exe"
printf '0 COM%s\n' "$(sed -n 's/^\[VSPA\]=\([0-9]*\).*/\1/p' "$settings")" >"$pairs/standin-pairs.txt"
# Under Wine, Qt's GDI and DirectWrite font engines place a line edit's text above its box (the
# information box shows nothing); Qt's FreeType engine draws it where Windows does.
(cd "$work/Kovrel" && exec "$wine" kovrel.exe -platform windows:fontengine=freetype >"$work/kovrel.log" 2>&1) &
pids+=($!)
window=$(timeout 60 xdotool search --sync --onlyvisible --name 'Kovrel' | head -1)
[ -n "$window" ] || { echo "e2e: no Kovrel window"; exit 1; }
sleep 2  # the first paint
# The outline's pixels (the plot's dark blue) in the plot's part of the window.
outline_pixels() {
  import -window "$window" "$1"
  convert "$1" -crop 310x330+10+40 +repage -fx '(b>0.4 && r<0.3 && g<0.3)' -format '%[fx:round(mean*w*h)]' info:
}
before=$(outline_pixels "$out/main-window-before-read.png")

# Waits up to 30 s for a host simulator to end: true when it ended with exit status 0.
host_done() {
  for _ in $(seq 150); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1"
      return
    fi
    sleep 0.2
  done
  return 1
}

# The read button (top left), then START on the tracer.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
click 407 62
sleep 1
kill -USR1 "$tracer_pid"
for _ in $(seq 100); do [ -s "$work/read.stream" ] && break; sleep 0.2; done
sleep 8  # 8262 bytes at 5760 bytes/s, then the drawing
after=$(outline_pixels "$out/main-window-after-read.png")
read_bytes=$(stat -c %s "$work/read.stream" 2>/dev/null || echo 0)
cp "$settings" "$out/trac_conf.after-read.cfg"
diff "$work/fresh.cfg" "$settings" >"$out/settings.diff" || true
echo "e2e: read of $read_bytes bytes sent by the tracer; outline pixels on the plot $before before, $after after (screenshots in $out)"
[ "$read_bytes" -eq 8262 ] && [ "$before" -lt 50 ] && [ "$after" -gt 300 ] || exit 1  # set -e lets a failed && list by

# The send: the host simulator waits on its end, the send button, then the lens type.
"$host" --device "$work/host-end" --once --quiet --save "$out/host-received.oma" --timeout 30 >"$work/host.log" 2>&1 &
host_pid=$!
pids+=("$host_pid")
sleep 1
click 407 113
sleep 2
import -window "$window" "$out/main-window-lens-panel.png"
click 109 328  # the middle picture: general use, no offset
host_rc=1
host_done "$host_pid" && host_rc=0
sleep 1
import -window "$window" "$out/main-window-after-send.png"
cp "$work/relay.log" "$work/host.log" "$out/"

# What our end wrote to the host after the host's message, as the relay saw it, against what the
# Linux program's handlers answer for the same read (kovrel-cli runs them on the recorded read).
awk '/^[<>] [0-9]+\//{ dir = $1; if (dir == ">") host = 1; next }
     dir == "<" && host { for (i = 1; i <= NF; i++) printf "%s", $i }' "$work/relay.log" | xxd -r -p >"$out/host-received.bin"
"$cli" answer "$work/read.stream" >"$out/linux-answer.bin"
"$cli" oma "$work/read.stream" >"$out/linux.oma"
sent=$(stat -c %s "$out/host-received.bin")
same=no
cmp -s "$out/host-received.bin" "$out/linux-answer.bin" && same=yes
echo "e2e: send under Wine: host simulator exit $host_rc; $sent bytes after the host's message, identical to the Linux program's answer: $same"
cmp -s "$out/host-received.oma" "$out/linux.oma" && echo "e2e: the host's decoded trace is the Linux program's OMA file byte for byte"

# The archive kept the read (in the user's %LOCALAPPDATA%\Kovrel\trazados); "Historial" (at the
# foot of the buttons on the right, on again after the send) lists it, and a double click on its row puts it back
# on the plot.
kept=$(find "$WINEPREFIX/drive_c/users" -path '*Kovrel/trazados/*' -name '*.vca' 2>/dev/null | wc -l)
click 407 361
history=$(timeout 20 xdotool search --sync --onlyvisible --name 'Historial' | head -1)
history_rows=no
reloaded=0
if [ -n "$history" ]; then
  sleep 1
  import -window "$history" "$out/history-window.png"
  # A double click on the newest row loads it and closes the window. Wine under a loaded machine
  # may map the window or fill its rows late: a click that finds no row does nothing, so retry.
  for _ in $(seq 10); do
    xdotool mousemove --window "$history" 80 100 click --repeat 2 --delay 80 1
    sleep 2
    if ! xdotool search --onlyvisible --name 'Historial' >/dev/null; then
      history_rows=yes
      break
    fi
  done
  [ "$history_rows" = yes ] || import -window "$history" "$out/history-window-not-loaded.png"
  reloaded=$(outline_pixels "$out/main-window-after-history.png")
fi
echo "e2e: archive under Wine: $kept kept read(s); history window: ${history:-none}, a row loaded: $history_rows, outline pixels after it: $reloaded"
# The TCP link: kovrel-cli.exe under Wine sends the same read over TCP on 127.0.0.1 to the Linux
# host simulator waiting there; the trace it decodes must be the Linux program's OMA file.
tcp_port=$((20000 + RANDOM % 20000))
"$host" --tcp-listen "$tcp_port" --once --quiet --save "$out/host-tcp.oma" --timeout 30 >"$work/host-tcp.log" 2>&1 &
tcp_host=$!
pids+=("$tcp_host")
tcp_rc=1
timeout 60 "$wine" "$folder/kovrel-cli.exe" send "Z:$work/read.stream" --tcp "127.0.0.1:$tcp_port" \
  2>"$out/cli-tcp.err" && wait "$tcp_host" && tcp_rc=0
tcp_same=no
grep -q "Envio >OK< " "$out/cli-tcp.err" && cmp -s "$out/host-tcp.oma" "$out/linux.oma" && tcp_same=yes
echo "e2e: TCP send of kovrel-cli.exe under Wine: exit $tcp_rc; decoded trace is the Linux program's OMA file byte for byte: $tcp_same"

# The window program over TCP: kovrel.exe stopped, the technician's choice of link written beside
# its settings (Kovrel connects to the host on 127.0.0.1), the host simulator waiting there, then
# kovrel.exe again: a new read from the tracer and ENVIAR. The port label names the link once the
# host has taken the connection; the trace the host decodes must be the Linux program's OMA file
# of that read.
"$wineserver" -k 2>/dev/null || true
win_port=$((tcp_port == 39999 ? 20000 : tcp_port + 1))
printf 'ENLACE=tcp\r\nDIRECCION=127.0.0.1\r\nPUERTO=%s\r\n' "$win_port" >"$work/Kovrel/kovrel_enlace.cfg"
"$host" --tcp-listen "$win_port" --once --quiet --save "$out/host-tcp-window.oma" --timeout 30 \
  >"$work/host-tcp-window.log" 2>&1 &
win_host=$!
pids+=("$win_host")
(cd "$work/Kovrel" && exec "$wine" kovrel.exe -platform windows:fontengine=freetype >"$work/kovrel-tcp.log" 2>&1) &
pids+=($!)
window=$(timeout 60 xdotool search --sync --onlyvisible --name 'Kovrel' | head -1) || window=
win_rc=1
win_same=no
if [ -n "$window" ]; then
  sleep 3  # the first paint, and the connection to the host
  import -window "$window" "$out/main-window-tcp-link.png"
  click 407 62
  sleep 1
  kill -USR1 "$tracer_pid"
  for _ in $(seq 100); do [ -s "$work/read-2.stream" ] && break; sleep 0.2; done
  sleep 8
  click 407 113
  sleep 2
  click 109 328
  host_done "$win_host" && win_rc=0
  import -window "$window" "$out/main-window-after-tcp-send.png"
  cp "$work/host-tcp-window.log" "$out/"
  "$cli" oma "$work/read-2.stream" >"$out/linux-read-2.oma" 2>/dev/null || true
  cmp -s "$out/host-tcp-window.oma" "$out/linux-read-2.oma" && win_same=yes
fi
echo "e2e: TCP send of kovrel.exe under Wine: window ${window:-none}; host simulator exit $win_rc; decoded trace is the Linux program's OMA file byte for byte: $win_same"
echo "e2e: $((SECONDS - started)) s"
[ "$host_rc" = 0 ] && [ "$same" = yes ] && [ "$kept" -ge 1 ] && [ "$history_rows" = yes ] && [ "$reloaded" -gt 300 ] \
  && [ "$tcp_rc" = 0 ] && [ "$tcp_same" = yes ] && [ "$win_rc" = 0 ] && [ "$win_same" = yes ]
