#!/usr/bin/env bash
# Builds the program, creates a demo installation under demo/ when there is none, and starts it
# there (--home names the program directory; it needs a desktop, or xvfb-run around it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
bin=build/release
if [ -x "$bin/app/main/zentor" ]; then
  [ -d demo ] || "$bin/cli/zentorctl" demo demo
  # The help pages live beside the program; the demo is its program directory here.
  mkdir -p demo/help && cp -r docs/help/. demo/help/
  exec "$bin/app/main/zentor" --home demo
fi
exec "$bin/cli/zentorctl" --help
