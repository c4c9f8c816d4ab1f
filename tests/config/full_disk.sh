#!/bin/bash
# Runs one test function as the unprivileged user "nobody" on a file system
# that is full: a small tmpfs of its own, in a mount namespace of its own,
# holding a settings file that nobody can write in a folder nobody can't, so
# that a save has to rewrite the file in place and runs out of room doing so.
# Usage: full_disk.sh TEST_BINARY FUNCTION
set -u
test_binary=$1
function=$2
if [[ $(id -u) -ne 0 ]] || ! unshare -m true 2>/dev/null || ! command -v runuser >/dev/null; then
  echo "SKIP: needs root, namespaces (unshare) and runuser for a full file system of its own"
  exit 77
fi
if ! runuser -u nobody -- test -x "$test_binary"; then
  echo "SKIP: nobody cannot run $test_binary"
  exit 77
fi
exec unshare -m --propagation private bash -c '
  set -eu
  disk=$(mktemp -d)
  mount -t tmpfs -o size=32k,mode=755 tmpfs "$disk"
  mkdir "$disk/app"
  printf "\"/old\",\"6000\",\"127.0.0.1\",\"6001\",0,0\r\n" > "$disk/app/Korima.ini"
  chown nobody "$disk/app/Korima.ini"
  dd if=/dev/zero of="$disk/filler" bs=1024 2>/dev/null || true  # until the disk is full
  rc=0
  runuser -u nobody -- env KORIMA_FULL_DISK="$disk/app/Korima.ini" QT_QPA_PLATFORM=offscreen HOME=/nonexistent \
    "$1" "$2" || rc=$?
  umount "$disk"
  exit $rc
' bash "$test_binary" "$function"
