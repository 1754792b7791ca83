# Shared by the network benchmarks (sourced, not run):
#   distant_run.sh, rate_limited_run.sh, resume_run.sh
# Before sourcing, set: build (the build folder), host_port (the first of the
# five ports the program is built to ask) and work (the output folder).
# LIRVO_BENCH_PREBUILT=1 takes the programs already in $build as they are.
# LIRVO_BENCH_TIMEOUT bounds each Lirvo run in seconds (default 600).

site_program="$build/tools/demo-site/lirvo-demo-site"
run_program="$build/tools/offscreen-run/lirvo-offscreen-run"
relay_program="$PWD/tools/latency-relay/latency_relay.py"
run_timeout=${LIRVO_BENCH_TIMEOUT:-600}
# %e wall seconds, %U user, %S system, %M peak resident KB
measure='%e %U %S %M'

# build_programs: the demo site and the off-screen run, Release, with the
# program's five hosts at host_port .. host_port + 4.
build_programs() {
  if [ "${LIRVO_BENCH_PREBUILT:-0}" = 1 ]; then return 0; fi
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLIRVO_BUILD_BENCH=ON \
    -DLIRVO_BUILD_TESTS=OFF -DLIRVO_MAIN_HOST="127.0.0.1:$host_port" \
    -DLIRVO_TEXT_HOST="127.0.0.1:$((host_port + 1))" \
    -DLIRVO_IMAGE_HOST="127.0.0.1:$((host_port + 2))" \
    -DLIRVO_DOWNLOAD_HOST="127.0.0.1:$((host_port + 3))" \
    -DLIRVO_UPDATE_HOST="127.0.0.1:$((host_port + 4))" > /dev/null
  cmake --build "$build" -j "$(nproc)" --target lirvo-demo-site lirvo-offscreen-run > /dev/null
}

site_pid=""
relay_pid=""
# stop_site: ends the site (which then writes its log and stats) and waits.
stop_site() {
  if [ -n "$site_pid" ]; then
    kill "$site_pid" 2>/dev/null || true
    wait "$site_pid" 2>/dev/null || true
    site_pid=""
  fi
}
stop_relay() {
  if [ -n "$relay_pid" ]; then
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
    relay_pid=""
  fi
}
trap 'stop_site; stop_relay' EXIT

# wait_lines FILE N PID WHAT: until FILE has N lines, while PID lives.
wait_lines() {
  for _ in $(seq 1 200); do
    if [ "$(wc -l < "$1")" -ge "$2" ]; then return 0; fi
    if ! kill -0 "$3" 2>/dev/null; then
      echo "$4 did not start:" >&2
      cat "$1" >&2
      exit 1
    fi
    sleep 0.05
  done
  echo "$4 did not report its ports" >&2
  exit 1
}

# start_site LOGFILE PORT_BASE [site options...]: returns once all five hosts
# listen. The site's stderr (its stats at exit) goes to LOGFILE too.
start_site() {
  local log=$1 base=$2
  shift 2
  : > "$log"
  "$site_program" --port-base "$base" "$@" > "$log" 2>&1 &
  site_pid=$!
  wait_lines "$log" 5 "$site_pid" "the demo site"
}

# start_relay LOGFILE LISTEN_BASE TARGET_BASE RTT_MS MBIT: five ports.
start_relay() {
  local log=$1 listen=$2 target=$3 rtt=$4 mbit=$5
  : > "$log"
  python3 "$relay_program" --stats --rtt-ms "$rtt" --rate-mbit "$mbit" \
    "$listen:$target" "$((listen + 1)):$((target + 1))" "$((listen + 2)):$((target + 2))" \
    "$((listen + 3)):$((target + 3))" "$((listen + 4)):$((target + 4))" > "$log" 2>&1 &
  relay_pid=$!
  wait_lines "$log" 5 "$relay_pid" "the relay"
}

# run_lirvo NAME FOLDER PAGES CATEGORY: one off-screen run with response
# delay 0, bounded by run_timeout; times go to $work/NAME.time, its output to
# $work/NAME.out. Returns 0 even when the run was cut off (NAME.status says).
run_lirvo() {
  local name=$1 folder=$2 pages=$3 category=$4 rc=0
  mkdir -p "$folder"
  cp "$run_program" "$folder/"
  (cd "$folder" && /usr/bin/time -f "$measure" -o "$work/$name.time" \
    timeout -k 5 "$run_timeout" ./lirvo-offscreen-run "$pages" "$category" 0 > "$work/$name.out" \
    2> >(grep -v "does not support" > "$work/$name.err")) || rc=$?
  if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
    echo "cut off after $run_timeout s" > "$work/$name.status"
    echo "$run_timeout 0 0 0" > "$work/$name.time"
  elif grep -q '^Summary' "$work/$name.out"; then
    echo "finished" > "$work/$name.status"
  else
    echo "ended without a summary (exit $rc)" > "$work/$name.status"
  fi
}

# check_archives RUN_FOLDER URLS PORT_BASE [site options...]: a site that
# neither limits nor cuts serves every archive URL of the URLS log once;
# sets archives_asked (distinct archives the run asked for), archives_bytes
# (their size) and archives_whole (archives the run stored that equal one of
# them; a failed download leaves an empty or short file).
check_archives() {
  local folder=$1 urls=$2 base=$3
  shift 3
  local fetched="$work/archives-served"
  rm -rf "$fetched"
  mkdir -p "$fetched"
  start_site "$work/site-archives.log" "$base" "$@"
  grep "^http://127.0.0.1:$((base + 3))/" "$urls" | sort -u |
    awk -v out="$fetched" '{ printf "url = \"%s\"\noutput = \"%s/%d\"\n", $0, out, NR }' \
      > "$work/archives.config"
  curl -s -K "$work/archives.config" || true
  stop_site
  archives_asked=$(find "$fetched" -type f | wc -l)
  archives_bytes=$(find "$fetched" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
  (cd "$fetched" && find . -type f -exec md5sum {} + | cut -d' ' -f1 | sort -u) > "$work/served.md5"
  archives_whole=$(find "$folder" -name '*.rar' -exec md5sum {} + | cut -d' ' -f1 |
    grep -c -x -F -f "$work/served.md5" || true)
}

# site_stat LOGFILE HOST FIELD: one figure of the site's exit line, e.g.
# site_stat site.log download body-bytes; "all" sums the five hosts.
site_stat() {
  awk -v host="$2" -v field="$3" '$1 == "stats" && (host == "all" || $2 == host) {
    for (i = 3; i < NF; i += 2) if ($i == field) s += $(i + 1)
  } END { print s + 0 }' "$1"
}
