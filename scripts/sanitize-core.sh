#!/usr/bin/env bash
# Builds the core (everything below the windows) with AddressSanitizer and
# UndefinedBehaviorSanitizer, or with ThreadSanitizer ("thread" as the first
# argument), and runs the core's test binaries. Any finding fails the run.
# "stress" runs only the job manager's stress test, STRESS_ROUNDS rounds
# (200 unless set), under the address build.
set -euo pipefail
cd "$(dirname "$0")/.."

kind="${1:-address}"
jobs="${JOBS:-$(nproc)}"
if [ "$kind" = thread ]; then
  build="${BUILD_TSAN:-build-tsan}"
  option="-DZV_TSAN=ON"
else
  build="${BUILD_ASAN:-build-asan}"
  option="-DZV_SANITIZE=ON"
fi
suites=(platform media catalogue engine playback jobs)
filter=()
if [ "$kind" = stress ]; then
  suites=(jobs)
  filter=(--gtest_filter=JobManagerTest.PauseResumeStopStress)
  export ZV_STRESS_ROUNDS="${STRESS_ROUNDS:-200}"
fi

bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$option" >/dev/null
targets=()
for s in "${suites[@]}"; do targets+=("${s}_tests"); done
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# Slow unwinding finds the dynamic linker's frames, which the leak
# suppressions name; fast unwinding stops inside unloaded libraries.
export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:abort_on_error=0:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

failed=()
for s in "${suites[@]}"; do
  echo "== ${s}_tests ($kind)"
  if ! "$build/bin/${s}_tests" --gtest_brief=1 "${filter[@]}"; then
    failed+=("$s")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "Sanitizer run failed in: ${failed[*]}"
  exit 1
fi
echo "Sanitizer run ($kind): all core suites clean"
