#!/bin/sh
# on_xvfb.sh OUTDIR COMMAND...
# Starts a private Xvfb on a free display, writes its number to OUTDIR/display,
# runs COMMAND there and writes COMMAND's pid to OUTDIR/app.pid. SIGTERM, SIGHUP
# and SIGINT are passed on to COMMAND; the exit status is COMMAND's.
out=$1
shift
rm -f "$out/display" "$out/display.tmp" "$out/app.pid"
# Xvfb needs no simulated ports: keep the preload (and a sanitizer runtime it
# may pull in) out of it.
env -u LD_PRELOAD Xvfb -displayfd 3 -ac -nolisten tcp -screen 0 640x480x24 3>"$out/display.tmp" 2>"$out/xvfb.log" &
xvfb=$!
i=0
while [ ! -s "$out/display.tmp" ] && [ $i -lt 200 ]; do
    sleep 0.05
    i=$((i + 1))
done
if [ ! -s "$out/display.tmp" ]; then
    kill "$xvfb" 2>/dev/null
    echo "Xvfb did not start" >&2
    exit 124
fi
n=$(tr -dc 0-9 <"$out/display.tmp")
mv "$out/display.tmp" "$out/display"
DISPLAY=:$n "$@" &
app=$!
echo "$app" >"$out/app.pid"
. "$(dirname "$0")/../support/pass_signals.sh"
wait_passing_signals "$app" TERM HUP INT
st=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $st
