#!/usr/bin/env bash
# The main job: builds the programs, starts the bundled push and web simulator on this machine
# and the Tacklet program configured for it. With no display it runs on a private X display and
# saves screenshots in the folder it names.
#
#   scripts/run.sh [--seconds N]     N: stop after N seconds (default: run until Ctrl-C)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=0
if [ "${1:-}" = "--seconds" ]; then seconds=${2:?}; fi

scripts/deps.sh
cmake -G Ninja -S "$root" -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build tacklet pushsim

run_dir=$root/build/run
shots=$run_dir/screenshots
mkdir -p "$run_dir/program" "$shots"
cp build/tacklet/tacklet "$run_dir/program/tacklet"
export XDG_DATA_HOME=$run_dir/data XDG_RUNTIME_DIR=$run_dir/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:$((90 + RANDOM % 100))
    Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    headless=1
    echo "No display: running on Xvfb $DISPLAY; screenshots go to $shots"
fi

build/tools/pushsim/pushsim --push-port 3000 --web-port 8090 --note-every 5 \
    --packets tools/pushsim/demo/welcome.txt &
pids+=($!)

"$run_dir/program/tacklet" &
tacklet=$!
pids+=($tacklet)
echo "Tacklet is running (pid $tacklet). Ctrl-C ends the demo."

start=$SECONDS
n=0
while kill -0 "$tacklet" 2>/dev/null; do
    sleep 2
    if [ "${headless:-0}" = 1 ]; then
        n=$((n + 1))
        import -display "$DISPLAY" -window root "$shots/$(printf 'shot-%04d.png' "$n")" 2>/dev/null || true
    fi
    if [ "$seconds" -gt 0 ] && [ $((SECONDS - start)) -ge "$seconds" ]; then break; fi
done
