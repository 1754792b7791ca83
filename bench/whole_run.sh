#!/usr/bin/env bash
# Whole collection runs against the demo site, and the network baseline.
#   bench/whole_run.sh [pages] [titles] [rounds]
#   (default 50 pages = 1000 novels, 100000 titles, 3 rounds)
# The demo site serves 玄幻小说 (completed) with `pages` full listing pages and
# archives of 100 to 500 KB. Lirvo collects them off-screen with response
# delay 0, four times side by side in each round:
#   empty   a library without a novel index
#   large   a library whose index already holds `titles` titles of other novels
#   again   each of the two run once more over the same pages (every novel
#           already there, so the record writes change nothing)
# Then one curl process fetches the very URLs of the first run, one after the
# other, into files. Prints each round's times and the medians over the
# rounds of: the ratio large / empty (the cost of a large library), the same
# for the second runs, the ratios run / curl for the empty and the large
# library, CPU time and peak memory against the largest archive.
# LIRVO_BENCH_PREBUILT=1 takes the programs already in LIRVO_BENCH_BUILD as
# they are (to measure an earlier build with this script).
# LIRVO_BENCH_PORT_BASE moves the site's five ports (8631 to 8635 by default),
# for a machine where they are taken; the build then uses them too.
# LIRVO_BENCH_TIMEOUT bounds each run in seconds (default 600); a run cut off
# has no summary and ends the script.
set -euo pipefail
cd "$(dirname "$0")/.."

pages=${1:-50}
titles=${2:-100000}
rounds=${3:-3}
build=${LIRVO_BENCH_BUILD:-build-bench}
# The folder the runs and curl write into; a tmpfs folder takes the disk out.
work=${LIRVO_BENCH_DIR:-out/bench-whole-run}
port=${LIRVO_BENCH_PORT_BASE:-8631}
run_timeout=${LIRVO_BENCH_TIMEOUT:-600}
site_program="$build/tools/demo-site/lirvo-demo-site"
run_program="$build/tools/offscreen-run/lirvo-offscreen-run"

if [ "${LIRVO_BENCH_PREBUILT:-0}" = 1 ]; then
  if [ -x "$build/lirvo-demo-site" ]; then
    site_program="$build/lirvo-demo-site"
    run_program="$build/lirvo-offscreen-run"
  fi
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLIRVO_BUILD_BENCH=ON \
    -DLIRVO_BUILD_TESTS=OFF -DLIRVO_MAIN_HOST="127.0.0.1:$port" \
    -DLIRVO_TEXT_HOST="127.0.0.1:$((port + 1))" -DLIRVO_IMAGE_HOST="127.0.0.1:$((port + 2))" \
    -DLIRVO_DOWNLOAD_HOST="127.0.0.1:$((port + 3))" \
    -DLIRVO_UPDATE_HOST="127.0.0.1:$((port + 4))" > /dev/null
  cmake --build "$build" -j "$(nproc)" --target lirvo-demo-site lirvo-offscreen-run > /dev/null
fi

# Files deleted shortly before cost every later file creation on ext4 (the
# inode allocator passes over recently freed inodes), so the runs of earlier
# invocations are removed only at the end, after the measurements.
previous="$work.old.$$"
if [ -e "$work" ]; then mv "$work" "$previous"; fi
mkdir -p "$work/curl"
work=$(realpath "$work")

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
  : > "$log"
  "$site_program" --big-pages "$pages" --port-base "$port" "$@" > "$log" 2>&1 &
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

# seed_index FOLDER: a novel index of `titles` titles of other novels, in GBK,
# each pointing at its archive as a run writes it (8.7 MB at 100 000 titles).
seed_index() {
  local folder=$1
  mkdir -p "$folder/小说/ini"
  awk -v n="$titles" -v pf="$folder" 'BEGIN {
    printf "[小说]\r\n"
    for (i = 0; i < n; i++) {
      t = "第" i "部旧藏长篇小说"
      printf "%s=%s\\小说\\完本\\玄幻小说\\%s.rar\r\n", t, pf, t
    }
  }' | iconv -f UTF-8 -t GBK > "$folder/小说/ini/小说.ini"
}

# run_lirvo NAME FOLDER [site options...]: one run in FOLDER; its times go to
# $work/NAME.time.
run_lirvo() {
  local name=$1 folder=$2
  shift 2
  start_site "$work/site-$name.log" "$@"
  cp "$run_program" "$folder/"
  (cd "$folder" && /usr/bin/time -f "$measure" -o "$work/$name.time" \
    timeout -k 5 "$run_timeout" ./lirvo-offscreen-run "$pages" 0 0 > "$work/$name.out" \
    2> >(grep -v "does not support" > "$work/$name.err")) || true
  stop_site
  grep -q '^Summary' "$work/$name.out" || {
    echo "whole_run: the run $name did not finish" >&2
    exit 1
  }
}

# --- Lirvo, four runs a round ----------------------------------------------
for r in $(seq 1 "$rounds"); do
  mkdir -p "$work/empty-$r" "$work/large-$r"
  seed_index "$work/large-$r"
  log=()
  if [ "$r" = 1 ]; then log=(--log "$work/requests.txt"); fi
  # Odd rounds begin with the empty library, even ones with the large one,
  # so that what the disk still does for a run ahead weighs on both alike.
  if [ $((r % 2)) = 1 ]; then
    run_lirvo "empty-$r" "$work/empty-$r" "${log[@]}"
    run_lirvo "large-$r" "$work/large-$r"
    run_lirvo "empty-again-$r" "$work/empty-$r"
    run_lirvo "large-again-$r" "$work/large-$r"
  else
    run_lirvo "large-$r" "$work/large-$r"
    run_lirvo "empty-$r" "$work/empty-$r"
    run_lirvo "large-again-$r" "$work/large-$r"
    run_lirvo "empty-again-$r" "$work/empty-$r"
  fi
done
index_mb=$(du -m --apparent-size "$work/large-1/小说/ini/小说.ini" | cut -f1)
large_index_keys=$(($(wc -l < "$work/large-1/小说/ini/小说.ini") - 1))

# --- curl, the same URLs one after the other ----------------------------
start_site "$work/site-curl.log"
n=0
while read -r url; do
  n=$((n + 1))
  printf 'url = "%s"\noutput = "%s/curl/%d"\n' "$url" "$work" "$n"
done < "$work/requests.txt" > "$work/curl.config"
/usr/bin/time -f "$measure" -o "$work/curl.time" curl -s -K "$work/curl.config"
stop_site

largest=$(find "$work/empty-1" -name '*.rar' -printf '%s\n' | sort -n | tail -1)
novels=$(find "$work/empty-1" -name '*.rar' | wc -l)
bytes=$(find "$work/empty-1" -type f -printf '%s\n' | awk '{s += $1} END {print s}')

for r in $(seq 1 "$rounds"); do
  for name in empty large empty-again large-again; do
    echo "$r $name $(cat "$work/$name-$r.time")"
  done
done | awk -v pages="$pages" -v novels="$novels" -v urls="$n" -v bytes="$bytes" \
  -v titles="$titles" -v mb="$index_mb" -v keys="$large_index_keys" -v big="${largest:-0}" \
  -v rounds="$rounds" -v curl="$(cat "$work/curl.time")" '
  function median(a, k,   i, j, t, b) {
    for (i = 1; i <= k; i++) b[i] = a[i]
    for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (b[j] < b[i]) { t = b[i]; b[i] = b[j]; b[j] = t }
    return k % 2 ? b[(k + 1) / 2] : (b[k / 2] + b[k / 2 + 1]) / 2
  }
  { w[$1, $2] = $3; c[$1, $2] = $4 + $5; p[$1, $2] = $6 }
  END {
    split(curl, cu, " ")
    printf "pages %d, novels collected %d, requests %d, library %.1f MB\n", pages, novels, urls, bytes / 1048576
    printf "large library: index of %d titles (%d MB) before, %d keys after\n", titles, mb, keys
    printf "round  %-24s %-24s %-24s %-24s\n", "empty", "large", "empty again", "large again"
    for (r = 1; r <= rounds; r++) {
      printf "%5d ", r
      split("empty large empty-again large-again", name, " ")
      for (i = 1; i <= 4; i++) printf " %6.2f s (CPU %5.2f s)     ", w[r, name[i]], c[r, name[i]]
      printf "\n"
      scale[r] = w[r, "large"] / w[r, "empty"]
      scalecpu[r] = c[r, "large"] / c[r, "empty"]
      again[r] = w[r, "large-again"] / w[r, "empty-again"]
      againdiff[r] = w[r, "large-again"] - w[r, "empty-again"]
      ratio[r] = w[r, "empty"] / cu[1]
      ratiolarge[r] = w[r, "large"] / cu[1]
      peak[r] = p[r, "empty"] / 1024
    }
    printf "curl, same URLs %6.2f s wall, %.2f s CPU\n", cu[1], cu[2] + cu[3]
    s = median(scale, rounds); a = median(again, rounds); q = median(ratio, rounds)
    pk = median(peak, rounds); bound = 100 + big / 1048576
    printf "median ratio large / empty        %5.2f (CPU %4.2f)  (target <= 1.10) %s\n", s, median(scalecpu, rounds), s <= 1.1 ? "met" : "MISSED"
    printf "median ratio again: large / empty %5.2f (%+.2f s)  (target <= 1.10) %s\n", a, median(againdiff, rounds), a <= 1.1 ? "met" : "MISSED"
    printf "median ratio run / curl           %5.2f            (target <= 1.00) %s\n", q, q <= 1.0 ? "met" : "MISSED"
    ql = median(ratiolarge, rounds)
    printf "median ratio large run / curl     %5.2f            (target <= 1.00) %s\n", ql, ql <= 1.0 ? "met" : "MISSED"
    printf "median peak memory                %5.1f MB (target < 100 MB + largest archive %.2f MB = %.1f MB) %s\n", pk, big / 1048576, bound, pk < bound ? "met" : "MISSED"
  }'
