#!/usr/bin/env bash
# Rewrites the expected outputs of kovrel-cli listed in cases.txt from the recorded read
# offcentre_rect.stream. Run it only when a change of the program's output is intended, and
# review the diff (git diff --stat tests/data/cli) before committing it.
#
#   tests/data/cli/regenerate.sh [BUILD_DIR] [--new-stream]
#
# BUILD_DIR defaults to build/debug; kovrel-cli (and kovrel-tracer-sim for --new-stream) must be
# built there. --new-stream first records the read again with the tracer simulator: needed only
# when the simulated tracer itself changed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build="$root/build/debug"
new_stream=no
for arg in "$@"; do
  case "$arg" in
    --new-stream) new_stream=yes ;;
    *) build=$arg ;;
  esac
done
cli="$build/tools/cli/kovrel-cli"
sim="$build/tools/tracer_sim/kovrel-tracer-sim"
stream="$here/offcentre_rect.stream"

if [ "$new_stream" = yes ]; then
  # An off-centre rounded rectangle, job 345, a tracer whose serial selects the 0.65 mm tip,
  # 20 counts warm (temperature compensation of -5 counts).
  "$sim" generate "$stream" --outline offcentre:1.5,-1:rect:26,18,4 --job 345 --serial 0061 --temperature 634
fi

while read -r output args; do
  case "$output" in '' | '#'*) continue ;; esac
  # shellcheck disable=SC2086
  args=${args//STREAM/$stream}
  set -- ${args//DATA\//$here/}
  "$cli" "$@" > "$here/$output"
  echo "wrote $output"
done < "$here/cases.txt"
