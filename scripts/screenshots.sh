#!/usr/bin/env bash
# Builds the shell's screenshot program and saves PNG pictures of the main window, a menu, the
# About dialog and the help window under out/screenshots/, on a virtual X display.
#   scripts/screenshots.sh [build-dir]
# With "program" it starts the real program zentor on a fresh demo installation instead, saves its
# company selection and, after Enter, its main window and each code-table window (needs xdotool
# and ImageMagick's import):
#   scripts/screenshots.sh program [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = program ]; then
  build=${2:-build/ui}
  for tool in xdotool import; do
    command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool missing (apt-get install xdotool imagemagick)" >&2; exit 1; }
  done
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DZENTOR_GUI=ON >/dev/null
  fi
  cmake --build "$build" -j2 --target zentor zentorctl
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  "$build/cli/zentorctl" demo "$scratch/demo" >/dev/null
  mkdir -p out/screenshots
  # Runs on the virtual display: the program's own lock directory, so a desktop session of the
  # same user does not count as a running instance.
  XDG_RUNTIME_DIR="$scratch" xvfb-run -a -s "-screen 0 1280x1024x24" \
    env QT_QPA_PLATFORM=xcb bash -c '
      set -euo pipefail
      "$1/app/main/zentor" --home "$2" & pid=$!
      trap "kill $pid 2>/dev/null || true" EXIT
      dialog=$(timeout 60 xdotool search --sync --onlyvisible --name "Firmenauswahl" | head -1)
      sleep 1  # let the window paint itself before it is read off the screen
      import -window "$dialog" out/screenshots/program_firmenauswahl.png
      echo "saved out/screenshots/program_firmenauswahl.png"
      xdotool windowfocus --sync "$dialog" key Return
      shell=$(timeout 60 xdotool search --sync --onlyvisible --name "^Lumo-Zentor: " | head -1)
      sleep 1
      import -window "$shell" out/screenshots/program_shell.png
      echo "saved out/screenshots/program_shell.png"
      # Each code-table window through the keyboard, as a user opens it: Basisdaten, then the
      # accelerator letter of the item.
      for item in s:steuersaetze a:artikelgruppen k:kundengruppen t:textbausteine l:laender; do
        xdotool windowfocus --sync "$shell" key alt+b "${item%%:*}"
        sleep 1
        import -window "$shell" "out/screenshots/program_${item#*:}.png"
        echo "saved out/screenshots/program_${item#*:}.png"
        xdotool windowfocus --sync "$shell" key alt+F4
        sleep 0.5
      done
    ' screenshots "$build" "$scratch/demo"
  exit 0
fi
build=${1:-build/ui}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DZENTOR_GUI=ON >/dev/null
fi
cmake --build "$build" -j2 --target zentor_shell_screenshots
mkdir -p out/screenshots
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  env QT_QPA_PLATFORM=xcb "$build/ui/shell/zentor_shell_screenshots" out/screenshots
