#!/usr/bin/env bash
# End-to-end checks of corvane-cli against printer-sim over real links: a
# pseudo-terminal (the serial path), loopback TCP, and a USB printer node in
# a fake device tree that points at the simulator's pseudo-terminal.
#
# usage: corvane_cli_e2e.sh CLI SIM CASE
set -uo pipefail
CLI="$1"
SIM="$2"
CASE="$3"

work="$(mktemp -d)"
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export QUELLIX_REGISTRY="$work/registry.reg"

fail() { echo "FAIL: $*" >&2; exit 1; }

# start_sim ARGS...: starts the simulator, waits (bounded) for its ready line
# and leaves it in $endpoint.
start_sim() {
  "$SIM" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    endpoint="$(head -n1 "$work/sim.out" 2>/dev/null)"
    [ -n "$endpoint" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || fail "printer-sim exited: $(cat "$work/sim.err")"
    sleep 0.05
  done
  fail "printer-sim did not get ready"
}

# run_cli ARGS...: runs corvane-cli (bounded), sets $rc, $out, $err.
run_cli() {
  timeout 60 "$CLI" "$@" >"$work/out" 2>"$work/err"
  rc=$?
  out="$(cat "$work/out")"
  err="$(cat "$work/err")"
}

expect_identity() { # model, code, firmware, version number, code page, msr
  local want
  want="$(printf 'model: %s\nmodel code: %s\nfirmware: %s\nversion number: %s\ncode page: %s\nmsr mode: %s' "$@")"
  [ "$rc" -eq 0 ] || fail "exit $rc: $err"
  [ "$out" = "$want" ] || fail "output differs:
--- got
$out
--- want
$want"
}

expect_error() { # exit code, last stderr line
  [ "$rc" -eq "$1" ] || fail "exit $rc, want $1; stderr: $err"
  [ "$(tail -n1 <<<"$err")" = "$2" ] || fail "last stderr line '$(tail -n1 <<<"$err")', want '$2'"
}

# wait_report BYTES: waits (bounded) until the simulator has received BYTES.
wait_report() {
  for _ in $(seq 200); do
    grep -qx "bytes $1" "$work/report" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "simulator report: $(cat "$work/report" 2>/dev/null), want bytes $1"
}

case "$CASE" in
serial-z400)
  start_sim --pty --model KMP-Z400 --code-page _PC850 --msr-mode 5
  run_cli --port "$endpoint" identify
  expect_identity "KMP-Z400" 400 "VER V1.04" 1040 "_PC850" 0x05
  ;;
serial-z400ii-beta-firmware)
  start_sim --pty --model KMP-Z400II --version _B01.00 --msr-mode 0x1a
  run_cli --port "$endpoint" --baud 9600 --parity even --stop-bits 2 identify
  expect_identity "KMP-Z400II" 402 "B01.00" 101000 "_PC437" 0x1a
  ;;
serial-vx440-in-pieces)
  # Replies in 3-byte pieces 20 ms apart, after stray bytes: longer than the
  # serial link's 10 ms gap, so the reply loops must join them.
  start_sim --pty --model "VX 440" --version "_B02.10" --chunk 3 --chunk-delay 20
  run_cli --port "$endpoint" identify
  expect_identity "VX 440" 440 "B02.10" 22101 "_PC437" 0x00
  ;;
tcp-z600)
  start_sim --tcp 0 --model KMP-Z600 --msr-mode 255
  run_cli --port NET127.0.0.1 --tcp-port "$endpoint" identify
  expect_identity "KMP-Z600" 600 "V01.00" 101000 "_PC437" 0xff
  ;;
tcp-z800-in-pieces)
  start_sim --tcp 0 --model KMP-Z800 --chunk 2 --chunk-delay 30 --code-page _PC858
  run_cli --port NET127.0.0.1 --tcp-port "$endpoint" identify
  expect_identity "KMP-Z800" 800 "V01.00" 101000 "_PC858" 0x00
  ;;
usb-z400w)
  root="$work/root"
  mkdir -p "$root/sys/class/usbmisc" "$root/sys/devices/usb1/1-1/1-1:1.0" "$root/dev/usb"
  printf '0dd4\n' >"$root/sys/devices/usb1/1-1/idVendor"
  printf '0205\n' >"$root/sys/devices/usb1/1-1/idProduct"
  mkdir -p "$root/sys/class/usbmisc/lp0"
  ln -s "$root/sys/devices/usb1/1-1/1-1:1.0" "$root/sys/class/usbmisc/lp0/device"
  start_sim --pty --model KMP-Z400W --version _V01.04 --link "$root/dev/usb/lp0"
  export QUELLIX_DEVICE_ROOT="$root"
  run_cli --port "$root/dev/usb/lp0" identify
  expect_identity "KMP-Z400W" 401 "V01.04" 101040 "_PC437" 0x00
  ;;
stored-connection)
  start_sim --tcp 0 --model KMP-Z400
  cat >"$QUELLIX_REGISTRY" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane]
"uPortType"=dword:00000002
"uPort"="NET127.0.0.1"
"uBaudrate"=dword:$(printf '%08x' "$endpoint")
"uDatabit"=dword:00000008
"uParity"=dword:00000000
"uStopbit"=dword:00000000
"uFlowcontrol"=dword:00000001
REG
  run_cli identify
  expect_identity "KMP-Z400" 400 "VER V1.04" 1040 "_PC437" 0x00
  ;;
no-connection)
  run_cli identify
  [ "$rc" -eq 2 ] || fail "exit $rc without any connection, want 2"
  grep -q -- "--port" <<<"$err" || fail "no advice to use --port: $err"
  ;;
missing-port)
  run_cli --port "$work/no-such-tty" identify
  expect_error 1 "error open: Port open error!"
  grep -q "No such file or directory" <<<"$err" || fail "OS reason missing: $err"
  grep -q "check the cable" <<<"$err" || fail "hint missing: $err"
  ;;
busy-port)
  start_sim --pty
  exec 7<>"$endpoint"
  flock -n 7 || fail "could not lock the pty for the test"
  run_cli --port "$endpoint" identify
  exec 7>&-
  expect_error 1 "error open: Port open error!"
  grep -q "Another program holds the port" <<<"$err" || fail "busy hint missing: $err"
  ;;
silent-printer)
  start_sim --pty --silent
  start=$(date +%s%N)
  run_cli --port "$endpoint" identify
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  expect_error 1 "error 301: Printer model is not matched!"
  [ "$took" -ge 3000 ] && [ "$took" -lt 8000 ] || fail "silent printer took ${took} ms"
  ;;
unknown-model)
  start_sim --tcp 0 --model-reply "_XYZ-100"
  run_cli --port NET127.0.0.1 --tcp-port "$endpoint" identify
  expect_error 1 "error 107: Printer model is not matched!"
  ;;
refused-tcp)
  start_sim --tcp 0
  port="$endpoint"
  kill "$sim_pid"; wait "$sim_pid" 2>/dev/null; sim_pid=""
  run_cli --port NET127.0.0.1 --tcp-port "$port" identify
  expect_error 1 "error open: Port open error!"
  grep -q "refused" <<<"$err" || fail "OS reason missing: $err"
  ;;
usage)
  run_cli --port COM1 frobnicate
  [ "$rc" -eq 2 ] || fail "unknown command exit $rc"
  grep -q "usage:" <<<"$err" || fail "no usage text"
  run_cli --port COM1 --parity mark identify
  [ "$rc" -eq 2 ] || fail "bad parity exit $rc"
  run_cli --help
  [ "$rc" -eq 0 ] && grep -q "identify" <<<"$out" && grep -q -- "--tcp-port" <<<"$out" || fail "help"
  ;;
firmware-serial|firmware-tcp)
  head -c 10000 /dev/urandom >"$work/fw.fls"
  chmod 0444 "$work/fw.fls"
  if [ "$CASE" = firmware-serial ]; then
    start_sim --pty --capture "$work/capture" --report "$work/report"
    run_cli --port "$endpoint" firmware "$work/fw.fls"
    expected=$((10000 + 1))    # the serial open probes with one 0x00 byte first
  else
    start_sim --tcp 0 --capture "$work/capture" --report "$work/report"
    run_cli --port NET127.0.0.1 --tcp-port "$endpoint" firmware "$work/fw.fls"
    expected=10000
  fi
  [ "$rc" -eq 0 ] || fail "exit $rc: $err"
  [ "$out" = "Success to download firmware!" ] || fail "stdout: $out"
  # stderr is a file here, not a terminal: status lines, but no progress.
  grep -q "progress:" <<<"$err" && fail "progress on a non-terminal: $err"
  grep -q "status: Finished to download firmware and Reset the printer!" <<<"$err" || fail "status: $err"
  wait_report "$expected"
  if [ "$CASE" = firmware-serial ]; then
    { printf '\0'; cat "$work/fw.fls"; } | cmp - "$work/capture" || fail "bytes differ"
  else
    cmp "$work/fw.fls" "$work/capture" || fail "bytes differ"
  fi
  ;;
firmware-missing-file)
  start_sim --pty
  run_cli --port "$endpoint" firmware "$work/none.fls"
  expect_error 1 "error file: Error : File Open Error!"
  ;;
*)
  fail "unknown case $CASE"
  ;;
esac
echo "ok $CASE"
