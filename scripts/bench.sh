#!/usr/bin/env bash
# Runs every benchmark of bench/ one after another (each prints its own
# details) and then the one table of all their figures with their goals.
# BENCH_RUNS sets the runs per figure (the medians are taken over them).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
runs="${BENCH_RUNS:-5}"
export QT_QPA_PLATFORM=offscreen SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

table=$(mktemp)
trap 'rm -f "$table"' EXIT
status=0
for b in bench_engine bench_jobs bench_ui bench_jobs_stress; do
  echo "== $b"
  args=("$runs")
  [ "$b" = bench_ui ] && args=($((runs + 2)))
  [ "$b" = bench_jobs_stress ] && args=(60)
  if ! "$build/bin/$b" "${args[@]}" 2> >(grep -v -e "^ALSA lib" -e "XDG_RUNTIME_DIR" -e "setParent" >&2) | tee -a "$table"; then
    status=1
  fi
done
echo
echo "== $(nproc) cores, $(date -u +%Y-%m-%d) (ratios: medians of runs side by side in one process tree)"
printf '| %-62s | %-10s | %-10s | %-7s |\n' figure measured goal verdict
grep '^| ' "$table" || true
exit $status
