#!/usr/bin/env bash
# Runs clang-tidy (with the checked-in .clang-tidy) on every project source
# that the compile databases of the given build directories list, two at a
# time. Exits non-zero on any finding.
#   scripts/tidy.sh build/ci [build/fuzz ...]
set -euo pipefail
cd "$(dirname "$0")/.."
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
root=$(pwd)
status=0
seen=$(mktemp)
trap 'rm -f "$seen"' EXIT
for build in "$@"; do
  db="$build/compile_commands.json"
  [ -f "$db" ] || { echo "tidy: no $db (configure $build first)" >&2; exit 2; }
  files=$(python3 -c '
import json, sys
root = sys.argv[2] + "/"
for entry in json.load(open(sys.argv[1])):
    f = entry["file"]
    if f.startswith(root) and f[len(root):].split("/")[0] in ("core", "platform", "clean", "rotate", "tests", "fuzz"):
        print(f)
' "$db" "$root" | sort -u | comm -23 - "$seen")
  echo "$files" | cat - "$seen" | grep . | sort -u -o "$seen"
  count=$(echo "$files" | grep -c . || true)
  echo "tidy: $count sources from $db"
  # One clang-tidy per source; its count of suppressed warnings (all from
  # system headers) is dropped, every finding is shown.
  echo "$files" | xargs -r -P 2 -n 1 bash -c 'set -o pipefail
    "$0" -p "$1" --quiet "$2" 2>&1 | { grep -vE "^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$" || true; }' \
    "$tidy" "$build" || status=1
done
if [ "$status" -ne 0 ]; then echo "tidy: findings above" >&2; else echo "tidy: no findings"; fi
exit "$status"
