#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds twice (plain, and with AddressSanitizer
# and UndefinedBehaviorSanitizer), and runs every test - the gtk ones on a private X display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/deps.sh
npm ci --no-audit --no-fund --loglevel=error

jobs=$(nproc)
configure() { # dir, extra args...
    local dir=$1; shift
    cmake -G Ninja -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

configure build
ninja -C build -j"$jobs"
configure build-asan -DSANITIZE=address,undefined
ninja -C build-asan -j"$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# One X server and session bus for every test that needs a desktop.
run_ctest() { # dir
    xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- \
        ctest --test-dir "$1" -j"$jobs" --timeout 300 --output-on-failure
}

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
run_ctest build-asan
echo "== tests"
run_ctest build
