#!/usr/bin/env bash
# The size of the tests against the size of the code: non-blank lines of the C++ sources and
# headers (.cpp, .h) under tests/ against those under src/, tools/ and bench/. Test data files
# (recorded reads, expected outputs, frame outlines) are not code and do not count.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null |
    xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true
}

tests=$(count tests)
code=$(count src tools bench)
echo "test lines: $tests"
echo "code lines: $code (src/, tools/, bench/)"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests/code: %.1f%%\n", c ? 100 * t / c : 0 }'
