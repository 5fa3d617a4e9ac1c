#!/bin/bash
# qorconsole on a simulated UPS inside the sandbox: the mains fail, return,
# fail again and run down to a recorded halt. Watch it in the tmux session
# "qor-demo" (tmux attach -t qor-demo); nothing reaches the real machine.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${QOR_BUILD_DIR:-build}
[ -x "$BUILD/console/qorconsole" ] || ./scripts/build.sh
BUILD=$(realpath "$BUILD")
D=$(mktemp -d /tmp/qor-demo.XXXXXX)
mkdir -p "$D/etc-upper"
set_lines() { echo "$1" >"$D/serial/ttyS0/lines.tmp" && mv "$D/serial/ttyS0/lines.tmp" "$D/serial/ttyS0/lines"; }

tmux kill-session -t qor-demo 2>/dev/null || true
tmux new-session -d -s qor-demo -x 80 -y 25 \
    "$BUILD/tests/support/qor-sandbox -d $D --port ttyS0 -- env -u DISPLAY $BUILD/console/qorconsole"
until [ -d "$D/serial/ttyS0" ]; do sleep 0.2; done
set_lines "DCD=1 CTS=1"
echo "sandbox: $D   (tmux attach -t qor-demo to watch; the script drives it)"
show() { sleep "$1"; echo "---- $2"; tmux capture-pane -p -t qor-demo | sed -n 8,19p; }
show 4 "UPS detected, mains present"
set_lines "DCD=1 CTS=0"; show 3 "mains failed: AC Fail, count-down from 600"
set_lines "DCD=1 CTS=1"; show 3 "mains back: AC Recoveried"
set_lines "DCD=0 CTS=1"; show 3 "battery low: count-down from 60"
echo "---- waiting for the count-down to reach 0 (about a minute)"
until [ -s "$D/halt.log" ]; do sleep 1; done
show 1 "halt recorded"
echo "halt.log:    $(cat "$D/halt.log")"
echo "last lines:  $(grep -B1 -m1 'DTR=1' "$D/serial/ttyS0/control.log" | tail -1) (DTR raised before the halt)"
echo "events:      $(od -An -tu4 -w8 "$D/etc-upper/Qor.event" | awk '{print $2}' | tr '\n' ' ')(0 AC Fail, 1 Battery Low, 2 AC Recoveried)"
tmux send-keys -t qor-demo C-x
