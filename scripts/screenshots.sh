#!/usr/bin/env bash
# Builds the shell's screenshot program and saves PNG pictures of the main window, a menu, the
# About dialog and the help window under out/screenshots/, on a virtual X display.
#   scripts/screenshots.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/ui}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DZENTOR_GUI=ON >/dev/null
fi
cmake --build "$build" -j2 --target zentor_shell_screenshots
mkdir -p out/screenshots
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  env QT_QPA_PLATFORM=xcb "$build/ui/shell/zentor_shell_screenshots" out/screenshots
