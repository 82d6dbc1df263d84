#!/usr/bin/env bash
# Sets everything up, builds, and identifies a printer with corvane-cli.
# Without connection options it starts printer-sim as a KMP-Z400 on a
# pseudo-terminal and talks to that. With a display, the Corvane window
# opens afterwards on the same connection.
#
#   scripts/demo.sh                                  # the simulator
#   scripts/demo.sh --port /dev/ttyUSB0 --baud 9600  # a real printer
#   scripts/demo.sh --port NET192.168.1.50           # over TCP/IP
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="${QUELLIX_BUILD:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target corvane-cli printer-sim corvane

args=("$@")
sim_pid=""
work="$(mktemp -d)"
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if [[ " ${args[*]} " != *" --port "* && " ${args[*]} " != *" --port="* ]]; then
  "$build/sim/printer-sim" --pty --model KMP-Z400 --code-page _PC437 >"$work/sim.out" &
  sim_pid=$!
  for _ in $(seq 100); do
    port="$(head -n1 "$work/sim.out" 2>/dev/null)"
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { echo "demo: printer-sim did not start" >&2; exit 1; }
  echo "demo: printer-sim serves a KMP-Z400 on $port" >&2
  args=(--port "$port")
  # The window reads its connection from the registry store: give it one of
  # its own that points at the simulator, leaving the user's settings alone.
  export QUELLIX_REGISTRY="$work/registry.reg"
  cat >"$QUELLIX_REGISTRY" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane]
"uPortType"=dword:00000000
"uPort"="$port"
"uBaudrate"=dword:0001c200
"uDatabit"=dword:00000008
"uParity"=dword:00000000
"uStopbit"=dword:00000000
"uFlowcontrol"=dword:00000001
REG
fi

echo "\$ corvane-cli ${args[*]} identify" >&2
"$build/corvane/cli/corvane-cli" "${args[@]}" identify
echo "\$ corvane-cli ${args[*]} switches get" >&2
"$build/corvane/cli/corvane-cli" "${args[@]}" switches get
echo "\$ corvane-cli ${args[*]} nv list" >&2
"$build/corvane/cli/corvane-cli" "${args[@]}" nv list

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: opening the Corvane window (close it to end the demo)" >&2
  "$build/corvane/shell/corvane"
fi
