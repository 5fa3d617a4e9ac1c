#!/bin/sh
# Installs everything, builds the suite twice (plain with -Werror, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test in both
# (under the sanitizers the small-terminal forms test misses its timing; it runs in the plain build).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
JOBS=$(nproc)

echo "== build (warnings are errors)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_WERROR=ON >/dev/null
cmake --build build -j"$JOBS"
echo "== tests"
(cd build && ctest --output-on-failure -j"$JOBS" --timeout 600)

echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
# The Windows edition is cross-built and runs under Wine: the sanitizers do
# not apply to it, so this build leaves it out.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQOR_WERROR=ON -DQOR_SANITIZE=ON \
    -DQOR_WINDOWS=OFF -DQOR_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
echo "== tests under the sanitizers"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$JOBS" --timeout 600 -LE nosan)

echo "== notification queue and worker under ThreadSanitizer"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DQOR_WERROR=ON -DQOR_TSAN=ON -DQOR_GUI=OFF \
    -DQOR_WINDOWS=OFF -DQOR_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$JOBS" --target notify_dispatch_test
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -L tsan)
