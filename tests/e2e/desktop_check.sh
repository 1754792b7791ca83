#!/usr/bin/env bash
# Runs Lirvo as a person would, on a desktop of its own: Xvfb, the openbox
# window manager, real X input (xdotool) and the accessibility bus on a private
# session bus. desktop_check.py drives the windows against the demo site.
#   tests/e2e/desktop_check.sh [build folder, default build] [folder for screenshots]
# Needs the packages that scripts/deps installs, and lirvo and lirvo-demo-site
# built in the build folder. Ends within two minutes whatever happens.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
shots=${2:-}
if [ -n "$shots" ]; then mkdir -p "$shots" && shots=$(cd "$shots" && pwd); fi

for tool in Xvfb openbox xdotool xprop xwininfo import dbus-run-session /usr/libexec/at-spi-bus-launcher cpack dpkg-deb; do
  if ! command -v "$tool" >/dev/null; then
    echo "desktop check: $tool is missing; run scripts/deps" >&2
    exit 1
  fi
done
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  echo "desktop check: python3-pyatspi is missing; run scripts/deps" >&2
  exit 1
fi
for file in "$build/src/app/lirvo" "$build/tools/demo-site/lirvo-demo-site"; do
  if [ ! -x "$file" ]; then
    echo "desktop check: $file is not built" >&2
    exit 1
  fi
done

work=$(mktemp -d /tmp/lirvo-desktop.XXXXXX)
xvfb_pid=""
finish() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  if [ "${LIRVO_KEEP_WORK:-}" = "" ]; then
    chmod -R u+w "$work" 2>/dev/null || true  # the unpacked package is read-only
    rm -rf "$work"
  else
    echo "desktop check: work left in $work"
  fi
}
trap finish EXIT

# The Debian package of this build, for the run of the installed program.
package=""
if (cd "$work" && timeout 120 cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package") \
    >"$work/cpack.log" 2>&1; then
  package=$(find "$work/package" -maxdepth 1 -name 'lirvo_*.deb' | head -n 1)
fi

# A display of its own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  if [ -s "$work/display" ]; then break; fi
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "desktop check: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(cat "$work/display")"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE

status=0
LIRVO_BUILD="$build" LIRVO_WORK="$work" LIRVO_SHOTS="$shots" LIRVO_PACKAGE="$package" \
  timeout -k 10 120 dbus-run-session -- bash "$here/desktop_session.sh" || status=$?
if [ "$status" -ne 0 ]; then
  echo "desktop check: FAILED (status $status); logs:" >&2
  for log in "$work"/*.log; do
    echo "--- $(basename "$log")" >&2
    tail -n 30 "$log" >&2 || true
  done
fi
exit "$status"
