#!/usr/bin/env bash
# Builds everything and runs the program's main job on the built-in default: the maker-server
# stand-in serving generated demo data (service pack and firmware), a simulated Ventra V5 on a
# pseudo-terminal, and ventraide against them. With no display it runs under Xvfb and saves a
# screenshot of the main window in demo-run/.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
"$root/scripts/install-deps.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
bin="$root/build/tools"

run="$root/demo-run"
rm -rf "$run"
mkdir -p "$run/devices" "$run/scanner-files" "$run/home" "$run/server"
export VENTRAIDE_DEVICES="$run/devices" VENTRAIDE_HOME="$run/home"
port=${VENTRA_DEMO_PORT:-18080}
export VENTRAIDE_DOWNLOAD_URL="http://127.0.0.1:$port/ventraide/files/"
export VENTRAIDE_PROBE_URL="http://127.0.0.1:$port/generate_204"
export VENTRAIDE_PORTAL_URL="http://127.0.0.1:$port/portal/"
touch "$run/home/debug.txt" "$run/home/debug_serial.txt"  # both trace windows

"$bin/ventra-demo-data" --out "$run/server/ventraide/files" >/dev/null

# Each peer reads control lines from a FIFO that this script holds open, and stops on "quit".
start_peer() {  # name, command...
  local name=$1; shift
  mkfifo "$run/$name.ctl"
  "$@" <"$run/$name.ctl" >"$run/$name.out" 2>&1 &
  eval "exec {fd_$name}>\"$run/$name.ctl\""
}
wait_line() {  # name, prefix
  for _ in $(seq 100); do
    grep -m1 "^$2" "$run/$1.out" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "$1 did not start:"; cat "$run/$1.out"; exit 1
}
cleanup() {
  echo quit >&"$fd_sim" 2>/dev/null || true
  echo quit >&"$fd_server" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
start_peer server "$bin/ventra-maker-server" --port "$port" --root "$run/server/ventraide/files"
wait_line server listening
# a Ventra V5 with an older service pack, so there is something to update
start_peer sim "$bin/ventra-sim" --files "$run/scanner-files" --serial 512345 --type 10 --sp 40
wait_line sim plugged

cd "$run/home"  # the application log opens log/ relative to the current folder
if [ -n "${DISPLAY:-}" ]; then
  "$root/build/src/ventraide"
else
  echo "no display: running under Xvfb, screenshot in $run/ventraide.png"
  VENTRAIDE_SCREENSHOT="$run/ventraide.png" xvfb-run -a -s "-screen 0 1366x768x24" "$root/build/src/ventraide"
fi
