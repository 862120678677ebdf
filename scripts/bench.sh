#!/usr/bin/env bash
# Runs every benchmark of the native build; each prints its figures and its ratios against peers.
set -euo pipefail
cd "$(dirname "$0")/.."
for b in build/native/bench/*/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
# The stop checks' cost needs the real script engines: the Windows build, under Wine.
echo "== bench_stop_checks (Wine)"
if cmake --preset win64 >/dev/null && cmake --build --preset win64 -j "$(nproc)" --target bench_stop_checks >/dev/null; then
  scripts/wine-run.sh build/win64/bench/win32/bench_stop_checks.exe ${STOP_CHECK_TURNS:-}
else
  echo "bench_stop_checks: the win64 build failed"
fi
