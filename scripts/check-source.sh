#!/usr/bin/env bash
# Source rules that no compiler checks: formatting, and a portable core free of platform headers
# and of the Windows layer.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
bad=$(git ls-files -- '*.h' '*.cpp' | xargs -r clang-format --dry-run 2>&1 | grep -E '^[^ ].*(warning|error):' | cut -d: -f1 | sort -u || true)
if [ -n "$bad" ]; then
  echo "check-source: not clang-formatted (run 'make format'):"; echo "$bad"; status=1
fi
platform=$(git grep -nE '#\s*include\s*[<"](windows|win[a-z0-9]*|objbase|oleauto|ole2|oaidl|ocidl|commctrl|commdlg|shellapi|shlobj|shlwapi|unistd|fcntl|dirent|pthread|dlfcn|sys/[a-z_]+)\.h' -- 'src/' || true)
if [ -n "$platform" ]; then
  echo "check-source: platform headers in the portable core:"; echo "$platform"; status=1
fi
# The core knows no platform layer: not in its sources, not in its build files.
up=$(git grep -n 'win32/' -- 'src/' || true)
if [ -n "$up" ]; then
  echo "check-source: the portable core refers to the Windows layer:"; echo "$up"; status=1
fi
[ $status -eq 0 ] && echo "check-source: formatting and portability rules hold"
exit $status
