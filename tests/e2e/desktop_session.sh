#!/usr/bin/env bash
# Inside the private session bus: the accessibility bus, openbox, then the
# driver, which starts the demo site and the program itself.
set -euo pipefail
work=$LIRVO_WORK
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
bus_pid=$!
wm_pid=""
stop() {
  kill $wm_pid "$bus_pid" 2>/dev/null || true
  wait $wm_pid "$bus_pid" 2>/dev/null || true
}
trap stop EXIT

# openbox announces itself on the root window once it manages the screen.
wm_running() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}
for _ in 1 2 3; do
  XDG_CONFIG_HOME="$work/config" openbox --sm-disable >>"$work/openbox.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 1 50); do
    if wm_running || ! kill -0 "$wm_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if wm_running; then break; fi
  kill "$wm_pid" 2>/dev/null || true
  wait "$wm_pid" 2>/dev/null || true
  wm_pid=""
done
if [ -z "$wm_pid" ]; then
  echo "desktop check: openbox did not start" >&2
  exit 1
fi

status=0
/usr/bin/python3 "$(dirname "$0")/desktop_check.py" || status=$?
exit "$status"
