#!/usr/bin/env bash
# Sets everything up, builds, and identifies a printer with corvane-cli.
# Without connection options it starts printer-sim as a KMP-Z400 on a
# pseudo-terminal and talks to that, then a second printer-sim as a network
# board and reads it with pavix-cli. With a display, the Corvane window
# opens afterwards on the same connection, then the Pavix window with its
# search pointed at simulated network printers on 127.0.0.1 (the Serial/USB
# configuration reaches the simulated board on the pseudo-terminal shown).
#
#   scripts/demo.sh                                  # the simulator
#   scripts/demo.sh --port /dev/ttyUSB0 --baud 9600  # a real printer
#   scripts/demo.sh --port NET192.168.1.50           # over TCP/IP
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="${QUELLIX_BUILD:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target corvane-cli pavix-cli printer-sim corvane pavix

args=("$@")
sim_pid=""
board_pid=""
udp_pid=""
work="$(mktemp -d)"
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  [ -n "$board_pid" ] && kill "$board_pid" 2>/dev/null && wait "$board_pid" 2>/dev/null
  [ -n "$udp_pid" ] && kill "$udp_pid" 2>/dev/null && wait "$udp_pid" 2>/dev/null
  rm -rf "$work"
}
first_line() { # FILE: waits (bounded) for the simulator's announce line
  local line=""
  for _ in $(seq 100); do
    line="$(head -n1 "$1" 2>/dev/null)"
    [ -n "$line" ] && break
    sleep 0.05
  done
  echo "$line"
}
trap cleanup EXIT

if [[ " ${args[*]} " != *" --port "* && " ${args[*]} " != *" --port="* ]]; then
  "$build/sim/printer-sim" --pty --model KMP-Z400 --code-page _PC437 >"$work/sim.out" &
  sim_pid=$!
  port="$(first_line "$work/sim.out")"
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
if [ -n "$sim_pid" ]; then
  "$build/sim/printer-sim" --pty --personality network-board >"$work/board.out" &
  board_pid=$!
  board="$(first_line "$work/board.out")"
  [ -n "$board" ] || { echo "demo: printer-sim did not start as a network board" >&2; exit 1; }
  echo "demo: printer-sim serves a network board on $board" >&2
  echo "\$ pavix-cli --port $board config read" >&2
  "$build/pavix/cli/pavix-cli" --port "$board" config read
  echo "\$ pavix-cli --port $board bss" >&2
  "$build/pavix/cli/pavix-cli" --port "$board" bss
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: opening the Corvane window (close it to end the demo)" >&2
  "$build/corvane/shell/corvane"
  if [ -n "$sim_pid" ]; then
    # Two Ethernet and two WLAN printers answer the search on loopback.
    "$build/sim/printer-sim" --udp 0 \
      --udp-printer ethernet,mac=00:19:7B:00:00:01,ip=127.0.0.11 \
      --udp-printer ethernet,mac=00:19:7B:00:00:02,ip=127.0.0.12 \
      --udp-printer wlan,mac=00:19:7B:00:01:01,ip=127.0.0.21 \
      --udp-printer wlan,mac=00:19:7B:00:01:02,ip=127.0.0.22 >"$work/udp.out" &
    udp_pid=$!
    udp_port="$(first_line "$work/udp.out")"
    [ -n "$udp_port" ] || { echo "demo: printer-sim did not start its UDP printers" >&2; exit 1; }
    echo "demo: opening the Pavix window; its search reaches the simulator on 127.0.0.1:$udp_port," >&2
    echo "demo: Serial/USB Configuration reaches the simulated board on $board" >&2
    PAVIX_UDP_TARGET=127.0.0.1 PAVIX_UDP_BIND=127.0.0.1 PAVIX_UDP_LOCAL_PORT=0 \
      PAVIX_UDP_REMOTE_PORT="$udp_port" "$build/pavix/gui/pavix"
  else
    echo "demo: opening the Pavix window (close it to end the demo)" >&2
    "$build/pavix/gui/pavix"
  fi
fi
