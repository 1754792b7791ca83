#!/usr/bin/env bash
# Runs the tests that need an exFAT library (a portable copy on a USB stick)
# on a FUSE loop mount of a fresh image, then removes it. Needs root, /dev/fuse
# and the packages exfat-fuse and exfatprogs; without them it says why and is
# counted as skipped (exit 77).
set -euo pipefail
build=${1:?build folder}
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root for the loop device"
[ -c /dev/fuse ] || skip "no /dev/fuse"
command -v mount.exfat-fuse >/dev/null || skip "no mount.exfat-fuse (package exfat-fuse)"
command -v mkfs.exfat >/dev/null || skip "no mkfs.exfat (package exfatprogs)"

work=$(mktemp -d)
loop=""
cleanup() {
  mountpoint -q "$work/mnt" && umount "$work/mnt"
  [ -n "$loop" ] && losetup -d "$loop"
  rm -rf "$work"
}
trap cleanup EXIT
truncate -s 256M "$work/stick.img"
mkfs.exfat -q "$work/stick.img" >/dev/null 2>&1 || mkfs.exfat "$work/stick.img" >/dev/null
# As root the FUSE driver wants a block device, so the image gets a loop device.
loop=$(losetup -f --show "$work/stick.img") || skip "no free loop device"
mkdir "$work/mnt"
mount.exfat-fuse "$loop" "$work/mnt" >/dev/null 2>&1 || skip "the exFAT image cannot be mounted"

export LIRVO_EXFAT_FOLDER="$work/mnt"
"$build/tests/services/profile_test" --gtest_filter='*Exfat*'
"$build/tests/collect/run_test" --gtest_filter='*Exfat*'
