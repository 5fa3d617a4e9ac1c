#!/bin/bash
# Idle CPU and peak RSS of qorconsole over 60 s on a simulated UPS with the
# mains present, inside the sandbox. Prints the figures.
set -euo pipefail
BUILD=$(realpath "${1:-build}")
SECS=${SECS:-60}
D=$(mktemp -d /tmp/qor-idle.XXXXXX)
tmux -L qor-idle kill-server 2>/dev/null || true
tmux -L qor-idle new-session -d -x 80 -y 25 \
    "$BUILD/tests/support/qor-sandbox -d $D --port ttyS0 -- env -u DISPLAY $BUILD/console/qorconsole"
until [ -d "$D/serial/ttyS0" ]; do sleep 0.2; done
echo "DCD=1 CTS=1" >"$D/serial/ttyS0/lines"
sleep 3
pid=$(pgrep -n -x qorconsole)
tck=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
c0=$(cpu); t0=$(date +%s.%N)
sleep "$SECS"
c1=$(cpu); t1=$(date +%s.%N)
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
tmux -L qor-idle send-keys C-x
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v tck="$tck" -v hwm="$hwm" 'BEGIN {
    cpu = (c1 - c0) / tck; wall = t1 - t0;
    printf "qorconsole idle: cpu %.2f s in %.1f s wall (%.3f %%), peak RSS %d kB\n", cpu, wall, 100 * cpu / wall, hwm }'
sleep 1
tmux -L qor-idle kill-server 2>/dev/null || true
rm -rf "$D"
