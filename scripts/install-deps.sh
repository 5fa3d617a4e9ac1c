#!/bin/sh
# Installs every package the build, the tests and the sandbox need on a fresh
# Debian 12 machine. Safe to run again: apt-get skips what is already there.
set -eu
PKGS="build-essential cmake pkg-config
 qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
 libncurses-dev libssl-dev openssl libcrypt-dev
 libgtest-dev libgmock-dev googletest libbenchmark-dev
 tmux util-linux iproute2 procps
 python3 python3-aiosmtpd ppp
 xvfb xauth imagemagick x11-utils xdotool
 wine64 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 fp-utils
 clang libclang-rt-14-dev
 dpkg-dev lintian systemd man-db nsis
 nut-server nut-client"
missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # NUT is only a peer for the tests, run inside the sandbox: its packages
    # must not start their services on this machine.
    guard=""
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
        chmod 755 /usr/sbin/policy-rc.d
        guard=1
    fi
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing || st=$?
    [ -n "$guard" ] && rm -f /usr/sbin/policy-rc.d
    exit "${st:-0}"
fi
