#!/usr/bin/env bash
# A collection run against a site that limits how fast each host may be asked.
#   bench/rate_limited_run.sh [pages] [requests a second] [429|503] [seconds|date]
#   (default 5 pages = 100 novels, 4 a second, 429, Retry-After in seconds)
# The demo site gives every category `pages` full listing pages; each of its
# hosts is a token bucket of that rate (as many at once as a second's worth)
# and answers what is over with the status and "Retry-After: 1" (or the HTTP
# date a second on). Lirvo collects 玄幻小说 (completed) off-screen with
# response delay 0. The site counts per host what it was asked, what it
# refused and what came while a Retry-After it gave had not run out.
# Targets: every novel collected, at most one request in ten refused, none
# inside a Retry-After window. Prints the verdict.
# LIRVO_BENCH_PORT_BASE: the site's five ports (default 8661).
set -euo pipefail
cd "$(dirname "$0")/.."

pages=${1:-5}
rate=${2:-4}
status=${3:-429}
form=${4:-seconds}
host_port=${LIRVO_BENCH_PORT_BASE:-8661}
build=${LIRVO_BENCH_BUILD:-build-bench-site}
work=${LIRVO_BENCH_DIR:-out/bench-rate-limited-run}
. bench/network_lib.sh

build_programs
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")

limit=(--rate "$rate" --burst "$(printf '%.0f' "$rate")" --refuse-status "$status" --retry-after 1)
if [ "$form" = date ]; then limit+=(--retry-after-date); fi
start_site "$work/site.log" "$host_port" --pages "$pages" "${limit[@]}" --log "$work/site-urls.txt"
run_lirvo run "$work/run" "$pages" 0
stop_site
check_archives "$work/run" "$work/site-urls.txt" "$host_port" --pages "$pages"

expected=$((pages * 20))
novels=$archives_whole
echo "rate-limited run: $pages pages of 玄幻小说, each host $rate requests a second, $status, Retry-After as $form"
grep '^stats' "$work/site.log" | sed 's/^stats /  /'
awk -v novels="$novels" -v expected="$expected" -v status="$(cat "$work/run.status")" \
  -v run="$(tail -1 "$work/run.time")" -v requests="$(site_stat "$work/site.log" all requests)" \
  -v refused="$(site_stat "$work/site.log" all refused)" \
  -v early="$(site_stat "$work/site.log" all inside-retry-after)" 'BEGIN {
  split(run, r, " ")
  printf "Lirvo run %.2f s wall (CPU %.2f s), %s\n", r[1], r[2] + r[3], status
  printf "novels collected (archive whole) %d of %d  %s\n", novels, expected, novels == expected ? "met" : "MISSED"
  share = requests ? refused / requests : 0
  printf "requests %d, refused %d (%.1f %%, target <= 10 %%)  %s\n", requests, refused, 100 * share, share <= 0.1 ? "met" : "MISSED"
  printf "inside a Retry-After window %d (target 0)     %s\n", early, early == 0 ? "met" : "MISSED"
  printf "verdict: %s\n", (novels == expected && share <= 0.1 && early == 0 && status == "finished") ? "met" : "MISSED"
}'
