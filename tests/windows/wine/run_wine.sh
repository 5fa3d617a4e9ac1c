#!/bin/sh
# Runs inside qor-sandbox. Sets up the shared Wine prefix of the Wine tests, or
# runs one group of them in it with Xvfb.
#
#   run_wine.sh setup PREFIX HIDE_LIB WINEBOOT_STANDIN
#   run_wine.sh run PREFIX HIDE_LIB ARTIFACTS [COMn=ttySm ...] -- PROGRAM ARGS...
#
# HIDE_LIB keeps Wine from linking COM ports to /dev/ttyS* on its own; the only
# COM ports are the simulated ones given as COMn=ttySm.
# WINEBOOT_STANDIN takes the place of the prefix's wineboot.exe, which Wine's
# ExitWindowsEx runs to end the session: the stand-in only records such a call
# (see wineboot_standin.c and harness.h). A prefix without it is refused.
set -eu
mode=$1 prefix=$2 hide=$3
shift 3
W=/usr/lib/wine/wine64
WS=/usr/lib/wine/wineserver
here=$(dirname "$0")
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=;wineboot.exe=n"
export LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$hide"

[ -n "${QOR_SANDBOX_DIR:-}" ] || { echo "run_wine.sh: not inside qor-sandbox" >&2; exit 2; }

# Every COM link must lead to a simulated port's pty: never to a real device.
check_links() {
    for l in "$WINEPREFIX"/dosdevices/com* "$WINEPREFIX"/dosdevices/COM*; do
        [ -L "$l" ] || continue
        t=$(readlink "$l")
        ok=no
        for allowed in $allowed_ptys; do [ "$t" = "$allowed" ] && ok=yes; done
        if [ $ok = no ]; then
            echo "run_wine.sh: $l -> $t is not a simulated port" >&2
            return 1
        fi
    done
}

# ExitWindowsEx must find the recording stand-in, never Wine's own wineboot.
sys32() { echo "$WINEPREFIX/drive_c/windows/system32"; }
check_standin() {
    if ! grep -q QOR_WINEBOOT_STANDIN "$(sys32)/wineboot.exe" 2>/dev/null ||
        ! grep -qi '^"wineboot.exe"="native"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        echo "run_wine.sh: the prefix lacks the wineboot stand-in: ExitWindowsEx would end the session" >&2
        return 1
    fi
}

stop_wine() {
    # Our own prefix's server only; it ends when its last process has gone.
    timeout 20 "$WS" -w 2>/dev/null || "$WS" -k 2>/dev/null || true
}

case $mode in
setup)
    standin=$1
    rm -rf "$WINEPREFIX"
    # Made with Wine's own wineboot; the stand-in comes in at the end.
    own=${WINEDLLOVERRIDES%;wineboot.exe=n}
    WINEDLLOVERRIDES=$own "$W" wineboot -i >/dev/null 2>&1
    # Without a window manager under Xvfb, Wine draws the window frames itself.
    WINEDLLOVERRIDES=$own "$W" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    WINEDLLOVERRIDES=$own "$W" reg add 'HKCU\Software\Wine\DllOverrides' /v wineboot.exe /t REG_SZ /d native /f \
        >/dev/null 2>&1
    stop_wine
    mv "$(sys32)/wineboot.exe" "$(sys32)/wineboot-wine.exe"
    cp "$standin" "$(sys32)/wineboot.exe"
    check_standin
    # A session starts through the stand-in (wineboot --init is passed on).
    "$W" reg query 'HKCU\Software\Wine\DllOverrides' /v wineboot.exe >/dev/null
    stop_wine
    python3 "$here/wine_ports.py" "$WINEPREFIX"
    allowed_ptys=""
    check_links
    ;;
run)
    artifacts=$1
    shift
    mkdir -p "$artifacts"
    maps="" allowed_ptys=""
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        com=${1%%=*} port=${1#*=}
        pty=$(cat "$SIMSERIAL_DIR/$port/pty")
        maps="$maps $com=$pty"
        allowed_ptys="$allowed_ptys $pty"
        shift
    done
    [ "${1:-}" = "--" ] && shift
    check_standin || exit 1
    # shellcheck disable=SC2086
    python3 "$here/wine_ports.py" "$WINEPREFIX" $maps
    status=0
    xvfb-run -a -s "-screen 0 1024x768x24" "$W" "$@" || status=$?
    stop_wine
    check_links || status=1
    python3 "$here/wine_ports.py" "$WINEPREFIX"
    for b in "$artifacts"/*.bmp; do
        [ -f "$b" ] || continue
        convert "$b" "${b%.bmp}.png" && rm -f "$b"
    done
    exit $status
    ;;
*)
    echo "usage: run_wine.sh setup|run ..." >&2
    exit 2
    ;;
esac
