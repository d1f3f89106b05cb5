#!/usr/bin/env bash
# Installs what is missing, builds Kovrel and starts it. With no tracer plugged in (no USB
# serial adapter), it also starts the simulated tracer (COM3) and the simulated lab host (COM5)
# that the default trac_conf.cfg points at, so a read and a send can be tried straight away.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kovrel kovrel-tracer-sim kovrel-host-sim kovrel_settings_file

bin=build/release
kovrel=$bin/src/kovrel
tracer=$bin/tools/tracer_sim/kovrel-tracer-sim
host=$bin/tools/host_sim/kovrel-host-sim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running on a virtual X display (nothing will be visible)." >&2
  exec xvfb-run -a "$0" "$@"
fi

if compgen -G '/dev/ttyUSB*' >/dev/null || compgen -G '/dev/ttyACM*' >/dev/null; then
  exec "$kovrel"
fi

pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; }
trap cleanup EXIT INT TERM

# A lab's real frame (tests/data/oma, MIT-licensed example traces; see SOURCE.md there).
"$tracer" --com 3 --window --outline "oma:tests/data/oma/R360_1.oma" &
pids+=($!)
"$kovrel" &
kovrel_pid=$!
pids+=($kovrel_pid)
"$host" --com 5 --wait 30 --window &
pids+=($!)
wait "$kovrel_pid"
