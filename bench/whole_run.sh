#!/usr/bin/env bash
# Whole collection run against the demo site, and the network baseline.
#   bench/whole_run.sh [pages]        (default 50 pages = 1000 novels)
# The demo site serves 玄幻小说 (completed) with `pages` full listing pages and
# archives of 100 to 500 KB. Lirvo collects them off-screen with response
# delay 0; then one curl process fetches the very URLs Lirvo asked for, one
# after the other, into files. Prints both times, their ratio, Lirvo's CPU time
# and its peak memory against the largest archive.
set -euo pipefail
cd "$(dirname "$0")/.."

pages=${1:-50}
build=${LIRVO_BENCH_BUILD:-build-bench}
# The folder the run and curl write into; a tmpfs folder takes the disk out.
work=${LIRVO_BENCH_DIR:-out/bench-whole-run}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLIRVO_BUILD_BENCH=ON \
  -DLIRVO_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j "$(nproc)" --target lirvo-demo-site lirvo-offscreen-run > /dev/null

# Files deleted shortly before cost every later file creation on ext4 (the
# inode allocator passes over recently freed inodes), so the runs of earlier
# invocations are removed only at the end, after the measurements.
previous="$work.old.$$"
if [ -e "$work" ]; then mv "$work" "$previous"; fi
mkdir -p "$work/run" "$work/curl"

site_pid=""
stop_site() {
  if [ -n "$site_pid" ]; then
    kill "$site_pid" 2>/dev/null || true
    wait "$site_pid" 2>/dev/null || true
    site_pid=""
  fi
}
cleanup() {
  stop_site
  rm -rf "$previous"
}
trap cleanup EXIT

# start_site LOGFILE [site options...]: returns once all five hosts listen.
start_site() {
  local log=$1
  shift
  "$build/tools/demo-site/lirvo-demo-site" --big-pages "$pages" "$@" > "$log" 2>&1 &
  site_pid=$!
  for _ in $(seq 1 200); do
    if [ "$(wc -l < "$log")" -ge 5 ]; then return 0; fi
    if ! kill -0 "$site_pid" 2>/dev/null; then
      echo "whole_run: the demo site did not start:" >&2
      cat "$log" >&2
      exit 1
    fi
    sleep 0.05
  done
  echo "whole_run: the demo site did not report its hosts" >&2
  exit 1
}

# %e wall seconds, %U user, %S system, %M peak resident KB
measure='%e %U %S %M'

# --- Lirvo --------------------------------------------------------------
start_site "$work/site-run.log" --log "$work/requests.txt"
cp "$build/tools/offscreen-run/lirvo-offscreen-run" "$work/run/"
(cd "$work/run" && /usr/bin/time -f "$measure" -o ../lirvo.time \
  ./lirvo-offscreen-run "$pages" 0 0 > ../lirvo.out 2> >(grep -v "does not support" > ../lirvo.err))
stop_site
grep '^Summary' "$work/lirvo.out" || {
  echo "whole_run: the run did not finish" >&2
  exit 1
}
read -r run_wall run_user run_sys run_peak_kb < "$work/lirvo.time"

# --- curl, the same URLs one after the other ----------------------------
start_site "$work/site-curl.log"
n=0
while read -r url; do
  n=$((n + 1))
  printf 'url = "%s"\noutput = "%s/curl/%d"\n' "$url" "$work" "$n"
done < "$work/requests.txt" > "$work/curl.config"
/usr/bin/time -f "$measure" -o "$work/curl.time" curl -s -K "$work/curl.config"
stop_site
read -r curl_wall curl_user curl_sys _ < "$work/curl.time"

largest=$(find "$work/run" -name '*.rar' -printf '%s\n' | sort -n | tail -1)
novels=$(find "$work/run" -name '*.rar' | wc -l)
bytes=$(find "$work/run" -type f -printf '%s\n' | awk '{s += $1} END {print s}')

awk -v pages="$pages" -v novels="$novels" -v urls="$n" -v bytes="$bytes" \
  -v rw="$run_wall" -v ru="$run_user" -v rs="$run_sys" -v rp="$run_peak_kb" \
  -v cw="$curl_wall" -v cu="$curl_user" -v cs="$curl_sys" -v big="${largest:-0}" 'BEGIN {
  ratio = rw / cw
  peak = rp / 1024
  bound = 100 + big / 1048576
  printf "pages %d, novels collected %d, requests %d, library %.1f MB\n", pages, novels, urls, bytes / 1048576
  printf "Lirvo run          %7.2f s wall, %.2f s CPU (%.2f user + %.2f system)\n", rw, ru + rs, ru, rs
  printf "curl, same URLs    %7.2f s wall, %.2f s CPU\n", cw, cu + cs
  printf "ratio run / curl   %7.2f   (target <= 1.20) %s\n", ratio, ratio <= 1.2 ? "met" : "MISSED"
  printf "peak memory        %7.1f MB (target < 100 MB + largest archive %.2f MB = %.1f MB) %s\n", peak, big / 1048576, bound, peak < bound ? "met" : "MISSED"
}'
