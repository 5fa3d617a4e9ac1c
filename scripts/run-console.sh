#!/bin/sh
# Builds the suite and starts the console monitor on this machine's serial ports.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh
exec ./build/console/qorconsole
