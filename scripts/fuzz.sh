#!/usr/bin/env bash
# Runs one libFuzzer target for a while: scripts/fuzz.sh TARGET SECONDS
# TARGET is capture, settings, send, oma_file or cli_args. The seeds in tests/fuzz/seeds/TARGET
# are read, never written; what the fuzzer learns goes to build/fuzz/corpus/TARGET, and a
# finding to build/fuzz/findings/ (the run then stops with a non-zero status).
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?usage: scripts/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: scripts/fuzz.sh TARGET SECONDS}
seeds=tests/fuzz/seeds/$target
[ -d "$seeds" ] || { echo "no such fuzz target: $target" >&2; exit 2; }

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "fuzz_$target"

corpus=build/fuzz/corpus/$target
mkdir -p "$corpus" build/fuzz/findings
# A slow input (over 10 s) and a leak are findings too.
"build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=1024 -artifact_prefix=build/fuzz/findings/"$target"- -print_final_stats=1 \
  "$corpus" "$seeds"
