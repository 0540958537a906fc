#!/usr/bin/env bash
# Builds everything and runs the program's main job on the built-in default: a simulated scanner
# on a pseudo-terminal, identified by the program with every frame shown in the trace window.
# With no display it runs under Xvfb and saves a screenshot in demo-run/.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
"$root/scripts/install-deps.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

run="$root/demo-run"
rm -rf "$run"
mkdir -p "$run/devices" "$run/scanner-files"
export VENTRAIDE_DEVICES="$run/devices"
# a file on the simulated scanner, so the size and CRC requests have something to report
head -c 5000 /dev/urandom > "$run/scanner-files/M000.MNU"

coproc SIM { exec "$root/build/tools/ventra-sim" --files "$run/scanner-files" --serial 512345 --type 10; }
trap 'echo quit >&"${SIM[1]}" 2>/dev/null || true; wait 2>/dev/null || true' EXIT
read -r line <&"${SIM[0]}"
echo "simulator: $line"

if [ -n "${DISPLAY:-}" ]; then
  VENTRA_IDENTIFY_HOLD_MS=${VENTRA_IDENTIFY_HOLD_MS:-20000} "$root/build/tools/ventra-identify"
else
  echo "no display: running under Xvfb, screenshot in $run/frame-trace.png"
  VENTRAIDE_SCREENSHOT="$run/frame-trace.png" xvfb-run -a "$root/build/tools/ventra-identify"
fi
