#!/bin/sh
# etc_fault.sh ro|full COMMAND...
# Run as qor-sandbox's COMMAND: breaks the private /etc, then runs COMMAND.
#   ro    /etc is mounted read-only.
#   full  /etc's writes go to a small tmpfs that is filled to the last page;
#         the files seeded into DIR/etc-upper are copied onto it first, so
#         they are written where they lie, as on a full disk.
# Either way COMMAND reads the files the test seeded. Only the sandbox's own
# mount namespace sees the change, so when COMMAND has ended the sandbox's view
# of /etc/Qor.conf and /etc/Qor.event is copied to DIR/etc-after/ (with a
# listing of /etc in DIR/etc-after/list). SIGTERM and SIGHUP go on to
# COMMAND; the exit status is COMMAND's.
set -e
mode=$1
shift
case $mode in
ro)
    mount --bind /etc /etc
    mount -o remount,bind,ro /etc
    ;;
full)
    t=$QOR_SANDBOX_DIR/etc-full
    mkdir -p "$t"
    mount -t tmpfs -o size=256k qor-etc-full "$t"
    mkdir "$t/upper" "$t/work"
    cp -a "$QOR_SANDBOX_DIR/etc-upper/." "$t/upper/"
    mount -t overlay overlay -o "lowerdir=/etc,upperdir=$t/upper,workdir=$t/work" /etc
    dd if=/dev/zero of="$t/filler" bs=4096 2>/dev/null || true
    ;;
*)
    echo "etc_fault.sh: ro or full" >&2
    exit 2
    ;;
esac
# A list started with & reads /dev/null: the terminal goes through fd 3.
exec 3<&0
"$@" <&3 3<&- &
app=$!
set +e
. "$(dirname "$0")/../support/pass_signals.sh"
wait_passing_signals "$app" TERM HUP
st=$?
out=$QOR_SANDBOX_DIR/etc-after
mkdir -p "$out"
for f in Qor.conf Qor.event; do
    [ -e "/etc/$f" ] && cp "/etc/$f" "$out/$f"
done
ls -a /etc >"$out/list"
exit $st
