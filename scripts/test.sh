#!/usr/bin/env bash
# Builds everything and runs every test: the release build with all tests, then the engine's
# tests again under AddressSanitizer and UBSan, then a replay of the fuzz corpora.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

scripts/build.sh release
(cd build/release && ctest --output-on-failure -j2 --timeout 600)

scripts/build.sh asan
(cd build/asan && ctest --output-on-failure -j2 -L engine --timeout 900)

if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh replay
fi
