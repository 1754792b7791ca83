#!/usr/bin/env bash
# A collection run whose archives all break off at 90 % on their first try.
#   bench/resume_run.sh [pages] [archive bytes]
#   (default 2 pages = 40 novels, archives of 100 to 500 KB)
# The demo site serves 玄幻小说 (completed) with `pages` full listing pages and
# their archives (ETag, Last-Modified, Range), each of `archive bytes` if
# given (at most 256 MiB; `bench/resume_run.sh 1 20000000`: twenty of 20 MB).
# The first answer for each archive stops after 90 % of its body and the
# connection closes. Lirvo
# collects off-screen with response delay 0; the site counts the body bytes
# its download host sent. Then curl fetches every archive once from a site
# that cuts nothing, which gives their sizes.
# Targets: every archive collected whole, the download host sending at most
# 1.25 x their size. Prints the verdict.
# LIRVO_BENCH_PORT_BASE: the site's five ports (default 8661).
set -euo pipefail
cd "$(dirname "$0")/.."

pages=${1:-2}
content=(--big-pages "$pages")
if [ -n "${2:-}" ]; then content+=(--big-archive-bytes "$2"); fi
host_port=${LIRVO_BENCH_PORT_BASE:-8661}
build=${LIRVO_BENCH_BUILD:-build-bench-site}
work=${LIRVO_BENCH_DIR:-out/bench-resume-run}
. bench/network_lib.sh

build_programs
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")

start_site "$work/site-run.log" "$host_port" "${content[@]}" --cut-archives \
  --log "$work/site-urls.txt"
run_lirvo run "$work/run" "$pages" 0
stop_site
sent=$(site_stat "$work/site-run.log" download body-bytes)

check_archives "$work/run" "$work/site-urls.txt" "$host_port" "${content[@]}"

echo "resume run: $pages pages of 玄幻小说, every archive's first answer cut at 90 %"
awk -v expected="$((pages * 20))" -v archives="$archives_asked" -v whole="$archives_whole" \
  -v sent="$sent" -v size="$archives_bytes" -v status="$(cat "$work/run.status")" -v run="$(tail -1 "$work/run.time")" 'BEGIN {
  split(run, r, " ")
  printf "Lirvo run %.2f s wall (CPU %.2f s), %s\n", r[1], r[2] + r[3], status
  printf "archives asked %d, of %.1f MB; stored whole %d of %d  %s\n", archives, size / 1e6, whole, expected, whole == expected ? "met" : "MISSED"
  q = size ? sent / size : 0
  printf "download host sent %.1f MB = %.2f x their size (target <= 1.25)  %s\n", sent / 1e6, q, q <= 1.25 ? "met" : "MISSED"
  printf "verdict: %s\n", (whole == expected && q <= 1.25 && status == "finished") ? "met" : "MISSED"
}'
