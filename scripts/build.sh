#!/usr/bin/env bash
# Configures and builds into build/<name> (default: build/release).
#   scripts/build.sh [release|asan] [extra cmake args...]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-release}
shift || true
case "$kind" in
  release) dir=build/release; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)    dir=build/asan;    args=(-DCMAKE_BUILD_TYPE=Debug -DZENTOR_SANITIZE=ON -DZENTOR_GUI=OFF -DZENTOR_BENCH=OFF) ;;
  *) echo "build.sh: unknown build kind $kind" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja "${args[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
