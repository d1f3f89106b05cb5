#!/usr/bin/env bash
# Plants the faults listed in scripts/mutants.txt one at a time, rebuilds only the test programs
# that should notice, runs them and says whether they did: a measure of what the tests catch, for
# developers (not part of CI; a full run takes a while). Every planted fault is reverted after its
# run, also when the script is interrupted.
#
#   scripts/mutants.sh BUILD_DIR [PATTERN]
#
# BUILD_DIR is a configured build folder (e.g. build/debug). PATTERN, when given, keeps only the
# lines of the list that contain it. Last line: "caught N of M", then how many listed faults no longer
# apply (their text has moved: the list is out of step with the code, and the script fails) or do not
# build. MUTANTS_DRY_RUN=1 only checks that every listed text is still found; MUTANT_TIMEOUT sets
# the seconds a test program may take.
set -uo pipefail

if [ $# -lt 1 ] || [ ! -f "$1/build.ninja" ]; then
  echo "usage: $0 BUILD_DIR [PATTERN]   (BUILD_DIR: a configured Ninja build folder)" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
pattern=${2:-}
list="$root/scripts/mutants.txt"
per_test_timeout=${MUTANT_TIMEOUT:-120}
export QT_QPA_PLATFORM=offscreen

backup=$(mktemp)
current=""
restore() {
  if [ -n "$current" ]; then
    # A plain copy gives the file a new time, so the next build recompiles the original.
    cp "$backup" "$current"
    current=""
  fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'echo "interrupted: source restored" >&2; exit 130' INT TERM

nl=$'\n'
caught=0 total=0 number=0 stale=0 unbuilt=0
while IFS= read -r line || [ -n "$line" ]; do
  [[ -z "${line// /}" || "$line" == \#* ]] && continue
  [[ -n "$pattern" && "$line" != *"$pattern"* ]] && continue
  number=$((number + 1))
  rest=$line
  file=${rest%%@@*} rest=${rest#*@@}
  find=${rest%%@@*} rest=${rest#*@@}
  repl=${rest%%@@*} targets=${rest#*@@}
  read -r file <<<"$file"
  read -r targets <<<"$targets"
  # One blank on each side of a field belongs to the separator; the rest is the text.
  find=${find# } find=${find% } repl=${repl# } repl=${repl% }
  find=${find//\{NL\}/$nl} repl=${repl//\{NL\}/$nl}
  label="#$number $file: $(head -n1 <<<"$find" | sed 's/^ *//')"

  content=$(cat "$root/$file" && printf x) && content=${content%x}
  if [[ "$content" != *"$find"* ]]; then
    echo "not applied  $label"
    stale=$((stale + 1))
    continue
  fi
  if [ -n "${MUTANTS_DRY_RUN:-}" ]; then
    echo "applies      $label"
    continue
  fi
  cp "$root/$file" "$backup"
  current="$root/$file"
  printf '%s' "${content/"$find"/"$repl"}" >"$current"

  # shellcheck disable=SC2086
  if ! ninja -C "$build" $targets >/dev/null 2>&1; then
    echo "not built    $label"
    unbuilt=$((unbuilt + 1))
    restore
    continue
  fi
  total=$((total + 1))
  verdict=missed
  for target in $targets; do
    binary=$(find "$build/tests" -type f -name "$target" -perm -u+x | head -n1)
    if [ -z "$binary" ]; then
      echo "no test program $target in $build" >&2
      continue
    fi
    if ! (cd "$(dirname "$binary")" && timeout "$per_test_timeout" "$binary" >/dev/null 2>&1); then
      verdict=caught
      break
    fi
  done
  [ "$verdict" = caught ] && caught=$((caught + 1))
  printf '%-12s %s\n' "$verdict" "$label"
  restore
done <"$list"

summary="caught $caught of $total"
[ "$stale" -gt 0 ] && summary+="; $stale not applied: the list is out of step with the code"
[ "$unbuilt" -gt 0 ] && summary+="; $unbuilt not built"
echo "$summary"
[ "$stale" -eq 0 ]
