#!/bin/sh
# Installs everything, builds the suite three times (plain with -Werror, with
# AddressSanitizer + UndefinedBehaviorSanitizer, and with ThreadSanitizer) and
# runs every native test in each, the Wine and package tests in the plain build,
# and every fuzz target for 30 s (under the sanitizers the small-terminal forms
# test misses its timing; it runs in the plain build).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
JOBS=$(nproc)

echo "== build (warnings are errors)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_WERROR=ON -DQOR_FUZZ_SECONDS=30 >/dev/null
cmake --build build -j"$JOBS"
echo "== tests"
(cd build && ctest --output-on-failure -j"$JOBS" --timeout 600 -LE fuzz)

echo "== fuzz targets, 30 s each"
# Built with clang beside the build above (fuzz/); every reader of outside
# data gets its seeds and 30 s of new inputs.
(cd build && ctest --output-on-failure -j"$JOBS" -L fuzz)

echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
# The Windows edition is cross-built and runs under Wine: the sanitizers do
# not apply to it, so this build leaves it out.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQOR_WERROR=ON -DQOR_SANITIZE=ON \
    -DQOR_WINDOWS=OFF -DQOR_BENCH=OFF -DQOR_FUZZ=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
echo "== tests under the sanitizers"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$JOBS" --timeout 600 -LE nosan)

echo "== ThreadSanitizer: the whole native suite"
# Every program and test program is built with ThreadSanitizer; the sandbox's
# preloaded library and port daemons are not (tests/support builds them
# without sanitizers, as for the build above). Every report goes to a file of
# build-tsan/tsan-reports, also those of the programs the end-to-end tests
# start, and any report fails the pass.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DQOR_WERROR=ON -DQOR_TSAN=ON \
    -DQOR_WINDOWS=OFF -DQOR_BENCH=OFF -DQOR_FUZZ=OFF >/dev/null
cmake --build build-tsan -j"$JOBS"
reports=$(pwd)/build-tsan/tsan-reports
rm -rf "$reports" && mkdir -p "$reports"
tsan="halt_on_error=1 log_path=$reports/tsan"
# Qt and the X libraries under it are not built with ThreadSanitizer: their own
# threads synchronise where it cannot see, so in the tests that run Qt what
# happens inside them is left out (our own code's accesses are all still checked).
qt_tests='^(MainWindow|HelpWindowTest|OptionsDialog|ModemSetting|AddressLists|MoreSettings|TestNoticeDialog|QorguiE2E|TerminationSignals|NetE2E[.]Desktop|Faults/DesktopEtcFault|Faults/CableFlapping.*qorgui)'
status=0
(cd build-tsan && TSAN_OPTIONS="$tsan" \
    ctest --output-on-failure -j"$JOBS" --timeout 900 -LE 'nosan|fuzz' -E "$qt_tests" \
    >ctest-tsan.log 2>&1) || status=$?
(cd build-tsan && TSAN_OPTIONS="$tsan ignore_noninstrumented_modules=1" \
    ctest --output-on-failure -j"$JOBS" --timeout 900 -LE 'nosan|fuzz' -R "$qt_tests" \
    >>ctest-tsan.log 2>&1) || status=$?
cat build-tsan/ctest-tsan.log
ran=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' build-tsan/ctest-tsan.log | awk '{n += $1} END {print n + 0}')
found=$(find "$reports" -type f | wc -l)
echo "ThreadSanitizer: $ran tests run, $found reports"
if [ "$found" -ne 0 ]; then
    cat "$reports"/*
    exit 1
fi
exit "$status"
