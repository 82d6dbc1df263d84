#!/usr/bin/env bash
# Runs every fuzz target built in BUILD_DIR for SECONDS each, over a
# temporary copy of its seed corpus (fuzz/corpus/<name without _fuzz>/ or
# fuzz/corpus/<name>/), so the inputs it finds never land in the repository.
# Fails if any target finds a crash or cannot run; a crashing input is kept
# under BUILD_DIR/fuzz/artifacts/ and its path printed.
#
#   fuzz/run.sh BUILD_DIR SECONDS
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR SECONDS" >&2; exit 2; }
build="$1"
seconds="$2"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
artifacts="${QUELLIX_FUZZ_ARTIFACTS:-$build/fuzz/artifacts}"
mkdir -p "$artifacts"

targets=()
for bin in "$build"/fuzz/*_fuzz; do
  [ -x "$bin" ] && targets+=("$bin")
done
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets in $build/fuzz" >&2; exit 1; }

# Targets run side by side, as many at a time as there are cores: each one is
# single-threaded, so running them in turn would leave cores idle for the
# whole stage.
parallel="${QUELLIX_FUZZ_JOBS:-$(nproc)}"
run_one() { # BIN: runs one target; its verdict is the exit status
  local bin="$1" name corpus log seeds
  name="$(basename "$bin")"
  corpus="$work/$name"
  mkdir -p "$corpus"
  for seeds in "$here/corpus/${name%_fuzz}" "$here/corpus/$name"; do
    if [ -d "$seeds" ]; then cp -R "$seeds"/. "$corpus"/; fi
  done
  log="$work/$name.log"
  echo "fuzz: $name for ${seconds} s" >&2
  # The outer timeout bounds a target that hangs outside libFuzzer's control.
  if timeout $((seconds + 60)) "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$corpus" >"$log" 2>&1; then
    grep -E "^stat::number_of_executed_units" "$log" | sed "s/^/fuzz: $name /" >&2
  else
    echo "fuzz: $name FAILED; last lines of its log:" >&2
    tail -n 40 "$log" >&2
    return 1
  fi
}

failed=()
pids=()
names=()
collect() { # waits for the oldest running target
  if ! wait "${pids[0]}"; then failed+=("${names[0]}"); fi
  pids=("${pids[@]:1}")
  names=("${names[@]:1}")
}
for bin in "${targets[@]}"; do
  [ ${#pids[@]} -ge "$parallel" ] && collect
  run_one "$bin" &
  pids+=("$!")
  names+=("$(basename "$bin")")
done
while [ ${#pids[@]} -gt 0 ]; do collect; done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]} (inputs in $artifacts)" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} target(s) ran clean" >&2
