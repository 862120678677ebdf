#!/usr/bin/env bash
# Runs every benchmark of the native build; each prints its figures and its ratios against peers.
set -euo pipefail
cd "$(dirname "$0")/.."
for b in build/native/bench/*/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
# The stop checks' cost and the start of a run need the real script engines: the Windows build,
# under Wine, in one report.
echo "== bench_stop_checks, bench_run_start (Wine)"
if cmake --preset win64 >/dev/null &&
  cmake --build --preset win64 -j "$(nproc)" --target bench_stop_checks bench_run_start >/dev/null; then
  scripts/wine-run.sh build/win64/bench/win32/bench_stop_checks.exe ${STOP_CHECK_TURNS:-}
  scripts/wine-run.sh build/win64/bench/win32/bench_run_start.exe ${RUN_START_ROUNDS:-}
else
  echo "bench_stop_checks, bench_run_start: the win64 build failed"
fi
