#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz preset for SECONDS (30 unless
# given) from its checked-in seed corpus in fuzz/corpus/<target>. New inputs
# go to build/fuzz/corpus, crashing ones to build/fuzz/artifacts; any crash
# or failed property ends the script with a non-zero status.
#   cmake --preset fuzz && cmake --build --preset fuzz && scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(command_line wildcard filetime text escape)
build=build/fuzz
mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
  binary="$build/fuzz/fuzz_$target"
  [ -x "$binary" ] || { echo "fuzz: no $binary (build the fuzz preset first)" >&2; exit 2; }
  work="$build/corpus/$target"
  mkdir -p "$work"
  log="$build/fuzz_$target.log"
  echo "fuzz: $target for ${seconds}s"
  if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz: $target FAILED (input saved under $build/artifacts)" >&2
    exit 1
  fi
  # One summary line: runs, speed, coverage and corpus size.
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  cov=$(echo "$last" | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  ft=$(echo "$last" | sed -n 's/.*ft: \([0-9]*\).*/\1/p')
  corpus=$(find "$work" -type f | wc -l)
  echo "fuzz: $target ok: $runs runs, $speed/s, cov $cov, ft $ft, corpus $corpus"
done
