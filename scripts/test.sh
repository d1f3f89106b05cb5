#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: once in a plain build and once with
# AddressSanitizer and UBSan (clang), then each fuzz target briefly. Also checks the formatting
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

export QT_QPA_PLATFORM=offscreen
for preset in debug asan-ubsan; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset" -j2
  if [ "$preset" = debug ]; then
    echo "== clang-tidy"
    # shellcheck disable=SC2046
    git ls-files 'src/*.cpp' 'tools/*.cpp' | xargs -P2 -n4 clang-tidy -p build/debug --quiet \
      --extra-arg=-Wno-unknown-warning-option
  fi
done

# A short run of every fuzz target: the seeds hold the inputs of past findings, so a regression
# shows at once; the rest of the minute looks for new ones.
echo "== fuzz smoke"
for target in capture settings send oma_file cli_args; do
  ./scripts/fuzz.sh "$target" 12
done
