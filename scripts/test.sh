#!/usr/bin/env bash
# Every test: source rules, native tests under ASan/UBSan, the Windows tests under Wine (64-bit and
# 32-bit), and the fuzzers for FUZZ_SECONDS each. Ends with one summary line.
set -uo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
passed=0 failed=0 problems=()

run_ctest() {  # preset, extra ctest args...
  local preset=$1; shift
  local log=build/$preset-ctest.log
  ctest --preset "$preset" -j "$JOBS" "$@" 2>&1 | tee "$log"
  local line p f
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    # ctest itself failed before running anything
    problems+=("$preset: ctest did not run"); failed=$((failed + 1)); return
  fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  p=$(( $(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line") - f ))
  passed=$((passed + p)); failed=$((failed + f))
  [ "$f" -eq 0 ] || problems+=("$preset: $f failed")
}

build() {  # preset [targets...]
  local preset=$1; shift
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  echo "== build $preset"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$JOBS" "${targets[@]}"; } >build/$preset-build.log 2>&1; then
    tail -n 60 build/$preset-build.log
    problems+=("$preset: build failed"); failed=$((failed + 1)); return 1
  fi
}

mkdir -p build
echo "== source rules"
scripts/check-source.sh || { problems+=("source rules"); failed=$((failed + 1)); }

build asan && run_ctest asan
# The thread tests once more under ThreadSanitizer.
build tsan xml_threads_test && run_ctest tsan -R '^xml_threads_test$'

# One private display for all Windows tests.
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 97 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    if kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=":$n"; break; fi
  done
  trap 'kill $xvfb_pid 2>/dev/null; WINEPREFIX=$PWD/build/wine/prefix wineserver -k 2>/dev/null' EXIT
fi
# The installer test needs zeph-setup.exe (both bitnesses of zeph.dll).
echo "== installer"
JOBS=$JOBS scripts/installer.sh >build/installer.log 2>&1 ||
  { tail -n 30 build/installer.log; problems+=("installer: build failed"); failed=$((failed + 1)); }
build win64 && run_ctest win64
# The 32-bit build only needs what its smoke tests run (test names are their executables' names).
if cmake --preset win32 >/dev/null 2>&1; then
  smoke=$(ctest --preset win32 -N -L smoke32 | sed -nE 's/^ *Test +#[0-9]+: ([A-Za-z0-9_]+).*/\1/p')
  build win32 $smoke && run_ctest win32 -L smoke32
else
  problems+=("win32: configure failed"); failed=$((failed + 1))
fi

if [ "$FUZZ_SECONDS" -gt 0 ]; then
  # Only the fuzz targets: the rest of the tree is built and tested by the other presets.
  fuzz_targets=$(ls fuzz/*/fuzz_*.cpp 2>/dev/null | xargs -r -n1 basename | sed 's/\.cpp$//')
  if build fuzz $fuzz_targets; then
    for f in build/fuzz/fuzz/*/fuzz_*; do
      [ -x "$f" ] || continue
      name=$(basename "$f")
      echo "== fuzz $name for ${FUZZ_SECONDS}s"
      corpus=build/fuzz-corpus/$name; mkdir -p "$corpus"
      seeds=fuzz/$(basename "$(dirname "$f")")/corpus/${name#fuzz_}
      dict=fuzz/$(basename "$(dirname "$f")")/${name#fuzz_}.dict
      args=(-max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1)
      [ -f "$dict" ] && args+=(-dict="$dict")
      if "$f" "${args[@]}" "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) >build/$name.log 2>&1; then
        passed=$((passed + 1)); grep -E 'stat::number_of_executed_units' build/$name.log || true
      else
        tail -n 40 build/$name.log; problems+=("fuzz $name"); failed=$((failed + 1))
      fi
    done
  fi
fi

echo
for p in "${problems[@]}"; do echo "problem: $p"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
