#!/usr/bin/env bash
# Inside the private session bus: the accessibility bus, openbox, then the
# driver, which starts the demo site and the program itself.
set -euo pipefail
work=$LIRVO_WORK
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
bus_pid=$!
XDG_CONFIG_HOME="$work/config" openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
stop() {
  kill "$wm_pid" "$bus_pid" 2>/dev/null || true
  wait "$wm_pid" "$bus_pid" 2>/dev/null || true
}
trap stop EXIT

status=0
/usr/bin/python3 "$(dirname "$0")/desktop_check.py" || status=$?
exit "$status"
