#!/usr/bin/env bash
# Times the sweep of a huge log directory against the command an
# administrator would otherwise run:
#
#   find ../log -maxdepth 1 -name '*.log*' ! -newermt @LIMIT -delete
#
# with the same limit that `cleanlogs 7` computes. For every size, each round
# lays out two identical fresh installations in the same way on the same
# file system, flushes them to disk, and times both tools, one on each, in
# alternating order. Afterwards both must have left exactly the same entries
# (the report file aside), and those must be the expected ones.
#
# Prints, per size, the median wall time of each tool, the median of the
# per-round ratios cleanlogs/find, and the peak resident memory of cleanlogs
# beside its budget (8 MiB plus twice the size of the report it wrote).
#
#   bench/sweep_bench.sh [--million] [--sizes "N ..."] [--rounds R]
#                        [--cold] [--binary PATH] [--dir DIR]
#
#   --million   also run 1,000,000 entries (with fewer rounds)
#   --sizes     the sizes to run instead of 10000 100000 200000
#   --rounds    rounds per size (default 5; 4 for a million or more)
#   --cold      drop the kernel's caches before each timed run (needs root),
#               so that both tools read the directory and its inodes from disk
#   --binary    the cleanlogs program (default build/default/cleanlogs)
#   --dir       where the fixtures are laid out (default $TMPDIR or /tmp);
#               it must have room for two fixtures of the largest size
set -euo pipefail
cd "$(dirname "$0")/.."

sizes=(10000 100000 200000)
rounds=""
cold=0
binary=build/default/cleanlogs
base=${TMPDIR:-/tmp}
while [ $# -gt 0 ]; do
  case $1 in
    --million) sizes+=(1000000) ;;
    --sizes) read -r -a sizes <<<"$2"; shift ;;
    --rounds) rounds=$2; shift ;;
    --cold) cold=1 ;;
    --binary) binary=$2; shift ;;
    --dir) base=$2; shift ;;
    -h|--help) sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done

[ -x "$binary" ] || { echo "no program at $binary: build it first" \
  "(cmake --preset default && cmake --build --preset default)" >&2; exit 2; }
binary=$(realpath "$binary")
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: apt-get install time" >&2; exit 2; }
if [ "$cold" = 1 ] && ! { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
  echo "--cold needs to write /proc/sys/vm/drop_caches (root)" >&2; exit 2
fi

work=$(mktemp -d "$base/sweep-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

readonly days=7
# The limit cleanlogs computes for 7 days: the high half of the file time
# (units of 2^32 ticks of 100 ns) moves back by ceil(7 x 200.6) = 1405 units;
# the low half stays. Printed as Unix seconds with seven decimals for find.
readonly limitUnits=$(( (days * 2006 + 9) / 10 ))
readonly epochTicks=116444736000000000
limitNow() {
  local now=$EPOCHREALTIME
  local ticks=$(( ${now%.*} * 10000000 + 10#${now#*.} * 10 + epochTicks ))
  local limit=$(( (((ticks >> 32) - limitUnits) << 32) | (ticks & 0xFFFFFFFF) ))
  local unix=$(( limit - epochTicks ))
  printf '@%d.%07d' $(( unix / 10000000 )) $(( unix % 10000000 ))
}

# The names of a fixture of n entries, in the order they are created:
# app<k>.log and its rotated app<k>.log.1, where every other pair is 30 days
# old, then a hundred names that do not match (half of them old too). Also
# lists the names both tools must leave.
writeNames() {  # n, directory for the lists
  local n=$1 dir=$2
  awk -v n="$n" -v dir="$dir" 'BEGIN {
    for (i = 0; i < n; i++) {
      k = int(i / 2)
      name = sprintf("app%07d.log%s", k, i % 2 ? ".1" : "")
      print name > (dir "/all")
      if (k % 2) print name > (dir "/kept"); else print name > (dir "/old")
    }
    for (i = 0; i < 100; i++) {
      name = sprintf("app%07d.txt", i)
      print name > (dir "/all")
      if (!(i % 2)) print name > (dir "/old")
      print name > (dir "/kept")
    }
  }'
  sort "$dir/kept" >"$dir/expected"
}

# Lays out an installation at $1: bin/ and log/ with the named entries,
# created in list order, the old ones then dated back 30 days.
layOut() {  # root, lists
  mkdir -p "$1/bin" "$1/log"
  (cd "$1/log" && xargs -a "$2/all" touch && xargs -a "$2/old" touch -d "@$old")
}

# Runs one tool with the log directory of installation $2 and records its
# wall time (seconds) and peak resident memory (KiB) in $REPLY_TIME and
# $REPLY_RSS.
timeRun() {  # tool, root
  local start end status=0
  cd "$2/bin"
  # Each tool starts with nothing left to write back from the layout or
  # from the other tool's run.
  sync
  if [ "$cold" = 1 ]; then echo 3 >/proc/sys/vm/drop_caches; fi
  if [ "$1" = cleanlogs ]; then
    start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$work/rss" "$binary" $days >/dev/null 2>"$work/err" || status=$?
    end=$EPOCHREALTIME
  else
    local limit
    limit=$(limitNow)
    start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$work/rss" \
      find ../log -maxdepth 1 -name '*.log*' ! -newermt "$limit" -delete 2>"$work/err" || status=$?
    end=$EPOCHREALTIME
  fi
  cd "$OLDPWD"
  if [ "$1" = find ] && [ $status -ne 0 ]; then
    echo "find failed ($status): $(cat "$work/err")" >&2; exit 1
  fi
  if [ "$1" = cleanlogs ] && [ -s "$work/err" ]; then
    echo "cleanlogs said: $(cat "$work/err")" >&2; exit 1
  fi
  REPLY_TIME=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
  REPLY_RSS=$(tail -n 1 "$work/rss")
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

leftOver() { ls -U "$1/log" | grep -v 'Tarnwick\.log$' | sort; }

old=$(( $(date +%s) - 30 * 86400 ))
printf '%s\n' "cleanlogs: $binary" "fixtures: $work ($(df -PT "$work" | awk 'NR == 2 { print $2 }'))" \
  "cache: $([ "$cold" = 1 ] && echo 'dropped before each run' || echo 'warm (fixtures freshly written and flushed)')" ""
printf '%9s %6s %12s %12s %8s %11s %11s %11s\n' entries rounds cleanlogs_s find_s ratio \
  peak_rss_KiB report_KiB budget_KiB
declare -A medianTime
for n in "${sizes[@]}"; do
  r=${rounds:-$([ "$n" -ge 1000000 ] && echo 4 || echo 5)}
  lists="$work/names-$n"
  mkdir -p "$lists"
  writeNames "$n" "$lists"
  expectedDeleted=$(wc -l <"$lists/old")
  expectedDeleted=$(( expectedDeleted - 50 ))  # the old names that do not match stay
  : >"$work/times-c"; : >"$work/times-f"; : >"$work/ratios"; : >"$work/rss-all"; : >"$work/report-sizes"
  for (( round = 0; round < r; round++ )); do
    c="$work/c" f="$work/f"
    layOut "$c" "$lists"
    layOut "$f" "$lists"
    sync
    if (( round % 2 == 0 )); then order=(cleanlogs find); else order=(find cleanlogs); fi
    for tool in "${order[@]}"; do
      if [ "$tool" = cleanlogs ]; then
        timeRun cleanlogs "$c"; tc=$REPLY_TIME; rss=$REPLY_RSS
      else
        timeRun find "$f"; tf=$REPLY_TIME
      fi
    done
    reports=("$c"/log/*Tarnwick.log)
    [ ${#reports[@]} -eq 1 ] && [ -f "${reports[0]}" ] || { echo "cleanlogs wrote no single report" >&2; exit 1; }
    grep -qx "Delete \[$expectedDeleted\] files" "${reports[0]}" ||
      { echo "cleanlogs did not delete $expectedDeleted entries: $(tail -n 2 "${reports[0]}")" >&2; exit 1; }
    reportBytes=$(stat -c %s "${reports[0]}")
    if ! cmp -s <(leftOver "$c") <(leftOver "$f"); then
      echo "cleanlogs and find left different entries ($n entries, round $round):" >&2
      diff <(leftOver "$c") <(leftOver "$f") | head -n 10 >&2; exit 1
    fi
    cmp -s <(leftOver "$c") "$lists/expected" || { echo "both left unexpected entries" >&2; exit 1; }
    echo "$tc" >>"$work/times-c"; echo "$tf" >>"$work/times-f"
    awk -v a="$tc" -v b="$tf" 'BEGIN { printf "%.6f\n", a / b }' >>"$work/ratios"
    echo "$rss" >>"$work/rss-all"; echo "$reportBytes" >>"$work/report-sizes"
    rm -rf "$c" "$f"
  done
  mc=$(median <"$work/times-c"); mf=$(median <"$work/times-f"); mr=$(median <"$work/ratios")
  peak=$(sort -n "$work/rss-all" | tail -n 1)
  reportKiB=$(( $(sort -n "$work/report-sizes" | tail -n 1) / 1024 ))
  medianTime[$n]=$mc
  printf '%9d %6d %12.4f %12.4f %8.3f %11d %11d %11d\n' "$n" "$r" "$mc" "$mf" "$mr" "$peak" \
    "$reportKiB" $(( 8192 + 2 * reportKiB ))
  rm -rf "$lists"
done
if [ -n "${medianTime[100000]:-}" ] && [ -n "${medianTime[1000000]:-}" ]; then
  echo
  awk -v a="${medianTime[1000000]}" -v b="${medianTime[100000]}" \
    'BEGIN { printf "cleanlogs 1000000 / 100000 entries: %.2f x the time (linear would be 10)\n", a / b }'
fi
