#!/bin/sh
# The program file as a terminal sees it: --version prints the version and the
# licence, --help one line, and neither needs a display; an unknown argument
# gets one line of usage on stderr and 2; without a display, or with one that
# does not answer, it says why in one line and ends with 1 instead of aborting.
#   command_line_check.sh PROGRAM VERSION
program=$1
version=$2
failed=0
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

expect() {  # what, wanted exit code, wanted stdout lines, wanted stderr lines, command...
  what=$1 code=$2 lines_out=$3 lines_err=$4
  shift 4
  timeout 20 "$@" >"$out" 2>"$err"
  got=$?
  if [ "$got" -ne "$code" ] || [ "$(wc -l <"$out")" -ne "$lines_out" ] ||
     [ "$(wc -l <"$err")" -ne "$lines_err" ]; then
    echo "FAIL $what: exit $got, stdout:"; cat "$out"; echo "stderr:"; cat "$err"
    failed=1
  else
    echo "ok   $what"
  fi
}

headless="env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM"
expect "--version" 0 2 0 $headless "$program" --version
if [ "$(head -n 1 "$out")" != "Lirvo $version" ] ||
   ! sed -n 2p "$out" | grep -q '^License GPL-3.0-or-later: '; then
  echo "FAIL --version prints: $(cat "$out")"; failed=1
fi
expect "--help" 0 1 0 $headless "$program" --help
expect "an unknown option" 2 0 1 $headless "$program" --bogus
expect "no display" 1 0 1 $headless "$program"
expect "a display that does not answer" 1 0 1 $headless DISPLAY=:987 QT_QPA_PLATFORM=xcb "$program"
exit $failed
