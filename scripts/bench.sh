#!/usr/bin/env bash
# Runs every benchmark of the native build; each prints its figures and its ratios against peers.
set -euo pipefail
cd "$(dirname "$0")/.."
for b in build/native/bench/*/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
