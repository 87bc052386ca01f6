#!/usr/bin/env bash
# Builds the program, creates a demo installation under demo/ when there is none, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
bin=build/release
if [ -x "$bin/app/main/zentor" ]; then
  [ -d demo ] || "$bin/cli/zentorctl" demo demo
  exec "$bin/app/main/zentor" --home demo
fi
exec "$bin/cli/zentorctl" --help
