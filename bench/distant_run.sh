#!/usr/bin/env bash
# A collection run against a site far away, and curl on the same link.
#   bench/distant_run.sh [pages] [round trip ms] [link Mbit/s]
#   (default 10 pages = 200 novels, 50 ms, 100 Mbit/s)
# The demo site serves 玄幻小说 (completed) with `pages` full listing pages and
# archives of 100 to 500 KB; tools/latency-relay stands in front of its five
# ports with the round trip and one link shared by every connection. Lirvo is
# built to ask the relay. It collects off-screen with response delay 0; then
# curl fetches the very URLs of that run through the relay, once one after
# the other (one process, connections reused) and once with
# `--parallel --parallel-max 4`.
# Target: the run within 1.1 x curl with four at once. Prints the verdict.
# LIRVO_BENCH_PORT_BASE: the relay's five ports (default 8641); the site takes
# the five from base + 10. LIRVO_BENCH_DIR: the output folder.
set -euo pipefail
cd "$(dirname "$0")/.."

pages=${1:-10}
rtt=${2:-50}
mbit=${3:-100}
host_port=${LIRVO_BENCH_PORT_BASE:-8641}
site_port=$((host_port + 10))
build=${LIRVO_BENCH_BUILD:-build-bench-distant}
work=${LIRVO_BENCH_DIR:-out/bench-distant-run}
. bench/network_lib.sh

build_programs
rm -rf "$work"
mkdir -p "$work/curl-one" "$work/curl-four"
work=$(realpath "$work")

# --- Lirvo ----------------------------------------------------------------
start_site "$work/site-run.log" "$site_port" --big-pages "$pages" --log "$work/site-urls.txt"
start_relay "$work/relay-run.log" "$host_port" "$site_port" "$rtt" "$mbit"
run_lirvo run "$work/run" "$pages" 0
stop_relay
stop_site
check_archives "$work/run" "$work/site-urls.txt" "$site_port" --big-pages "$pages"
novels=$archives_whole

# The site logs its own ports; curl goes through the relay as the run did.
rewrite=()
for k in 0 1 2 3 4; do
  rewrite+=(-e "s#^http://127.0.0.1:$((site_port + k))/#http://127.0.0.1:$((host_port + k))/#")
done
sed "${rewrite[@]}" "$work/site-urls.txt" > "$work/urls.txt"
curl_config() {
  local n=0 url
  while read -r url; do
    n=$((n + 1))
    printf 'url = "%s"\noutput = "%s/%d"\n' "$url" "$1" "$n"
  done < "$work/urls.txt"
}
curl_config "$work/curl-one" > "$work/curl-one.config"
curl_config "$work/curl-four" > "$work/curl-four.config"

# --- curl, one at a time and four at once --------------------------------
start_site "$work/site-curl.log" "$site_port" --big-pages "$pages"
start_relay "$work/relay-one.log" "$host_port" "$site_port" "$rtt" "$mbit"
/usr/bin/time -f "$measure" -o "$work/curl-one.time" \
  timeout "$run_timeout" curl -s -K "$work/curl-one.config" || true
stop_relay
start_relay "$work/relay-four.log" "$host_port" "$site_port" "$rtt" "$mbit"
/usr/bin/time -f "$measure" -o "$work/curl-four.time" \
  timeout "$run_timeout" curl -s --no-progress-meter --parallel --parallel-max 4 -K "$work/curl-four.config" || true
stop_relay
stop_site

urls=$(wc -l < "$work/urls.txt")
bytes=$(find "$work/curl-one" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
awk -v pages="$pages" -v rtt="$rtt" -v mbit="$mbit" -v urls="$urls" -v bytes="$bytes" \
  -v novels="$novels" -v expected="$((pages * 20))" -v status="$(cat "$work/run.status")" \
  -v run="$(tail -1 "$work/run.time")" -v one="$(tail -1 "$work/curl-one.time")" \
  -v four="$(tail -1 "$work/curl-four.time")" 'BEGIN {
  split(run, r, " "); split(one, o, " "); split(four, f, " ")
  printf "distant run: %d pages, %d ms round trip, %d Mbit/s link\n", pages, rtt, mbit
  printf "requests %d, %.1f MB; the link alone needs %.1f s for them\n", urls, bytes / 1e6, bytes * 8 / (mbit * 1e6)
  printf "Lirvo run           %7.2f s wall (CPU %.2f s, peak %.1f MB), %d of %d novels whole, %s\n", r[1], r[2] + r[3], r[4] / 1024, novels, expected, status
  printf "curl one at a time  %7.2f s wall\n", o[1]
  printf "curl four at once   %7.2f s wall\n", f[1]
  q = r[1] / f[1]
  printf "ratio run / curl one at a time  %5.2f\n", r[1] / o[1]
  printf "ratio run / curl four at once   %5.2f  (target <= 1.10) %s\n", q, q <= 1.1 ? "met" : "MISSED"
  printf "verdict: %s\n", (q <= 1.1 && status == "finished" && novels == expected) ? "met" : "MISSED"
}'
