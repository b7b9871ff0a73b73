#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (ZV_FUZZ=ON, in build-fuzz)
# and runs each for FUZZ_SECONDS (60) from its seed corpus in fuzz/corpus.
# New inputs go to build-fuzz/fuzz-corpus/<target>, crashing inputs to
# build-fuzz/fuzz-artifacts/<target>; the seeds in the tree are only read.
# FUZZ_TARGETS="probe convert" runs some of them. Fails when any target found
# a crash, a sanitizer report or a hang.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_FUZZ:-build-fuzz}"
seconds="${FUZZ_SECONDS:-60}"
jobs="${JOBS:-$(nproc)}"
targets=(${FUZZ_TARGETS:-ext_options set_option preset settings probe convert})

bash scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZV_FUZZ=ON >/dev/null
nice cmake --build "$build" -j "$jobs" --target fuzzers

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# The option text targets share a dictionary of the option language.
dict_for() {
  case "$1" in
    ext_options | set_option | preset) echo "-dict=fuzz/options.dict" ;;
  esac
}

summary=()
failed=()
for t in "${targets[@]}"; do
  work="$build/fuzz-corpus/$t"
  artifacts="$build/fuzz-artifacts/$t"
  log="$build/fuzz-logs/$t.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  echo "== fuzz_$t for ${seconds}s"
  set +e
  # Conversions of a few KiB take well under a second; ten is a hang.
  nice "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" $(dict_for "$t") "$work" "fuzz/corpus/$t" >"$log" 2>&1
  status=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ "$status" -ne 0 ]; then
    failed+=("$t")
    summary+=("fuzz_$t: ${runs:-?} inputs, FAILED (exit $status; see $log and $artifacts)")
    grep -E "^(==[0-9]+==ERROR|SUMMARY|.*runtime error|fuzz: )" "$log" | head -5 || true
  else
    summary+=("fuzz_$t: ${runs:-?} inputs, no crash")
  fi
done

printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]}"
  exit 1
fi
