#!/usr/bin/env bash
# The one test command. Stages, in order (give stage names to run only some):
#   tests    build with AddressSanitizer and UndefinedBehaviorSanitizer and run
#            the whole test suite (unit, platform, end-to-end and window tests)
#   release  GCC Release build of the programs and benchmarks, warnings as
#            errors (the optimiser's own warnings), then the benchmarks once
#            (ratios printed, not judged)
#   clang    Clang build of the programs, warnings as errors (build only)
#   fuzz     libFuzzer build; the fuzz targets run side by side, each for
#            QUELLIX_FUZZ_SECONDS (20)
# The test code is built once, in the first stage: building it again under
# each compiler doubled the time of the whole run for warnings it never had.
# Builds go to build-tests/, build-tests-release/, build-tests-clang/ and
# build-tests-fuzz/ (QUELLIX_TEST_BUILD moves the first; the others follow it).
#
#   scripts/test.sh                # everything
#   scripts/test.sh tests          # only the sanitizer build and its tests
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUELLIX_TEST_BUILD:-$root/build-tests}"
fuzz_seconds="${QUELLIX_FUZZ_SECONDS:-20}"
jobs="$(nproc)"
all_stages=(tests release clang fuzz)
stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=("${all_stages[@]}")
for s in "${stages[@]}"; do
  [[ " ${all_stages[*]} " == *" $s "* ]] || { echo "test.sh: unknown stage '$s' (stages: ${all_stages[*]})" >&2; exit 2; }
done

"$root/scripts/setup.sh" --tests

timings=()
stage() { # NAME COMMAND...: runs one stage and records how long it took
  local name="$1" start=$SECONDS
  shift
  echo "=== test.sh: $name" >&2
  "$@"
  timings+=("$(printf '%-8s %4d s' "$name" $((SECONDS - start)))")
  echo "=== test.sh: $name done in $((SECONDS - start)) s" >&2
}

configure() { # DIR CMAKE-ARGS...
  local dir="$1"
  shift
  cmake -S "$root" -B "$dir" -G Ninja -DQUELLIX_WERROR=ON "$@" >/dev/null
}

run_tests() {
  configure "$build" -DCMAKE_BUILD_TYPE=Debug -DQUELLIX_SANITIZE=ON
  cmake --build "$build" -j"$jobs"
  export QT_QPA_PLATFORM=offscreen
  # Tests labelled "slow" spend most of their time waiting on a link, so
  # they start at once beside the rest instead of trailing at the end.
  local slow_rc=0 rest_rc=0 slow_pid=""
  if ctest --test-dir "$build" -N -L slow | grep -q '^Total Tests: [1-9]'; then
    ctest --test-dir "$build" --output-on-failure --timeout 300 -L slow -j"$jobs" &
    slow_pid=$!
  fi
  ctest --test-dir "$build" --output-on-failure --timeout 120 -LE slow -j"$jobs" || rest_rc=$?
  if [ -n "$slow_pid" ]; then wait "$slow_pid" || slow_rc=$?; fi
  [ "$rest_rc" -eq 0 ] && [ "$slow_rc" -eq 0 ]
}

run_release() {
  configure "$build-release" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
  cmake --build "$build-release" -j"$jobs"
  # The ratios are reported, not judged: shared CI machines are too noisy
  # for a time limit, and a ratio from one run is what the notes quote.
  if [ -x "$build-release/bench/nv_convert_bench" ]; then
    "$build-release/bench/nv_convert_bench" --benchmark_min_time=0.2
  fi
}

run_clang() {
  configure "$build-clang" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DBUILD_TESTING=OFF
  cmake --build "$build-clang" -j"$jobs"
}

run_fuzz() {
  configure "$build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DQUELLIX_FUZZ=ON -DBUILD_TESTING=OFF
  cmake --build "$build-fuzz" -j"$jobs" --target fuzz-targets
  "$root/fuzz/run.sh" "$build-fuzz" "$fuzz_seconds"
}

for s in "${stages[@]}"; do
  stage "$s" "run_$s"
done
echo "=== test.sh: all stages passed" >&2
printf '  %s\n' "${timings[@]}" >&2
