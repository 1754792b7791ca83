#!/bin/sh
# "cmake --install" into a scratch folder, then the installed files as menus,
# software centres and man read them. Exit 77 (skipped) when a validator is
# missing; scripts/deps installs them.
#   install_check.sh BUILD_FOLDER
build=$1
for tool in desktop-file-validate appstreamcli man; do
  if ! command -v "$tool" >/dev/null; then
    echo "install check: $tool is missing; run scripts/deps"
    exit 77
  fi
done
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=1; }

DESTDIR=$tree cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install"
[ -x "$tree/usr/bin/lirvo" ] || fail "the program is not in usr/bin"
# The marker would make every installation keep its library in /usr/bin.
if find "$tree" -name lirvo.portable | grep -q .; then fail "the portable marker is installed"; fi
desktop-file-validate "$tree/usr/share/applications/lirvo.desktop" || fail "desktop-file-validate"
if grep -q '^Path=' "$tree/usr/share/applications/lirvo.desktop"; then fail "the menu entry sets Path="; fi
appstreamcli validate-tree --no-net "$tree" >"$tree/appstream.log" 2>&1 ||
  { cat "$tree/appstream.log"; fail "appstreamcli validate-tree"; }
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -l "$tree/usr/share/man/man1/lirvo.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page: $warnings"
[ "$failed" -eq 0 ] && echo "install check: ok"
exit "$failed"
