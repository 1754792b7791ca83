#!/usr/bin/env bash
# The Google Benchmark programs in one command, with the figures they are
# about: the novel index at 1 000, 10 000 and 100 000 titles against the 10 ms
# target, FindText against memmem as a ratio, and the browse window's listing
# of 50 000 archives with the title pool against the 0.3 s target.
#   bench/micro.sh [repetitions]        (default 3)
# TMPDIR chooses where the index files go (e.g. /dev/shm to leave the disk out).
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=${1:-3}
build=${LIRVO_BENCH_BUILD:-build-bench}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLIRVO_BUILD_BENCH=ON \
  -DLIRVO_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j "$(nproc)" --target profile_bench text_search_bench \
  browse_listing_bench > /dev/null

# Medians as "name real_time cpu_time unit", one per line.
medians() {
  "$@" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2> /dev/null |
    awk -F, '$1 ~ /_median"$/ { gsub(/"/, "", $1); sub(/_median$/, "", $1); print $1, $3, $4, $5 }'
}

echo "Novel index (${TMPDIR:-/tmp}), median of $repetitions, wall / CPU:"
medians "$build/bench/profile_bench" | awk '{
  ms = ($4 == "us") ? 0.001 : (($4 == "ns") ? 0.000001 : 1)
  wall = $2 * ms; cpu = $3 * ms
  target = ""
  if ($1 ~ /\/100000$/ && $1 !~ /AfterOutsideChange/) target = wall < 10 ? "  (target < 10 ms: met)" : "  (target < 10 ms: MISSED)"
  printf "  %-44s %9.3f ms %9.3f ms%s\n", $1, wall, cpu, target
}'

echo "Text search over a 100 KB GBK page, median of $repetitions, CPU time:"
medians "$build/bench/text_search_bench" | awk '{ t[$1] = $3; unit = $4 } END {
  split("ListingMarker ChineseMarker AllChinesePage", cases, " ")
  for (i = 1; i <= 3; i++) {
    f = t["BM_FindText_" cases[i]]; m = t["BM_Memmem_" cases[i]]
    printf "  %-16s FindText %8.1f %s, memmem %8.1f %s, ratio %.2f\n", cases[i], f, unit, m, unit, f / m
  }
}'

echo "Browse window, one folder (${TMPDIR:-/tmp}), median of $repetitions, wall / CPU:"
medians "$build/bench/browse_listing_bench" | awk '{
  ms = ($4 == "us") ? 0.001 : (($4 == "ns") ? 0.000001 : 1)
  wall = $2 * ms; cpu = $3 * ms
  target = ""
  if ($1 ~ /ListFolderAndRebuildPool\/50000$/) target = wall < 300 ? "  (target < 300 ms: met)" : "  (target < 300 ms: MISSED)"
  printf "  %-44s %9.1f ms %9.1f ms%s\n", $1, wall, cpu, target
}'
