#!/usr/bin/env bash
# Builds the product and shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null && cmake --build --preset native -j "$(nproc)" >/dev/null
if [ -x build/native/zeph ] && [ -f tests/data/xml/sample.xml ]; then
  build/native/zeph xml tests/data/xml/sample.xml
fi
