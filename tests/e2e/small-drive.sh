#!/usr/bin/env bash
# small-drive.sh mount|unmount DIR: a RAM-backed drive of 4 MiB at DIR for the disk-full
# scenario. Mounting needs the right to mount; without it DIR stays an ordinary folder and
# the scenario skips itself.
set -u
action=$1 dir=$2
case $action in
  mount)
    mkdir -p "$dir"
    if mountpoint -q "$dir"; then umount "$dir"; fi
    mount -t tmpfs -o size=4m,mode=0777 soranote-small-drive "$dir" 2>/dev/null ||
      echo "no small drive at $dir: this machine does not let the build mount one"
    ;;
  unmount)
    if mountpoint -q "$dir"; then umount "$dir"; fi
    rmdir "$dir" 2>/dev/null
    ;;
esac
exit 0
