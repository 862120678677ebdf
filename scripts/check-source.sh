#!/usr/bin/env bash
# Source rules that no compiler checks: formatting, and a portable core free of Windows headers.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
bad=$(git ls-files -- '*.h' '*.cpp' | xargs -r clang-format --dry-run 2>&1 | grep -E '^[^ ].*(warning|error):' | cut -d: -f1 | sort -u || true)
if [ -n "$bad" ]; then
  echo "check-source: not clang-formatted (run 'make format'):"; echo "$bad"; status=1
fi
win=$(git grep -nE '#\s*include\s*[<"](windows|winbase|winuser|objbase|oleauto|ole2|windef)\.h' -- 'src/' || true)
if [ -n "$win" ]; then
  echo "check-source: Windows headers in the portable core:"; echo "$win"; status=1
fi
[ $status -eq 0 ] && echo "check-source: formatting and portability rules hold"
exit $status
