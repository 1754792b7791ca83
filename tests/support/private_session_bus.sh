#!/bin/sh
# Runs a test program on a session bus of its own, with GNOME's proxy set by
# hand in a dconf database of its own and no proxy variable:
#   private_session_bus.sh PROXY_HOST PROXY_PORT EXEMPT_HOST PROGRAM [ARGS...]
# The program finds LIRVO_PRIVATE_BUS=1 and the three values in its
# environment. Skips (exit 0, with the reason) without dbus-run-session or
# gsettings.
host=$1 port=$2 exempt=$3
shift 3
for tool in dbus-run-session gsettings; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is missing"
    exit 0
  fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/run"
# The bus starts dconf with the environment it was given, so that is set first.
export XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run" GSETTINGS_BACKEND=dconf
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
# libproxy reads GNOME's settings inside a GNOME session only.
export DESKTOP_SESSION=gnome
export LIRVO_PRIVATE_BUS=1 LIRVO_GNOME_PROXY_HOST="$host" LIRVO_GNOME_PROXY_PORT="$port" \
  LIRVO_GNOME_EXEMPT_HOST="$exempt"
exec timeout 120 dbus-run-session -- sh -c '
  gsettings set org.gnome.system.proxy mode manual &&
  gsettings set org.gnome.system.proxy.http host "$LIRVO_GNOME_PROXY_HOST" &&
  gsettings set org.gnome.system.proxy.http port "$LIRVO_GNOME_PROXY_PORT" &&
  gsettings set org.gnome.system.proxy ignore-hosts "[\"$LIRVO_GNOME_EXEMPT_HOST\"]" &&
  exec "$@"' sh "$@"
