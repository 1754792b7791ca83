#!/usr/bin/env bash
# Whole collection runs against the demo site, and the network baseline.
#   bench/whole_run.sh [pages] [titles]   (default 50 pages = 1000 novels, 100000 titles)
# The demo site serves 玄幻小说 (completed) with `pages` full listing pages and
# archives of 100 to 500 KB. Lirvo collects them off-screen with response
# delay 0, four times side by side:
#   empty   a library without a novel index
#   large   a library whose index already holds `titles` titles of other novels
#   again   each of the two run once more over the same pages (every novel
#           already there, so the record writes change nothing)
# Then one curl process fetches the very URLs of the first run, one after the
# other, into files. Prints the times, the ratio large / empty (the cost of a
# large library), the ratio of the second runs, the ratio run / curl, CPU time
# and peak memory against the largest archive.
# LIRVO_BENCH_PREBUILT=1 takes the programs already in LIRVO_BENCH_BUILD as
# they are (to measure an earlier build with this script).
# LIRVO_BENCH_PORT_BASE moves the site's five ports (8631 to 8635 by default),
# for a machine where they are taken; the build then uses them too.
set -euo pipefail
cd "$(dirname "$0")/.."

pages=${1:-50}
titles=${2:-100000}
build=${LIRVO_BENCH_BUILD:-build-bench}
# The folder the runs and curl write into; a tmpfs folder takes the disk out.
work=${LIRVO_BENCH_DIR:-out/bench-whole-run}
port=${LIRVO_BENCH_PORT_BASE:-8631}
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
mkdir -p "$work/empty" "$work/large" "$work/curl"
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
    ./lirvo-offscreen-run "$pages" 0 0 > "$work/$name.out" \
    2> >(grep -v "does not support" > "$work/$name.err"))
  stop_site
  grep -q '^Summary' "$work/$name.out" || {
    echo "whole_run: the run $name did not finish" >&2
    exit 1
  }
}

# --- Lirvo, four runs ------------------------------------------------------
seed_index "$work/large"
index_mb=$(du -m --apparent-size "$work/large/小说/ini/小说.ini" | cut -f1)
run_lirvo empty "$work/empty" --log "$work/requests.txt"
run_lirvo large "$work/large"
run_lirvo empty-again "$work/empty"
run_lirvo large-again "$work/large"
large_index_keys=$(($(wc -l < "$work/large/小说/ini/小说.ini") - 1))

# --- curl, the same URLs one after the other ----------------------------
start_site "$work/site-curl.log"
n=0
while read -r url; do
  n=$((n + 1))
  printf 'url = "%s"\noutput = "%s/curl/%d"\n' "$url" "$work" "$n"
done < "$work/requests.txt" > "$work/curl.config"
/usr/bin/time -f "$measure" -o "$work/curl.time" curl -s -K "$work/curl.config"
stop_site

largest=$(find "$work/empty" -name '*.rar' -printf '%s\n' | sort -n | tail -1)
novels=$(find "$work/empty" -name '*.rar' | wc -l)
bytes=$(find "$work/empty" -type f -printf '%s\n' | awk '{s += $1} END {print s}')

cat "$work"/{empty,large,empty-again,large-again,curl}.time |
  awk -v pages="$pages" -v novels="$novels" -v urls="$n" -v bytes="$bytes" \
    -v titles="$titles" -v mb="$index_mb" -v keys="$large_index_keys" -v big="${largest:-0}" '
  { w[NR] = $1; u[NR] = $2; s[NR] = $3; p[NR] = $4 }
  END {
    split("empty large empty-again large-again curl", name, " ")
    printf "pages %d, novels collected %d, requests %d, library %.1f MB\n", pages, novels, urls, bytes / 1048576
    printf "large library: index of %d titles (%d MB) before, %d keys after\n", titles, mb, keys
    for (i = 1; i <= 5; i++)
      printf "%-12s %7.2f s wall, %.2f s CPU (%.2f user + %.2f system), peak %.1f MB\n",
        name[i], w[i], u[i] + s[i], u[i], s[i], p[i] / 1024
    scale = w[2] / w[1]; again = w[4] / w[3]; ratio = w[1] / w[5]
    peak = p[1] / 1024; bound = 100 + big / 1048576
    printf "ratio large / empty        %5.2f   (target <= 1.10) %s\n", scale, scale <= 1.1 ? "met" : "MISSED"
    printf "ratio again: large / empty %5.2f   (target <= 1.10) %s\n", again, again <= 1.1 ? "met" : "MISSED"
    printf "ratio run / curl           %5.2f   (target <= 1.20) %s\n", ratio, ratio <= 1.2 ? "met" : "MISSED"
    printf "peak memory                %5.1f MB (target < 100 MB + largest archive %.2f MB = %.1f MB) %s\n", peak, big / 1048576, bound, peak < bound ? "met" : "MISSED"
  }'
