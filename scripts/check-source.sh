#!/usr/bin/env bash
# Source rules that no compiler checks: formatting, a portable core free of platform headers
# and of the Windows layer, and an architecture page that names only what exists.
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
# The product's file layer has no test switch: faults are injected from tests/support.
hooks=$(git grep -nE 'FaultInjecting|SetFileSystem|CurrentFileSystem' -- src/ posix/ win32/ || true)
if [ -n "$hooks" ]; then
  echo "check-source: a test hook in the product's file layer:"; echo "$hooks"; status=1
fi
# Every folder or file the architecture page names in `backticks` exists (build trees aside).
missing=""
for name in $(grep -oE '`[A-Za-z0-9_.{},-]+/[A-Za-z0-9_./{},-]*`' docs/architecture.md | tr -d '`' | sort -u); do
  for path in $(eval echo "$name"); do
    case "$path" in build/*) continue ;; esac
    [ -e "${path%/}" ] || missing="$missing $path"
  done
done
if [ -n "$missing" ]; then
  echo "check-source: docs/architecture.md names what does not exist:$missing"; status=1
fi
[ $status -eq 0 ] && echo "check-source: formatting, portability and architecture-page rules hold"
exit $status
