#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: once in a plain build and once with
# AddressSanitizer and UBSan (clang), then each fuzz target briefly; at the end, builds the
# Debian package and the Windows installer and checks them installed, upgraded and removed. Also checks the formatting
# of our sources and runs clang-tidy (a focused profile, .clang-tidy) over the program and the
# tools.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

echo "== formatting"
files=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'tools/*.h' 'bench/*.cpp' 2>/dev/null || true)
if [ -n "$files" ]; then
  # shellcheck disable=SC2086
  clang-format --dry-run --Werror $files
fi

# Output is kept to what a person reads: a step's full log only when it fails, the test summary
# (with any skipped test), clang-tidy's findings without its per-file "N warnings generated." count
# of the suppressed system-header warnings.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
quietly() { "$@" >"$log" 2>&1 || { cat "$log"; return 1; }; }

export QT_QPA_PLATFORM=offscreen
# The compiler cache sees paths relative to the checkout, so a clone in another folder (CI's)
# reuses what an earlier build cached.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
for preset in debug asan-ubsan; do
  echo "== $preset build"
  quietly cmake --preset "$preset"
  quietly cmake --build --preset "$preset"
  echo "== $preset tests"
  if ! ctest --preset "$preset" -j2 --output-on-failure >"$log" 2>&1; then
    cat "$log"
    exit 1
  fi
  grep -E 'tests passed|\(Skipped\)|Not Run|Total Test time' "$log" || true
  if [ "$preset" = debug ]; then
    echo "== clang-tidy"  # Windows files: checked by the MinGW build's warnings instead
    tidy=0
    git ls-files 'src/*.cpp' 'tools/*.cpp' ':!:*_windows.cpp' | xargs -P2 -n4 clang-tidy -p build/debug --quiet \
      --extra-arg=-Wno-unknown-warning-option >"$log" 2>&1 || tidy=1
    grep -Ev '^[0-9]+ (warning|error)s? (and [0-9]+ errors? )?generated\.$' "$log" || true
    [ "$tidy" = 0 ] || exit 1
  fi
done

# ---- release build, tests and benchmarks -------------------------------------------------------
# The optimiser sees (and warns about) what a debug build does not; every benchmark runs once,
# briefly, so none of them stops building or running unseen. One line per benchmark: its name,
# times and counters. The soak makes 200 reads here (1000 by default).
echo "== release build, tests and benchmarks"
quietly cmake --preset release
quietly cmake --build --preset release
if ! ctest --preset release -j2 --output-on-failure >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
grep -E 'tests passed|\(Skipped\)|Not Run|Total Test time' "$log" || true
bench_out=$(mktemp)
for bench in build/release/bench/bench_*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue  # not the generated-source folders
  extra=()
  [ "$(basename "$bench")" = bench_soak ] && extra=(--reads=200)
  if ! "$bench" --benchmark_min_time=0.01 --benchmark_color=false "${extra[@]}" >"$bench_out" 2>"$log" ||
    grep -q 'ERROR OCCURRED' "$bench_out"; then
    cat "$log" "$bench_out"
    rm -f "$bench_out"
    exit 1
  fi
  grep -Ev '^(-+|Benchmark .*)$' "$bench_out" | tr -s ' ' || true
done
rm -f "$bench_out"
# ---- end of release build, tests and benchmarks ------------------------------------------------

# The Windows program (with the Qt kit for MinGW-w64; without it the core, kovrel-cli and the
# Windows adapters, and a line saying why) cross-built and run under Wine, its installed folder
# started, then a read end to end under Wine with a virtual display.
echo "== Windows build under Wine"
quietly ./scripts/test-windows.sh
grep -E 'Windows program not built|tests passed|kovrel-cli:|trace:|installed folder:|Windows step:' "$log" || true
if [ -d build/windows-program/Kovrel ] && grep -q 'installed folder:' "$log"; then
  quietly ./scripts/e2e-wine.sh
  grep -E '^e2e' "$log" || true
fi

# A short run of every fuzz target: the seeds hold the inputs of past findings, so a regression
# shows at once; the rest of the minute looks for new ones.
echo "== fuzz smoke"
for target in capture settings send oma_file cli_args; do
  quietly ./scripts/fuzz.sh "$target" 12
  echo "$target: $(grep -o 'number_of_executed_units: [0-9]*' "$log" | cut -d' ' -f2) runs, no finding"
done

# The Debian package installed, started as an ordinary user, upgraded and removed; the Windows
# installer under Wine when the Windows program is built.
echo "== packages"
./scripts/test-packages.sh

echo "== size of the tests"
./scripts/test-ratio.sh
